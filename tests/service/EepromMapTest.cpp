#include "service/EepromMap.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "PanelBench.h"
#include "sim/HandsetEeprom.h"

using namespace paneltest;
namespace fs = std::filesystem;

namespace {

struct ListView : EepromMapView {
  std::vector<std::string> lines;
  int clears = 0;
  std::function<void(int position)> onInsert;
  void InsertLine(int position, const std::string& text) override {
    if (onInsert) onInsert(position);
    ASSERT_LE(position, static_cast<int>(lines.size()));
    lines.insert(lines.begin() + position, text);
  }
  void ClearLines() override {
    lines.clear();
    ++clears;
  }
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The record of one block as the file must hold it.
std::string Record(const std::vector<std::string>& lines, size_t first) {
  std::string r = "\r\n";
  for (size_t i = first; i < first + EEPROM_BLOCK_BYTES; ++i) r += lines[i] + "\r\n";
  return r;
}

TEST(EepromLine, FormatsAddressValueAndCharacter) {
  EXPECT_EQ(EepromLine(130, 0x41), "130 -> 0x41, A");
  EXPECT_EQ(EepromLine(7, 0x00), "7 -> 0x0, ");  // the zero character ends the line
  EXPECT_EQ(EepromLine(0, 0x0F), std::string("0 -> 0xf, \x0f"));
  EXPECT_EQ(EepromLine(2559, 0xFF), std::string("2559 -> 0xff, \xff"));
}

class EepromDump : public ::testing::Test {
 protected:
  explicit EepromDump(bool open = true)
      : b_(23, open),
        dir_(fs::temp_directory_path() /
             ("eepmap-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name())),
        map_(b_.loop, b_.port, b_.notifier, view_, (dir_ / EEPROM_RESULT_FILE).string()) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    b_.Watch(map_.GetExchange());
    map_.OnInit();
  }
  ~EepromDump() override { fs::remove_all(dir_); }

  fs::path File() const { return dir_ / EEPROM_RESULT_FILE; }
  bool RunDump(uint64_t limitMs = 60000) {
    return b_.loop.RunUntil([&] { return !map_.Reading(); }, limitMs);
  }
  // What the handset holds, as the list must show it.
  std::vector<std::string> Expected(int from, int to) {
    std::vector<std::string> out;
    for (int a = from; a < to; ++a) out.push_back(EepromLine(a, b_.bench.handset().eeprom.Byte(a)));
    return out;
  }

  PanelBench b_;
  fs::path dir_;
  ListView view_;
  EepromMap map_;
};

class EepromDumpClosed : public EepromDump {
 protected:
  EepromDumpClosed() : EepromDump(false) {}
};

TEST_F(EepromDump, AFreshViewerListsTheWholeMapAndSaysReadingEndOnce) {
  // The file's growth is seen at the first line of each block: every block before is in it.
  std::vector<size_t> sizes;
  view_.onInsert = [&](int position) {
    if (position % EEPROM_BLOCK_BYTES == 0)
      sizes.push_back(fs::exists(File()) ? fs::file_size(File()) : 0);
  };
  { std::ofstream(File(), std::ios::binary) << "earlier run\r\n"; }
  map_.Read();
  ASSERT_TRUE(RunDump());
  b_.loop.RunFor(10000);  // nothing follows the end
  EXPECT_EQ(view_.lines, Expected(0, EEPROM_DUMP_BYTES));
  EXPECT_EQ(b_.notifier.messages, std::vector<std::string>{"reading End"});
  EXPECT_EQ(map_.Counter(), 2560);
  EXPECT_EQ(map_.UnwrittenRecords(), 0u);
  EXPECT_FALSE(b_.loop.TimerArmed(&map_.GetExchange(), TIMER_ANSWER));

  std::string expected = "earlier run\r\n";
  ASSERT_EQ(sizes.size(), 40u);
  for (size_t block = 0; block < 40; ++block) {
    EXPECT_EQ(sizes[block], expected.size()) << "block " << block;
    expected += Record(view_.lines, block * EEPROM_BLOCK_BYTES);
  }
  EXPECT_EQ(ReadFile(File()), expected);
  // 40 rounds of the address write and the block read, nothing else.
  EXPECT_EQ(b_.wires.size(), 80u);
  EXPECT_EQ(std::vector<Wire>(b_.wires.begin(), b_.wires.begin() + 4),
            WiresOf({"spw 55 0", "str 55", "spw 55 64", "str 55"}));
  EXPECT_EQ(b_.wires[78], WiresOf({"spw 55 2496"}).front());
}

TEST_F(EepromDump, AFurtherReadListsOneMoreBlock) {
  map_.Read();
  ASSERT_TRUE(RunDump());
  map_.Read();
  ASSERT_TRUE(RunDump());
  EXPECT_EQ(map_.Counter(), 2624);
  EXPECT_EQ(view_.lines, Expected(0, 2624));
  EXPECT_EQ(b_.notifier.messages, (std::vector<std::string>{"reading End", "reading End"}));
}

TEST_F(EepromDump, ClearMidDumpRestartsAtZeroAndDropsTheBlockInFlight) {
  map_.Read();
  ASSERT_TRUE(b_.loop.RunUntil([&] { return map_.Counter() >= 640; }, 60000));
  map_.Clear();
  EXPECT_TRUE(view_.lines.empty());
  EXPECT_EQ(map_.Counter(), 0);
  EXPECT_FALSE(map_.Reading());
  b_.loop.RunFor(10000);  // the answer in flight arrives and is dropped; no time-out message
  EXPECT_TRUE(view_.lines.empty());
  EXPECT_TRUE(b_.notifier.messages.empty());
  const size_t fileBefore = fs::file_size(File());
  EXPECT_EQ(
      fileBefore, 10 * (2 + 64 * 2) + [&] {
        size_t n = 0;
        for (const auto& l : Expected(0, 640)) n += l.size();
        return n;
      }());  // the file is not touched by CLEAR: the ten blocks listed before it stay

  map_.Read();
  ASSERT_TRUE(RunDump());
  EXPECT_EQ(view_.lines, Expected(0, EEPROM_DUMP_BYTES));
  EXPECT_EQ(b_.notifier.messages, std::vector<std::string>{"reading End"});
  EXPECT_EQ(view_.clears, 1);
}

TEST_F(EepromDump, ClearAfterADumpRestartsAtZero) {
  map_.Read();
  ASSERT_TRUE(RunDump());
  map_.Clear();
  map_.Read();
  ASSERT_TRUE(b_.loop.RunUntil([&] { return map_.Counter() >= 64; }, 60000));
  EXPECT_EQ(std::vector<std::string>(view_.lines.begin(), view_.lines.begin() + 64),
            Expected(0, 64));
}

TEST_F(EepromDump, ASilentHandsetStopsTheDumpAndReadContinuesFromTheCounter) {
  map_.Read();
  ASSERT_TRUE(b_.loop.RunUntil([&] { return map_.Counter() >= 128; }, 60000));
  b_.bench.faults.silentHandset = true;
  const uint64_t silentAt = b_.loop.Now();
  ASSERT_TRUE(RunDump());
  EXPECT_EQ(b_.notifier.messages, std::vector<std::string>{"serial comm error"});
  EXPECT_GE(b_.loop.Now() - silentAt, EEPROM_MAP_TIMEOUT_MS - 10);
  EXPECT_EQ(map_.Counter(), 128);

  b_.bench.faults.silentHandset = false;
  map_.Read();
  ASSERT_TRUE(RunDump());
  EXPECT_EQ(view_.lines, Expected(0, EEPROM_DUMP_BYTES));
  EXPECT_EQ(b_.notifier.messages, (std::vector<std::string>{"serial comm error", "reading End"}));
}

TEST_F(EepromDump, StatusErrorListsNothingAndEndsInSerialCommError) {
  b_.bench.faults.badStatusOpcode = 0x53;
  map_.Read();
  ASSERT_TRUE(RunDump());
  EXPECT_TRUE(view_.lines.empty());
  EXPECT_EQ(b_.notifier.messages, std::vector<std::string>{"serial comm error"});
  EXPECT_FALSE(fs::exists(File()));
}

TEST_F(EepromDump, AnAnswerToAnotherCommandStopsTheChainSilently) {
  b_.bench.faults.wrongOpcode = true;
  map_.Read();
  b_.loop.RunFor(10000);
  EXPECT_TRUE(view_.lines.empty());
  EXPECT_TRUE(b_.notifier.messages.empty());
  EXPECT_EQ(b_.wires.size(), 1u);
  EXPECT_EQ(map_.Counter(), 0);
}

TEST_F(EepromDumpClosed, ReadDoesNothingOnAClosedLink) {
  map_.Read();
  b_.loop.RunFor(10000);
  EXPECT_TRUE(b_.wires.empty());
  EXPECT_TRUE(b_.notifier.messages.empty());
  EXPECT_FALSE(map_.Reading());
}

TEST_F(EepromDump, AnUnwritableFileIsToldOnceAndItsRecordsFollowWhenItCanBeWritten) {
  fs::remove_all(dir_);  // the result file's folder is gone: it cannot be opened or created
  map_.Read();
  ASSERT_TRUE(RunDump());
  EXPECT_EQ(view_.lines, Expected(0, EEPROM_DUMP_BYTES));  // the list still fills
  ASSERT_EQ(b_.notifier.messages.size(), 2u);
  EXPECT_NE(b_.notifier.messages[0].find(EEPROM_RESULT_FILE), std::string::npos);
  EXPECT_EQ(b_.notifier.messages[1], "reading End");
  EXPECT_EQ(map_.UnwrittenRecords(), 40u);

  // A second dump that still cannot write tells once more.
  map_.Read();
  ASSERT_TRUE(RunDump());
  EXPECT_EQ(b_.notifier.messages.size(), 4u);
  EXPECT_EQ(map_.UnwrittenRecords(), 41u);

  fs::create_directories(dir_);
  map_.Clear();
  map_.Read();
  ASSERT_TRUE(RunDump());
  EXPECT_EQ(map_.UnwrittenRecords(), 0u);
  EXPECT_EQ(b_.notifier.messages.size(), 5u);
  EXPECT_EQ(b_.notifier.messages.back(), "reading End");
  // Every block of the three dumps, in the order read.
  const std::vector<std::string> full = Expected(0, 2624);
  std::string expected;
  for (size_t block = 0; block < 41; ++block) expected += Record(full, block * 64);
  for (size_t block = 0; block < 40; ++block) expected += Record(full, block * 64);
  EXPECT_EQ(ReadFile(File()), expected);
}

TEST(EepromDumpShortBlock, ABlockShorterThan64BytesIsNotListed) {
  PanelBench b;
  b.port.Attach(nullptr);
  // A far end that confirms the address and answers the read with three bytes only.
  struct ShortBlock : SimFarEnd {
    SimPort* port = nullptr;
    void OnStationBytes(const uint8_t* data, size_t count) override {
      if (count < 3) return;
      if (data[2] == 0x50) port->DeviceSend(BuildAnswerFrame(0x50, 0, 55, {}));
      if (data[2] == 0x53) port->DeviceSend(BuildAnswerFrame(0x53, 0, 55, {1, 2, 3}));
    }
  } far;
  far.port = &b.port;
  b.port.Attach(&far);
  ListView view;
  const fs::path file = fs::temp_directory_path() / ("eepmap-short-" + std::to_string(::getpid()));
  EepromMap map(b.loop, b.port, b.notifier, view, file.string());
  map.OnInit();
  map.Read();
  ASSERT_TRUE(b.loop.RunUntil([&] { return !map.Reading(); }, 10000));
  EXPECT_TRUE(view.lines.empty());
  EXPECT_EQ(map.Counter(), 0);
  EXPECT_EQ(b.notifier.messages, std::vector<std::string>{"serial comm error"});
  EXPECT_FALSE(fs::exists(file));
}

}  // namespace
