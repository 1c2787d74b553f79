#include <gtest/gtest.h>

#include "production/IdentityCodec.h"
#include "production/ImeiRwMessages.h"
#include "production/LPT1Write.h"
#include "production/ScanRig.h"
#include "production/ScannerLine.h"

namespace {

using scanrig::Station;
using Messages = std::vector<std::string>;
using Commands = std::vector<std::string>;

const char RECORD_TIME[] = "15:07:09, Saturday, August 24, 2002";

std::string Label(const std::string& imei, int layout) {
  std::string s;
  for (const auto& line : LabelLines(imei, 1, 10, 200, layout)) s += line;
  return s;
}

TEST(ScanSequenceTest, ScanProgramsVerifiesRecordsAndPrints) {
  Station st;
  st.scannerModel.codes = {"350000001234565"};
  const ScanResult r = st.rw.Scan();
  EXPECT_TRUE(r.completed);
  EXPECT_TRUE(r.recordWritten);
  EXPECT_TRUE(r.labelPrinted);
  EXPECT_EQ(r.imei, "350000001234565");
  EXPECT_EQ(st.notifier.messages, Messages{});
  st.loop.RunFor(100);  // the last "LOFF\r" is still on the line

  EXPECT_EQ(st.StoredImei(), "350000001234565");
  EXPECT_EQ(st.StoredRegion(), 1);
  EXPECT_EQ(st.Results(), std::string("\r\n350000001234565 ") + RECORD_TIME + "\r\n");
  EXPECT_EQ(st.Printed(), Label("350000001234565", 1));  // "HK": layout 1
  EXPECT_EQ(st.rw.LayoutCode(), 1);
  EXPECT_EQ(st.scannerModel.commands, (Commands{"BCLR", "LON", "LOFF", "LOFF", "LOFF"}));

  // The window shows what was read and checked.
  EXPECT_EQ(st.view.Text(ImeiField::CODE), "350000001234565");
  EXPECT_EQ(st.view.Text(ImeiField::IMEI_READ_1), "350000");
  EXPECT_EQ(st.view.Text(ImeiField::IMEI_READ_4), "5");
  EXPECT_EQ(st.view.Text(ImeiField::SW_DISPLAY), sim::HANDSET_SW_VERSION);
  EXPECT_EQ(st.view.scanning, (std::vector<bool>{true, false}));
  // Between scans the scanner port stays open, in message mode.
  ASSERT_NE(st.rw.ScannerPort(), nullptr);
  EXPECT_TRUE(st.rw.ScannerPort()->IsOpen());
}

TEST(ScanSequenceTest, RegionChGivesLayoutTwo) {
  Station st;
  st.view.fields[ImeiField::REGION_COMBO] = "CH";
  st.scannerModel.codes = {"357891023456781"};
  ASSERT_TRUE(st.rw.Scan().completed);
  EXPECT_EQ(st.StoredRegion(), 2);
  EXPECT_EQ(st.Printed(), Label("357891023456781", 2));
}

TEST(ScanSequenceTest, TwoScansAppendTwoRecordsAndReuseThePort) {
  Station st;
  st.scannerModel.codes = {"350000001234565", "350000001234573"};
  ASSERT_TRUE(st.rw.Scan().completed);
  Port* port = st.rw.ScannerPort();
  ASSERT_TRUE(st.rw.Scan().completed);
  EXPECT_EQ(st.rw.ScannerPort(), port);
  EXPECT_EQ(st.portsCreated, 1);
  EXPECT_EQ(st.Results(), std::string("\r\n350000001234565 ") + RECORD_TIME + "\r\n" +
                              "\r\n350000001234573 " + RECORD_TIME + "\r\n");
  EXPECT_EQ(st.Printed(), Label("350000001234565", 1) + Label("350000001234573", 1));
  EXPECT_EQ(st.StoredImei(), "350000001234573");
}

// Every step that can end the scan, with its message; nothing recorded or printed after it.
struct FailureCase {
  const char* name;
  std::function<void(Station&)> setUp;
  ScanStep step;
  Messages messages;
  bool handsetTouched;  // a handset command went out before the failure
};

// Its name in ctest's listing and in a failure, not the bytes of the struct.
void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.name;
}

class ScanFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ScanFailureTest, EndsAtItsStepWithItsMessageAndWritesNothing) {
  const FailureCase& c = GetParam();
  Station st;
  st.scannerModel.codes = {"350000001234565"};
  c.setUp(st);
  const ScanResult r = st.rw.Scan();
  EXPECT_FALSE(r.completed);
  EXPECT_EQ(r.failedStep, c.step);
  EXPECT_EQ(st.notifier.messages, c.messages);
  EXPECT_FALSE(st.ResultsExist());
  EXPECT_EQ(st.Printed(), "");
  EXPECT_EQ(!st.handsetPort.writes.empty(), c.handsetTouched);
  // The scanner port is left in message mode (or gone), never in queue mode.
  EXPECT_EQ(st.view.scanning, (std::vector<bool>{true, false}));
}

const FailureCase FAILURES[] = {
    {"NoPortObject",
     [](Station& s) { s.createPorts = false; },
     ScanStep::OPEN_SCANNER,
     {imeimsg::CANNOT_CREATE_PORT, imeimsg::SCAN_ERROR},
     false},
    {"PortHeldElsewhere",
     [](Station& s) { s.failOpen = true; },
     ScanStep::OPEN_SCANNER,
     {imeimsg::PORT_ALREADY_OPEN, imeimsg::SCAN_ERROR},
     false},
    {"ScannerSilent",
     [](Station& s) { s.scannerModel.fault = sim::ScannerFault::SILENT; },
     ScanStep::CLEAR_SCANNER,
     {imeimsg::SCAN_ERROR},
     false},
    {"ScannerRefusesClear",
     [](Station& s) { s.scannerModel.fault = sim::ScannerFault::NG; },
     ScanStep::CLEAR_SCANNER,
     {imeimsg::SCAN_ERROR},
     false},
    {"ShortCode",
     [](Station& s) { s.scannerModel.fault = sim::ScannerFault::SHORT_LINE; },
     ScanStep::READ_CODE,
     {imeimsg::SCANNER_READ_FAILED},
     false},
    {"CodeWithoutCr",
     [](Station& s) { s.scannerModel.fault = sim::ScannerFault::NO_CR; },
     ScanStep::READ_CODE,
     {imeimsg::SCANNER_READ_FAILED},
     false},
    {"G1Code",
     [](Station& s) { s.scannerModel.fault = sim::ScannerFault::G1_CODE; },
     ScanStep::CODE_REJECTED,
     {MSG_CODE_LETTER, imeimsg::CODE_REJECTED},
     false},
    {"LetterFirst",
     [](Station& s) { s.scannerModel.fault = sim::ScannerFault::LETTER_FIRST; },
     ScanStep::CODE_REJECTED,
     {MSG_CODE_LETTER, imeimsg::CODE_REJECTED},
     false},
    {"LetterInside",
     [](Station& s) { s.scannerModel.codes = {"3500000:1234565"}; },
     ScanStep::CODE_REJECTED,
     {imeimsg::CODE_REJECTED},
     false},
    {"LinkClosed",
     [](Station& s) { s.handsetPort.Close(); },
     ScanStep::WRITE_IMEI,
     {imeimsg::IMEI_NOT_WRITTEN},
     false},
    {"HandsetSilent",
     [](Station& s) { s.bench.faults.silentHandset = true; },
     ScanStep::WRITE_IMEI,
     {imeimsg::NO_RESPONSE, imeimsg::IMEI_NOT_WRITTEN},
     true},
    {"ImeiWriteRefused",
     [](Station& s) { s.bench.faults.badStatusOpcode = 0x52; },
     ScanStep::WRITE_IMEI,
     {imeimsg::STATUS_ERROR, imeimsg::NO_RESPONSE, imeimsg::IMEI_NOT_WRITTEN},
     true},
    {"ImeiReadRefused",
     [](Station& s) { s.bench.faults.badStatusOpcode = 0x53; },
     ScanStep::READ_IMEI,
     {imeimsg::STATUS_ERROR, imeimsg::NO_RESPONSE, imeimsg::IMEI_NOT_READ},
     true},
    {"ImeiNotStored",
     [](Station& s) { s.bench.faults.imeiWriteLost = true; },
     ScanStep::COMPARE_IMEI,
     {imeimsg::IMEI_MISMATCH},
     true},
    {"NoVersionFile",
     [](Station& s) { scanrig::fs::remove(s.dir / "swver.txt"); },
     ScanStep::SW_VERSION,
     {imeimsg::SW_VERSION_MISMATCH},
     true},
    {"OtherVersion",
     [](Station& s) { std::ofstream(s.dir / "swver.txt") << "ZR907XC-V1.05A"; },
     ScanStep::SW_VERSION,
     {imeimsg::SW_VERSION_MISMATCH},
     true},
    {"EmptyVersionFile",
     [](Station& s) { std::ofstream(s.dir / "swver.txt").close(); },
     ScanStep::SW_VERSION,
     {imeimsg::SW_VERSION_MISMATCH},
     true},
    {"VersionNotAnswered",
     [](Station& s) { s.bench.faults.swVersionSilent = true; },
     ScanStep::SW_VERSION,
     {imeimsg::SW_VERSION_MISMATCH},
     true},
    {"NoRegionChosen",
     [](Station& s) { s.view.fields[ImeiField::REGION_COMBO] = ""; },
     ScanStep::WRITE_REGION,
     {imeimsg::REGION_NOT_WRITTEN},
     true},
    {"RegionRefused",
     [](Station& s) { s.bench.faults.badStatusOpcode = 0x50; },
     ScanStep::WRITE_REGION,
     {imeimsg::STATUS_ERROR, imeimsg::NO_RESPONSE, imeimsg::REGION_NOT_WRITTEN},
     true},
};

