#include "sim/PtyScanner.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "sim/RawPty.h"

PtyScanner::PtyScanner(SimLoop& loop, sim::ScannerModel& model) : loop_(loop), sim_(model, *this) {}

PtyScanner::~PtyScanner() {
  *alive_ = false;
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
}

bool PtyScanner::Open(std::string* error) {
  return sim::OpenRawPty(B9600, master_, slave_, slave_path_, error);
}

void PtyScanner::OnReadable() {
  uint8_t buffer[256];
  for (;;) {
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n > 0) {
      sim_.OnStationBytes(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return;
  }
}

void PtyScanner::Transmit(std::vector<uint8_t> bytes) {
  const uint64_t nowUs = loop_.Now() * 1000;
  const uint64_t wireUs = (bytes.size() * 10 * 1000000 + BAUD - 1) / BAUD;
  line_free_us_ = std::max(nowUs, line_free_us_) + wireUs;
  const uint64_t doneMs = (line_free_us_ + 999) / 1000;
  loop_.After(doneMs - loop_.Now(), [this, alive = alive_, bytes = std::move(bytes)] {
    if (*alive) Write(bytes);
  });
}

void PtyScanner::After(uint64_t delayMs, std::function<void()> fn) {
  loop_.After(delayMs, std::move(fn));
}

void PtyScanner::Write(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // nobody reads the line: the scanner's bytes are lost, as on a real one
    }
  }
}
