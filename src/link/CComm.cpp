#include "link/CComm.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <system_error>

#include "platform/SerialDevice.h"

// What the reader thread shares with Close and with the hand-overs it posts to the loop. Posted
// work holds it, not the port, so work that runs after Close (or after the port is gone) only
// finds the stop flag.
struct CComm::Session {
  std::mutex mutex;
  std::condition_variable cv;
  bool stop = false;
  uint64_t posted = 0;   // hand-overs posted
  uint64_t handled = 0;  // hand-overs the owner has returned from
};

CComm::CComm(EventLoop& loop, Notifier* notifier) : loop_(loop), notifier_(notifier) {}

CComm::~CComm() {
  Close();
}

bool CComm::Open(int portNumber, uint32_t baud) {
  if (IsOpen()) return true;
  lost_.store(false, std::memory_order_release);
  // A link lost earlier leaves a finished reader and its wake-up descriptor behind.
  StopReader();
  ReleaseDevice();

  last_error_.clear();
  device_path_ = SerialDevicePath(portNumber);
  if (device_path_.empty()) {
    last_error_ = "COM" + std::to_string(portNumber) + ": no such port";
    DebugLog(last_error_);
    return false;
  }
  const int fd = OpenSerialDevice(device_path_, baud, &last_error_);
  if (fd < 0) {
    DebugLog(last_error_);
    return false;
  }
  const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) {
    last_error_ = device_path_ + ": no wake-up descriptor";
    CloseSerialDevice(fd);
    return false;
  }
  // Nothing has been read yet, so purging before the reader starts loses nothing more than
  // purging just after it.
  FlushSerialDevice(fd);
  {
    std::lock_guard<std::mutex> lock(io_mutex_);
    fd_ = fd;
  }
  wake_fd_ = wake;
  session_ = std::make_shared<Session>();
  open_.store(true, std::memory_order_release);
  try {
    reader_ = std::thread(&CComm::ReaderMain, this, session_, fd, wake, device_path_);
  } catch (const std::system_error&) {
    last_error_ = device_path_ + ": cannot start the reader thread";
    Close();
    return false;
  }
  return true;
}

bool CComm::Close() {
  open_.store(false, std::memory_order_release);
  lost_.store(false, std::memory_order_release);
  StopReader();
  ReleaseDevice();
  return true;
}

void CComm::StopReader() {
  if (session_) {
    {
      std::lock_guard<std::mutex> lock(session_->mutex);
      session_->stop = true;
    }
    session_->cv.notify_all();
  }
  if (wake_fd_ >= 0) {
    const uint64_t one = 1;
    (void)!::write(wake_fd_, &one, sizeof one);
  }
  if (reader_.joinable()) {
    // Never joins itself (the reader does not call Close, but a thread cannot wait for itself).
    if (reader_.get_id() == std::this_thread::get_id()) {
      reader_.detach();
    } else {
      reader_.join();
    }
  }
  session_.reset();
}

void CComm::ReleaseDevice() {
  {
    std::lock_guard<std::mutex> lock(io_mutex_);
    CloseSerialDevice(fd_);
    fd_ = -1;
  }
  if (wake_fd_ >= 0) ::close(wake_fd_);
  wake_fd_ = -1;
}

void CComm::Purge() {
  std::lock_guard<std::mutex> lock(io_mutex_);
  if (IsOpen() && fd_ >= 0) FlushSerialDevice(fd_);
}

void CComm::SendBytes(const uint8_t* bytes, size_t count) {
  if (bytes == nullptr || count == 0 || bytes[0] == 0) return;
  std::lock_guard<std::mutex> lock(io_mutex_);
  if (!IsOpen() || fd_ < 0) return;
  // What did not go out within the wait counts as not written; the answer time-out reports it.
  (void)WriteSerialBounded(fd_, bytes, count, std::chrono::milliseconds(WRITE_WAIT_MS));
}

size_t CComm::SendAll(const uint8_t* bytes, size_t count) {
  if (bytes == nullptr || count == 0) return 0;
  std::lock_guard<std::mutex> lock(io_mutex_);
  if (!IsOpen() || fd_ < 0) return 0;
  return WriteSerialBounded(fd_, bytes, count, std::chrono::milliseconds(WRITE_TIMEOUT_MS));
}

size_t CComm::ReadAvailable(uint8_t* buffer, size_t max) {
  if (buffer == nullptr || max == 0) return 0;
  std::lock_guard<std::mutex> lock(io_mutex_);
  if (!IsOpen() || fd_ < 0) return 0;
  const size_t want = std::min(SerialBytesWaiting(fd_), max);
  if (want == 0) return 0;
  const ssize_t n = ::read(fd_, buffer, want);
  return n > 0 ? static_cast<size_t>(n) : 0;
}

