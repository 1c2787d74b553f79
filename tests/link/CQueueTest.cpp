#include "link/CQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "link/PtyHelpers.h"

namespace {

// Moves both indices to start, as a long-running queue would be after many bytes.
void AdvanceTo(CQueue& q, uint32_t start) {
  for (uint32_t i = 0; i < start; ++i) {
    ASSERT_TRUE(q.Put(0xEE));
    ASSERT_EQ(q.Get(), 0xEE);
  }
}

TEST(CQueueTest, HoldsAtMost4095BytesWhereverTheIndicesStand) {
  for (const uint32_t start : {0u, 1u, 2048u, 4095u}) {
    SCOPED_TRACE(start);
    CQueue q;
    AdvanceTo(q, start);
    for (uint32_t i = 0; i < CQueue::CAPACITY; ++i) ASSERT_TRUE(q.Put(static_cast<uint8_t>(i)));
    EXPECT_EQ(q.Count(), 4095u);
    EXPECT_EQ(q.Free(), 0u);
    EXPECT_FALSE(q.Put(0xAA));  // full: refused, nothing overwritten
    EXPECT_EQ(q.Count(), 4095u);
    EXPECT_EQ(q.Peek(0), 0u);
    EXPECT_EQ(q.Peek(4094), static_cast<uint8_t>(4094));
    for (uint32_t i = 0; i < CQueue::CAPACITY; ++i) ASSERT_EQ(q.Get(), static_cast<uint8_t>(i));
    EXPECT_EQ(q.Count(), 0u);
  }
}

TEST(CQueueTest, GetOnEmptyReturnsZeroAndChangesNothing) {
  CQueue q;
  AdvanceTo(q, 4000);
  EXPECT_EQ(q.Get(), 0);
  EXPECT_EQ(q.Count(), 0u);
  ASSERT_TRUE(q.Put(7));
  EXPECT_EQ(q.Get(), 7);
  EXPECT_EQ(q.Get(), 0);
  EXPECT_EQ(q.Count(), 0u);
}

TEST(CQueueTest, PeekAndGetWrapAroundTheEndOfTheBuffer) {
  CQueue q;
  AdvanceTo(q, 4090);
  for (uint8_t b = 1; b <= 12; ++b) ASSERT_TRUE(q.Put(b));  // slots 4090..4095, 0..5
  EXPECT_EQ(q.Count(), 12u);
  for (uint32_t i = 0; i < 12; ++i) EXPECT_EQ(q.Peek(i), i + 1) << i;
  EXPECT_EQ(q.Peek(6 + 4096), 7);  // offsets are taken modulo the ring
  for (uint8_t b = 1; b <= 12; ++b) EXPECT_EQ(q.Get(), b);
  EXPECT_EQ(q.Count(), 0u);
}

TEST(CQueueTest, ClearEmptiesTheRingAndZeroesItsBytes) {
  CQueue q;
  for (int i = 0; i < 100; ++i) q.Put(0x5A);
  q.Get();
  q.Clear();
  EXPECT_EQ(q.Count(), 0u);
  EXPECT_EQ(q.Get(), 0);
  for (uint32_t i = 0; i < CQueue::SIZE; ++i) ASSERT_EQ(q.Peek(i), 0) << i;
}

TEST(CQueueTest, OneProducerAndOneConsumerThreadKeepEveryByteInOrder) {
  testing_serial::Deadline deadline(std::chrono::seconds(20));
  CQueue q;
  constexpr size_t TOTAL = 300000;
  const auto data = testing_serial::Pattern(TOTAL, 12);
  std::thread producer([&] {
    for (size_t i = 0; i < TOTAL; ++i) {
      while (!q.Put(data[i])) std::this_thread::yield();
    }
  });
  std::vector<uint8_t> got;
  got.reserve(TOTAL);
  while (got.size() < TOTAL) {
    const uint32_t n = q.Count();
    if (n == 0) {
      std::this_thread::yield();
      continue;
    }
    for (uint32_t i = 0; i < n; ++i) got.push_back(q.Get());
  }
  producer.join();
  EXPECT_EQ(got, data);
  EXPECT_EQ(q.Count(), 0u);
}

}  // namespace

namespace {

TEST(CQueueTest, DiscardWhileTheProducerRunsKeepsTheRingConsistent) {
  // The producer files an increasing byte sequence; the consumer keeps discarding and reading.
  // Whatever it reads after a discard must continue the sequence: a discard that moved the
  // producer's index would let stale or skipped-over slots through.
  CQueue q;
  std::atomic<bool> done{false};
  std::thread producer([&] {
    uint8_t next = 0;
    for (int i = 0; i < 400000; ++i) {
      while (!q.Put(next)) std::this_thread::yield();
      ++next;
    }
    done = true;
  });
  int discards = 0;
  while (!done.load()) {
    q.Discard();
    ++discards;
    EXPECT_LE(q.Count(), CQueue::CAPACITY);
    if (q.Count() >= 2) {
      const uint8_t a = q.Get();
      const uint8_t b = q.Get();
      ASSERT_EQ(static_cast<uint8_t>(a + 1), b);
    }
  }
  producer.join();
  q.Discard();
  EXPECT_EQ(q.Count(), 0u);
  EXPECT_GT(discards, 0);
}

}  // namespace
