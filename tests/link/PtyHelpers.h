#pragma once

// Helpers for tests on real serial I/O: a pseudo-terminal far end, a hard deadline, and
// recorders for what reaches the user-interface thread.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "link/Port.h"
#include "platform/Notifier.h"
#include "support/Deadline.h"

namespace testing_serial {

using namespace std::chrono_literals;

using testsupport::Deadline;

// Polls cond (for states no event loop reports, e.g. driver buffers) until it holds or limit.
inline bool WaitFor(const std::function<bool()>& cond, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!cond()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(500us);
  }
  return true;
}

// The far end of a serial line: the master side of a pseudo-terminal whose slave the port
// opens through TESMIRA_COM<n>. A second slave descriptor stays open so that the line survives
// the port's own close, and so the test can see what the driver holds.
class PtyFarEnd {
 public:
  PtyFarEnd() {
    char name[128] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
      ADD_FAILURE() << "openpty failed";
      return;
    }
    path_ = name;
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    tcsetattr(slave_, TCSANOW, &t);
  }
  ~PtyFarEnd() {
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
  }
  PtyFarEnd(const PtyFarEnd&) = delete;
  PtyFarEnd& operator=(const PtyFarEnd&) = delete;

  const std::string& SlavePath() const { return path_; }
  void BindTo(int portNumber) const {
    setenv(("TESMIRA_COM" + std::to_string(portNumber)).c_str(), path_.c_str(), 1);
  }
  int Master() const { return master_; }
  int Slave() const { return slave_; }

  // Blocking write of everything (the line pushes back while the port's reader is behind).
  bool Write(const uint8_t* data, size_t count) {
    size_t done = 0;
    while (done < count) {
      const ssize_t n = write(master_, data + done, count - done);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }
  bool Write(const std::vector<uint8_t>& data) { return Write(data.data(), data.size()); }

  // What the station wrote, until count bytes came or limit passed.
  std::vector<uint8_t> Read(size_t count, std::chrono::milliseconds limit) {
    std::vector<uint8_t> out;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (out.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      uint8_t buf[4096];
      const ssize_t n = read(master_, buf, std::min(sizeof buf, count - out.size()));
      if (n <= 0) break;
      out.insert(out.end(), buf, buf + n);
    }
    return out;
  }

  // Bytes the slave side's driver holds, not yet read by anyone.
  size_t InputWaiting() const {
    int n = 0;
    return ioctl(slave_, FIONREAD, &n) == 0 ? static_cast<size_t>(n) : 0;
  }

  // The far end disappears: every slave descriptor is hung up.
  void Hangup() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

  // The line is hung up while its far end stays, as a USB adapter's driver does when unplugged:
  // every open descriptor of the slave then reads 0. Needs CAP_SYS_ADMIN; false when refused.
  bool VHangup() { return ioctl(slave_, TIOCVHANGUP) == 0; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

// Scheduler state of a thread of this process ('R' running, 'S' sleeping, ...), 0 when the
// thread no longer exists.
inline char TaskState(pid_t tid) {
  std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string stat;
  if (!in || !std::getline(in, stat)) return 0;
  const auto close = stat.rfind(')');
  return close == std::string::npos || close + 2 >= stat.size() ? 0 : stat[close + 2];
}

// CPU time a thread of this process has used, in nanoseconds (-1 when it no longer exists).
inline long long TaskCpuNs(pid_t tid) {
  std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/schedstat");
  long long ns = -1;
  if (!(in >> ns)) return -1;
  return ns;
}

inline std::vector<uint8_t> Pattern(size_t count, uint32_t seed) {
  std::vector<uint8_t> out(count);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : out) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 16);
  }
  return out;
}

// The operator's message boxes, and whether one ever came from another thread.
class RecordingNotifier : public Notifier {
 public:
  void Message(const std::string& text) override {
    if (std::this_thread::get_id() != ui_thread_) off_thread = true;
    messages.push_back(text);
  }
  size_t CountOf(const std::string& text) const {
    size_t n = 0;
    for (const auto& m : messages) n += m == text;
    return n;
  }
  std::vector<std::string> messages;
  bool off_thread = false;

 private:
  std::thread::id ui_thread_ = std::this_thread::get_id();
};

// An owner window: copies each burst out of the port, as the exchange does.
class BurstRecorder : public PortOwner {
 public:
  explicit BurstRecorder(Port& port) : port_(port) {}
  void OnCommData() override {
    if (std::this_thread::get_id() != ui_thread_) off_thread = true;
    if (beforeCopy) beforeCopy();
    const uint8_t* data = port_.ReceivedBuffer();
    bursts.emplace_back(data, data + port_.ReceivedCount());
    bytes.insert(bytes.end(), data, data + port_.ReceivedCount());
  }
  std::vector<std::vector<uint8_t>> bursts;
  std::vector<uint8_t> bytes;
  bool off_thread = false;
  std::function<void()> beforeCopy;

 private:
  Port& port_;
  std::thread::id ui_thread_ = std::this_thread::get_id();
};

}  // namespace testing_serial