INSTANTIATE_TEST_SUITE_P(Steps, ScanFailureTest, ::testing::ValuesIn(FAILURES),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScanSequenceTest, G1CodeEndsBeforeAnyHandsetCommand) {
  Station st;
  st.scannerModel.codes = {"G10000001234565"};
  const ScanResult r = st.rw.Scan();
  EXPECT_EQ(r.failedStep, ScanStep::CODE_REJECTED);
  // The scanner's own warning for a letter first, then the sequence's rejection: two texts a few
  // characters apart.
  EXPECT_EQ(st.notifier.messages, (Messages{MSG_CODE_LETTER, imeimsg::CODE_REJECTED}));
  EXPECT_STRNE(MSG_CODE_LETTER, imeimsg::CODE_REJECTED);
  EXPECT_TRUE(st.handsetPort.writes.empty());
}

TEST(ScanSequenceTest, MissingVersionFileIsCreatedEmptyAfterTheImeiWasVerified) {
  Station st;
  scanrig::fs::remove(st.dir / "swver.txt");
  st.scannerModel.codes = {"350000001234565"};
  EXPECT_EQ(st.rw.Scan().failedStep, ScanStep::SW_VERSION);
  EXPECT_TRUE(scanrig::fs::exists(st.dir / "swver.txt"));
  EXPECT_EQ(scanrig::fs::file_size(st.dir / "swver.txt"), 0u);
  EXPECT_EQ(st.StoredImei(), "350000001234565");  // the handset keeps what was written
}

