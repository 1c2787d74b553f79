#include <cstdio>
#include <cstdlib>

#include "platform/Notifier.h"

namespace {
void (*g_sink)(const std::string&) = nullptr;
}

void SetDebugSink(void (*sink)(const std::string& line)) {
  g_sink = sink;
}

void DebugLog(const std::string& line) {
  if (g_sink) {
    g_sink(line);
    return;
  }
  static const bool enabled = std::getenv("TESMIRA_DEBUG") != nullptr;
  if (enabled) std::fprintf(stderr, "%s%s", line.c_str(), line.ends_with('\n') ? "" : "\n");
}
