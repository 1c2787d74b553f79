#pragma once

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "link/Port.h"
#include "platform/EventLoop.h"
#include "platform/Notifier.h"

// The serial port object on a POSIX tty: COM<n> is /dev/ttyS<n-1> unless TESMIRA_COM<n> names
// another device. Raw 8N1 at the requested rate, exclusive to one holder.
//
// A reader thread per open port sleeps in poll() on the device and on a wake-up eventfd.
// Message mode: each burst read (at most 4096 bytes) goes into the receive buffer and the
// owner's OnCommData runs on the loop thread while the reader waits, so the buffer is never
// overwritten before the owner copied it. Queue mode: bursts are filed into the queue (or
// dropped whole with "Queue is Full !" when they do not fit) and ArrivedFlag is raised.
//
// The hand-over is posted to the loop and waited for by the reader itself rather than through
// EventLoop::SendSync, so that Close, called on the loop thread while a hand-over is still
// queued there, can cancel it and join the reader instead of waiting for itself.
//
// When the device goes away (adapter unplugged, far end of a pty closed) the reader releases
// the device, the port reports closed and "serial port lost: <device>" is posted once.
//
// All operations belong to the loop thread. The loop must outlive the object, and the notifier
// must outlive the messages the object posted to the loop.
class CComm : public Port {
 public:
  static constexpr uint32_t WRITE_WAIT_MS = 1000;     // SendBytes
  static constexpr uint32_t WRITE_TIMEOUT_MS = 5000;  // SendAll: the line's write time-out

  CComm(EventLoop& loop, Notifier* notifier);
  ~CComm() override;  // closes the port and joins the reader thread
  CComm(const CComm&) = delete;
  CComm& operator=(const CComm&) = delete;

  bool Open(int portNumber, uint32_t baud) override;
  bool Close() override;
  bool IsOpen() const override { return open_.load(std::memory_order_acquire); }
  // The device went away since the last Open (any thread may ask; Open and Close clear it).
  bool Lost() const override { return lost_.load(std::memory_order_acquire); }
  void Purge() override;
  void SetOwner(PortOwner* owner) override { owner_ = owner; }
  PortOwner* Owner() const override { return owner_; }
  void SendBytes(const uint8_t* bytes, size_t count) override;
  size_t SendAll(const uint8_t* bytes, size_t count) override;
  size_t ReadAvailable(uint8_t* buffer, size_t max) override;
  void SetQueueMode(bool on) override { queue_mode_.store(on, std::memory_order_release); }

  // The device of the last Open, and why that Open failed (empty after success).
  const std::string& DevicePath() const { return device_path_; }
  const std::string& LastError() const { return last_error_; }
  // Kernel thread id of the running reader, 0 when none runs (diagnostics, tests, benchmark).
  pid_t ReaderThreadId() const { return reader_tid_.load(std::memory_order_acquire); }

 private:
  struct Session;
  enum class Drain { IDLE, STOPPED, GONE };

  void ReaderMain(std::shared_ptr<Session> session, int fd, int wakeFd, std::string device);
  Drain DrainDevice(const std::shared_ptr<Session>& session, int fd);
  void FileBurst(const uint8_t* bytes, size_t count);
  bool HandOver(const std::shared_ptr<Session>& session);  // false when Close cut it short
  void DeviceLost(const std::shared_ptr<Session>& session, const std::string& device);
  void Notify(const std::string& text);
  void StopReader();
  void ReleaseDevice();

  EventLoop& loop_;
  Notifier* notifier_;
  PortOwner* owner_ = nullptr;  // read on the loop thread only
  std::atomic<bool> open_{false};
  std::atomic<bool> lost_{false};
  std::atomic<bool> queue_mode_{false};
  // Guards fd_: the loop thread writes through it while the reader may close it on loss.
  std::mutex io_mutex_;
  int fd_ = -1;
  int wake_fd_ = -1;
  std::shared_ptr<Session> session_;
  std::thread reader_;
  std::atomic<pid_t> reader_tid_{0};
  std::string device_path_;
  std::string last_error_;
};
