#pragma once

#include <string>

// Every message box of the station goes through here: the desktop program shows a plain OK box
// captioned "Product Line Test SW V1.6", tesmira-cli prints the text, tests record it.
// Modal result dialogs use Result, so headless runs never block on a click.
class Notifier {
 public:
  virtual ~Notifier() = default;
  virtual void Message(const std::string& text) = 0;
  virtual void Result(const std::string& text) { Message(text); }
};

// Diagnostic lines that the operator never sees (driver errors, trace); goes to stderr when
// TESMIRA_DEBUG is set, or to a sink a test installs.
void DebugLog(const std::string& line);
void SetDebugSink(void (*sink)(const std::string& line));
