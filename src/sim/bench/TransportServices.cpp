#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/visa/Resource.h"
#include "sim/bench/BenchService.h"
#include "sim/bench/servers/HislipServer.h"
#include "sim/bench/servers/PortMapper.h"
#include "sim/bench/servers/PrologixAdapters.h"
#include "sim/bench/servers/SerialInstrument.h"
#include "sim/bench/servers/Vxi11Server.h"

// The bench's instruments over the other transports, each started only when --transport names
// it: a LAN/GPIB gateway (VXI-11), HiSLIP servers, a Prologix GPIB-ETHERNET adapter and a
// GPIB-USB one (on a pty) in front of all of them, and the supply on its RS-232 port (a pty).
// They serve the same devices as the sockets do.
namespace {

// The port mapper holds one VXI-11 server per machine; another bench may still have it.
constexpr int PORTMAP_LOCK_WAIT_MS = 10000;

// The RS-232 settings of the E3631A and E3632A/E3633A as they leave the factory, and the
// remote mode they need before they take commands on that port.
constexpr const char* SUPPLY_SERIAL_SETTINGS =
    "{baud=9600,data_bits=8,parity=none,stop_bits=2,flow_control=dtr_dsr,init=SYST:REM}";

int GpibAddress(const std::string& resource) {
  const auto name = visa::ParseResource(resource);
  if (!name || name->type != "GPIB" || name->fields.empty()) return -1;
  return std::stoi(name->fields[0]);
}

bool StartVxi11(BenchContext& context) {
  if (!context.Wants("vxi11")) return true;
  std::string why;
  if (!sim::EnsurePortMapper(&why)) {
    std::fprintf(stderr, "tesmira-bench: vxi11: %s\n", why.c_str());
    return false;
  }
  static std::unique_ptr<sim::Vxi11Server> server;
  server = std::make_unique<sim::Vxi11Server>(context);
  auto& aliases = context.transportAliases["vxi11"];
  for (const auto& [resource, device] : context.devices) {
    const int address = GpibAddress(resource);
    if (address < 0) continue;
    server->AddInstrument(address, device);
    aliases.emplace_back(resource, sim::Vxi11Server::Resource(address));
  }
  if (!server->Start(PORTMAP_LOCK_WAIT_MS, &why)) {
    std::fprintf(stderr, "tesmira-bench: vxi11: %s\n", why.c_str());
    return false;
  }
  return true;
}

bool StartHislip(BenchContext& context) {
  if (!context.Wants("hislip")) return true;
  static std::vector<std::unique_ptr<sim::HislipServer>> servers;
  for (const auto& [resource, device] : context.devices) {
    auto server = std::make_unique<sim::HislipServer>(context, device);
    if (!server->Listen()) {
      std::perror("tesmira-bench: hislip: cannot listen on a loopback port");
      return false;
    }
    context.transportAliases["hislip"].emplace_back(resource, server->Resource());
    servers.push_back(std::move(server));
  }
  return true;
}

template <typename Adapter>
void AddInstruments(BenchContext& context, Adapter& adapter, const std::string& transport) {
  for (const auto& [resource, device] : context.devices) {
    const int address = GpibAddress(resource);
    if (address < 0) continue;
    adapter.adapter().AddInstrument(address, device);
    context.transportAliases[transport].emplace_back(resource, adapter.Resource());
  }
}

bool StartPrologix(BenchContext& context) {
  if (!context.Wants("prologix")) return true;
  static std::unique_ptr<sim::PrologixEthernet> adapter;
  adapter = std::make_unique<sim::PrologixEthernet>(context);
  if (!adapter->Listen()) {
    std::perror("tesmira-bench: prologix: cannot listen on a loopback port");
    return false;
  }
  AddInstruments(context, *adapter, "prologix");
  return true;
}

bool StartPrologixUsb(BenchContext& context) {
  if (!context.Wants("prologix-usb")) return true;
  static std::unique_ptr<sim::PrologixUsb> adapter;
  adapter = std::make_unique<sim::PrologixUsb>(context);
  std::string error;
  if (!adapter->Open(&error)) {
    std::fprintf(stderr, "tesmira-bench: prologix-usb: %s\n", error.c_str());
    return false;
  }
  AddInstruments(context, *adapter, "prologix-usb");
  return true;
}

bool StartSerial(BenchContext& context) {
  if (!context.Wants("serial")) return true;
  static std::unique_ptr<sim::SerialInstrument> port;
  for (const auto& [resource, device] : context.devices) {
    if (visa::CanonicalResource(resource) != "GPIB0::5::INSTR") continue;  // the supply
    port = std::make_unique<sim::SerialInstrument>(context, device);
    std::string error;
    if (!port->Open(&error)) {
      std::fprintf(stderr, "tesmira-bench: serial: %s\n", error.c_str());
      return false;
    }
    context.transportAliases["serial"].emplace_back(
        resource, "ASRL::" + port->Path() + "::INSTR" + SUPPLY_SERIAL_SETTINGS);
  }
  return true;
}

const bool registered = RegisterBenchService({"vxi11", 50, &StartVxi11}) &&
                        RegisterBenchService({"hislip", 50, &StartHislip}) &&
                        RegisterBenchService({"prologix", 50, &StartPrologix}) &&
                        RegisterBenchService({"prologix-usb", 50, &StartPrologixUsb}) &&
                        RegisterBenchService({"serial", 50, &StartSerial});

}  // namespace
