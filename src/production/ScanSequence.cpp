// The scan-and-program sequence of the identity window: the barcode gives the IMEI, which is
// written into the handset, read back and compared; the software version is checked against
// "swver.txt", the region written, the result recorded and the label printed.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "platform/AppendFile.h"
#include "platform/Notifier.h"
#include "production/IdentityCodec.h"
#include "production/ImeiRw.h"
#include "production/ImeiRwMessages.h"
#include "production/PumpWait.h"

namespace {

constexpr uint32_t IMEI_WRITE_WAIT_MS = 3000;
constexpr uint32_t IMEI_READ_WAIT_MS = 5000;
constexpr uint32_t SETTLE_MS = 100;
constexpr uint32_t VERSION_WAIT_MS = 1000;
constexpr uint32_t REGION_WAIT_MS = 3000;

bool StartsWithG1(const std::string& code) {
  return code.size() >= 2 && code[0] == 'G' && code[1] == '1';
}

}  // namespace

ScanResult CImeiRw::Scan() {
  if (scanning_) {
    // Pressed again while the first one waits: never a scan inside a scan.
    ScanResult refused;
    refused.refused = true;
    return refused;
  }
  scanning_ = true;
  view_->SetScanning(true);
  // The operator pressed SCAN in this window: its answers come here.
  TakePort();
  const ScanResult result = RunScan();
  scanning_ = false;
  if (result.failedStep == ScanStep::PORT_LOST) DebugLog("scan ended: the handset port was lost");
  if (abandoned_) {
    delete this;  // its window is gone; nothing of this object is touched after
    return result;
  }
  view_->SetScanning(false);
  return result;
}

WaitEnd CImeiRw::Wait(uint32_t ms, const bool* flag) {
  // The loss ends the wait at once: what the handset did not answer by then it never will.
  const WaitEnd end = PumpWait(loop_, ms, [this, flag] {
    return (flag != nullptr && *flag) || HandsetLostDuringScan() || abandoned_;
  });
  if (abandoned_) return WaitEnd::QUIT;
  if (HandsetLostDuringScan()) return WaitEnd::LOST;
  return end;
}

