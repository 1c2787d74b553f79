#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/rigs/TransportRigs.h"
#include "platform/visa/visa.h"

// The behaviour every instrument transport must show, checked the same way on each: a bench
// thread with instruments A and B behind the rig's server, and the station's side through the
// VISA facade.
class TransportBench {
 public:
  explicit TransportBench(std::unique_ptr<TransportRig> rig);
  ~TransportBench();
  TransportBench(const TransportBench&) = delete;
  TransportBench& operator=(const TransportBench&) = delete;

  // Serves and starts the bench; false with the reason when the transport cannot be served.
  bool Start(std::string* why);
  TransportRig& rig() { return *rig_; }
  ServedBench& bench() { return bench_; }
  // Opens a name (VI_NULL on failure, with a test failure recorded).
  ViSession Open(const std::string& name);
  // What the instrument received, read on the bench thread.
  std::vector<std::string> Messages(const std::shared_ptr<ScriptDevice>& device);

  std::shared_ptr<ScriptDevice> a = std::make_shared<ScriptDevice>("A");
  std::shared_ptr<ScriptDevice> b = std::make_shared<ScriptDevice>("B");
  ViSession rm = VI_NULL;

 private:
  ServedBench bench_;
  std::unique_ptr<TransportRig> rig_;
};

ViStatus Write(ViSession vi, const std::string& text);
ViStatus Read(ViSession vi, std::string* text, ViUInt32 count = 512);

// Open, a query read to its terminator, a reply taken in pieces by a small buffer.
void CheckQueryAndBuffer(TransportBench& t);
// A query nobody answers ends in VI_ERROR_TMO after the time-out, not sooner, not much later.
void CheckTimeout(TransportBench& t);
// A reply that comes after its read timed out is never taken for the next answer: neither
// one the server is still preparing when the next query comes, nor one already on its way.
void CheckLateReply(TransportBench& t);
// A server that hangs up in the middle of a reply: the read fails, and so does the next
// transfer; nothing half-received passes for an answer.
void CheckHangUp(TransportBench& t);
// Two instruments behind one gateway or adapter, queries interleaved.
void CheckInterleaved(TransportBench& t);