TEST(ScanSequenceTest, PreviousHandsetsVersionNeverPassesForTheNext) {
  Station st;
  st.scannerModel.codes = {"350000001234565", "350000001234573"};
  ASSERT_TRUE(st.rw.Scan().completed);
  EXPECT_EQ(st.rw.SoftwareVersion(), sim::HANDSET_SW_VERSION);
  // The next handset does not report its version: the one held from before must not count.
  st.bench.faults.swVersionSilent = true;
  const ScanResult r = st.rw.Scan();
  EXPECT_EQ(r.failedStep, ScanStep::SW_VERSION);
  EXPECT_EQ(st.notifier.messages, Messages{imeimsg::SW_VERSION_MISMATCH});
  EXPECT_EQ(st.view.Text(ImeiField::SW_DISPLAY), "");
  // Still one record and one label.
  EXPECT_EQ(st.Results(), std::string("\r\n350000001234565 ") + RECORD_TIME + "\r\n");
  EXPECT_EQ(st.Printed(), Label("350000001234565", 1));
}

TEST(ScanSequenceTest, VersionFileMayEndInALineEndButNotGoOn) {
  struct Case {
    std::string file;
    bool passes;
  } cases[] = {
      {sim::HANDSET_SW_VERSION, true},
      {std::string(sim::HANDSET_SW_VERSION) + "\r\n", true},
      {std::string(sim::HANDSET_SW_VERSION).substr(0, 13), false},  // short file
      {"X" + std::string(sim::HANDSET_SW_VERSION).substr(1), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Station st;
    std::ofstream(st.dir / "swver.txt") << c.file;
    st.scannerModel.codes = {"350000001234565"};
    EXPECT_EQ(st.rw.Scan().completed, c.passes);
  }
}

TEST(ScanSequenceTest, SecondScanWhileOneRunsIsRefused) {
  Station st;
  st.scannerModel.codes = {"350000001234565", "350000001234573"};
  ScanResult inner;
  // The operator presses SCAN again while the first scan waits for its code.
  st.scannerModel.commands.clear();
  bool pressed = false;
  st.loop.After(500, [&] {
    pressed = true;
    inner = st.rw.Scan();
  });
  const ScanResult outer = st.rw.Scan();
  ASSERT_TRUE(pressed);
  st.loop.RunFor(100);
  EXPECT_TRUE(inner.refused);
  EXPECT_FALSE(inner.completed);
  EXPECT_TRUE(outer.completed);
  EXPECT_EQ(st.scannerModel.commands, (Commands{"BCLR", "LON", "LOFF", "LOFF", "LOFF"}));
  EXPECT_EQ(st.Results(), std::string("\r\n350000001234565 ") + RECORD_TIME + "\r\n");
}

TEST(ScanSequenceTest, ButtonsPressedDuringAScanSendNothing) {
  Station st;
  st.scannerModel.codes = {"350000001234565"};
  int during = 0;
  st.loop.After(2500, [&] {  // while the IMEI write is on its way
    const size_t before = st.requests.size();
    st.rw.ReadImei();
    st.rw.ReadRegion();
    st.loop.RunFor(0);
    during = static_cast<int>(st.requests.size() - before);
  });
  EXPECT_TRUE(st.rw.Scan().completed);
  EXPECT_EQ(during, 0);
}

TEST(ScanSequenceTest, RecordAndLabelFailuresAreReported) {
  {
    Station st;  // the record cannot be written; the label is printed
    st.rw.SetFiles(
        {(st.dir / "no-such-dir" / "Imeiresult.txt").string(), (st.dir / "swver.txt").string()});
    st.scannerModel.codes = {"350000001234565"};
    const ScanResult r = st.rw.Scan();
    EXPECT_TRUE(r.completed);
    EXPECT_FALSE(r.recordWritten);
    EXPECT_TRUE(r.labelPrinted);
    ASSERT_EQ(st.notifier.messages.size(), 1u);
    EXPECT_NE(st.notifier.messages[0].find("label printed, but the result record was not written"),
              std::string::npos);
    EXPECT_NE(st.notifier.messages[0].find("350000001234565"), std::string::npos);
    EXPECT_EQ(st.Printed(), Label("350000001234565", 1));
  }
  {
    Station st;  // the record is written; the printer is missing
    st.rw.SetPrinterPath((st.dir / "no-printer").string());
    st.scannerModel.codes = {"350000001234565"};
    const ScanResult r = st.rw.Scan();
    EXPECT_TRUE(r.completed);
    EXPECT_TRUE(r.recordWritten);
    EXPECT_FALSE(r.labelPrinted);
    ASSERT_EQ(st.notifier.messages.size(), 1u);
    EXPECT_NE(st.notifier.messages[0].find("result record written, but the label was not printed"),
              std::string::npos);
    EXPECT_NE(st.notifier.messages[0].find("no-printer"), std::string::npos);
    EXPECT_EQ(st.Results(), std::string("\r\n350000001234565 ") + RECORD_TIME + "\r\n");
  }
  {
    Station st;  // neither
    st.rw.SetFiles(
        {(st.dir / "no-such-dir" / "Imeiresult.txt").string(), (st.dir / "swver.txt").string()});
    st.rw.SetPrinterPath("/dev/full");
    st.scannerModel.codes = {"350000001234565"};
    const ScanResult r = st.rw.Scan();
    EXPECT_FALSE(r.recordWritten);
    EXPECT_FALSE(r.labelPrinted);
    ASSERT_EQ(st.notifier.messages.size(), 1u);
    EXPECT_NE(st.notifier.messages[0].find("result record not written"), std::string::npos);
    EXPECT_NE(st.notifier.messages[0].find("label not printed"), std::string::npos);
  }
}

TEST(ScanSequenceTest, QuitDuringAWaitEndsTheScanWithoutMessageOrRecord) {
  Station st;
  st.scannerModel.codes = {"350000001234565"};
  st.loop.After(3000, [&] { st.loop.Quit(); });
  const ScanResult r = st.rw.Scan();
  EXPECT_EQ(r.failedStep, ScanStep::QUIT);
  EXPECT_EQ(st.notifier.messages, Messages{});
  EXPECT_FALSE(st.ResultsExist());
}

TEST(ScanSequenceTest, TimingOfASuccessfulScan) {
  Station st;
  st.scannerModel.codes = {"350000001234565"};
  const uint64_t start = st.loop.Now();
  ASSERT_TRUE(st.rw.Scan().completed);
  // Two full scanner waits, the version wait and the three settling pauses at least; the
  // handset's answers come within milliseconds.
  const uint64_t took = st.loop.Now() - start;
  EXPECT_GE(took, 2 * 1000u + 1000u + 3 * 100u);
  EXPECT_LT(took, 3600u);
}

}  // namespace

