#include "production/Scanner.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "production/PumpWait.h"

const char SCANNER_BCLR[] = "BCLR\r";
const char SCANNER_LON[] = "LON\r";
const char SCANNER_LOFF[] = "LOFF\r";

Scanner::Scanner(EventLoop& loop, Port& port, Notifier& notifier)
    : loop_(loop), port_(port), notifier_(notifier) {}

bool Scanner::SendScannerCommand(const char* text, size_t count, uint32_t waitMs) {
  quit_ = false;
  send_count_ = std::min(count, SEND_BUFFER_SIZE);
  std::memcpy(send_buffer_, text, send_count_);
  port_.Queue().Discard();
  port_.ArrivedFlag().store(0, std::memory_order_release);
  auto arrived = [this] { return port_.ArrivedFlag().load(std::memory_order_acquire) != 0; };

  for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
    const size_t written = port_.SendAll(send_buffer_, send_count_);
    std::string trace = "T: ";
    char hex[8];
    for (size_t i = 0; i < send_count_; ++i) {
      std::snprintf(hex, sizeof hex, "%02X ", send_buffer_[i]);
      trace += hex;
    }
    trace += std::to_string(send_count_) + "\n";
    DebugLog(trace);
    (void)written;  // a write that did not go out is seen as no answer
    // The wait runs its full length: the answer line may still be coming in. A stop ends it
    // at once.
    const WaitEnd end = stop_ ? PumpWait(loop_, waitMs, stop_) : PumpWait(loop_, waitMs);
    if (end == WaitEnd::QUIT || (stop_ && stop_())) {
      quit_ = true;
      return false;
    }
    if (arrived()) break;
  }
  if (!arrived()) return false;
  return ParseScannerLine();
}

bool Scanner::ParseScannerLine() {
  CQueue& queue = port_.Queue();
  const uint32_t n = queue.Count();
  std::vector<uint8_t> line(n);
  for (uint32_t i = 0; i < n; ++i) line[i] = queue.Peek(i);
  // Whatever the line was, it is used up: bytes left behind would start the next answer.
  queue.Discard();
  const ScannerLine parsed = ClassifyScannerLine(line.data(), line.size());
  last_kind_ = parsed.kind;
  line_length_ = n;
  if (parsed.kind == ScannerLineKind::INCOMPLETE) {
    port_.ArrivedFlag().store(0, std::memory_order_release);
    return false;
  }
  text_ = parsed.text;
  if (parsed.kind == ScannerLineKind::CODE_LETTER) notifier_.Message(MSG_CODE_LETTER);
  port_.ArrivedFlag().store(parsed.success ? 1 : 0, std::memory_order_release);
  return parsed.success;
}
