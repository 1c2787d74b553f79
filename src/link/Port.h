#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "link/CQueue.h"

// The window that receives WM_COMM_DATA: called on the user-interface thread, once per burst,
// while the port's receive buffer holds the burst (ReceivedBuffer / ReceivedCount).
class PortOwner {
 public:
  virtual ~PortOwner() = default;
  virtual void OnCommData() = 0;
  // The device went away while open (adapter unplugged, far end hung up); the port is closed
  // already and has told the operator. Called on the user-interface thread.
  virtual void OnPortLost() {}
};

// A serial port object: the handset link (COM1, 115200) or the barcode scanner (COM2, 9600).
// CComm implements it on a real device, SimPort on SimLoop with a simulated far end.
class Port {
 public:
  static constexpr size_t RX_BUFFER_SIZE = 4096;

  virtual ~Port() = default;
  virtual bool Open(int portNumber, uint32_t baud) = 0;  // success at once when already open
  virtual bool Close() = 0;                              // always true
  virtual bool IsOpen() const = 0;
  // The device went away since the last Open (the port reports closed meanwhile).
  virtual bool Lost() const { return false; }
  virtual void Purge() = 0;  // drop what the driver holds in both directions
  virtual void SetOwner(PortOwner* owner) = 0;
  virtual PortOwner* Owner() const = 0;
  // An owner that goes away leaves the port, so a later burst is lost instead of reaching it;
  // another window that took the port meanwhile keeps it.
  void ReleaseOwner(const PortOwner* owner) {
    if (Owner() == owner) SetOwner(nullptr);
  }
  // One complete handset wire frame; nothing when closed or when the first byte is 0.
  virtual void SendBytes(const uint8_t* bytes, size_t count) = 0;
  virtual size_t SendAll(const uint8_t* bytes, size_t count) = 0;  // returns bytes written
  virtual size_t ReadAvailable(uint8_t* buffer, size_t max) = 0;   // never waits
  virtual void SetQueueMode(bool on) = 0;

  // Message mode: the last burst handed to the owner.
  const uint8_t* ReceivedBuffer() const { return rx_buffer_; }
  uint32_t ReceivedCount() const { return rx_count_; }
  // Queue mode: bytes filed by the reader, and the flag it raises after each burst.
  CQueue& Queue() { return queue_; }
  std::atomic<uint32_t>& ArrivedFlag() { return arrived_; }

 protected:
  uint8_t rx_buffer_[RX_BUFFER_SIZE] = {};
  uint32_t rx_count_ = 0;
  CQueue queue_;
  std::atomic<uint32_t> arrived_{0};
};
