#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
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

// Text from a handset or an operator may hold any bytes: each one that is not part of valid
// UTF-8 becomes U+FFFD, valid UTF-8 (Korean included) stays as it is, and the line stays JSON.
TEST(CalibrationTrace, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  const std::string korean = "\xEA\xB5\x90\xEC\xA0\x95";  // two Hangul syllables
  struct Case {
    std::string text;
    std::string json;
  };
  const Case cases[] = {
      {korean, "\"" + korean + "\""},
      {"\xFF", "\"\xEF\xBF\xBD\""},
      {"a\xC3", "\"a\xEF\xBF\xBD\""},                                  // cut sequence at the end
      {"\xC3(", "\"\xEF\xBF\xBD(\""},                                  // bad continuation
      {"\xED\xA0\x80z", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz\""},  // a surrogate
      {std::string("\0\x80\"", 3), "\"\\u0000\xEF\xBF\xBD\\\"\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    EXPECT_EQ(JsonString(c.text), c.json);
  }
  TraceCapture capture;
  CalibrationTrace trace(capture.file(), [] { return 7; });
  trace.Message("SN \xB1\xB2 " + korean);
  trace.Status("\xFF\xFE");
  const std::string text = capture.Text();
  size_t begin = 0;
  int lines = 0;
  for (size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1, ++lines) {
    const auto event = nlohmann::json::parse(text.substr(begin, end - begin));  // throws if not
    EXPECT_EQ(event["t"], 7);
  }
  EXPECT_EQ(lines, 2);
  EXPECT_NE(text.find("\"SN \xEF\xBF\xBD\xEF\xBF\xBD " + korean + "\""), std::string::npos);
}

}  // namespace
