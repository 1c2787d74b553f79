#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/LoopbackTester.h"
#include "platform/visa/visa.h"

// The raw-socket backend against the simulated 4400 on a loopback port (the bench on its own
// thread), and against a peer that hangs up in the middle of a reply. Every read has a VISA
// time-out, so a fault fails the test instead of hanging it.
namespace {

using Clock = std::chrono::steady_clock;

class VisaSocketBackend : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("TESMIRA_VISA_ALIASES");
    visa::ResetVisaState();
    ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  }
  void TearDown() override {
    visa::ResetVisaState();
    unsetenv("TESMIRA_VISA_ALIASES");
  }

  ViStatus Write(ViSession vi, const std::string& text) {
    ViUInt32 n = 0;
    return viWrite(vi, reinterpret_cast<ViConstBuf>(text.data()),
                   static_cast<ViUInt32>(text.size()), &n);
  }
  ViStatus Read(ViSession vi, std::string* text, ViUInt32 count = 512) {
    std::string buf(count, '\0');
    ViUInt32 got = 0;
    const ViStatus status = viRead(vi, reinterpret_cast<ViBuf>(buf.data()), count, &got);
    *text = buf.substr(0, got);
    return status;
  }

  ViSession rm = 0;
};

TEST_F(VisaSocketBackend, QueriesTheServedTester) {
  LoopbackTester tester;
  ASSERT_TRUE(tester.Start());
  ViSession vi = 0;
  ASSERT_EQ(viOpen(rm, tester.Resource().c_str(), VI_NULL, VI_NULL, &vi), VI_SUCCESS);
  EXPECT_EQ(visa::SessionBackend(vi), "socket");
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 2000), VI_SUCCESS);

  // The line feed is added when the caller leaves it out (END on a socket).
  EXPECT_EQ(Write(vi, "*IDN?"), VI_SUCCESS);
  std::string reply;
  EXPECT_EQ(Read(vi, &reply), VI_SUCCESS_TERM_CHAR);
  EXPECT_NE(reply.find(",4400 "), std::string::npos) << reply;
  EXPECT_EQ(reply.back(), '\n');

  // Two replies in one message come back as one line; a small buffer takes it in pieces.
  EXPECT_EQ(Write(vi, "*OPC?;:SYST:ERR?\n"), VI_SUCCESS);
  std::string first;
  std::string rest;
  EXPECT_EQ(Read(vi, &first, 3), VI_SUCCESS_MAX_CNT);
  EXPECT_EQ(Read(vi, &rest), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(first + rest, "1;+0,\"No error\"\n");

  // An unknown header answers nothing (the read times out) and leaves -113 in the queue.
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 150), VI_SUCCESS);
  EXPECT_EQ(Write(vi, ":BOGUS:HEADER?\n"), VI_SUCCESS);
  const auto start = Clock::now();
  EXPECT_EQ(Read(vi, &reply), VI_ERROR_TMO);
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(140));
  EXPECT_LT(waited, std::chrono::milliseconds(1500));
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 2000), VI_SUCCESS);
  EXPECT_EQ(Write(vi, "SYST:ERR?\n"), VI_SUCCESS);
  EXPECT_EQ(Read(vi, &reply), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(reply, "-113,\"Undefined header\"\n");
  EXPECT_EQ(viClose(vi), VI_SUCCESS);
}

TEST_F(VisaSocketBackend, ALateReplyIsDroppedBeforeTheNextRequest) {
  LoopbackTester tester;
  ASSERT_TRUE(tester.Start());
  ViSession vi = 0;
  ASSERT_EQ(viOpen(rm, tester.Resource().c_str(), VI_NULL, VI_NULL, &vi), VI_SUCCESS);
  // The measurement keeps the tester busy longer than this time-out.
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 5), VI_SUCCESS);
  EXPECT_EQ(Write(vi, ":MEAS:RFTX:POW;:FETCH:RFTX:POW?\n"), VI_SUCCESS);
  std::string reply;
  EXPECT_EQ(Read(vi, &reply), VI_ERROR_TMO);
  std::this_thread::sleep_for(std::chrono::milliseconds(2 * sim::Sim4400::TX_MEASUREMENT_MS));
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 2000), VI_SUCCESS);
  EXPECT_EQ(Write(vi, "*OPC?\n"), VI_SUCCESS);
  EXPECT_EQ(Read(vi, &reply), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(reply, "1\n");
}

TEST_F(VisaSocketBackend, AliasesPointTheGpibAddressAtTheSocket) {
  LoopbackTester tester;
  ASSERT_TRUE(tester.Start());
  setenv("TESMIRA_VISA_ALIASES", ("GPIB0::4::INSTR=" + tester.Resource()).c_str(), 1);
  ViSession vi = 0;
  ASSERT_EQ(viOpen(rm, "GPIB0::4", VI_NULL, VI_NULL, &vi), VI_SUCCESS);
  EXPECT_EQ(visa::SessionBackend(vi), "socket");
  EXPECT_EQ(Write(vi, "*OPC?\n"), VI_SUCCESS);
  std::string reply;
  EXPECT_EQ(Read(vi, &reply), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(reply, "1\n");
}

// A peer that takes one request, sends part of a reply and hangs up.
class HangingUpPeer {
 public:
  HangingUpPeer() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && listen(fd_, 1) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
      port_ = ntohs(addr.sin_port);
    }
    thread_ = std::thread([this] { Serve(); });
  }
  ~HangingUpPeer() {
    thread_.join();
    close(fd_);
  }
  std::string Resource() const {
    return "TCPIP0::127.0.0.1::" + std::to_string(port_) + "::SOCKET";
  }

 private:
  void Serve() {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 3000) <= 0) return;  // hard deadline
    const int client = accept(fd_, nullptr, nullptr);
    if (client < 0) return;
    char buf[256];
    pollfd c{client, POLLIN, 0};
    if (poll(&c, 1, 3000) > 0 && recv(client, buf, sizeof buf, 0) > 0) {
      send(client, "-12.3", 5, MSG_NOSIGNAL);  // no line feed: the reply is cut short
    }
    close(client);
  }

  int fd_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
};

TEST_F(VisaSocketBackend, APeerClosingMidReplyIsAConnectionLoss) {
  HangingUpPeer peer;
  ViSession vi = 0;
  ASSERT_EQ(viOpen(rm, peer.Resource().c_str(), VI_NULL, VI_NULL, &vi), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 3000), VI_SUCCESS);
  EXPECT_EQ(Write(vi, ":FETCH:RFTX:POW?\n"), VI_SUCCESS);
  std::string reply;
  EXPECT_EQ(Read(vi, &reply), VI_ERROR_CONN_LOST);
  EXPECT_EQ(reply, "-12.3");  // what did arrive is handed out with the failure
  EXPECT_EQ(Read(vi, &reply), VI_ERROR_CONN_LOST);
  EXPECT_EQ(Write(vi, "*IDN?\n"), VI_ERROR_CONN_LOST);
}

TEST_F(VisaSocketBackend, NobodyListeningIsNotFound) {
  ViSession vi = 0;
  EXPECT_EQ(viOpen(rm, "TCPIP0::127.0.0.1::1::SOCKET", VI_NULL, VI_NULL, &vi),
            VI_ERROR_RSRC_NFOUND);
  EXPECT_EQ(vi, VI_NULL);
}

}  // namespace
