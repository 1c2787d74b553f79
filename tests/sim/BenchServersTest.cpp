#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/rigs/ScriptDevice.h"
#include "platform/rigs/ServedBench.h"
#include "sim/bench/servers/BenchAliases.h"
#include "sim/bench/servers/PrologixSim.h"
#include "sim/bench/servers/Vxi11Server.h"
#include "support/Deadline.h"

// The bench's servers from the wire side: the simulated Prologix adapter's command language in
// virtual time, the VXI-11 gateway against calls no client library would make, the alias line
// tesmira-bench composes, and the program's --transport option.
namespace {

using namespace std::chrono_literals;

// The adapter fed like a host would feed it, in virtual time.
class PrologixProtocol : public ::testing::Test {
 protected:
  PrologixProtocol() : adapter_(loop_, "Prologix GPIB-ETHERNET Version 1.6.6.0 (simulated)") {
    adapter_.AddInstrument(9, device_);
    adapter_.send = [this](const std::string& bytes) { sent_ += bytes; };
  }
  void Host(const std::string& bytes) { adapter_.Feed(bytes.data(), bytes.size()); }
  std::string Sent() {
    std::string out;
    out.swap(sent_);
    return out;
  }

  SimLoop loop_;
  std::shared_ptr<ScriptDevice> device_ = std::make_shared<ScriptDevice>("A");
  sim::PrologixSim adapter_;
  std::string sent_;
};

TEST_F(PrologixProtocol, CommandsDataAndTerminators) {
  // Factory settings: CR LF appended, the address is not 9 yet.
  Host("++addr\n++eos\n");
  EXPECT_EQ(Sent(), "10\r\n0\r\n");
  Host("++addr 9\n*OPC?\n");
  EXPECT_EQ(device_->messages, (std::vector<std::string>{"*OPC?"}));  // CR LF: one message
  Host("++read eoi\n");
  EXPECT_EQ(Sent(), "1\n");
  // ++eos 3 adds nothing: the escaped line feed ends the message; escaped "++" is data.
  Host("++eos 3\n\x1b+\x1b+X\x1b\rY\x1b\n\n");
  EXPECT_EQ(device_->messages.back(), "++X\rY");
  Host("++auto 1\nFAST?\n");  // read-after-write
  EXPECT_EQ(Sent(), "fast\n");
  Host("++auto 0\n++eot_enable 1\n++eot_char 4\nLONG?\n++read eoi\n");
  EXPECT_EQ(Sent(), "0123456789\n\x04");
  EXPECT_GT(adapter_.eepromWrites, 0);  // ++savecfg was left at 1
  Host("++savecfg 0\n++eos 2\n");
  const int writes = adapter_.eepromWrites;
  Host("++addr 5\n++addr 9\n");
  EXPECT_EQ(adapter_.eepromWrites, writes);
  Host("++bogus\n++ver\n");
  EXPECT_EQ(Sent(), "Prologix GPIB-ETHERNET Version 1.6.6.0 (simulated)\r\n");
}

TEST_F(PrologixProtocol, ReadsWaitForTheInstrumentUpToTheReadTimeOut) {
  Host("++addr 9\n++eos 3\n++read_tmo_ms 500\n");
  device_->replies["SLOW?"] = {300, "late"};
  Host("SLOW?\n++read eoi\n");
  loop_.RunFor(299);
  EXPECT_EQ(Sent(), "");
  loop_.RunFor(2);
  EXPECT_EQ(Sent(), "late\n");
  // Longer than the read time-out: the adapter gives up without a word...
  device_->replies["SLOW?"] = {800, "later"};
  Host("SLOW?\n++read eoi\n");
  loop_.RunFor(600);
  EXPECT_EQ(Sent(), "");
  // ...and a new message to the instrument drops the reply nobody read (IEEE 488.2).
  loop_.RunFor(400);
  Host("FAST?\n++read eoi\n");
  EXPECT_EQ(Sent(), "fast\n");
  // Anything from the host ends a read in progress.
  Host("NOBODY?\n++read eoi\n");
  Host("++ver\n");
  EXPECT_NE(Sent().find("Prologix"), std::string::npos);
  loop_.RunFor(1000);
  EXPECT_EQ(Sent(), "");
}

TEST_F(PrologixProtocol, ABusyInstrumentHoldsTheLinesBehindIt) {
  Host("++addr 9\n++eos 3\n");
  device_->replies["SLOW?"] = {300, "late"};
  Host("SLOW?\nFAST?\n++read eoi\n");
  EXPECT_EQ(device_->messages, (std::vector<std::string>{"SLOW?"}));
  loop_.RunFor(301);
  EXPECT_EQ(device_->messages, (std::vector<std::string>{"SLOW?", "FAST?"}));
  EXPECT_EQ(Sent(), "fast\n");  // SLOW?'s reply went when FAST? came
}

// Raw ONC RPC calls to the gateway (no port mapper needed: the test knows the port).
class Vxi11Wire : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<sim::Vxi11Server>(served_.context());
    server_->AddInstrument(4, std::make_shared<ScriptDevice>("A"));
    ASSERT_TRUE(server_->Listen());
    served_.Start();
  }
  void TearDown() override {
    served_.Stop();
    server_.reset();
  }
  int Connect() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(server_->Port());
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    return fd;
  }
  static std::string Words(const std::vector<uint32_t>& words) {
    std::string out;
    for (uint32_t w : words) {
      const uint32_t be = htonl(w);
      out.append(reinterpret_cast<const char*>(&be), 4);
    }
    return out;
  }
  static std::string Call(uint32_t xid, uint32_t program, uint32_t version, uint32_t procedure,
                          const std::string& args = "") {
    const std::string record = Words({xid, 0, 2, program, version, procedure, 0, 0, 0, 0}) + args;
    return Words({0x80000000u | static_cast<uint32_t>(record.size())}) + record;
  }
  // The reply's words after the record mark, or empty when the server closed instead.
  static std::vector<uint32_t> Reply(int fd) {
    std::string in;
    while (true) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 3000) <= 0) break;
      char buf[512];
      const ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      in.append(buf, static_cast<size_t>(n));
      if (in.size() >= 4 &&
          in.size() >= 4 + (ntohl(*reinterpret_cast<const uint32_t*>(in.data())) & 0x7FFFFFFFu)) {
        break;
      }
    }
    std::vector<uint32_t> words;
    for (size_t i = 4; i + 4 <= in.size(); i += 4) {
      words.push_back(ntohl(*reinterpret_cast<const uint32_t*>(in.data() + i)));
    }
    return words;
  }
  static bool Send(int fd, const std::string& bytes) {
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }

  testsupport::Deadline deadline_{20s};
  ServedBench served_;
  std::unique_ptr<sim::Vxi11Server> server_;
};

