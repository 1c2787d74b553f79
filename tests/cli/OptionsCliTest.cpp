#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "cli/RunCli.h"

// tesmira-cli's argument handling, the same for every command: a generated --help, and one
// line on stderr with exit status 2 for any argument it cannot take.
namespace {

using clitest::RunCli;
using clitest::Stderr;

// The command names as "tesmira-cli help" lists them.
std::vector<std::string> Commands() {
  const auto r = RunCli("help", Stderr::Drop);
  std::vector<std::string> names;
  std::istringstream in(r.out);
  std::string line;
  while (std::getline(in, line) && line != "commands:") {
  }
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string name;
    words >> name;
    names.push_back(name);
  }
  return names;
}

TEST(OptionsCli, EveryCommandHasItsGeneratedHelp) {
  const auto names = Commands();
  ASSERT_GE(names.size(), 6u);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const auto help = RunCli(name + " --help", Stderr::Fold);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.find("Usage: tesmira-cli " + name + " "), help.out.find("Usage:"));
    EXPECT_NE(help.out.find("--help"), std::string::npos);
    // "help NAME" is the same text.
    EXPECT_EQ(RunCli("help " + name, Stderr::Fold).out, help.out);
  }
  const auto calibrate = RunCli("calibrate -h", Stderr::Fold).out;
  for (const char* option : {"--sim [=SEED]", "--step", "--gsm-loss", "--population", "--json"}) {
    EXPECT_NE(calibrate.find(option), std::string::npos) << option;
  }
}

TEST(OptionsCli, BadArgumentsGiveOneLineAndStatusTwo) {
  struct Case {
    const char* args;
    const char* says;  // part of the line
  };
  const Case cases[] = {
      {"encode", "LINE is required"},
      {"encode --bogus x", "--bogus"},
      {"frames --last-opcode=zz 02", "bad opcode 'zz'"},
      {"frames 02 0g", "0g"},
      {"send", "LINE is required"},
      {"send --port 256 x", "--port"},
      {"send --port=0 x", "--port"},
      {"send --timeout 0 x", "--timeout"},
      {"send --timeout abc x", "--timeout"},
      {"send --sim --seed -1 x", "--seed"},
      {"send --sim --seed", "--seed"},
      {"scpi --sim", "RESOURCE is required"},
      {"scpi --sim --timeout 600001 GPIB0::4 '*IDN?'", "--timeout"},
      {"instruments --test-set 8961", "--test-set"},
      {"instruments --supply", "--supply"},
      {"instruments extra", "extra"},
      {"calibrate --sim 7", "7"},
      {"calibrate --sim=x", "bad seed 'x'"},
      {"calibrate --sim --seed 2147483648", "--seed"},
      {"calibrate --sim --stage XX", "--stage"},
      {"calibrate --sim --gsm-tch 1,2", "three channels"},
      {"calibrate --sim --dcs-tch 1,2,2000", "three channels"},
      {"calibrate --sim --gsm-loss 1,2", "losses"},
      {"calibrate --sim --gsm-bch 1024", "--gsm-bch"},
      {"calibrate --sim --max-minutes 0", "--max-minutes"},
      {"calibrate --sim --defect-rate 2", "--defect-rate"},
      {"calibrate --seed 4", "--seed needs --sim"},  // a check between options
      {"calibrate --sim --handsets 2", "--handsets needs --mode rf"},
      {"nosuch", "unknown command 'nosuch'"},
      {"help nosuch", "unknown command 'nosuch'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const auto r = RunCli(c.args, Stderr::Fold);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    const std::string command = std::string(c.args).substr(0, std::string(c.args).find(' '));
    if (command != "nosuch" && command != "help") {
      EXPECT_EQ(r.out.rfind("tesmira-cli " + command + ": ", 0), 0u) << r.out;
    }
    EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
  }
}

// What the parser now does for a command is what it did before: values in either form, options
// before and after the lines, options after the resource taken as SCPI text.
TEST(OptionsCli, OptionFormsStillAccepted) {
  auto r = RunCli("send --sim 'ti' --timeout=500 --seed 0x2 'spr 100'", Stderr::Drop);
  EXPECT_NE(r.out.find("> ti\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("> spr 100\n"), std::string::npos) << r.out;
  r = RunCli("frames 02 14 21 00 02 --last-opcode 33", Stderr::Drop);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("class=ANSWER_OK"), std::string::npos) << r.out;
  // "--x" after the resource is a command the instrument refuses, not an option.
  r = RunCli("scpi --sim GPIB0::4 --x", Stderr::Drop);
  EXPECT_EQ(r.status, 1);
}

}  // namespace
