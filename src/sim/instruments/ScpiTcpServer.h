#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/visa/SimDevice.h"
#include "sim/bench/BenchService.h"

namespace sim {

// Serves one simulated instrument on a loopback TCP port the way LAN instruments serve SCPI
// (port 5025 style): each line received is one message for the device; each reply the device
// has after it is sent back as one line ending in '\n', once the device's busy time for that
// message has passed on the bench clock. Requests of one connection are handled in order.
// An instrument whose connection the bench closes (its Closed fault) loses every connection and
// stops listening, so the station sees its end of file and then a refused connection.
// Runs on the bench thread through the context's watch and loop: no threads, no locks.
class ScpiTcpServer {
 public:
  ScpiTcpServer(BenchContext& context, std::shared_ptr<visa::SimDevice> device);
  ~ScpiTcpServer();
  ScpiTcpServer(const ScpiTcpServer&) = delete;
  ScpiTcpServer& operator=(const ScpiTcpServer&) = delete;

  // Listens on 127.0.0.1 (port 0: any free port). False when the port cannot be bound.
  bool Listen(uint16_t port = 0);
  uint16_t Port() const { return port_; }
  // "TCPIP0::127.0.0.1::<port>::SOCKET", the facade's name for this server.
  std::string Resource() const;
  size_t Connections() const { return connections_.size(); }

  // A line longer than this is not SCPI; the connection is dropped.
  static constexpr size_t MAX_LINE = 65536;

 private:
  struct Connection {
    int fd = -1;
    std::string input;
    bool busy = false;  // a reply is waiting for the device's busy time
  };

  void Accept();
  void Receive(int fd);
  void Process(int fd);
  void SendReplies(int fd);
  bool SendAll(int fd, const std::string& data);
  void Drop(int fd);
  // True (and the service closed) when the device's connection is closed.
  bool CloseIfClosed();

  BenchContext& context_;
  std::shared_ptr<visa::SimDevice> device_;
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::map<int, Connection> connections_;
  // Events scheduled on the loop hold this weakly and do nothing once the server is gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace sim