namespace {

TEST(ScanSequenceTest, AbandonedDuringItsScanTheLogicEndsQuietlyAndGoesAway) {
  Station st;
  st.scannerModel.codes = {"350000001234565"};
  scanrig::FakeView view;
  view.fields[ImeiField::REGION_COMBO] = "HK";
  bool sawEnd = false;
  for (const uint64_t at : {500u, 2010u, 2800u}) {  // scanner wait, IMEI write, version wait
    SCOPED_TRACE(at);
    st.notifier.messages.clear();
    auto* rw = new CImeiRw(st.loop, st.handsetPort, st.notifier, view, [&st] {
      return std::make_unique<SimScannerPort>(st.loop, st.scannerModel);
    });
    rw->SetFiles({(st.dir / "late.txt").string(), (st.dir / "swver.txt").string()});
    st.loop.After(at, [rw] { rw->Abandon(); });
    const ScanResult r = rw->Scan();  // rw is gone when this returns
    EXPECT_EQ(r.failedStep, ScanStep::QUIT);
    EXPECT_EQ(st.notifier.messages, std::vector<std::string>{});
    EXPECT_FALSE(scanrig::fs::exists(st.dir / "late.txt"));
    st.loop.RunFor(6000);
    EXPECT_EQ(st.notifier.messages, std::vector<std::string>{});  // no time-out of a gone window
    sawEnd = true;
  }
  EXPECT_TRUE(sawEnd);
}

}  // namespace

