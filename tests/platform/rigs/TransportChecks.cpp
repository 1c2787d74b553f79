#include "platform/rigs/TransportChecks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
}  // namespace

TransportBench::TransportBench(std::unique_ptr<TransportRig> rig) : rig_(std::move(rig)) {
  visa::ResetVisaState();
}

TransportBench::~TransportBench() {
  visa::ResetVisaState();
  bench_.Stop();
  rig_->Release();
  unsetenv("TESMIRA_VISA_ALIASES");
}

bool TransportBench::Start(std::string* why) {
  if (!rig_->Serve(bench_, a, b, why)) return false;
  bench_.Start();
  if (viOpenDefaultRM(&rm) != VI_SUCCESS) {
    *why = "no resource manager";
    return false;
  }
  return true;
}

ViSession TransportBench::Open(const std::string& name) {
  ViSession vi = VI_NULL;
  const ViStatus status = viOpen(rm, name.c_str(), VI_NULL, VI_NULL, &vi);
  EXPECT_EQ(status, VI_SUCCESS) << name << ": " << visa::StatusName(status);
  if (status < VI_SUCCESS) return VI_NULL;
  EXPECT_EQ(visa::SessionBackend(vi), rig_->Backend()) << name;
  return vi;
}

std::vector<std::string> TransportBench::Messages(const std::shared_ptr<ScriptDevice>& device) {
  return bench_.OnBench([device] { return device->messages; });
}

ViStatus Write(ViSession vi, const std::string& text) {
  ViUInt32 n = 0;
  return viWrite(vi, reinterpret_cast<ViConstBuf>(text.data()), static_cast<ViUInt32>(text.size()),
                 &n);
}

ViStatus Read(ViSession vi, std::string* text, ViUInt32 count) {
  std::string buf(count, '\0');
  ViUInt32 got = 0;
  const ViStatus status = viRead(vi, reinterpret_cast<ViBuf>(buf.data()), count, &got);
  *text = buf.substr(0, got);
  return status;
}

void CheckQueryAndBuffer(TransportBench& t) {
  const ViSession vi = t.Open(t.rig().A());
  ASSERT_NE(vi, VI_NULL);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 2000), VI_SUCCESS);
  std::string reply;
  ASSERT_EQ(Write(vi, "*IDN?\n"), VI_SUCCESS);
  EXPECT_EQ(Read(vi, &reply), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(reply, "SIM,A,0,1.0\n");

  // A buffer smaller than the reply: the rest waits for the next read, not for a new query.
  ASSERT_EQ(Write(vi, "LONG?\n"), VI_SUCCESS);
  EXPECT_EQ(Read(vi, &reply, 4), VI_SUCCESS_MAX_CNT);
  EXPECT_EQ(reply, "0123");
  EXPECT_EQ(Read(vi, &reply), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(reply, "456789\n");
  EXPECT_EQ(t.Messages(t.a), (std::vector<std::string>{"*IDN?", "LONG?"}));
}

void CheckTimeout(TransportBench& t) {
  const ViSession vi = t.Open(t.rig().A());
  ASSERT_NE(vi, VI_NULL);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 300), VI_SUCCESS);
  ASSERT_EQ(Write(vi, "NOBODY?\n"), VI_SUCCESS);
  std::string reply;
  const auto start = Clock::now();
  EXPECT_EQ(Read(vi, &reply), VI_ERROR_TMO);
  const auto waited = Clock::now() - start;
  EXPECT_EQ(reply, "");
  EXPECT_GE(waited, 280ms);
  EXPECT_LT(waited, 3s);
  // The session is still good.
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 2000), VI_SUCCESS);
  ASSERT_EQ(Write(vi, "*OPC?\n"), VI_SUCCESS);
  EXPECT_EQ(Read(vi, &reply), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(reply, "1\n");
}

void CheckLateReply(TransportBench& t) {
  const ViSession vi = t.Open(t.rig().A());
  ASSERT_NE(vi, VI_NULL);
  std::string reply;
  // The next query comes while the late answer is still being prepared...
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 100), VI_SUCCESS);
  ASSERT_EQ(Write(vi, "SLOW?\n"), VI_SUCCESS);
  EXPECT_EQ(Read(vi, &reply), VI_ERROR_TMO);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 3000), VI_SUCCESS);
  ASSERT_EQ(Write(vi, "FAST?\n"), VI_SUCCESS);
  EXPECT_EQ(Read(vi, &reply), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(reply, "fast\n");
  // ...and after it has been sent (the instrument was done with it long ago).
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 100), VI_SUCCESS);
  ASSERT_EQ(Write(vi, "SLOW?\n"), VI_SUCCESS);
  EXPECT_EQ(Read(vi, &reply), VI_ERROR_TMO);
  std::this_thread::sleep_for(700ms);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 3000), VI_SUCCESS);
  ASSERT_EQ(Write(vi, "FAST?\n"), VI_SUCCESS);
  EXPECT_EQ(Read(vi, &reply), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(reply, "fast\n");
  // Nothing more is waiting to be mistaken for a later answer.
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 300), VI_SUCCESS);
  EXPECT_EQ(Read(vi, &reply), VI_ERROR_TMO) << reply;
}

void CheckHangUp(TransportBench& t) {
  const ViSession vi = t.Open(t.rig().A());
  ASSERT_NE(vi, VI_NULL);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 2000), VI_SUCCESS);
  t.bench().OnBench([&t] { t.rig().HangUpMidReply(); });
  ASSERT_EQ(Write(vi, "LONG?\n"), VI_SUCCESS);
  std::string reply;
  const auto start = Clock::now();
  const ViStatus status = Read(vi, &reply);
  EXPECT_TRUE(status == VI_ERROR_CONN_LOST || status == VI_ERROR_IO) << visa::StatusName(status);
  EXPECT_LT(Clock::now() - start, 1500ms) << "a hang-up is seen at once, not at the time-out";
  EXPECT_NE(reply, "0123456789\n");
  // The link is gone: the next query fails as well (a write may still be taken by the
  // kernel; then its read fails).
  ViStatus next = Write(vi, "*OPC?\n");
  if (next >= VI_SUCCESS) next = Read(vi, &reply);
  EXPECT_LT(next, VI_SUCCESS) << reply;
}

void CheckInterleaved(TransportBench& t) {
  const ViSession a = t.Open(t.rig().A());
  const ViSession b = t.Open(t.rig().B());
  ASSERT_NE(a, VI_NULL);
  ASSERT_NE(b, VI_NULL);
  for (ViSession vi : {a, b}) ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 2000), VI_SUCCESS);
  std::string reply;
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(Write(a, "*IDN?\n"), VI_SUCCESS);
    ASSERT_EQ(Write(b, "*IDN?\n"), VI_SUCCESS);  // before A's reply is read
    EXPECT_EQ(Read(b, &reply), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(reply, "SIM,B,0,1.0\n");
    ASSERT_EQ(Write(a, "*IDN?\n"), VI_SUCCESS);
    EXPECT_EQ(Read(a, &reply), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(reply, "SIM,A,0,1.0\n");
    // A reply read in pieces while the other instrument waits its turn.
    ASSERT_EQ(Write(b, "LONG?\n"), VI_SUCCESS);
    EXPECT_EQ(Read(b, &reply, 5), VI_SUCCESS_MAX_CNT);
    std::string rest;
    EXPECT_EQ(Read(b, &rest), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(reply + rest, "0123456789\n");
  }
  // A heard each of its queries, the unread first one of a round included.
  EXPECT_EQ(t.Messages(t.a), std::vector<std::string>(6, "*IDN?"));
}
