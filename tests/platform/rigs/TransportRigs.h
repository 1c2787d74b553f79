#pragma once

#include <memory>
#include <string>

#include "platform/rigs/ScriptDevice.h"
#include "platform/rigs/ServedBench.h"
#include "sim/bench/servers/HislipServer.h"
#include "sim/bench/servers/PrologixAdapters.h"
#include "sim/bench/servers/SerialInstrument.h"

// One transport under test with the bench's server for it, in front of instrument A (and B,
// when the transport reaches several): how to name them for viOpen and how to make the server
// hang up in the middle of a reply. Servers are built before the bench thread starts and go
// after it stops.
class TransportRig {
 public:
  virtual ~TransportRig() = default;
  // False with a reason when the transport cannot be served here (the test is skipped).
  virtual bool Serve(ServedBench& bench, std::shared_ptr<ScriptDevice> a,
                     std::shared_ptr<ScriptDevice> b, std::string* why) = 0;
  // The names to open; the rig sets TESMIRA_VISA_ALIASES when it needs aliases.
  virtual std::string A() const = 0;
  virtual std::string B() const { return ""; }
  virtual std::string Backend() const = 0;
  virtual void HangUpMidReply() = 0;  // on the bench thread
  virtual void Release() = 0;         // after the bench thread stopped
};

// GPIB addresses of A and B behind a gateway or adapter.
constexpr int PAD_A = 4;
constexpr int PAD_B = 5;

std::unique_ptr<TransportRig> MakeSerialRig();
std::unique_ptr<TransportRig> MakePrologixEthernetRig();
std::unique_ptr<TransportRig> MakePrologixUsbRig();
std::unique_ptr<TransportRig> MakeHislipRig();
