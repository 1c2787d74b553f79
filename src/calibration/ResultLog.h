#pragma once

#include <string>
#include <utility>

// The calibration result log, "calresult.txt": plain text, CR LF line ends, one record per
// finished step, appended and never read back. A record is assembled in memory and written
// with a single write() on an O_APPEND descriptor under an exclusive flock, then fsync'ed, so
// records of concurrent writers never interleave and a record is on disk when Close succeeds.

constexpr const char* RESULT_LOG_NAME = "calresult.txt";

// Active-step codes of the calibration window, which choose the section.
constexpr int STEP_IDLE = 0;
constexpr int STEP_GSM_TX = 1;
constexpr int STEP_DCS_TX = 4;
constexpr int STEP_RX = 5;
constexpr int STEP_BATTERY = 6;
constexpr int STEP_GMAGIC = 7;

struct ResultHeader {
  std::string model;
  std::string stage;
  std::string name;
};

// "##########  Phone Model :  <model>  stage : <stage>  name : <name>  ##########"
std::string ResultHeaderLine(const ResultHeader& header);
// The lines of the step's section (header first for GMAGIC and battery), each with CR LF,
// read from the calibration state. Empty for any other step.
std::string ResultSectionText(int activeStep, const ResultHeader& header, int batteryValue);

class ResultLog {
 public:
  explicit ResultLog(std::string path = RESULT_LOG_NAME) : path_(std::move(path)) {}

  // Starts a record: the empty line that opens it. The file itself is opened (or created) by
  // Close, which writes the whole record at once.
  void OpenResultLog();
  void WriteLogLine(const std::string& text);  // text + CR LF
  void WriteResultSection(int activeStep, const ResultHeader& header, int value);
  // Appends the record; false with a reason in Error() when the file could not be opened,
  // created, locked, written or synced (the record is then lost and must be reported).
  bool Close();
  const std::string& Error() const { return error_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string record_;
  std::string error_;
};
