#include "production/LPT1Write.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

const char CODE[] = "350000001234565";

std::vector<std::string> Layout2Lines() {
  return {
      "~^\"ZR900G.RCL\";1;0;180;200;SPB;\n",
      "DDF;6;1;DFM;1;1;DFO;1;1;DFS;2;BDEF;25;BCPI;2;BCSH;30;\n",
      "NUM;BCLC;1;BCID;-1;IDF;-1;\n",
      "MRK;\n",
      "VBR;10;HBR;0;DWBX;0;0;434;165;\n",
      "VBR;67;HBR;8;BCST;\"C35000000123456\";BSAL;6;\"@F5\";BSTP;\n",
      "VBR;68;HBR;8;\"IMEI: 350000-00-123456\";SAL;6;\" /5\";\n",
      "VBR;113;HBR;8;BCST;\"C35000000123456\";BSAL;6;\"@F5\";BSTP;\n",
      "VBR;114;HBR;8;\"IMEI: 350000-00-123456\";SAL;6;\" /5\";\n",
      "VBR;160;HBR;8;BCST;\"C35000000123456\";BSAL;6;\"@F5\";BSTP;\n",
      "VBR;161;HBR;8;\"IMEI: 350000-00-123456\";SAL;6;\" /5\";\n",
      "RET;\n",
      "TRM;\\\n",
  };
}

TEST(LabelTest, LayoutTwoRecallsZr900gWithTheOffsetsAndThreeRows) {
  EXPECT_EQ(LabelLines(CODE, 1, 10, 200, 2), Layout2Lines());
  // Quantity and horizontal offset in line 1, vertical offset in every row.
  const auto lines = LabelLines(CODE, 10000, 600, 0, 2);
  EXPECT_EQ(lines[0], "~^\"ZR900G.RCL\";10000;0;180;0;SPB;\n");
  EXPECT_EQ(lines[4], "VBR;600;HBR;0;DWBX;0;0;434;165;\n");
  EXPECT_EQ(lines[10].substr(0, 8), "VBR;751;");
}

TEST(LabelTest, LayoutOneRecallsZr900g2WithFixedPositions) {
  const std::vector<std::string> expected = {
      "~^\"ZR900G2.RCL\";1;3;48;200;SPB;\n",
      "NUBC;1;NUM;BCLC;1;BCID;-1;IDF;-1;\n",
      "MRK;\n",
      "VBR;31;HBR;0;DWBX;0;-30;434;45;\n",
      "VBR;31;HBR;8;BDEF;25;BCPI;2;BCSH;30;BCST;\"C35000000123456\";BSAL;6;\"@F0\";BSTP;\n",
      "VBR;32;HBR;8;DDF;6;1;DFM;1;1;DFO;1;1;DFS;2;\"IMEI: 350000-00-123456\";SAL;6;\" /5\";\n",
      "RET;\n",
      "TRM;\\\n",
  };
  EXPECT_EQ(LabelLines(CODE, 7, 99, 99, 1), expected);
  // The text line is 81 bytes: it goes out whole, never cut at a line buffer's end.
  EXPECT_EQ(expected[5].size(), 81u);
}

TEST(LabelTest, EveryOtherLayoutCodeRecallsZr900g) {
  for (int layout : {0, 2, 3, -1, 99}) {
    EXPECT_EQ(LabelLines(CODE, 1, 10, 200, layout), Layout2Lines()) << layout;
  }
}

TEST(LabelTest, StreamHasNoCrAndEveryLineEndsInLf) {
  for (int layout : {1, 2}) {
    for (const std::string& line : LabelLines(CODE, 1, 10, 200, layout)) {
      EXPECT_EQ(line.back(), '\n');
      EXPECT_EQ(line.find('\r'), std::string::npos);
      EXPECT_EQ(line.find('\n'), line.size() - 1);
    }
  }
}

class PrinterFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tesmira-lpt-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    sink_ = (dir_ / "lpt1").string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path dir_;
  std::string sink_;
};

TEST_F(PrinterFileTest, LabelsGoToTheSinkOneAfterTheOther) {
  std::ofstream(sink_).close();
  CLPT1Write printer(sink_);
  std::string expected;
  for (int layout : {2, 1}) {
    ASSERT_TRUE(printer.OpenPort()) << printer.LastError();
    ASSERT_TRUE(printer.PrintLabel(CODE, 1, 10, 200, layout)) << printer.LastError();
    printer.ClosePort();
    for (const auto& line : LabelLines(CODE, 1, 10, 200, layout)) expected += line;
  }
  EXPECT_EQ(Read(sink_), expected);
}

TEST_F(PrinterFileTest, PathComesFromTheEnvironmentElseTheParallelPort) {
  ::unsetenv("TESMIRA_LPT1");
  EXPECT_EQ(CLPT1Write().DevicePath(), "/dev/lp0");
  ::setenv("TESMIRA_LPT1", sink_.c_str(), 1);
  EXPECT_EQ(CLPT1Write().DevicePath(), sink_);
  ::unsetenv("TESMIRA_LPT1");
}

TEST_F(PrinterFileTest, MissingBusyOrClosedPrinterIsReported) {
  CLPT1Write missing((dir_ / "no-such-device").string());
  EXPECT_FALSE(missing.OpenPort());  // an existing device only: nothing is created
  EXPECT_NE(missing.LastError().find("no-such-device"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "no-such-device"));
  EXPECT_FALSE(missing.PrintLabel(CODE, 1, 10, 200, 2));

  std::ofstream(sink_).close();
  const int holder = ::open(sink_.c_str(), O_WRONLY);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  CLPT1Write busy(sink_);
  EXPECT_FALSE(busy.OpenPort());
  EXPECT_NE(busy.LastError().find("in use"), std::string::npos);
  ::close(holder);
  EXPECT_TRUE(busy.OpenPort());
}

TEST_F(PrinterFileTest, FullDeviceFailsThePrint) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  CLPT1Write full("/dev/full");
  ASSERT_TRUE(full.OpenPort());
  EXPECT_FALSE(full.PrintLabel(CODE, 1, 10, 200, 2));
  EXPECT_NE(full.LastError().find("/dev/full"), std::string::npos);
}

}  // namespace
