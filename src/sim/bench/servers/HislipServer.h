#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "platform/visa/HislipProtocol.h"
#include "platform/visa/SimDevice.h"
#include "sim/bench/BenchService.h"
#include "sim/bench/servers/BusInstrument.h"
#include "sim/bench/servers/TcpListener.h"

namespace sim {

// One simulated instrument as a HiSLIP server (IVI-6.1, synchronized mode) on a loopback port
// (4880 on a real instrument), sub-address "hislip0". A client opens the synchronous channel
// with Initialize and the asynchronous one with AsyncInitialize; Data/DataEnd carry messages,
// and each reply goes back as DataEnd with the MessageID of the message that asked for it.
// A message while the instrument is busy waits; device clear, status query, lock and
// remote/local are answered. Runs on the bench thread.
class HislipServer {
 public:
  static constexpr uint16_t SERVER_VENDOR = ('S' << 8) | 'M';
  static constexpr uint64_t SERVER_MAX_MESSAGE = 1u << 16;

  HislipServer(BenchContext& context, std::shared_ptr<visa::SimDevice> device);
  ~HislipServer();
  HislipServer(const HislipServer&) = delete;
  HislipServer& operator=(const HislipServer&) = delete;

  bool Listen(uint16_t port = 0);
  uint16_t Port() const { return listener_.Port(); }
  // "TCPIP0::127.0.0.1::hislip0,<port>::INSTR"
  std::string Resource() const;

  // Test switch: the next reply is cut in the middle and the channel closed.
  bool hangUpMidReply = false;

 private:
  struct Channel {
    hislip::Assembler in;
    bool sync = false;
    uint16_t session = 0;
  };
  struct Session {
    int syncFd = -1;
    int asyncFd = -1;
    std::string message;  // Data pieces of the message being received
    std::deque<std::pair<uint32_t, std::string>> waiting;  // whole messages, by MessageID
    uint32_t replyTo = 0;  // the MessageID the pending reply answers
    bool replyPending = false;
  };

  void OnData(int fd, const char* data, size_t size);
  void OnClose(int fd);
  void Handle(int fd, Channel& channel, const hislip::Message& message);
  void Process(uint16_t session);
  void Send(int fd, uint8_t type, uint8_t control, uint32_t param, const std::string& payload = {});

  BenchContext& context_;
  TcpListener listener_;
  BusInstrument instrument_;
  std::map<int, Channel> channels_;
  std::map<uint16_t, Session> sessions_;
  uint16_t nextSession_ = 1;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace sim
