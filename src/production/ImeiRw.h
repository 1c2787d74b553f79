#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "link/Exchange.h"
#include "link/Port.h"
#include "platform/EventLoop.h"
#include "platform/Notifier.h"
#include "production/LPT1Write.h"
#include "production/PumpWait.h"
#include "production/Scanner.h"

// The fields of the identity window, as the logic reads and fills them.
enum class ImeiField {
  IMEI_READ_1,  // type allocation code (6), final assembly code (2), serial (6), check (1)
  IMEI_READ_2,
  IMEI_READ_3,
  IMEI_READ_4,
  IMEI_INPUT_1,
  IMEI_INPUT_2,
  IMEI_INPUT_3,
  IMEI_INPUT_4,
  HW_DISPLAY,
  HW_INPUT,
  SW_DISPLAY,
  SERIAL_DISPLAY,
  SERIAL_INPUT,
  TIME,
  REGION_DISPLAY,
  REGION_COMBO,  // "CH", "HK" or empty (no selection)
  CODE,          // the scanned code beside "SCAN"
};

class ImeiRwView {
 public:
  virtual ~ImeiRwView() = default;
  virtual void SetText(ImeiField field, const std::string& text) = 0;
  virtual std::string Text(ImeiField field) const = 0;
  // A scan runs: the window keeps the other handset buttons from interfering.
  virtual void SetScanning(bool /*running*/) {}
};

// The steps of the scan sequence a failure can end it at.
enum class ScanStep {
  NONE,
  OPEN_SCANNER,
  CLEAR_SCANNER,
  READ_CODE,
  CODE_REJECTED,
  WRITE_IMEI,
  READ_IMEI,
  COMPARE_IMEI,
  SW_VERSION,
  WRITE_REGION,
  QUIT,       // the program is closing
  PORT_LOST,  // the handset's port went away during the scan
};

struct ScanResult {
  bool refused = false;    // a scan was already running
  bool completed = false;  // every step up to the label ran
  ScanStep failedStep = ScanStep::NONE;
  bool recordWritten = false;
  bool labelPrinted = false;
  std::string imei;  // the verified IMEI of a completed scan
};

struct ImeiRwFiles {
  std::string result = "Imeiresult.txt";
  std::string version = "swver.txt";
};

// The identity window's logic (`CImeiRw`): reads and writes the handset's IMEI, hardware and
// software version, serial number, clock and region, and runs the scan-and-program sequence
// with the barcode scanner and the label printer.
class CImeiRw : private ExchangeClient {
 public:
  static constexpr uint32_t ANSWER_TIMEOUT_MS = 3000;
  using ScannerPortFactory = std::function<std::unique_ptr<Port>()>;
  using LocalTime = std::function<std::tm()>;

  CImeiRw(EventLoop& loop, Port& handset, Notifier& notifier, ImeiRwView& view,
          ScannerPortFactory scannerPorts);
  ~CImeiRw() override;

  void OnInit();    // becomes the owner of the handset's answers
  void TakePort();  // brought forward, activated, mouse over it

  void ReadImei();
  void SetImei();
  void ReadHwVersion();
  void SetHwVersion();
  void ReadSwVersion();
  void ReadSerial();
  void SetSerial();
  void SetRtc();
  void ReadRegion();
  void SetRegion();
  ScanResult Scan();
  // The window went away while a scan waits inside this object: the scan ends quietly at its
  // next wait and the object deletes itself when it returns. Only for an object on the heap
  // whose owner has let go of it.
  void Abandon();
  void Next();            // Enter on "NEXT": clears the fields for the next handset
  void ReleaseScanner();  // "EXIT" and window close: the scanner port goes

  // Issue quantity 0-10000, vertical and horizontal offsets 0-600; false (nothing taken) out
  // of range.
  bool SetLabelSettings(int quantity, int vertical, int horizontal);
  int Quantity() const { return quantity_; }
  int Vertical() const { return vertical_; }
  int Horizontal() const { return horizontal_; }

  bool Scanning() const { return scanning_; }
  const std::string& ImeiReadBack() const { return imei_readback_; }
  const std::string& SoftwareVersion() const { return sw_version_; }
  const std::string& ScannedCode() const { return code_; }
  int LayoutCode() const { return layout_code_; }
  Port* ScannerPort() { return scanner_port_.get(); }

  void SetLocalTime(LocalTime now) { now_ = std::move(now); }
  void SetFiles(ImeiRwFiles files) { files_ = std::move(files); }
  void SetPrinterPath(std::string path);
  Exchange& GetExchange() { return exchange_; }

 private:
  void DecodeAnswer(Exchange& ex) override;
  void OnAnswerTimeout(Exchange& ex) override;
  void DecodeOk(Exchange& ex);

  bool Send(const std::string& line);
  // A wait of the scan; QUIT as well when the window went away meanwhile, LOST when the
  // handset's port went away since the scan began.
  WaitEnd Wait(uint32_t ms, const bool* flag = nullptr);
  bool HandsetLostDuringScan() const { return !lost_before_scan_ && handset_.Lost(); }
  bool MayUseButtons() const { return !scanning_; }
  void Message(const std::string& text) { notifier_.Message(text); }
  void ShowImeiFields(ImeiField first, const std::string& imei);

  // Scan sequence (ScanSequence.cpp).
  ScanResult RunScan();
  bool OpenScanner();
  bool ScannerCommand(const char* text, size_t count, uint32_t waitMs);
  bool VersionMatchesReference();
  void WriteRecordAndLabel(const std::string& timeText, ScanResult& result);
  void EndScannerSession();

  EventLoop& loop_;
  Port& handset_;
  Notifier& notifier_;
  ImeiRwView* view_;
  ScannerPortFactory scanner_ports_;
  Exchange exchange_;
  LocalTime now_;
  ImeiRwFiles files_;

  std::string imei_readback_;
  std::string sw_version_;
  bool sw_version_fresh_ = false;  // a version answer arrived since the scan asked for it
  bool imei_event_ = false;
  bool region_flag_ = false;
  int layout_code_ = 0;
  int quantity_ = 1;
  int vertical_ = 10;
  int horizontal_ = 200;
  std::string code_;
  bool scanning_ = false;
  bool abandoned_ = false;
  // A port lost before SCAN is a closed link, reported as the first step that needs it.
  bool lost_before_scan_ = false;

  std::unique_ptr<Port> scanner_port_;
  std::unique_ptr<Scanner> scanner_;
  CLPT1Write printer_;
};
