#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "link/Bcommand.h"
#include "sim/LinkHarness.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Frame(const Bytes& payload) {
  uint8_t out[FRAME_BUFFER_SIZE] = {};
  const uint8_t count = FrameRequest(out, payload.data(), static_cast<uint8_t>(payload.size()));
  return Bytes(out, out + count);
}

Bytes Unescaped(Bytes frame, int* removed = nullptr) {
  const int n = Unescape(frame.data(), static_cast<int>(frame.size()));
  if (removed) *removed = n;
  frame.resize(frame.size() - static_cast<size_t>(n));
  return frame;
}

TEST(Framing, EscapesMarkerAndEscapeBytesOnly) {
  const struct {
    Bytes payload;
    const char* framed;
  } cases[] = {
      {{}, "14"},
      {{0x54, 0x06, 0x00, 0x52}, "14 54 06 00 52"},
      {{0x54, 0x02, 0x00, 0x56}, "14 54 10 02 00 56"},        // "se 2"
      {{0x54, 0x10, 0x00, 0x44}, "14 54 10 10 00 44"},        // "se 16"
      {{0x21, 0x23, 0x02}, "14 21 23 10 02"},                 // check byte 0x02
      {{0x21, 0x31, 0x10}, "14 21 31 10 10"},                 // check byte 0x10
      {{0x14, 0x03, 0x11, 0x12, 0x01}, "14 14 03 11 12 01"},  // 0x14 in the payload as it is
  };
  for (const auto& c : cases) EXPECT_EQ(HexText(Frame(c.payload)), c.framed);
}

TEST(Framing, RefusesPayloadsWhoseFrameWouldNotFit) {
  EXPECT_EQ(Frame(Bytes(49, 0x10)).size(), 99u);
  EXPECT_EQ(Frame(Bytes(50, 0x02)).size(), 0u);  // 101 bytes
  EXPECT_EQ(Frame(Bytes(99, 0x41)).size(), 100u);
  EXPECT_EQ(Frame(Bytes(255, 0x02)).size(), 0u);
}

TEST(Framing, UnescapeVectors) {
  const struct {
    Bytes frame;
    const char* result;
    int removed;
  } cases[] = {
      {{0x02, 0x14, 0x21, 0x00, 0x10, 0x02, 0x05, 0x02}, "02 14 21 00 02 05 02", 1},
      {{0x02, 0x14, 0x21, 0x00, 0x10, 0x10, 0x02}, "02 14 21 00 10 02", 1},
      {{0x10, 0x10, 0x10, 0x02}, "10 02", 2},
      {{0x10, 0x14, 0x10},
       "10 14 10",
       0},  // only 0x02 and 0x10 are escaped; a lone last 0x10 stays
      {{}, "", 0},
  };
  for (const auto& c : cases) {
    int removed = -1;
    EXPECT_EQ(HexText(Unescaped(c.frame, &removed)), c.result);
    EXPECT_EQ(removed, c.removed);
  }
}

TEST(Framing, EscapeRoundTripOverEveryByteValue) {
  std::mt19937 random(7);
  std::vector<Bytes> payloads;
  for (int start = 0; start < 256; start += 43) {  // every value, in payloads of the longest size
    Bytes p;
    for (int v = start; v < start + 43 && v < 256; ++v) p.push_back(static_cast<uint8_t>(v));
    payloads.push_back(p);
  }
  for (int i = 0; i < 200; ++i) {  // and dense runs of the special values
    Bytes p(random() % 44);
    for (auto& b : p) b = std::vector<uint8_t>{0x02, 0x10, 0x14, 0x00}[random() % 4];
    payloads.push_back(p);
  }
  for (const auto& payload : payloads) {
    const Bytes framed = Frame(payload);
    ASSERT_FALSE(framed.empty());
    EXPECT_EQ(framed[0], FRAME_HEADER);
    const Bytes body(framed.begin() + 1, framed.end());
    EXPECT_EQ(Unescaped(body), payload) << HexText(framed);
  }
}

class PendingFrameTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEncoderState(); }
  static Bytes Take() {
    uint8_t buffer[FRAME_BUFFER_SIZE] = {};
    int8_t length = -1;
    TakePendingFrame(buffer, &length);
    return Bytes(buffer, buffer + (length > 0 ? length : 0));
  }
};

TEST_F(PendingFrameTest, TakenOnceThenEmpty) {
  ASSERT_EQ(EncodeCommand("txpw 1 512"), ENC_OK);
  EXPECT_EQ(HexText(Take()), "14 36 01 00 00 10 02 35");
  EXPECT_TRUE(Take().empty());
}

TEST_F(PendingFrameTest, EmptyPayloadIsTheHeaderAlone) {
  for (const char* line : {"mw", "mr", "help", "x"}) {
    ASSERT_EQ(EncodeCommand(line), ENC_OK) << line;
    EXPECT_EQ(HexText(Take()), "14") << line;
  }
  EXPECT_EQ(LastOpcode(), 0x40);  // mw replaced it; the others did not
}

TEST_F(PendingFrameTest, UnrecognisedLineLeavesNoFrame) {
  EXPECT_EQ(EncodeCommand("TI"), ENC_UNKNOWN);
  EXPECT_TRUE(Take().empty());
}

}  // namespace
