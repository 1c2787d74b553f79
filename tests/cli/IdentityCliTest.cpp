#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/RunCli.h"
#include "sim/HandsetCommands.h"

// tesmira-cli scan and identity on the simulated bench: the files a scan leaves, its messages
// and exit statuses.
namespace {

using clitest::RunCli;
using clitest::Stderr;
namespace fs = std::filesystem;

class IdentityCli : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tesmira-scancli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::ofstream(dir_ + "/swver.txt") << sim::HANDSET_SW_VERSION;
    std::ofstream(dir_ + "/lpt1").close();
    ::setenv("TESMIRA_LPT1", (dir_ + "/lpt1").c_str(), 1);  // the program inherits it
  }
  void TearDown() override {
    ::unsetenv("TESMIRA_LPT1");
    fs::remove_all(dir_);
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  clitest::CliRun Scan(const std::string& args) {
    return RunCli("scan " + args, Stderr::Drop, dir_);
  }
  std::string dir_;
};

TEST_F(IdentityCli, ScanWritesTheRecordAndTheLabel) {
  const auto r =
      Scan("--sim --code 350000001234565 --region CH --quantity 2 --vertical 20 --horizontal 100");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out,
            "code: 350000001234565\n"
            "scan: IMEI 350000001234565 programmed and verified\n"
            "record: written\n"
            "label: printed\n");
  const std::string record = Read("Imeiresult.txt");
  EXPECT_EQ(record.substr(0, 18), "\r\n350000001234565 ");
  EXPECT_EQ(record.substr(record.size() - 2), "\r\n");
  const std::string label = Read("lpt1");
  EXPECT_EQ(label.substr(0, label.find('\n') + 1), "~^\"ZR900G.RCL\";2;0;180;100;SPB;\n");
  EXPECT_NE(label.find("VBR;77;HBR;8;BCST;\"C35000000123456\";BSAL;6;\"@F5\";BSTP;\n"),
            std::string::npos);

  // A second handset: a second record after the first.
  EXPECT_EQ(Scan("--sim=2 --code 350000001234573").status, 0);
  const std::string both = Read("Imeiresult.txt");
  EXPECT_EQ(both.substr(0, record.size()), record);
  EXPECT_EQ(both.substr(record.size(), 18), "\r\n350000001234573 ");
  EXPECT_EQ(Read("lpt1").substr(label.size(), 18), "~^\"ZR900G2.RCL\";1;");  // HK by default
}

TEST_F(IdentityCli, FailedStepsPrintTheirMessagesAndWriteNothing) {
  struct Case {
    std::string args;
    std::string messages;
  } cases[] = {
      {"--sim --code G10000001234565",
       "message: 잘못 읽혔습니다. 다시 시도하세요.!!!\n"
       "message: 잘못 읽혔습니다. 다시 작업하세요 !!!\n"},
      {"--sim --code 3500000012345", "message: Scanner가 정보를 읽는데 실패했습니다.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const auto r = Scan(c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.substr(0, c.messages.size()), c.messages);
    EXPECT_NE(r.out.find("scan: failed at"), std::string::npos);
  }
  fs::remove(dir_ + "/swver.txt");
  const auto r = Scan("--sim --code 350000001234565");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("message: Software Version이 다릅니다. 다시 작업하세요 !!!\n"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ + "/Imeiresult.txt"));
  EXPECT_EQ(Read("lpt1"), "");
}

TEST_F(IdentityCli, MissingPrinterFailsTheRunAfterTheRecord) {
  ::setenv("TESMIRA_LPT1", (dir_ + "/no-printer").c_str(), 1);
  const auto r = Scan("--sim --code 350000001234565");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("result record written, but the label was not printed"), std::string::npos);
  EXPECT_NE(r.out.find("label: NOT printed"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir_ + "/Imeiresult.txt"));
}

TEST_F(IdentityCli, BadArgumentsExitTwo) {
  for (const char* args : {"--sim --region XX", "--sim --quantity 10001", "--sim --vertical -1",
                           "--sim --horizontal 601", "--sim=x", "--code 350000001234565",
                           "--sim --bogus 1", "stray"}) {
    EXPECT_EQ(Scan(args).status, 2) << args;
  }
  EXPECT_EQ(RunCli("identity --frob", Stderr::Drop, dir_).status, 2);
}

TEST_F(IdentityCli, IdentityPrintsWhatTheWindowShows) {
  const auto r = RunCli("identity --sim=3", Stderr::Drop, dir_);
  EXPECT_EQ(r.status, 0);
  std::istringstream in(r.out);
  std::string line;
  std::vector<std::string> keys;
  while (std::getline(in, line)) keys.push_back(line.substr(0, line.find(':')));
  EXPECT_EQ(keys, (std::vector<std::string>{"IMEI", "S/W version", "H/W version", "Serial NUM",
                                            "Region"}));
  EXPECT_NE(r.out.find(std::string("S/W version: ") + sim::HANDSET_SW_VERSION + "\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("Region: Not Support\n"), std::string::npos);  // never programmed
}

}  // namespace
