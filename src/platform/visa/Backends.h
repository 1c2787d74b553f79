#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/visa/Aliases.h"
#include "platform/visa/SimDevice.h"
#include "platform/visa/Transport.h"

// The facade's backends. Each Open returns a VISA status and, on success, the transport.
namespace visa::detail {

// Simulated instrument in this process. Each write/read costs SIM_GPIB_TRANSFER_MS of bus time.
constexpr uint32_t SIM_GPIB_TRANSFER_MS = 1;
std::unique_ptr<Transport> OpenSimTransport(std::shared_ptr<SimDevice> device);

// SCPI over a raw TCP socket (TCPIPn::host::port::SOCKET).
constexpr int SOCKET_CONNECT_TIMEOUT_MS = 5000;
ViStatus OpenSocketTransport(const std::string& host, int port, std::unique_ptr<Transport>* out);

// VXI-11 through liblxi (TCPIPn::host::device::INSTR); VI_ERROR_NSUP_OPER without liblxi.
ViStatus OpenVxi11Transport(const std::string& host, const std::string& device,
                            std::unique_ptr<Transport>* out);

// HiSLIP, built in (TCPIPn::host::hislip0[,port]::INSTR).
ViStatus OpenHislipTransport(const std::string& host, int port, const std::string& subAddress,
                             std::unique_ptr<Transport>* out);

// An instrument on a serial device (ASRLn::INSTR, ASRL::/dev/...::INSTR), with the settings
// of its alias target (baud, parity, ...; see SerialOptions.h).
ViStatus OpenSerialTransport(const std::string& path, const std::vector<Setting>& settings,
                             std::unique_ptr<Transport>* out);

// The GPIB instrument at (pad, sad) behind a Prologix adapter: kind "PRLGX-TCPIP" (host, port)
// or "PRLGX-ASRL" (device path, port unused). sad -1 for none. One connection per adapter.
ViStatus OpenPrologixTransport(const std::string& kind, const std::string& host, int port, int pad,
                               int sad, std::unique_ptr<Transport>* out);

// A VISA library installed on the system, loaded with dlopen on first use.
// VI_ERROR_LIBRARY_NFOUND when none could be loaded (an explicit TESMIRA_VISA_LIBRARY that
// fails to load is reported the same way).
ViStatus OpenSystemTransport(const std::string& resource, ViAccessMode mode, ViUInt32 timeout,
                             std::unique_ptr<Transport>* out);
bool SystemVisaAvailable();
// The system library's resources matching a VISA expression (empty without a library).
std::vector<std::string> SystemFindResources(const std::string& expression);
void UnloadSystemVisa();

}  // namespace visa::detail
