#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/Port.h"
#include "sim/SimLoop.h"

// The device at the far end of a SimPort: the simulated handset, the scanner, a test double.
class SimFarEnd {
 public:
  virtual ~SimFarEnd() = default;
  // Bytes the station wrote, arriving at the device after their wire time.
  virtual void OnStationBytes(const uint8_t* data, size_t count) = 0;
};

// A serial port on SimLoop. Bytes take 10 bits each at the port's baud rate in either
// direction (kept in microseconds; a transfer arrives at the millisecond its last byte does,
// rounded up, and each direction's line carries one transfer after another). What the far end
// sends reaches the owner as one WM_COMM_DATA burst (at most 4096 bytes; a longer DeviceSend
// arrives as several, in order) per DeviceSend, or fills the queue in queue mode (a burst that
// does not fit is dropped whole with "Queue is Full !"). A closed port sends nothing and loses
// what arrives, including what was on the wire when it was closed.
class SimPort : public Port {
 public:
  explicit SimPort(SimLoop& loop) : loop_(loop) {}

  void Attach(SimFarEnd* farEnd) { far_end_ = farEnd; }

  bool Open(int portNumber, uint32_t baud) override;
  bool Close() override;
  bool IsOpen() const override { return open_; }
  bool Lost() const override { return lost_; }
  void Purge() override { ++purges; }
  void SetOwner(PortOwner* owner) override { owner_ = owner; }
  PortOwner* Owner() const override { return owner_; }
  void SendBytes(const uint8_t* bytes, size_t count) override;
  size_t SendAll(const uint8_t* bytes, size_t count) override;
  size_t ReadAvailable(uint8_t* buffer, size_t max) override;
  void SetQueueMode(bool on) override { queue_mode_ = on; }

  // Far end side: bytes leave the device now and arrive at the station after wire time.
  void DeviceSend(const uint8_t* data, size_t count);
  void DeviceSend(const std::vector<uint8_t>& data) { DeviceSend(data.data(), data.size()); }
  // The device goes away (adapter unplugged) as the serial port object reports it: closed and
  // lost at once, what was on the wire gone, the owner's OnPortLost at the next turn of the
  // loop unless the port was closed or opened again meanwhile.
  void DeviceLost();

  uint32_t Baud() const { return baud_; }
  int PortNumber() const { return port_number_; }
  uint64_t WireTimeUs(size_t bytes) const;  // 10 bits per byte

  // Test hooks.
  bool failOpen = false;                                // Open fails (port held elsewhere)
  int purges = 0;                                       // Purge calls
  std::vector<std::vector<uint8_t>> writes;             // every SendBytes/SendAll that went out
  std::function<void(const std::string&)> onQueueFull;  // "Queue is Full !" in queue mode

 private:
  uint64_t LineSlot(uint64_t& lineFreeUs, size_t bytes);  // arrival time (us) of a transfer
  void ToDevice(const uint8_t* bytes, size_t count);
  void Deliver(uint64_t epoch, const std::vector<uint8_t>& data);

  SimLoop& loop_;
  SimFarEnd* far_end_ = nullptr;
  PortOwner* owner_ = nullptr;
  bool open_ = false;
  bool lost_ = false;
  bool queue_mode_ = false;
  int port_number_ = 0;
  uint32_t baud_ = 115200;
  uint64_t to_device_free_us_ = 0;   // when the line toward the device is free again
  uint64_t to_station_free_us_ = 0;  // and toward the station
  uint64_t epoch_ = 0;               // counts closes
  // Held by the transfers on the line: a port deleted meanwhile loses them, as a closed one does.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
