#include "platform/rigs/TransportRigs.h"

#include <cstdlib>

namespace {

void SetAliases(const std::string& text) {
  setenv("TESMIRA_VISA_ALIASES", text.c_str(), 1);
}

// A on its RS-232 port (a pseudo-terminal), opened through the supply's GPIB resource.
class SerialRig : public TransportRig {
 public:
  bool Serve(ServedBench& bench, std::shared_ptr<ScriptDevice> a, std::shared_ptr<ScriptDevice>,
             std::string* why) override {
    port_ = std::make_unique<sim::SerialInstrument>(bench.context(), std::move(a));
    if (!port_->Open(why)) return false;
    SetAliases("GPIB::5::INSTR=ASRL::" + port_->Path() + "::INSTR{init=SYST:REM}");
    return true;
  }
  std::string A() const override { return "GPIB::5::INSTR"; }
  std::string Backend() const override { return "serial"; }
  void HangUpMidReply() override { port_->hangUpMidReply = true; }
  void Release() override { port_.reset(); }

 private:
  std::unique_ptr<sim::SerialInstrument> port_;
};

template <typename Adapter>
class PrologixRig : public TransportRig {
 public:
  bool Serve(ServedBench& bench, std::shared_ptr<ScriptDevice> a, std::shared_ptr<ScriptDevice> b,
             std::string* why) override {
    adapter_ = std::make_unique<Adapter>(bench.context());
    adapter_->adapter().AddInstrument(PAD_A, std::move(a));
    adapter_->adapter().AddInstrument(PAD_B, std::move(b));
    if (!Open(why)) return false;
    SetAliases("GPIB0::4::INSTR=" + adapter_->Resource() +
               ";GPIB0::5::INSTR=" + adapter_->Resource());
    return true;
  }
  std::string A() const override { return "GPIB0::4::INSTR"; }
  std::string B() const override { return "GPIB0::5::INSTR"; }
  std::string Backend() const override { return "prologix"; }
  void HangUpMidReply() override { adapter_->adapter().hangUpMidReply = true; }
  void Release() override { adapter_.reset(); }
  sim::PrologixSim& adapter() { return adapter_->adapter(); }

 private:
  bool Open(std::string* why);
  std::unique_ptr<Adapter> adapter_;
};

template <>
bool PrologixRig<sim::PrologixEthernet>::Open(std::string* why) {
  if (adapter_->Listen()) return true;
  *why = "cannot listen on a loopback port";
  return false;
}

template <>
bool PrologixRig<sim::PrologixUsb>::Open(std::string* why) {
  return adapter_->Open(why);
}

// A and B as two LAN instruments with HiSLIP servers of their own.
class HislipRig : public TransportRig {
 public:
  bool Serve(ServedBench& bench, std::shared_ptr<ScriptDevice> a, std::shared_ptr<ScriptDevice> b,
             std::string* why) override {
    a_ = std::make_unique<sim::HislipServer>(bench.context(), std::move(a));
    b_ = std::make_unique<sim::HislipServer>(bench.context(), std::move(b));
    if (!a_->Listen() || !b_->Listen()) {
      *why = "cannot listen on a loopback port";
      return false;
    }
    unsetenv("TESMIRA_VISA_ALIASES");
    return true;
  }
  std::string A() const override { return a_->Resource(); }
  std::string B() const override { return b_->Resource(); }
  std::string Backend() const override { return "hislip"; }
  void HangUpMidReply() override { a_->hangUpMidReply = true; }
  void Release() override {
    a_.reset();
    b_.reset();
  }

 private:
  std::unique_ptr<sim::HislipServer> a_;
  std::unique_ptr<sim::HislipServer> b_;
};

}  // namespace

std::unique_ptr<TransportRig> MakeSerialRig() {
  return std::make_unique<SerialRig>();
}
std::unique_ptr<TransportRig> MakePrologixEthernetRig() {
  return std::make_unique<PrologixRig<sim::PrologixEthernet>>();
}
std::unique_ptr<TransportRig> MakePrologixUsbRig() {
  return std::make_unique<PrologixRig<sim::PrologixUsb>>();
}
std::unique_ptr<TransportRig> MakeHislipRig() {
  return std::make_unique<HislipRig>();
}
