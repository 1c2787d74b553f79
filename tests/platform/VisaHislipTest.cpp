#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "platform/rigs/ScriptDevice.h"
#include "platform/rigs/ServedBench.h"
#include "platform/rigs/TransportChecks.h"
#include "sim/bench/servers/HislipServer.h"
#include "support/Deadline.h"

// The built-in HiSLIP client against the bench's server: a message longer than the server
// takes in one piece, and a sub-address the instrument does not have.
namespace {

using namespace std::chrono_literals;

TEST(VisaHislip, LongMessagesAndUnknownSubAddress) {
  testsupport::Deadline deadline(20s);
  visa::ResetVisaState();
  ServedBench served;
  auto device = std::make_shared<ScriptDevice>("LAN");
  auto server = std::make_unique<sim::HislipServer>(served.context(), device);
  ASSERT_TRUE(server->Listen());
  served.Start();
  ViSession rm = VI_NULL;
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  ViSession vi = VI_NULL;
  ASSERT_EQ(viOpen(rm, server->Resource().c_str(), VI_NULL, VI_NULL, &vi), VI_SUCCESS);
  const std::string data = "DATA " + std::string(sim::HislipServer::SERVER_MAX_MESSAGE + 100, 'x');
  EXPECT_EQ(Write(vi, data + "\n"), VI_SUCCESS);
  ASSERT_EQ(Write(vi, "*OPC?\n"), VI_SUCCESS);
  std::string reply;
  EXPECT_EQ(Read(vi, &reply), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(reply, "1\n");
  EXPECT_EQ(served.OnBench([&] { return device->messages; }),
            (std::vector<std::string>{data, "*OPC?"}));

  std::string other = server->Resource();
  other.replace(other.find("hislip0"), 7, "hislip3");
  ViSession none = VI_NULL;
  EXPECT_EQ(viOpen(rm, other.c_str(), VI_NULL, VI_NULL, &none), VI_ERROR_RSRC_NFOUND);
  visa::ResetVisaState();
  served.Stop();
}

}  // namespace
