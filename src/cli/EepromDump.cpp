#include "cli/EepromDump.h"

#include "service/EepromMap.h"

namespace {

class PrintedList : public EepromMapView {
 public:
  explicit PrintedList(FILE* out) : out_(out) {}
  // Lines arrive in address order: nothing clears the list here.
  void InsertLine(int, const std::string& text) override {
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fputc('\n', out_);
  }
  void ClearLines() override {}

 private:
  FILE* out_;
};

class PrintedMessages : public Notifier {
 public:
  explicit PrintedMessages(FILE* out) : out_(out) {}
  void Message(const std::string& text) override {
    std::fprintf(out_, "message: %s\n", text.c_str());
  }

 private:
  FILE* out_;
};

}  // namespace

int RunEepromDump(EventLoop& loop, Port& port, FILE* out, const std::string& resultPath) {
  PrintedList list(out);
  PrintedMessages messages(out);
  EepromMap map(loop, port, messages, list, resultPath);
  map.OnInit();
  map.Read();
  // The answer time-out ends every stall but one: an answer to another command stops the chain
  // silently, and nobody would press "READ" again here.
  int counter = map.Counter();
  uint32_t progressAt = loop.TickCount();
  while (map.Reading()) {
    if (!loop.PumpMessages()) break;
    if (map.Counter() != counter) {
      counter = map.Counter();
      progressAt = loop.TickCount();
    } else if (loop.TickCount() - progressAt > 2 * EEPROM_MAP_TIMEOUT_MS + 1000) {
      std::fprintf(stderr, "tesmira-cli eeprom: the dump stopped at address %d\n", counter);
      break;
    }
  }
  std::fflush(out);
  port.SetOwner(nullptr);
  const bool full = !map.Reading() && map.Counter() >= EEPROM_DUMP_BYTES;
  return full && map.UnwrittenRecords() == 0 ? 0 : 1;
}