TEST_F(Vxi11Wire, RefusesWhatIsNotItsProgramAndSurvivesGarbage) {
  constexpr uint32_t CORE = sim::Vxi11Server::DEVICE_CORE;
  const int fd = Connect();
  // Reply words: xid, REPLY, MSG_ACCEPTED, verifier (2), accept status, ...
  ASSERT_TRUE(Send(fd, Call(1, CORE, 1, 0)));
  auto reply = Reply(fd);
  ASSERT_GE(reply.size(), 6u);
  EXPECT_EQ(reply[0], 1u);
  EXPECT_EQ(reply[5], 0u);  // SUCCESS
  ASSERT_TRUE(Send(fd, Call(2, 100000, 2, 0)));
  EXPECT_EQ(Reply(fd).at(5), 1u);  // PROG_UNAVAIL
  ASSERT_TRUE(Send(fd, Call(3, CORE, 7, 0)));
  reply = Reply(fd);
  ASSERT_GE(reply.size(), 8u);
  EXPECT_EQ(reply[5], 2u);  // PROG_MISMATCH, versions 1..1
  EXPECT_EQ(reply[6], 1u);
  EXPECT_EQ(reply[7], 1u);
  ASSERT_TRUE(Send(fd, Call(4, CORE, 1, 99)));
  EXPECT_EQ(Reply(fd).at(5), 3u);                           // PROC_UNAVAIL
  ASSERT_TRUE(Send(fd, Call(5, CORE, 1, 10, Words({1}))));  // create_link cut short
  EXPECT_EQ(Reply(fd).at(5), 4u);                           // GARBAGE_ARGS
  // device_read on a link that was never made: error 4, invalid link.
  ASSERT_TRUE(Send(fd, Call(6, CORE, 1, 12, Words({77, 64, 100, 100, 0, 0}))));
  reply = Reply(fd);
  ASSERT_GE(reply.size(), 7u);
  EXPECT_EQ(reply[6], 4u);
  // Not an RPC call at all: the connection goes, the server stays.
  ASSERT_TRUE(Send(fd, Words({0x80000004u, 12345})));
  EXPECT_TRUE(Reply(fd).empty());
  close(fd);
  // A record announcing more than any VXI-11 call carries is not buffered.
  const int other = Connect();
  ASSERT_TRUE(Send(other, Words({0x7FFFFFFFu}) + std::string(64, 'x')));
  EXPECT_TRUE(Reply(other).empty());
  close(other);
  const int third = Connect();
  ASSERT_TRUE(Send(third, Call(7, CORE, 1, 0)));
  EXPECT_EQ(Reply(third).at(0), 7u);
  close(third);
}

