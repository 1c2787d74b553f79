#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/RunCli.h"

// `tesmira-cli calibrate --plot FILE.png`: the run's APC and RX plots as a picture, drawn
// offscreen.
namespace {

using clitest::RunCli;
using clitest::Stderr;
namespace fs = std::filesystem;

uint32_t BigEndian32(const std::vector<unsigned char>& bytes, size_t at) {
  return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
         (uint32_t{bytes[at + 2]} << 8) | uint32_t{bytes[at + 3]};
}

class CalibratePlotCli : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tesmira-plotcli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string dir_;
};

TEST_F(CalibratePlotCli, AFullRunWritesItsPlotsAsPng) {
  const auto clean =
      RunCli("calibrate --sim=5 --quiet --log none --plot run.png", Stderr::Fold, dir_, 60);
  ASSERT_EQ(clean.status, 0) << clean.out;
  std::ifstream in(dir_ + "/run.png", std::ios::binary);
  const std::vector<unsigned char> png((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
  ASSERT_GT(png.size(), 24u);
  const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  EXPECT_TRUE(std::equal(std::begin(signature), std::end(signature), png.begin()));
  EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
  EXPECT_EQ(BigEndian32(png, 16), 900u);  // three plots one above the other
  EXPECT_GT(BigEndian32(png, 20), 700u);
  // A drawn picture, not an empty frame: far more than the few bytes of a flat image.
  EXPECT_GT(png.size(), 20'000u);
}

TEST_F(CalibratePlotCli, APlotThatCannotBeWrittenIsAnError) {
  const auto run = RunCli("calibrate --sim=5 --quiet --log none --plot no/such/dir/run.png",
                          Stderr::Fold, dir_, 60);
  EXPECT_EQ(run.status, 2) << run.out;
  EXPECT_NE(run.out.find("cannot write no/such/dir/run.png"), std::string::npos) << run.out;
  const auto missing = RunCli("calibrate --sim=5 --plot", Stderr::Fold, dir_, 20);
  EXPECT_EQ(missing.status, 2) << missing.out;
  EXPECT_NE(missing.out.find("--plot"), std::string::npos) << missing.out;
}

}  // namespace
