// tesmira-cli eeprom, run as its own process: the viewer's dump headless.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/RunCli.h"
#include "link/PtyHelpers.h"
#include "sim/Bench.h"
#include "sim/BenchHandset.h"

namespace fs = std::filesystem;
using clitest::RunCli;
using clitest::Stderr;

namespace {

// The list's lines of a bench's EEPROM, formatted here on their own: address, lower-case hex
// value, the byte itself unless it is zero.
std::string ExpectedLines(uint64_t seed, int from, int to) {
  sim::Bench bench(seed, [] { return uint64_t{0}; });
  std::string out;
  for (int a = from; a < to; ++a) {
    const uint8_t byte = bench.handset().eeprom.Byte(a);
    char text[40];
    std::snprintf(text, sizeof text, "%d -> 0x%x, ", a, byte);
    out += text;
    if (byte != 0) out += static_cast<char>(byte);
    out += '\n';
  }
  return out;
}

// The result file's records: an empty line, then 64 lines, per block.
std::string ExpectedRecords(uint64_t seed) {
  std::string out;
  sim::Bench bench(seed, [] { return uint64_t{0}; });
  // Rebuilt from the bytes rather than split, since a byte may be a line break itself.
  for (int a = 0; a < 2560; ++a) {
    if (a % 64 == 0) out += "\r\n";
    const uint8_t byte = bench.handset().eeprom.Byte(a);
    char text[40];
    std::snprintf(text, sizeof text, "%d -> 0x%x, ", a, byte);
    out += text;
    if (byte != 0) out += static_cast<char>(byte);
    out += "\r\n";
  }
  return out;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class EepromCli : public ::testing::Test {
 protected:
  EepromCli()
      : dir_(fs::temp_directory_path() /
             ("eeprom-cli-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  ~EepromCli() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(EepromCli, PrintsTheWholeListThenReadingEndAndAppendsTheFile) {
  const auto run = RunCli("eeprom --sim=4", Stderr::Drop, dir_.string());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, ExpectedLines(4, 0, 2560) + "message: reading End\n");
  EXPECT_EQ(ReadFile(dir_ / "Eepresult.txt"), ExpectedRecords(4));

  // A second run keeps what the first wrote.
  const auto again = RunCli("eeprom --sim=4 --port 3", Stderr::Drop, dir_.string());
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(ReadFile(dir_ / "Eepresult.txt"), ExpectedRecords(4) + ExpectedRecords(4));
}

TEST_F(EepromCli, ADefaultSeedAndAnotherSeedDumpTheirOwnHandsets) {
  const auto one = RunCli("eeprom --sim", Stderr::Drop, dir_.string());
  EXPECT_EQ(one.status, 0);
  EXPECT_EQ(one.out, ExpectedLines(1, 0, 2560) + "message: reading End\n");
  const auto other = RunCli("eeprom --sim=99", Stderr::Drop, dir_.string());
  EXPECT_NE(other.out, one.out);
}

TEST_F(EepromCli, AnUnwritableFileIsToldAndFailsTheRunButTheListIsWhole) {
  fs::create_directories(dir_ / "Eepresult.txt");  // a folder where the file should be
  const auto run = RunCli("eeprom --sim=4", Stderr::Drop, dir_.string());
  EXPECT_EQ(run.status, 1);
  const std::string listed = ExpectedLines(4, 0, 2560);
  ASSERT_GE(run.out.size(), listed.size());
  // The file's message comes once, after the first block's lines, and names the file.
  const size_t message = run.out.find("message: ");
  ASSERT_NE(message, std::string::npos);
  EXPECT_EQ(run.out.substr(0, message), ExpectedLines(4, 0, 64));
  const std::string first = run.out.substr(message, run.out.find('\n', message) - message);
  EXPECT_NE(first.find("Eepresult.txt"), std::string::npos) << first;
  const size_t second = run.out.find("message: ", message + 1);
  EXPECT_EQ(second, run.out.size() - 21);
  const size_t resumed = run.out.find("\n64 -> ", message) + 1;
  EXPECT_EQ(run.out.substr(0, message) + run.out.substr(resumed, second - resumed), listed);
  EXPECT_EQ(run.out.substr(run.out.size() - 21), "message: reading End\n");
}

TEST_F(EepromCli, AHandsetThatNeverAnswersEndsInSerialCommError) {
  testing_serial::PtyFarEnd far;
  far.BindTo(9);
  const auto run = RunCli("eeprom --port 9", Stderr::Drop, dir_.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "message: serial comm error\n");
  EXPECT_FALSE(fs::exists(dir_ / "Eepresult.txt"));
}

TEST_F(EepromCli, BadArgumentsAndAPortThatCannotBeOpenedExitTwo) {
  for (const char* args : {"--port 0", "--port 256", "--port x", "--port", "--sim=abc", "--sim=-1",
                           "--bogus", "extra"}) {
    const auto run = RunCli(std::string("eeprom --sim ") + args, Stderr::Fold, dir_.string());
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_NE(run.out.find("tesmira-cli eeprom:"), std::string::npos) << args;
  }
  setenv("TESMIRA_COM7", (dir_ / "no-such-device").c_str(), 1);
  const auto run = RunCli("eeprom --port 7", Stderr::Fold, dir_.string());
  unsetenv("TESMIRA_COM7");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.out.find("serial port error !!!"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "Eepresult.txt"));
}

}  // namespace
