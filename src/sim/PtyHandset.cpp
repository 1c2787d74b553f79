#include "sim/PtyHandset.h"

#include <utility>

PtyHandset::PtyHandset(SimLoop& loop, sim::Bench& bench, uint32_t baud)
    : loop_(loop),
      sim_(bench, *this),
      line_(loop, baud == 0 ? 115200 : baud, B115200,
            [this](const uint8_t* data, size_t size) { sim_.OnStationBytes(data, size); }) {}

void PtyHandset::After(uint64_t delayMs, std::function<void()> fn) {
  loop_.After(delayMs, std::move(fn));
}
