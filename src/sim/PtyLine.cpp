#include "sim/PtyLine.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "sim/RawPty.h"

PtyLine::PtyLine(SimLoop& loop, uint32_t baud, speed_t speed, Receiver receiver)
    : loop_(loop), baud_(baud), speed_(speed), receiver_(std::move(receiver)) {}

PtyLine::~PtyLine() {
  *alive_ = false;
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
}

bool PtyLine::Open(std::string* error) {
  return sim::OpenRawPty(speed_, master_, slave_, slave_path_, error);
}

void PtyLine::OnReadable() {
  uint8_t buffer[4096];
  for (;;) {
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n > 0) {
      receiver_(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return;  // drained (EAGAIN), or no station attached (EIO)
  }
}

void PtyLine::Transmit(std::vector<uint8_t> bytes) {
  const uint64_t nowUs = loop_.Now() * 1000;
  const uint64_t wireUs = (bytes.size() * 10 * 1000000 + baud_ - 1) / baud_;
  line_free_us_ = std::max(nowUs, line_free_us_) + wireUs;
  const uint64_t doneMs = (line_free_us_ + 999) / 1000;
  loop_.After(doneMs - loop_.Now(), [this, alive = alive_, bytes = std::move(bytes)] {
    if (*alive) Write(bytes);
  });
}

void PtyLine::Write(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // the terminal's buffer is full: a station that does not read loses them
    }
  }
  dropped_ += bytes.size() - done;
}
