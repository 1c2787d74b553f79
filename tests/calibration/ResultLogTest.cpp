#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "calibration/CalState.h"
#include "calibration/ResultLog.h"

namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ResultLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCalState();
    dir_ = std::filesystem::temp_directory_path() /
           ("calresult-test-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
  const ResultHeader header_{"ZR907XC907", "MP", "bench 3"};
};

TEST_F(ResultLogTest, GsmSectionLinesAreRightAligned) {
  for (int level = 5; level <= 19; ++level) {
    Cal().GsmApcTable[1][static_cast<size_t>(level)] = 600 - 10 * level;
    Cal().GsmApcTable[2][static_cast<size_t>(level)] = 602 - 10 * level;
    Cal().GsmApcTable[3][static_cast<size_t>(level)] = level == 19 ? 1234 : 611 - 10 * level;
  }
  Cal().GsmApcTable[1][5] = 590;
  const std::string expected =
      "***** APC GSM TX Calibration *****\r\n"
      "level    APC Value\r\n"
      "    5        590   552   561\r\n"
      "    6        540   542   551\r\n"
      "    7        530   532   541\r\n"
      "    8        520   522   531\r\n"
      "    9        510   512   521\r\n"
      "   10        500   502   511\r\n"
      "   11        490   492   501\r\n"
      "   12        480   482   491\r\n"
      "   13        470   472   481\r\n"
      "   14        460   462   471\r\n"
      "   15        450   452   461\r\n"
      "   16        440   442   451\r\n"
      "   17        430   432   441\r\n"
      "   18        420   422   431\r\n"
      "   19        410   412  1234\r\n";
  EXPECT_EQ(ResultSectionText(STEP_GSM_TX, header_, 0), expected);
}

TEST_F(ResultLogTest, DcsSectionIsNumberedByControlLevel) {
  for (int n = 0; n <= 15; ++n) {
    Cal().DcsApcTable[1][static_cast<size_t>(n)] = 590 - 15 * n;
    Cal().DcsApcTable[2][static_cast<size_t>(n)] = 591 - 15 * n;
    Cal().DcsApcTable[3][static_cast<size_t>(n)] = 592 - 15 * n;
  }
  Cal().DcsApcTable[1][29] = 999;  // the fill levels 129..131 are not logged
  const std::string text = ResultSectionText(STEP_DCS_TX, header_, 0);
  EXPECT_EQ(text.substr(0, 56), "***** APC DCS TX Calibration *****\r\nlevel    APC Value\r\n");
  EXPECT_NE(text.find("\r\n    0        590   591   592\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n   15        365   366   367\r\n"), std::string::npos);
  EXPECT_EQ(text.find("  100 "), std::string::npos);
  EXPECT_EQ(text.find("999"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 18);
}

TEST_F(ResultLogTest, RxGmagicAndBatterySections) {
  for (int i = 0; i < 17; ++i)
    Cal().RxCalTable[static_cast<size_t>(i)] = static_cast<int16_t>(i - 8);
  const std::string rx = ResultSectionText(STEP_RX, header_, 0);
  EXPECT_EQ(rx.substr(0, 52), "***** RX CHANNEL Calibration ***** \r\nIndex   Value\r\n");
  EXPECT_NE(rx.find("\r\n    0     -8\r\n"), std::string::npos);
  EXPECT_NE(rx.find("\r\n   16     8\r\n"), std::string::npos);
  EXPECT_EQ(std::count(rx.begin(), rx.end(), '\n'), 19);

  Cal().GmagicResultGsm = 193;
  Cal().GmagicResultDcs = 201;
  EXPECT_EQ(ResultSectionText(STEP_GMAGIC, header_, 0),
            "##########  Phone Model :  ZR907XC907  stage : MP  name : bench 3  ##########\r\n"
            "***** Gmagic Calibration ***** \r\n"
            "index   GMAGIC value\r\n"
            "GSM  193\r\n"
            "DCS  201\r\n");
  EXPECT_EQ(ResultSectionText(STEP_BATTERY, header_, 620),
            "##########  Phone Model :  ZR907XC907  stage : MP  name : bench 3  ##########\r\n"
            "***** Battery Calibration *****\r\n"
            "Battery value     620\r\n");
  EXPECT_EQ(ResultSectionText(STEP_IDLE, header_, 0), "");
}

TEST_F(ResultLogTest, EmptyNameEndsTheHeaderWithBlanks) {
  EXPECT_EQ(ResultHeaderLine({"ZR907XC907", "DVT1", ""}),
            "##########  Phone Model :  ZR907XC907  stage : DVT1  name :   ##########");
}

TEST_F(ResultLogTest, RecordsAreAppendedToAFileCreatedOnFirstUse) {
  const auto path = dir_ / "calresult.txt";
  ASSERT_FALSE(std::filesystem::exists(path));
  Cal().GmagicResultGsm = 190;
  Cal().GmagicResultDcs = 200;
  ResultLog first(path.string());
  first.OpenResultLog();
  first.WriteResultSection(STEP_GMAGIC, header_, 0);
  ASSERT_TRUE(first.Close()) << first.Error();
  const std::string one = "\r\n" + ResultSectionText(STEP_GMAGIC, header_, 0);
  EXPECT_EQ(ReadFile(path), one);

  ResultLog second(path.string());
  second.OpenResultLog();
  second.WriteResultSection(STEP_BATTERY, header_, 617);
  ASSERT_TRUE(second.Close()) << second.Error();
  EXPECT_EQ(ReadFile(path), one + "\r\n" + ResultSectionText(STEP_BATTERY, header_, 617));

  // Any other step writes only the empty line.
  ResultLog third(path.string());
  third.OpenResultLog();
  third.WriteResultSection(STEP_IDLE, header_, 0);
  ASSERT_TRUE(third.Close());
  EXPECT_EQ(ReadFile(path).size(),
            one.size() + ("\r\n" + ResultSectionText(STEP_BATTERY, header_, 617)).size() + 2);
}

TEST_F(ResultLogTest, AFileThatCannotBeOpenedIsReported) {
  ResultLog log((dir_ / "missing-dir" / "calresult.txt").string());
  log.OpenResultLog();
  log.WriteLogLine("lost");
  EXPECT_FALSE(log.Close());
  EXPECT_NE(log.Error().find("missing-dir"), std::string::npos) << log.Error();

  std::filesystem::create_directories(dir_ / "adir");
  ResultLog onDirectory((dir_ / "adir").string());  // a directory is no log file
  onDirectory.OpenResultLog();
  EXPECT_FALSE(onDirectory.Close());
  EXPECT_FALSE(onDirectory.Error().empty());
}

}  // namespace
