#include <unistd.h>

#include <fstream>
#include <sstream>

#include "tester4400/Wt4400Fixture.h"

// Trace lines on the console and in the trace file.
namespace {

class TraceTest : public Wt4400Test {
 protected:
  void SetUp() override {
    Wt4400Test::SetUp();
    path = ::testing::TempDir() + "wt4400_trace_" + std::to_string(getpid()) + ".txt";
  }
  void TearDown() override {
    unlink(path.c_str());
    Wt4400Test::TearDown();
  }
  std::vector<std::string> Lines() const {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::string path;
};

TEST_F(TraceTest, LinesInTheFileWithTagsAndContinuations) {
  const ViSession handle = Open();
  ASSERT_EQ(wt4400_setIoMode(handle, 1, 2, path.c_str(), 0), VI_SUCCESS);
  wt4400_trace(0, "write ", "*IDN?", handle);
  wt4400_trace(static_cast<ViStatus>(0xBFFE7F8F), "error ", "-113,\"Undefined header\"", handle);
  ASSERT_EQ(wt4400_setIoMode(handle, 0, 2, path.c_str(), 1), VI_SUCCESS);  // append
  std::string message;
  for (int i = 0; i < 150; ++i) message += static_cast<char>('a' + i % 26);
  wt4400_trace(VI_ERROR_TMO, "read  ", message.c_str(), handle);
  ASSERT_EQ(wt4400_setIoMode(handle, 2, 2, path.c_str(), 1), VI_SUCCESS);
  wt4400_trace(0, "read  ", "(nothing!)", handle);

  const std::string indent(31, ' ');
  const std::vector<std::string> expected = {
      "INSTR.  |ID|    STATUS|IO-MODE|MESSAGE",
      "WT4400   1 0x00000000 E write *IDN?",
      "WT4400   1 0xbffe7f8f E error -113,\"Undefined header\"",
      "INSTR.  |ID|    STATUS|IO-MODE|MESSAGE",
      "WT4400   1 0xbfff0015   read  " + message.substr(0, 59),
      indent + message.substr(59, 59),
      indent + message.substr(118),
      "INSTR.  |ID|    STATUS|IO-MODE|MESSAGE",
      "WT4400   1 0x00000000 S read  (nothing!)",
  };
  EXPECT_EQ(Lines(), expected);
}

TEST_F(TraceTest, DriverOperationsTraceWhatTheySend) {
  const ViSession handle = Open();
  ASSERT_EQ(wt4400_setIoMode(handle, 0, 2, path.c_str(), 0), VI_SUCCESS);
  char reply[64];
  wt4400_query(handle, "*IDN?", reply, sizeof reply);
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "WT4400   1 0x00000000   write *IDN?");
  EXPECT_EQ(lines[2], std::string("WT4400   1 0x00000000   read  ") + IDENTITY);
}

TEST_F(TraceTest, ConsoleModeAndNoTrace) {
  const ViSession handle = Open();
  ::testing::internal::CaptureStdout();
  ASSERT_EQ(wt4400_setIoMode(handle, 1, 1, "", 0), VI_SUCCESS);
  wt4400_trace(0, "WILLTEK ", "TESTER ", handle);
  ASSERT_EQ(wt4400_setIoMode(handle, 1, 0, "", 0), VI_SUCCESS);
  wt4400_trace(0, "write ", "not traced", handle);
  wt4400_trace(0, "write ", "no slot", 0);
  wt4400_trace(0, "write ", "no slot", 12);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "INSTR.  |ID|    STATUS|IO-MODE|MESSAGE\n"
            "WT4400   1 0x00000000 E WILLTEK TESTER \n");
}

TEST_F(TraceTest, ALongOperationTextDoesNotOverrun) {
  const ViSession handle = Open();
  ASSERT_EQ(wt4400_setIoMode(handle, 1, 2, path.c_str(), 0), VI_SUCCESS);
  const std::string op(70, 'o');
  wt4400_trace(0, op.c_str(), "message", handle);
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "WT4400   1 0x00000000 E " + op);
  EXPECT_EQ(lines[2], std::string(31, ' ') + "message");
}

}  // namespace
