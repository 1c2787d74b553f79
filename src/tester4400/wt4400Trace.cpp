#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tester4400/wt4400Internal.h"

namespace {
constexpr size_t FIRST_LINE_TEXT = 65;  // operation and message together
constexpr size_t CONTINUATION_INDENT = 31;
constexpr size_t CONTINUATION_TEXT = 59;
FILE* console = stdout;
}  // namespace

FILE* wt4400::ConsoleStream() {
  return console;
}

void wt4400_setConsole(FILE* stream) {
  console = stream;
}

ViStatus wt4400_trace(ViStatus status, const char* operation, const char* message,
                      ViSession handle) {
  const wt4400::Slot* slot = wt4400::SlotOf(handle);
  if (slot == nullptr || slot->traceMode == 0) return VI_SUCCESS;
  const std::string op = operation ? operation : "";
  const std::string text = message ? message : "";

  char header[64];
  std::snprintf(header, sizeof header, "%s %2i 0x%.8x ", "WT4400 ", static_cast<int>(handle),
                static_cast<unsigned>(status));
  const char* tag = slot->simulation != 0 ? "S " : (slot->checkOff == 0 ? "E " : "  ");
  const size_t firstPart = op.size() < FIRST_LINE_TEXT ? FIRST_LINE_TEXT - op.size() : 0;

  std::vector<std::string> lines;
  lines.push_back(std::string(header) + tag + op + text.substr(0, firstPart));
  for (size_t at = firstPart; at < text.size(); at += CONTINUATION_TEXT) {
    lines.push_back(std::string(CONTINUATION_INDENT, ' ') + text.substr(at, CONTINUATION_TEXT));
  }
  for (const auto& line : lines) {
    if (slot->traceMode == 2) {
      FILE* file = std::fopen(slot->traceFile.c_str(), "a");
      if (file == nullptr) continue;
      std::fprintf(file, "%s\n", line.c_str());
      std::fclose(file);
    } else if (console != nullptr) {
      std::fprintf(console, "%s\n", line.c_str());
    }
  }
  if (slot->traceMode != 2 && console != nullptr) std::fflush(console);
  return VI_SUCCESS;
}
