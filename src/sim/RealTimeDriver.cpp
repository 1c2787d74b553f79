#include "sim/RealTimeDriver.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>
#include <vector>

RealTimeDriver::RealTimeDriver(SimLoop& loop)
    : loop_(loop), start_(std::chrono::steady_clock::now()), start_ms_(loop.Now()) {
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
}

RealTimeDriver::~RealTimeDriver() {
  if (wake_[0] >= 0) close(wake_[0]);
  if (wake_[1] >= 0) close(wake_[1]);
}

void RealTimeDriver::Watch(int fd, std::function<void()> onReadable) {
  watches_[fd] = std::move(onReadable);
}

void RealTimeDriver::Unwatch(int fd) {
  watches_.erase(fd);
}

void RealTimeDriver::Stop() {
  stop_.store(true);
  if (wake_[1] >= 0) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = write(wake_[1], &c, 1);
  }
}

void RealTimeDriver::CatchUp() {
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start_);
  const uint64_t real = start_ms_ + static_cast<uint64_t>(elapsed.count());
  loop_.RunFor(real > loop_.Now() ? real - loop_.Now() : 0);
}

void RealTimeDriver::RunOnce(int maxWaitMs) {
  CatchUp();
  std::vector<pollfd> fds;
  if (wake_[0] >= 0) fds.push_back({wake_[0], POLLIN, 0});
  for (const auto& w : watches_) fds.push_back({w.first, POLLIN, 0});
  // Sleep until the next simulated event is due, not a fixed tick: an idle bench costs nothing.
  int timeout = maxWaitMs;
  const uint64_t next = loop_.NextEventMs();
  if (next != UINT64_MAX) {
    const uint64_t now = loop_.Now();
    timeout = next <= now ? 0 : static_cast<int>(std::min<uint64_t>(next - now, timeout));
  }
  const int n = poll(fds.data(), fds.size(), stop_.load() ? 0 : timeout);
  CatchUp();
  if (n <= 0) return;  // time-out, or a signal: the caller looks at Stopped()
  for (const pollfd& p : fds) {
    if (p.revents == 0) continue;
    if (p.fd == wake_[0]) {
      char buffer[64];
      while (read(wake_[0], buffer, sizeof buffer) > 0) {
      }
      continue;
    }
    // A handler may unwatch descriptors; look each one up again.
    auto it = watches_.find(p.fd);
    if (it != watches_.end()) {
      auto handler = it->second;
      handler();
    }
  }
}

void RealTimeDriver::Run() {
  while (!stop_.load()) RunOnce(100);
}
