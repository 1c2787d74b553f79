#include <cstring>

#include "tester4400/Wt4400Fixture.h"

// The instrument's error queue, transport failures and the error texts.
namespace {

using ErrorsTest = Wt4400Test;

TEST_F(ErrorsTest, AnInstrumentErrorAfterACheckedWriteComesBackWithItsText) {
  const ViSession handle = Open();
  device->errors = {{-113, "Undefined header"}, {-222, "Data out of range"}};
  const ViStatus status = wt4400_writeAndCheck(handle, ":BOGUS 1");
  EXPECT_EQ(status, static_cast<ViStatus>(0xBFFE7F8F));
  // The whole queue is read; the first entry is the one reported.
  EXPECT_EQ(device->Count(":SYST:ERR?"), 3u);
  EXPECT_TRUE(device->errors.empty());
  char text[300] = {};
  EXPECT_EQ(wt4400_errorText(handle, status, text), VI_SUCCESS);
  EXPECT_STREQ(text, "Instrument Error Message: Undefined header");
  EXPECT_EQ(wt4400_errorMessage(-113, text), VI_SUCCESS);
  EXPECT_STREQ(text, "Undefined Header");

  // The next check finds the queue empty.
  EXPECT_EQ(wt4400_writeAndCheck(handle, "*CLS"), VI_SUCCESS);
}

TEST_F(ErrorsTest, PlainModeDoesNotReadTheQueue) {
  const ViSession handle = Open(0);
  device->errors = {{-113, "Undefined header"}};
  EXPECT_EQ(wt4400_writeAndCheck(handle, ":BOGUS"), VI_SUCCESS);
  char reply[64] = {};
  EXPECT_EQ(wt4400_query(handle, "*OPC?", reply, sizeof reply), VI_SUCCESS);
  EXPECT_STREQ(reply, "1");
  EXPECT_EQ(device->Count(":SYST:ERR?"), 0u);
}

TEST_F(ErrorsTest, AQueryReturnsTheQueueStatus) {
  const ViSession handle = Open();
  device->errors = {{-410, "Query INTERRUPTED"}};
  char reply[64] = {};
  EXPECT_EQ(wt4400_query(handle, "*OPC?", reply, sizeof reply), WT4400_INSTR_ERROR_BASE - 410);
  EXPECT_STREQ(reply, "1");
}

TEST_F(ErrorsTest, TransportFailuresAreReturnedAsSuch) {
  const ViSession handle = Open();
  device->silent = true;
  EXPECT_EQ(wt4400_writeAndCheck(handle, "*CLS"), VI_ERROR_TMO);
  char reply[64] = "stale";
  EXPECT_EQ(wt4400_query(handle, "*OPC?", reply, sizeof reply), VI_ERROR_TMO);
  EXPECT_STREQ(reply, "");  // a failed read leaves no stale text behind
  char text[256] = {};
  wt4400_errorMessage(VI_ERROR_TMO, text);
  EXPECT_STREQ(text, "Interface Error");

  // A session that is gone: the VISA status, unchanged.
  device->silent = false;
  visa::ResetVisaState();
  EXPECT_EQ(wt4400_write(handle, "*CLS"), VI_ERROR_INV_OBJECT);
}

// A tester whose queue never empties does not hold the driver for ever.
class AlwaysErrorDevice : public visa::SimDevice {
 public:
  uint32_t Write(const std::string& message) override {
    ++writes;
    pending = message == ":SYST:ERR?" ? "-200,\"Execution error\"" : "";
    return 0;
  }
  std::optional<std::string> Read() override {
    if (pending.empty()) return std::nullopt;
    std::string line = pending;
    pending.clear();
    return line;
  }
  int writes = 0;
  std::string pending;
};

class ScriptedQueueDevice : public visa::SimDevice {
 public:
  explicit ScriptedQueueDevice(std::string reply) : reply_(std::move(reply)) {}
  uint32_t Write(const std::string& message) override {
    pending_ = message == ":SYST:ERR?" ? reply_ : "";
    return 0;
  }
  std::optional<std::string> Read() override {
    if (pending_.empty()) return std::nullopt;
    std::string line = pending_;
    pending_.clear();
    return line;
  }

 private:
  std::string reply_;
  std::string pending_;
};

TEST_F(ErrorsTest, TheQueueReadIsBoundedAndParsedSafely) {
  auto always = std::make_shared<AlwaysErrorDevice>();
  visa::RegisterSimDevice("GPIB0::10", always);
  ViSession handle = 0;
  ASSERT_EQ(wt4400_init("GPIB0::10", 0, 0, &handle), VI_SUCCESS);
  always->writes = 0;
  EXPECT_EQ(wt4400_checkErrorQueue(handle), WT4400_INSTR_ERROR_BASE - 200);
  EXPECT_GT(always->writes, 1);
  EXPECT_LE(always->writes, 64);

  struct Case {
    const char* reply;
    ViStatus status;
    const char* text;
  };
  const Case cases[] = {
      {"+0,\"No error\"", VI_SUCCESS, "No error"},
      {"-113,\"Undefined header\"", WT4400_INSTR_ERROR_BASE - 113, "Undefined header"},
      {"-100", WT4400_INSTR_ERROR_BASE - 100, ""},  // the code alone is enough
      {"no number", VI_ERROR_INV_RESPONSE, ""},
      {"-99999999999,\"x\"", VI_ERROR_INV_RESPONSE, ""},
  };
  int address = 11;
  for (const auto& c : cases) {
    const std::string resource = "GPIB0::" + std::to_string(address++);
    visa::RegisterSimDevice(resource, std::make_shared<ScriptedQueueDevice>(c.reply));
    ViSession h = 0;
    ASSERT_EQ(wt4400_init(resource.c_str(), 0, 0, &h), VI_SUCCESS) << c.reply;
    // Each of these queues answers the same line for ever: read once for the non-zero ones.
    EXPECT_EQ(wt4400_checkErrorQueue(h), c.status) << c.reply;
    if (c.status != VI_ERROR_INV_RESPONSE) {
      EXPECT_EQ(wt4400::SlotOf(h)->lastErrorText, c.text) << c.reply;
    }
    wt4400_close(h);
  }
}

TEST_F(ErrorsTest, ErrorTexts) {
  const ViSession handle = Open();
  struct Case {
    ViStatus status;
    const char* text;
  };
  const Case cases[] = {{0, "No Error"},
                        {-108, "Parameter not allowed"},
                        {-114, "Timeout Error"},
                        {-115, "Read Error"},
                        {-401, "A other function should be called before"},
                        {-999, "Interface Error"},
                        {VI_ERROR_RSRC_NFOUND, "Interface Error"},
                        {WT4400_NO_FREE_SLOT, "Interface Error"}};
  for (const auto& c : cases) {
    char text[256] = {};
    EXPECT_EQ(wt4400_errorMessage(c.status, text), VI_SUCCESS);
    EXPECT_STREQ(text, c.text) << c.status;
    char other[300] = {};
    EXPECT_EQ(wt4400_errorText(handle, c.status, other), VI_SUCCESS);
    EXPECT_STREQ(other, c.text);
  }
  // An instrument status on a slot that is not open: the guard's failure, not the text.
  char text[300] = {};
  EXPECT_EQ(wt4400_errorText(6, WT4400_INSTR_ERROR_BASE - 113, text), VI_ERROR_INV_OBJECT);
  EXPECT_STREQ(text, "Interface Error");
}

}  // namespace
