#include "sim/bench/servers/PtyPort.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/RawPty.h"

namespace sim {

PtyPort::~PtyPort() {
  HangUp();
}

bool PtyPort::Open(std::string* error) {
  if (!sim::OpenRawPty(B9600, master_, slave_, path_, error)) return false;
  context_.watch(master_, [this] { OnReadable(); });
  return true;
}

void PtyPort::OnReadable() {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n > 0) {
      if (onData) onData(buffer, static_cast<size_t>(n));
      if (master_ < 0) return;  // hung up while handling
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return;  // drained (EAGAIN)
  }
}

void PtyPort::Send(const std::string& bytes) {
  size_t done = 0;
  while (master_ >= 0 && done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
}

bool PtyPort::LineSettings(termios* out) const {
  return slave_ >= 0 && tcgetattr(slave_, out) == 0;
}

void PtyPort::HangUp() {
  if (master_ >= 0) {
    context_.unwatch(master_);
    ::close(master_);
  }
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
}

}  // namespace sim
