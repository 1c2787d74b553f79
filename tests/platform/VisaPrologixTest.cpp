#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/rigs/ScriptDevice.h"
#include "platform/rigs/ServedBench.h"
#include "platform/rigs/TransportChecks.h"
#include "platform/visa/PrologixAdapter.h"
#include "sim/bench/servers/PrologixAdapters.h"
#include "support/Deadline.h"

// The Prologix backend against the simulated GPIB-ETHERNET adapter: how it sets the adapter
// up, when it addresses, what it escapes, one connection for several instruments, and reads
// that outlast the adapter's own read time-out.
namespace {

using namespace std::chrono_literals;

TEST(PrologixEscape, DataBytesTheAdapterWouldTakeAreEscaped) {
  EXPECT_EQ(visa::detail::EscapePrologixData("VOLT 3.8"), "VOLT 3.8");
  EXPECT_EQ(visa::detail::EscapePrologixData("++addr 5"), "\x1b+\x1b+addr 5");
  EXPECT_EQ(visa::detail::EscapePrologixData("a\rb\nc\x1b"
                                             "d+"),
            "a\x1b\rb\x1b\nc\x1b\x1b"
            "d\x1b+");
}

class VisaPrologix : public ::testing::Test {
 protected:
  void SetUp() override {
    visa::ResetVisaState();
    adapter_ = std::make_unique<sim::PrologixEthernet>(served_.context());
    adapter_->adapter().AddInstrument(4, a_);
    adapter_->adapter().AddInstrument(5, b_);
    ASSERT_TRUE(adapter_->Listen());
    // Board 0 as a whole goes through the adapter.
    setenv("TESMIRA_VISA_ALIASES", ("GPIB0::INTFC=" + adapter_->Resource()).c_str(), 1);
    served_.Start();
    ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
  }
  void TearDown() override {
    visa::ResetVisaState();
    served_.Stop();
    adapter_.reset();
    unsetenv("TESMIRA_VISA_ALIASES");
  }
  ViSession Open(const char* name) {
    ViSession vi = VI_NULL;
    EXPECT_EQ(viOpen(rm_, name, VI_NULL, VI_NULL, &vi), VI_SUCCESS) << name;
    if (vi != VI_NULL) viSetAttribute(vi, VI_ATTR_TMO_VALUE, 3000);
    return vi;
  }
  std::string Ask(ViSession vi, const std::string& query) {
    std::string reply;
    if (Write(vi, query) < VI_SUCCESS || Read(vi, &reply) < VI_SUCCESS) return "(no answer)";
    return reply;
  }
  std::vector<std::string> Commands() {
    return served_.OnBench([this] { return adapter_->adapter().commands; });
  }

  testsupport::Deadline deadline_{20s};
  ServedBench served_;
  std::shared_ptr<ScriptDevice> a_ = std::make_shared<ScriptDevice>("A");
  std::shared_ptr<ScriptDevice> b_ = std::make_shared<ScriptDevice>("B");
  std::unique_ptr<sim::PrologixEthernet> adapter_;
  ViSession rm_ = VI_NULL;
};

TEST_F(VisaPrologix, SetUpOnceAndAddressOnlyOnAChange) {
  const ViSession a = Open("GPIB0::4::INSTR");
  const ViSession b = Open("GPIB::5::INSTR");
  ASSERT_NE(a, VI_NULL);
  ASSERT_NE(b, VI_NULL);
  EXPECT_EQ(visa::SessionBackend(a), "prologix");
  ViUInt16 pad = 0;
  EXPECT_EQ(viGetAttribute(b, VI_ATTR_GPIB_PRIMARY_ADDR, &pad), VI_SUCCESS);
  EXPECT_EQ(pad, 5);
  EXPECT_EQ(served_.OnBench([this] { return adapter_->Connections(); }), 1u);

  EXPECT_EQ(Ask(a, "*IDN?\n"), "SIM,A,0,1.0\n");
  EXPECT_EQ(Ask(a, "*OPC?\n"), "1\n");
  EXPECT_EQ(Ask(b, "*IDN?\n"), "SIM,B,0,1.0\n");
  EXPECT_EQ(Ask(b, "*OPC?\n"), "1\n");
  EXPECT_EQ(Ask(a, "*OPC?\n"), "1\n");

  const std::vector<std::string> setup = {"++savecfg 0",       "++mode 1", "++auto 0",
                                          "++eoi 1",           "++eos 3",  "++eot_enable 0",
                                          "++read_tmo_ms 500", "++ver"};
  const auto commands = Commands();
  ASSERT_GE(commands.size(), setup.size());
  EXPECT_EQ(std::vector<std::string>(commands.begin(), commands.begin() + setup.size()), setup);
  std::vector<std::string> addresses;
  for (const auto& c : commands) {
    if (c.rfind("++addr", 0) == 0) addresses.push_back(c);
  }
  EXPECT_EQ(addresses, (std::vector<std::string>{"++addr 4", "++addr 5", "++addr 4"}));
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "++read eoi"), 5);
  // Nothing was written to the adapter's configuration memory.
  EXPECT_EQ(served_.OnBench([this] { return adapter_->adapter().eepromWrites; }), 0);
  const auto settings = served_.OnBench([this] { return adapter_->adapter().settings; });
  EXPECT_EQ(settings.eos, 3);
  EXPECT_FALSE(settings.autoRead);
  EXPECT_TRUE(settings.eoi);
}

