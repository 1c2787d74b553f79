#include <cstdint>
#include <string_view>

#include "FuzzInput.h"
#include "link/Bcommand.h"
#include "sim/LinkHarness.h"

// The encoder on arbitrary lines, one after another as a window sends them: whatever the text,
// the wire frame is a marker, a header and escaped payload, and a marker.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ResetEncoderState();
  LinkHarness link;
  FuzzInput in(data, size);
  while (!in.Empty()) {
    const std::string_view line = in.Line();
    const EncodeReport report = link.Encode(line);
    FUZZ_CHECK(report.wire.size() >= 2 && report.wire.size() <= FRAME_BUFFER_SIZE + 2);
    FUZZ_CHECK(report.wire.front() == FRAME_MARKER && report.wire.back() == FRAME_MARKER);
    if (report.result == ENC_OK) {
      FUZZ_CHECK(report.payload.size() <= PAYLOAD_BUFFER_SIZE);
      // Inside the markers no unescaped marker.
      for (size_t i = 1; i + 1 < report.wire.size(); ++i) {
        if (report.wire[i] == FRAME_ESCAPE) {
          ++i;
          continue;
        }
        FUZZ_CHECK(report.wire[i] != FRAME_MARKER);
      }
    }
    FormatEncodeReport(report);
    SendCommandText(line);
  }
  return 0;
}