TEST(BenchAliases, EachInstrumentTakesTheFirstTransportThatServesIt) {
  ServedBench served;
  BenchContext& c = served.context();
  c.aliases = {{"GPIB0::14::INSTR", "TCPIP0::127.0.0.1::1::SOCKET"},
               {"GPIB::5::INSTR", "TCPIP0::127.0.0.1::2::SOCKET"}};
  c.transportAliases["serial"] = {{"GPIB::5::INSTR", "ASRL::/dev/pts/9::INSTR{init=SYST:REM}"}};
  c.transportAliases["vxi11"] = {{"GPIB0::14::INSTR", "TCPIP0::127.0.0.1::gpib0,14::INSTR"},
                                 {"GPIB::5::INSTR", "TCPIP0::127.0.0.1::gpib0,5::INSTR"}};
  c.transports = {"serial", "vxi11"};
  EXPECT_EQ(sim::AliasLine(sim::ChooseAliases(c)),
            "export TESMIRA_VISA_ALIASES=\"GPIB0::14::INSTR=TCPIP0::127.0.0.1::gpib0,14::INSTR;"
            "GPIB::5::INSTR=ASRL::/dev/pts/9::INSTR{init=SYST:REM}\"");
  c.transports = {"serial"};
  const auto chosen = sim::ChooseAliases(c);
  ASSERT_EQ(chosen.size(), 2u);
  EXPECT_EQ(chosen[0].transport, "socket");
  EXPECT_EQ(chosen[1].transport, "serial");
  std::vector<std::string> names;
  std::string bad;
  EXPECT_TRUE(sim::ParseTransports("vxi11,serial", &names, &bad));
  EXPECT_TRUE(sim::ParseTransports("vxi11", &names, &bad));
  EXPECT_EQ(names, (std::vector<std::string>{"vxi11", "serial"}));
  EXPECT_FALSE(sim::ParseTransports("serial,gpib", &names, &bad));
  EXPECT_EQ(bad, "gpib");
}

#ifdef TESMIRA_BENCH_EXE
TEST(BenchTransports, TheProgramPrintsTheChosenAliases) {
  testsupport::Deadline deadline(20s);
  const std::string exe = TESMIRA_BENCH_EXE;
  // Prints, then serves until killed: `timeout` ends it once the lines are out.
  FILE* out = popen(("TESMIRA_BENCH_SUPPLY=3632A timeout -s TERM 2 " + exe +
                     " --transport serial,prologix-usb 2>/dev/null")
                        .c_str(),
                    "r");
  ASSERT_NE(out, nullptr);
  std::string text;
  char buf[1024];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, out)) > 0) text.append(buf, n);
  pclose(out);
  EXPECT_NE(text.find("GPIB0::14::INSTR=PRLGX-ASRL0::/dev/pts/"), std::string::npos) << text;
  EXPECT_NE(text.find("GPIB0::4::INSTR=PRLGX-ASRL0::/dev/pts/"), std::string::npos) << text;
  EXPECT_NE(text.find("GPIB::5::INSTR=ASRL::/dev/pts/"), std::string::npos) << text;
  EXPECT_NE(text.find("flow_control=dtr_dsr,init=SYST:REM}"), std::string::npos) << text;
  EXPECT_EQ(system((exe + " --transport gpib >/dev/null 2>&1").c_str()) >> 8, 2);
}
#endif

}  // namespace
