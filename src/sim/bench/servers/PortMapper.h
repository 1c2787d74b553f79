#pragma once

#include <cstdint>
#include <string>

// The machine's port mapper (rpcbind), which VXI-11 clients ask for the server's port.
namespace sim {

// True when a port mapper listens on this machine (TCP port 111 on the loopback).
bool PortMapperRunning();

// Starts rpcbind when none is running and this process may (it is root and rpcbind is
// installed), and waits for it to answer. False with the reason in one line.
bool EnsurePortMapper(std::string* why);

// The port mapper holds one registration of the VXI-11 core program per machine, so two
// simulated servers (two tests, two benches, two engineers) cannot both be found. A server
// owns the registration under a machine-wide lock (/tmp/tesmira-vxi11.lock) and gives it back
// when it goes; a server that died leaves only a stale entry, replaced by the next owner.
class PortMapperRegistration {
 public:
  PortMapperRegistration() = default;
  ~PortMapperRegistration();
  PortMapperRegistration(const PortMapperRegistration&) = delete;
  PortMapperRegistration& operator=(const PortMapperRegistration&) = delete;

  // Waits up to waitMs for the lock, then registers program/version on TCP port. False with
  // the reason (port mapper missing, lock held by another server, registration refused).
  bool Register(uint32_t program, uint32_t version, uint16_t port, int waitMs, std::string* why);
  void Unregister();
  bool Registered() const { return registered_; }

 private:
  int lockFd_ = -1;
  bool registered_ = false;
  uint32_t program_ = 0;
  uint32_t version_ = 0;
};

}  // namespace sim