ScanResult CImeiRw::RunScan() {
  ScanResult result;
  auto fail = [&](ScanStep step, const char* message) {
    if (message != nullptr) Message(message);
    result.failedStep = step;
    return result;
  };
  // A wait cut short by a quit or by the handset's loss ends the scan without a message of its
  // own: the program is closing, or the port has told the operator.
  auto cut = [](WaitEnd end) { return end == WaitEnd::QUIT || end == WaitEnd::LOST; };
  auto cutStep = [](WaitEnd end) {
    return end == WaitEnd::LOST ? ScanStep::PORT_LOST : ScanStep::QUIT;
  };
  lost_before_scan_ = handset_.Lost();

  // 1-2
  imei_event_ = false;
  const std::string timeText = identity::FormatTime(now_());
  code_.clear();
  for (ImeiField f : {ImeiField::IMEI_READ_1, ImeiField::IMEI_READ_2, ImeiField::IMEI_READ_3,
                      ImeiField::IMEI_READ_4, ImeiField::SW_DISPLAY}) {
    view_->SetText(f, "");
  }
  view_->SetText(ImeiField::CODE, code_);
  // The previous handset's version must never answer for this one.
  sw_version_.clear();
  sw_version_fresh_ = false;

  // 3-6: the code from the scanner.
  if (!OpenScanner()) return fail(ScanStep::OPEN_SCANNER, imeimsg::SCAN_ERROR);
  Port& port = scanner_->GetPort();
  port.SetQueueMode(true);
  if (!ScannerCommand(SCANNER_BCLR, 5, SCANNER_WAIT_MS)) {
    port.SetQueueMode(false);
    if (HandsetLostDuringScan()) return fail(ScanStep::PORT_LOST, nullptr);
    if (scanner_->QuitAsked()) return fail(ScanStep::QUIT, nullptr);
    return fail(ScanStep::CLEAR_SCANNER, imeimsg::SCAN_ERROR);
  }
  if (!ScannerCommand(SCANNER_LON, 4, SCANNER_WAIT_MS)) {
    if (HandsetLostDuringScan() && !abandoned_) {
      // The scanner is still there: its reading is stopped as after a failed read.
      ScannerCommand(SCANNER_LOFF, 5, 0);
      port.SetQueueMode(false);
      return fail(ScanStep::PORT_LOST, nullptr);
    }
    if (scanner_->QuitAsked()) {
      port.SetQueueMode(false);
      return fail(ScanStep::QUIT, nullptr);
    }
    Message(imeimsg::SCANNER_READ_FAILED);
    ScannerCommand(SCANNER_LOFF, 5, 0);
    port.SetQueueMode(false);
    return fail(ScanStep::READ_CODE, nullptr);
  }
  port.Queue().Discard();
  port.SetQueueMode(false);
  code_ = scanner_->ScannerText();
  view_->SetText(ImeiField::CODE, code_);

  // 7: a "G1" code is not an IMEI; neither is anything but 15 digits, which the handset would
  // store as nibbles no IMEI has.
  if (StartsWithG1(code_)) return fail(ScanStep::CODE_REJECTED, imeimsg::CODE_REJECTED);
  if (code_.size() < identity::IMEI_DIGITS ||
      !identity::AllDigits(std::string_view(code_).substr(0, identity::IMEI_DIGITS))) {
    return fail(ScanStep::CODE_REJECTED, imeimsg::CODE_REJECTED);
  }
  const std::string imei = code_.substr(0, identity::IMEI_DIGITS);

  // 8-10: write, read back, compare.
  Send(identity::ImeiWriteLine(imei));
  WaitEnd end = Wait(IMEI_WRITE_WAIT_MS, &imei_event_);
  if (cut(end)) return fail(cutStep(end), nullptr);
  if (end != WaitEnd::FLAG) return fail(ScanStep::WRITE_IMEI, imeimsg::IMEI_NOT_WRITTEN);

  if (end = Wait(SETTLE_MS); cut(end)) return fail(cutStep(end), nullptr);
  imei_event_ = false;
  imei_readback_.clear();
  Send("str 60");
  end = Wait(IMEI_READ_WAIT_MS, &imei_event_);
  if (cut(end)) return fail(cutStep(end), nullptr);
  if (end != WaitEnd::FLAG) return fail(ScanStep::READ_IMEI, imeimsg::IMEI_NOT_READ);

  if (end = Wait(SETTLE_MS); cut(end)) return fail(cutStep(end), nullptr);
  if (imei_readback_.compare(0, identity::IMEI_DIGITS, imei) != 0) {
    return fail(ScanStep::COMPARE_IMEI, imeimsg::IMEI_MISMATCH);
  }
  // What goes into the record and onto the label from here on: the verified IMEI.
  const std::string verified = imei_readback_.substr(0, identity::IMEI_DIGITS);

  // 11: the software version of this handset, asked for now, against the reference file.
  sw_version_fresh_ = false;
  Send("str 10");
  if (end = Wait(VERSION_WAIT_MS); cut(end)) return fail(cutStep(end), nullptr);
  if (!VersionMatchesReference()) {
    return fail(ScanStep::SW_VERSION, imeimsg::SW_VERSION_MISMATCH);
  }

  // 12-13: the region, as its "SET" button writes it.
  region_flag_ = false;
  const std::string region = view_->Text(ImeiField::REGION_COMBO);
  if (const auto line = identity::RegionWriteLine(region)) Send(*line);
  end = Wait(REGION_WAIT_MS, &region_flag_);
  if (cut(end)) return fail(cutStep(end), nullptr);
  if (end != WaitEnd::FLAG) return fail(ScanStep::WRITE_REGION, imeimsg::REGION_NOT_WRITTEN);
  if (end = Wait(SETTLE_MS); cut(end)) return fail(cutStep(end), nullptr);
  layout_code_ = identity::RegionCode(region);

  // 14-16
  result.completed = true;
  result.imei = verified;
  WriteRecordAndLabel(timeText, result);
  EndScannerSession();
  return result;
}