void CComm::Notify(const std::string& text) {
  DebugLog(text);
  if (notifier_ == nullptr) return;
  // Message boxes belong to the user-interface thread, never to the reader.
  Notifier* notifier = notifier_;
  loop_.Post([notifier, text] { notifier->Message(text); });
}

void CComm::ReaderMain(std::shared_ptr<Session> session, int fd, int wakeFd, std::string device) {
  reader_tid_.store(gettid(), std::memory_order_release);
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int r = ::poll(fds, 2, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      DeviceLost(session, device);
      break;
    }
    if (fds[1].revents != 0) break;  // Close
    if (fds[0].revents & POLLNVAL) {
      DeviceLost(session, device);
      break;
    }
    // A hung-up device keeps reporting POLLHUP: read what is left, then stop for good.
    const bool hangup = (fds[0].revents & (POLLHUP | POLLERR)) != 0;
    const Drain drained = DrainDevice(session, fd);
    if (drained == Drain::STOPPED) break;
    if (drained == Drain::GONE || hangup) {
      DeviceLost(session, device);
      break;
    }
  }
  reader_tid_.store(0, std::memory_order_release);
}

CComm::Drain CComm::DrainDevice(const std::shared_ptr<Session>& session, int fd) {
  uint8_t burst[RX_BUFFER_SIZE];
  bool filed = false;
  Drain result;
  for (;;) {
    const bool queueMode = queue_mode_.load(std::memory_order_acquire);
    // Message mode reads straight into the receive buffer: the previous burst has been
    // handed over (the reader waited for it), so nothing unread is overwritten.
    uint8_t* target = queueMode ? burst : rx_buffer_;
    const ssize_t n = ::read(fd, target, RX_BUFFER_SIZE);
    if (n > 0) {
      if (queueMode) {
        FileBurst(burst, static_cast<size_t>(n));
        filed = true;
      } else {
        rx_count_ = static_cast<uint32_t>(n);
        if (!HandOver(session)) return Drain::STOPPED;
      }
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // EAGAIN: the driver holds nothing more. 0 (hung up), EIO, ENXIO and the rest: gone.
    result = (n < 0 && errno == EAGAIN) ? Drain::IDLE : Drain::GONE;
    break;
  }
  if (filed) arrived_.store(1, std::memory_order_release);
  return result;
}

void CComm::FileBurst(const uint8_t* bytes, size_t count) {
  if (queue_.Free() < count) {
    // The whole burst goes; what is queued already stays.
    Notify("Queue is Full !");
    return;
  }
  for (size_t i = 0; i < count; ++i) queue_.Put(bytes[i]);
}

bool CComm::HandOver(const std::shared_ptr<Session>& session) {
  uint64_t ticket;
  {
    std::lock_guard<std::mutex> lock(session->mutex);
    if (session->stop) return false;
    ticket = ++session->posted;
  }
  loop_.Post([this, session, ticket] {
    {
      std::lock_guard<std::mutex> lock(session->mutex);
      if (session->stop) return;  // closed meanwhile: the port may be gone, touch nothing
    }
    // Owner missing: the burst is lost, as with no window to send it to.
    if (owner_ != nullptr) owner_->OnCommData();
    {
      std::lock_guard<std::mutex> lock(session->mutex);
      session->handled = ticket;
    }
    session->cv.notify_all();
  });
  std::unique_lock<std::mutex> lock(session->mutex);
  session->cv.wait(lock, [&] { return session->stop || session->handled >= ticket; });
  return !session->stop;
}

void CComm::DeviceLost(const std::shared_ptr<Session>& session, const std::string& device) {
  {
    std::lock_guard<std::mutex> lock(session->mutex);
    if (session->stop) return;  // being closed anyway; not a loss
  }
  {
    // Release the device at once: a replugged adapter then gets its old name back.
    std::lock_guard<std::mutex> lock(io_mutex_);
    open_.store(false, std::memory_order_release);
    lost_.store(true, std::memory_order_release);
    CloseSerialDevice(fd_);
    fd_ = -1;
  }
  Notify("serial port lost: " + device);
  // The owner stops what it was doing: a request resent every few seconds would wait for a
  // device that is gone. A Close since then (the port may be going away) cancels this.
  loop_.Post([this, session] {
    {
      std::lock_guard<std::mutex> lock(session->mutex);
      if (session->stop) return;
    }
    if (owner_ != nullptr) owner_->OnPortLost();
  });
}
