#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "sim/bench/BenchService.h"

namespace sim {

// A loopback TCP listener on the bench thread with its connections: bytes in are handed to
// onData, and the servers send with Send. Everything runs through the context's watches.
class TcpListener {
 public:
  explicit TcpListener(BenchContext& context) : context_(context) {}
  ~TcpListener();
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  // Listens on 127.0.0.1 (port 0: any free port). False when it cannot bind.
  bool Listen(uint16_t port = 0);
  uint16_t Port() const { return port_; }

  std::function<void(int fd)> onConnect;
  std::function<void(int fd, const char* data, size_t size)> onData;
  std::function<void(int fd)> onClose;  // after the peer hung up or Drop

  // Sends all of data; false (and the connection is dropped) when the peer does not take it.
  bool Send(int fd, const std::string& data);
  void Drop(int fd);
  size_t Connections() const { return connections_.size(); }

 private:
  void Accept();
  void Receive(int fd);

  BenchContext& context_;
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::map<int, bool> connections_;
};

}  // namespace sim
