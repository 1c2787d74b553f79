#include <unistd.h>

#include <cstdint>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "ScriptedHandset.h"
#include "production/IdentityCodec.h"
#include "production/ImeiRw.h"
#include "production/ScannerLine.h"
#include "sim/HandsetCommands.h"

// The identity window's answer handling and the scan sequence, fed as their ports feed them:
// CImeiRw on a SimPort whose handset replies come from the input (ScriptedHandset), and a
// scanner port whose answer lines come from it too, so ParseScannerLine sees whatever a
// scanner could send. The scanner line rule is also checked on the input's first piece alone.
namespace {

// The scanner on COM2: each command written takes the next reply from the replies.
//   kind % 4 == 0: "OK" CR   1: the piece as it is   2: one of a few codes and CR
//              3: nothing
// Delays as for the handset, in ms or (kind bit 0x40) 20 ms steps. When the replies have run
// out it answers as a scanner with a good label in front of it does.
class ScriptedScannerPort : public SimPort, private SimFarEnd {
 public:
  ScriptedScannerPort(SimLoop& loop, FuzzInput& in) : SimPort(loop), loop_(loop), in_(in) {
    Attach(this);
  }
  ~ScriptedScannerPort() override { Attach(nullptr); }

 private:
  void OnStationBytes(const uint8_t* data, size_t count) override {
    if (in_.Empty()) {
      const std::string command(reinterpret_cast<const char*>(data), count);
      if (command == SCANNER_BCLR) Later(5, "OK\r");
      if (command == SCANNER_LON) Later(200, std::string(CODES[0]) + "\r");
      return;
    }
    const uint8_t kind = in_.Byte();
    const uint8_t delayByte = in_.Byte();
    const uint64_t delay = (kind & 0x40) ? delayByte * 20ull : delayByte;
    std::string line;
    switch ((kind & 0x3F) % 4) {
      case 0:
        line = "OK\r";
        break;
      case 1:
        line = in_.Piece();
        break;
      case 2:
        line = std::string(CODES[in_.Byte() % std::size(CODES)]) + "\r";
        break;
      default:
        return;
    }
    Later(delay, line);
  }

  void Later(uint64_t delay, const std::string& line) {
    // The window may let the port go before the line arrives.
    loop_.After(delay, [this, alive = std::weak_ptr<bool>(alive_), line] {
      if (alive.expired()) return;
      DeviceSend(reinterpret_cast<const uint8_t*>(line.data()), line.size());
    });
  }

  static constexpr const char* CODES[] = {"350000001234565", "357891023456781", "G10000001234565",
                                          "35000000123456X"};
  SimLoop& loop_;
  FuzzInput& in_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

struct FieldsView : ImeiRwView {
  std::map<ImeiField, std::string> fields;
  void SetText(ImeiField f, const std::string& text) override { fields[f] = text; }
  std::string Text(ImeiField f) const override {
    const auto it = fields.find(f);
    return it == fields.end() ? std::string() : it->second;
  }
};

std::tm FixedTime() {
  std::tm t{};
  t.tm_year = 2002 - 1900;
  t.tm_mon = 7;
  t.tm_mday = 24;
  t.tm_wday = 6;
  t.tm_hour = 15;
  return t;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void CheckScannerLine(std::string_view piece) {
  const std::vector<uint8_t> bytes(piece.begin(), piece.end());
  const ScannerLine line = ClassifyScannerLine(bytes.data(), bytes.size());
  const bool code = line.kind == ScannerLineKind::CODE || line.kind == ScannerLineKind::CODE_LETTER;
  // A code is the line without its CR; nothing else carries text, and only an acknowledgement
  // or a code counts as success.
  FUZZ_CHECK(code == !line.text.empty());
  if (code) FUZZ_CHECK(line.text == piece.substr(0, SCANNER_CODE_LENGTH - 1));
  FUZZ_CHECK(!line.success || code || line.kind == ScannerLineKind::ACKNOWLEDGE);
  FUZZ_CHECK(line.kind != ScannerLineKind::INCOMPLETE ||
             (piece.empty() || piece.back() != SCANNER_CR));
}

const char* const IMEI_INPUTS[] = {"350000", "01", "234565", "5", "", "3500001", "0x", "99"};
const char* const TEXT_INPUTS[] = {"ZR907XC-HW1", "",        "0123456789012345678901234",
                                   "12345",       "1234567", "ab"};
const char* const REGIONS[] = {"CH", "HK", ""};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    const std::string d = FuzzTempDir();
    std::ofstream(d + "/swver.txt") << sim::HANDSET_SW_VERSION;
    return d;
  }();
  std::ofstream(dir + "/lpt1", std::ios::trunc).close();  // the printer is there, empty
  // A scanner line on its own, the operator's presses (up to 255 bytes), then the replies of
  // the handset and the scanner, in the order their requests go out.
  FuzzInput in(data, size);
  CheckScannerLine(in.Piece());
  FuzzInput actions(in.Piece());
  FuzzInput replies(in.Rest());