bool CImeiRw::OpenScanner() {
  if (!scanner_port_) {
    std::unique_ptr<Port> port;
    try {
      port = scanner_ports_ ? scanner_ports_() : nullptr;
    } catch (const std::bad_alloc&) {
      port = nullptr;
    }
    if (!port) {
      Message(imeimsg::CANNOT_CREATE_PORT);
      return false;
    }
    scanner_port_ = std::move(port);
    scanner_ = std::make_unique<Scanner>(loop_, *scanner_port_, notifier_);
    scanner_->SetStopCheck([this] { return abandoned_ || HandsetLostDuringScan(); });
  }
  if (!scanner_port_->Open(Scanner::PORT_NUMBER, Scanner::BAUD)) {
    Message(imeimsg::PORT_ALREADY_OPEN);
    ReleaseScanner();
    return false;
  }
  return true;
}

bool CImeiRw::ScannerCommand(const char* text, size_t count, uint32_t waitMs) {
  return scanner_->SendScannerCommand(text, count, waitMs);
}

bool CImeiRw::VersionMatchesReference() {
  // Opened exclusively, created empty when missing, as the operator's reference file.
  char reference[identity::SW_VERSION_BYTES + 1] = {};
  ssize_t got = 0;
  const int fd = ::open(files_.version.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      do {
        got = ::pread(fd, reference, identity::SW_VERSION_BYTES, 0);
      } while (got < 0 && errno == EINTR);
    }
    ::close(fd);
  }
  if (got < 0) got = 0;
  // Only a version this handset sent during this scan counts; an empty one never matches.
  if (!sw_version_fresh_ || sw_version_.empty()) return false;
  const size_t n = sw_version_.size();
  if (static_cast<size_t>(got) < n || std::memcmp(sw_version_.data(), reference, n) != 0) {
    return false;
  }
  // The reference may go on after the version only with its line end: "V1.0" is not "V1.05".
  if (static_cast<size_t>(got) > n) {
    const char next = reference[n];
    if (next != '\r' && next != '\n' && next != '\0') return false;
  }
  return true;
}

void CImeiRw::WriteRecordAndLabel(const std::string& timeText, ScanResult& result) {
  const std::string recordError =
      AppendRecord(files_.result, "\r\n" + result.imei + " " + timeText + "\r\n");
  result.recordWritten = recordError.empty();

  std::string labelError;
  if (printer_.OpenPort() &&
      printer_.PrintLabel(result.imei, quantity_, vertical_, horizontal_, layout_code_)) {
    result.labelPrinted = true;
  } else {
    labelError = printer_.LastError();
  }
  printer_.ClosePort();

  // The operator must know which of the two is missing: a labelled handset without its record,
  // or a recorded one without its label.
  const std::string who = "IMEI " + result.imei + ": ";
  if (!result.recordWritten && !result.labelPrinted) {
    Message(who + "result record not written (" + recordError + ") and label not printed (" +
            labelError + ")");
  } else if (!result.recordWritten) {
    Message(who + "label printed, but the result record was not written (" + recordError + ")");
  } else if (!result.labelPrinted) {
    Message(who + "result record written, but the label was not printed (" + labelError + ")");
  }
}

void CImeiRw::EndScannerSession() {
  Port& port = scanner_->GetPort();
  port.SetQueueMode(true);
  scanner_->ClearScannerText();
  ScannerCommand(SCANNER_LOFF, 5, 0);
  port.SetQueueMode(false);
}
