#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "calibration/CalibrationTrace.h"

namespace {

// Captures what the trace writes.
class TraceCapture {
 public:
  TraceCapture() : file_(open_memstream(&buffer_, &size_)) {}
  ~TraceCapture() {
    if (file_) std::fclose(file_);
    std::free(buffer_);
  }
  FILE* file() { return file_; }
  std::string Text() {
    std::fflush(file_);
    return std::string(buffer_, size_);
  }

 private:
  char* buffer_ = nullptr;
  size_t size_ = 0;
  FILE* file_;
};

TEST(CalibrationTrace, EventsAreOneJsonObjectPerLine) {
  TraceCapture capture;
  uint64_t now = 1234;
  CalibrationTrace trace(capture.file(), [&now] { return now; });
  const uint8_t wire[] = {0x02, 0x14, 0x36, 0x01, 0x00, 0x07, 0x00, 0x30, 0x02};
  trace.Transmitted("txpw 1 7", wire, sizeof wire, false);
  trace.Transmitted("txpw 1 7", wire, sizeof wire, true);
  now = 1284;
  const uint8_t frame[] = {0x02, 0x14, 0x36, 0x00, 0x01, 0x22, 0x02};
  trace.AnswerFrame(frame, sizeof frame, ANSWER_OK);
  trace.Wait(2000);
  trace.Measure("tx_power", 31.65);
  trace.Measure("rx_level", 9.91e37 * 1e300);  // not a number any more: null
  trace.Timer(3);
  trace.Status("say \"hi\"\\\r\n");
  trace.Message("GMAGIC CAL FAIL");
  trace.StepFinished(7, false);
  trace.StepFinished(4, true);
  EXPECT_EQ(
      capture.Text(),
      "{\"t\":1234,\"ev\":\"tx\",\"line\":\"txpw 1 7\",\"wire\":\"02 14 36 01 00 07 00 30 02\"}\n"
      "{\"t\":1234,\"ev\":\"tx\",\"line\":\"txpw 1 7\",\"wire\":\"02 14 36 01 00 07 00 30 02\","
      "\"resend\":true}\n"
      "{\"t\":1284,\"ev\":\"rx\",\"frame\":\"02 14 36 00 01 22 02\",\"class\":\"ANSWER_OK\"}\n"
      "{\"t\":1284,\"ev\":\"wait\",\"ms\":2000}\n"
      "{\"t\":1284,\"ev\":\"meas\",\"what\":\"tx_power\",\"value\":31.65}\n"
      "{\"t\":1284,\"ev\":\"meas\",\"what\":\"rx_level\",\"value\":null}\n"
      "{\"t\":1284,\"ev\":\"timer\",\"id\":3}\n"
      "{\"t\":1284,\"ev\":\"status\",\"text\":\"say \\\"hi\\\"\\\\\\r\\n\"}\n"
      "{\"t\":1284,\"ev\":\"message\",\"text\":\"GMAGIC CAL FAIL\"}\n"
      "{\"t\":1284,\"ev\":\"step\",\"name\":\"gmagic\",\"result\":\"fail\"}\n"
      "{\"t\":1284,\"ev\":\"step\",\"name\":\"dcs\",\"result\":\"end\"}\n");
}

TEST(CalibrationTrace, ControlCharactersAreEscaped) {
  EXPECT_EQ(JsonString(std::string("a\x01z", 3)), "\"a\\u0001z\"");
  EXPECT_EQ(JsonString("\t"), "\"\\t\"");
}

}  // namespace