TEST_F(VisaPrologix, DataPassesUnchanged) {
  const ViSession a = Open("GPIB0::4::INSTR");
  ASSERT_NE(a, VI_NULL);
  const std::string text =
      "DISP:TEXT \"++a\rb\x1b"
      "c+\"";
  ASSERT_EQ(Write(a, text + "\n"), VI_SUCCESS);
  EXPECT_EQ(Ask(a, "*OPC?\n"), "1\n");
  EXPECT_EQ(served_.OnBench([this] { return a_->messages; }),
            (std::vector<std::string>{text, "*OPC?"}));
}

TEST_F(VisaPrologix, AReplyLaterThanTheAdaptersReadTimeOut) {
  // The adapter gives up after 500 ms; the VISA time-out is 3 s.
  served_.OnBench([this] {
    a_->replies["SLOW?"] = {1300, "slow but here"};
    adapter_->adapter().settings.readTmoMs = 3000;  // what the set-up must change
  });
  const ViSession a = Open("GPIB0::4::INSTR");
  ASSERT_NE(a, VI_NULL);
  EXPECT_EQ(Ask(a, "SLOW?\n"), "slow but here\n");
  const auto commands = Commands();
  EXPECT_GE(std::count(commands.begin(), commands.end(), "++read eoi"), 2);
}

TEST_F(VisaPrologix, ALostAdapterIsConnectedAgainAtTheNextOpen) {
  ViSession a = Open("GPIB0::4::INSTR");
  ASSERT_NE(a, VI_NULL);
  served_.OnBench([this] { adapter_->adapter().hangUpMidReply = true; });
  EXPECT_EQ(Ask(a, "LONG?\n"), "(no answer)");
  ViUInt32 n = 0;
  EXPECT_EQ(viWrite(a, reinterpret_cast<ViConstBuf>("*OPC?\n"), 6, &n), VI_ERROR_CONN_LOST);
  ASSERT_EQ(viClose(a), VI_SUCCESS);
  a = Open("GPIB0::4::INSTR");
  ASSERT_NE(a, VI_NULL);
  EXPECT_EQ(Ask(a, "*OPC?\n"), "1\n");
}

TEST(VisaPrologixAbsent, NoAdapterThereIsNotFound) {
  visa::ResetVisaState();
  // A port nobody listens on (the listener is closed before the open).
  uint16_t port = 0;
  {
    ServedBench served;
    sim::PrologixEthernet adapter(served.context());
    ASSERT_TRUE(adapter.Listen());
    port = adapter.Port();
  }
  setenv("TESMIRA_VISA_ALIASES",
         ("GPIB0::4::INSTR=PRLGX-TCPIP0::127.0.0.1::" + std::to_string(port) + "::INTFC").c_str(),
         1);
  ViSession rm = VI_NULL;
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  ViSession vi = VI_NULL;
  EXPECT_EQ(viOpen(rm, "GPIB0::4::INSTR", VI_NULL, VI_NULL, &vi), VI_ERROR_RSRC_NFOUND);
  // An adapter is an interface: it needs the GPIB address of the resource it stands for.
  setenv("TESMIRA_VISA_ALIASES", "TCPIP0::h::5025::SOCKET=PRLGX-TCPIP0::127.0.0.1::INTFC", 1);
  EXPECT_EQ(viOpen(rm, "TCPIP0::h::5025::SOCKET", VI_NULL, VI_NULL, &vi), VI_ERROR_INV_RSRC_NAME);
  unsetenv("TESMIRA_VISA_ALIASES");
  visa::ResetVisaState();
}

}  // namespace
