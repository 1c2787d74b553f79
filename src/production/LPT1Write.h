#pragma once

#include <string>
#include <string_view>
#include <vector>

// The label printer on the parallel port: /dev/lp0 unless TESMIRA_LPT1 names another path (a
// plain file will do). The printer holds the label layouts; a label is the command stream that
// recalls one and fills in the IMEI, one write per line.
class CLPT1Write {
 public:
  static constexpr int LAYOUT_HK = 1;  // "ZR900G2.RCL"; every other code "ZR900G.RCL"

  CLPT1Write() = default;
  explicit CLPT1Write(std::string path) : path_(std::move(path)) {}
  ~CLPT1Write();
  CLPT1Write(const CLPT1Write&) = delete;
  CLPT1Write& operator=(const CLPT1Write&) = delete;

  // Opens the device for writing, exclusive to this holder, write-through; false with the
  // reason in LastError() when it cannot be had.
  bool OpenPort();
  // Writes the label; false (reason in LastError()) when the port is not open or a line did
  // not go out whole.
  bool PrintLabel(std::string_view code, int quantity, int vertical, int horizontal,
                  int layoutCode);
  void ClosePort();

  bool IsOpen() const { return fd_ >= 0; }
  void SetPath(std::string path) { path_ = std::move(path); }
  const std::string& LastError() const { return last_error_; }
  std::string DevicePath() const;  // the path OpenPort opens

 private:
  std::string path_;  // empty: from the environment
  int fd_ = -1;
  std::string last_error_;
};

// The command stream of one label, line by line, each ending in LF. code holds the 15 IMEI
// characters (shorter codes are padded with blanks where a field needs them).
std::vector<std::string> LabelLines(std::string_view code, int quantity, int vertical,
                                    int horizontal, int layoutCode);