namespace {

// The handset's port lost at some moment of a scan: the scan ends at once, without a message
// of its own (the port's names it), writes no record, prints no label and sends the handset
// nothing more; no time-out message of the lost port follows.
struct LossMoment {
  const char* name;
  uint64_t atMs;        // from the press of "SCAN"
  bool handsetSilent;   // the loss comes while an answer is awaited that would never come
  bool scannerStopped;  // "LOFF" goes to the scanner, which is still there
};

class ScanPortLossTest : public ::testing::TestWithParam<LossMoment> {};

TEST_P(ScanPortLossTest, EndsAtOnceWithoutRecordLabelOrMessage) {
  const LossMoment& c = GetParam();
  Station st;
  st.scannerModel.codes = {"350000001234565"};
  st.bench.faults.silentHandset = c.handsetSilent;
  const uint64_t start = st.loop.Now();
  size_t requestsAtLoss = 0;
  size_t writesAtLoss = 0;
  st.loop.After(c.atMs, [&] {
    writesAtLoss = st.handsetPort.writes.size();
    st.handsetPort.DeviceLost();
    requestsAtLoss = st.requests.size();
  });
  const ScanResult r = st.rw.Scan();
  const uint64_t took = st.loop.Now() - start;
  EXPECT_EQ(r.failedStep, ScanStep::PORT_LOST);
  EXPECT_FALSE(r.completed);
  EXPECT_FALSE(r.recordWritten);
  EXPECT_FALSE(r.labelPrinted);
  EXPECT_LT(took, c.atMs + 100);
  EXPECT_FALSE(st.rw.Scanning());
  EXPECT_EQ(st.view.scanning, (std::vector<bool>{true, false}));
  st.loop.RunFor(10000);
  EXPECT_EQ(st.notifier.messages, Messages{});
  EXPECT_FALSE(st.ResultsExist());
  EXPECT_EQ(st.Printed(), "");
  EXPECT_EQ(st.handsetPort.writes.size(), writesAtLoss);
  EXPECT_LE(st.requests.size(), requestsAtLoss + 1);  // a frame on the wire at the loss
  const auto& commands = st.scannerModel.commands;
  EXPECT_EQ(!commands.empty() && commands.back() == "LOFF", c.scannerStopped);
}

const LossMoment LOSS_MOMENTS[] = {
    {"ClearingTheScanner", 500, false, false},
    {"ScannerReading", 1500, false, true},
    {"ImeiWriteUnanswered", 2500, true, false},
    {"VersionWait", 2800, false, false},
};

INSTANTIATE_TEST_SUITE_P(Moments, ScanPortLossTest, ::testing::ValuesIn(LOSS_MOMENTS),
                         [](const auto& info) { return std::string(info.param.name); });

// A port lost before "SCAN" is a closed link: the scan reports it where it first needs the
// handset, as it always has; the next scan after reconnecting works.
TEST(ScanSequenceTest, PortLostBeforeTheScanIsAClosedLinkAndReconnectingHelps) {
  Station st;
  st.scannerModel.codes = {"350000001234565", "350000001234573"};
  st.handsetPort.DeviceLost();
  st.loop.RunFor(10);
  const ScanResult lost = st.rw.Scan();
  EXPECT_EQ(lost.failedStep, ScanStep::WRITE_IMEI);
  EXPECT_EQ(st.notifier.messages, Messages{imeimsg::IMEI_NOT_WRITTEN});
  st.notifier.messages.clear();
  ASSERT_TRUE(st.handsetPort.Open(1, 115200));
  const ScanResult again = st.rw.Scan();
  EXPECT_TRUE(again.completed);
  EXPECT_EQ(again.imei, "350000001234573");
  EXPECT_EQ(st.notifier.messages, Messages{});
}

}  // namespace
