#include "link/CQueue.h"

void CQueue::Clear() {
  buffer_.fill(0);
  write_.store(0, std::memory_order_release);
  read_.store(0, std::memory_order_release);
}

void CQueue::Discard() {
  read_.store(write_.load(std::memory_order_acquire), std::memory_order_release);
}

uint32_t CQueue::Count() const {
  const uint32_t w = write_.load(std::memory_order_acquire);
  const uint32_t r = read_.load(std::memory_order_acquire);
  return (w - r + SIZE) % SIZE;
}

bool CQueue::Put(uint8_t byte) {
  const uint32_t w = write_.load(std::memory_order_relaxed);
  const uint32_t next = (w + 1) % SIZE;
  if (next == read_.load(std::memory_order_acquire)) return false;
  buffer_[w] = byte;  // the byte before the index that publishes it
  write_.store(next, std::memory_order_release);
  return true;
}

uint8_t CQueue::Get() {
  const uint32_t r = read_.load(std::memory_order_relaxed);
  if (r == write_.load(std::memory_order_acquire)) return 0;
  const uint8_t byte = buffer_[r];
  read_.store((r + 1) % SIZE, std::memory_order_release);
  return byte;
}

uint8_t CQueue::Peek(uint32_t offset) const {
  return buffer_[(read_.load(std::memory_order_acquire) + offset) % SIZE];
}