  ResetEncoderState();
  SimLoop loop;
  sim::Bench bench(1, [&loop] { return loop.Now(); });
  SimPort port(loop);
  port.Open(1, 115200);
  NullNotifier notifier;
  FieldsView view;
  {
    ScriptedHandset handset(loop, port, bench, replies);
    CImeiRw rw(loop, port, notifier, view, [&loop, &replies]() -> std::unique_ptr<Port> {
      return std::make_unique<ScriptedScannerPort>(loop, replies);
    });
    rw.SetFiles({dir + "/Imeiresult.txt", dir + "/swver.txt"});
    rw.SetPrinterPath(dir + "/lpt1");
    rw.SetLocalTime(&FixedTime);
    rw.OnInit();
    for (int step = 0; step < 32 && !actions.Empty(); ++step) {
      const uint8_t action = actions.Byte();
      const uint8_t argument = actions.Byte();
      switch ((action & 0x7F) % 14) {
        case 0:
          rw.ReadImei();
          break;
        case 1:
          for (int f = 0; f < 4; ++f) {
            view.fields[static_cast<ImeiField>(static_cast<int>(ImeiField::IMEI_INPUT_1) + f)] =
                IMEI_INPUTS[(argument + f) % std::size(IMEI_INPUTS)];
          }
          rw.SetImei();
          break;
        case 2:
          rw.ReadHwVersion();
          break;
        case 3:
          view.fields[ImeiField::HW_INPUT] = TEXT_INPUTS[argument % std::size(TEXT_INPUTS)];
          rw.SetHwVersion();
          break;
        case 4:
          rw.ReadSwVersion();
          break;
        case 5:
          rw.ReadSerial();
          break;
        case 6:
          view.fields[ImeiField::SERIAL_INPUT] = TEXT_INPUTS[argument % std::size(TEXT_INPUTS)];
          rw.SetSerial();
          break;
        case 7:
          rw.SetRtc();
          break;
        case 8:
          rw.ReadRegion();
          break;
        case 9:
          view.fields[ImeiField::REGION_COMBO] = REGIONS[argument % std::size(REGIONS)];
          rw.SetRegion();
          break;
        case 10:
        case 11: {
          view.fields[ImeiField::REGION_COMBO] = REGIONS[argument % std::size(REGIONS)];
          const std::string before = FileText(dir + "/Imeiresult.txt");
          const ScanResult result = rw.Scan();
          FUZZ_CHECK(!result.refused);
          // A record is written for a completed scan only, and it holds the verified IMEI.
          const std::string after = FileText(dir + "/Imeiresult.txt");
          const std::string record =
              "\r\n" + result.imei + " " + identity::FormatTime(FixedTime()) + "\r\n";
          FUZZ_CHECK(result.recordWritten ? after == before + record : after == before);
          FUZZ_CHECK(!result.recordWritten || result.completed);
          // A completed scan has an IMEI the handset confirmed: 15 digits.
          if (result.completed) {
            FUZZ_CHECK(result.imei.size() == identity::IMEI_DIGITS &&
                       identity::AllDigits(result.imei));
            FUZZ_CHECK(result.failedStep == ScanStep::NONE);
          } else {
            FUZZ_CHECK(result.failedStep != ScanStep::NONE && !result.recordWritten);
          }
          break;
        }
        case 12:
          rw.Next();
          break;
        default:
          rw.ReleaseScanner();
          break;
      }
      loop.RunFor(action & 0x80 ? CImeiRw::ANSWER_TIMEOUT_MS + 600 : 40);
    }
  }
  port.Close();
  ::unlink((dir + "/Imeiresult.txt").c_str());
  return 0;
}
