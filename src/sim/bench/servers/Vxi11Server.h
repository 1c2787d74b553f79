#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/visa/SimDevice.h"
#include "sim/bench/BenchService.h"
#include "sim/bench/servers/BusInstrument.h"
#include "sim/bench/servers/OncRpc.h"
#include "sim/bench/servers/PortMapper.h"
#include "sim/bench/servers/TcpListener.h"

namespace sim {

// A LAN/GPIB gateway in front of the bench's instruments: the VXI-11 core channel (ONC RPC on
// TCP) on a loopback port, registered with the machine's port mapper. The link name
// "gpib0,N" (or "gpib0,N,S") reaches the instrument at GPIB address N, as on an E5810;
// create_link, device_write, device_read, destroy_link do the work, with device_readstb,
// device_clear, trigger, remote, local, lock and unlock for completeness. A write waits while
// the instrument is busy, a read until a reply is ready, each at most its io_timeout (then
// error 15). Runs on the bench thread.
class Vxi11Server {
 public:
  static constexpr uint32_t DEVICE_CORE = 0x0607AF;
  static constexpr uint32_t DEVICE_CORE_VERSION = 1;
  static constexpr uint32_t MAX_RECV_SIZE = 1024;  // announced at create_link

  explicit Vxi11Server(BenchContext& context);
  ~Vxi11Server();
  Vxi11Server(const Vxi11Server&) = delete;
  Vxi11Server& operator=(const Vxi11Server&) = delete;

  void AddInstrument(int gpibAddress, std::shared_ptr<visa::SimDevice> device);
  // Listens on a free loopback port and registers with the port mapper, waiting up to
  // lockWaitMs for another server to give the registration up. False with the reason.
  bool Start(int lockWaitMs, std::string* why);
  // Only the listening part of Start (for clients that know the port).
  bool Listen();
  uint16_t Port() const { return listener_.Port(); }
  // "TCPIP0::127.0.0.1::gpib0,N::INSTR"
  static std::string Resource(int gpibAddress);

  // Test switch: the next device_read reply is cut in the middle and the connection closed.
  bool hangUpMidReply = false;

 private:
  struct Link {
    int fd = -1;
    uint64_t connection = 0;
    int address = 0;
    std::string pending;  // a message written without END so far
  };
  struct Deferred;
  struct Connection {
    uint64_t id = 0;
    rpc::RecordReader reader;
    std::unique_ptr<Deferred> waiting;  // a call that waits for the instrument; later calls
                                        // stay in the reader meanwhile
  };

  void OnData(int fd, const char* data, size_t size);
  void OnClose(int fd);
  void Serve(int fd);
  // The reply to one call, or nullopt when the call waits (conn.waiting is set).
  std::optional<std::string> Handle(int fd, Connection& conn, const std::string& record);
  void Retry(int fd, uint64_t id);
  void Schedule(int fd, Connection& conn);
  BusInstrument* InstrumentOf(int32_t lid, int* error);

  BenchContext& context_;
  TcpListener listener_;
  PortMapperRegistration registration_;
  std::map<int, std::unique_ptr<BusInstrument>> instruments_;  // by GPIB address
  std::map<int32_t, Link> links_;
  std::map<int, int32_t> lockedBy_;  // GPIB address -> link holding its lock
  std::map<int, Connection> connections_;
  int32_t nextLink_ = 1;
  uint64_t nextConnection_ = 1;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace sim
