#include "sim/PtyScanner.h"

#include <utility>

PtyScanner::PtyScanner(SimLoop& loop, sim::ScannerModel& model)
    : loop_(loop),
      sim_(model, *this),
      line_(loop, BAUD, B9600,
            [this](const uint8_t* data, size_t size) { sim_.OnStationBytes(data, size); }) {}

void PtyScanner::After(uint64_t delayMs, std::function<void()> fn) {
  loop_.After(delayMs, std::move(fn));
}
