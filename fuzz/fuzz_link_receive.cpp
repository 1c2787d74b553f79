#include <algorithm>
#include <cstdint>
#include <vector>

#include "FuzzInput.h"
#include "link/Bcommand.h"
#include "sim/LinkHarness.h"

// The receive rule, CheckAnswer and Unescape on any byte stream: the first byte is the last
// request's opcode, the rest arrives as the handset port would deliver it (frames of 4096 bytes
// and more included).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t lastOpcode = data[0];
  const std::vector<uint8_t> stream(data + 1, data + size);
  LinkHarness link;
  for (const FrameReport& frame : link.Receive(stream, lastOpcode)) {
    FUZZ_CHECK(frame.raw.size() <= Exchange::FRAME_SIZE);
    FUZZ_CHECK(frame.unescaped.size() <= frame.raw.size());
    FUZZ_CHECK(frame.answerClass >= ANSWER_NONE && frame.answerClass <= ANSWER_STATUS_ERROR);
    if (frame.answerClass == ANSWER_OK) FUZZ_CHECK(frame.unescaped.size() >= 4);
    FormatFrameReport(frame);
  }
  // Unescape alone, on a frame buffer filled with the bytes.
  std::vector<uint8_t> buffer(data, data + std::min<size_t>(size, Exchange::FRAME_SIZE));
  const int removed = Unescape(buffer.data(), static_cast<int>(buffer.size()));
  FUZZ_CHECK(removed >= 0 && removed <= static_cast<int>(buffer.size()));
  return 0;
}
