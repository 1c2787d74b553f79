#pragma once

#include <array>
#include <atomic>
#include <cstdint>

// Byte ring of 4096 slots holding at most 4095 bytes (one slot stays free so that full and
// empty differ). Single producer (a port's reader thread moves the write index), single
// consumer (the user-interface thread moves the read index); each index is published with
// release and read with acquire, so no lock is needed.
class CQueue {
 public:
  static constexpr uint32_t SIZE = 4096;
  static constexpr uint32_t CAPACITY = SIZE - 1;

  CQueue() { Clear(); }
  void Clear();  // both indices 0, buffer zeroed; only while no producer runs
  // The consumer's way to empty the ring while the producer runs: the read index jumps to the
  // write index, so only the consumer's own index moves. Bytes filed meanwhile stay.
  void Discard();
  uint32_t Count() const;
  uint32_t Free() const { return CAPACITY - Count(); }
  bool Put(uint8_t byte);               // false when 4095 bytes are held
  uint8_t Get();                        // 0 and no change when empty
  uint8_t Peek(uint32_t offset) const;  // byte at read index + offset, modulo 4096

 private:
  std::array<uint8_t, SIZE> buffer_{};
  std::atomic<uint32_t> write_{0};
  std::atomic<uint32_t> read_{0};
};
