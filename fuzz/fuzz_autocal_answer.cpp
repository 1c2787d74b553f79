#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "calibration/AutoCalibration.h"
#include "calibration/CalState.h"
#include "instruments/InstrumentState.h"
#include "instruments/Supply.h"
#include "instruments/TestSet.h"
#include "link/Bcommand.h"
#include "platform/Notifier.h"
#include "sim/SimPort.h"
#include "sim/instruments/SimBenchRig.h"

// The auto-calibration window's answer decoder (CheckAnswer first) on any answer: a step is
// started against the simulated instruments, and the handset's side of the link is the fuzzer.
// A piece with its high bit set goes out as an executed answer to the last request (header,
// opcode echo, status 0, the bytes escaped), so the decoder's branches are reached; any other
// piece goes on the line as it is.
namespace {

class NullView : public AutoCalibrationView {
 public:
  void SetStatus(const std::string&, StatusLook) override {}
  void SetField(CalField, const std::string&) override {}
  void ResetLists() override {}
  void SetListCell(CalList, int, int, const std::string&) override {}
  void SetProgress(int) override {}
  std::string ModelText() const override { return "ZR907XC907"; }
  std::string StageText() const override { return "MP"; }
  std::string PhoneName() const override { return ""; }
};

class NullNotifier : public Notifier {
 public:
  void Message(const std::string&) override {}
};

std::vector<uint8_t> Answer(uint8_t opcode, std::string_view data) {
  std::vector<uint8_t> frame = {FRAME_MARKER, FRAME_HEADER};
  auto put = [&frame](uint8_t byte) {
    if (byte == FRAME_MARKER || byte == FRAME_ESCAPE) frame.push_back(FRAME_ESCAPE);
    frame.push_back(byte);
  };
  put(opcode);
  put(0);
  for (const char c : data) put(static_cast<uint8_t>(c));
  frame.push_back(FRAME_MARKER);
  return frame;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SimBenchRig* rig = [] {
    auto* r = new SimBenchRig();
    ResetInstrumentState();
    Instruments().TestSetType = TESTSET_8960;
    Instruments().SupplyType = SUPPLY_E3631A;
    Instruments().loop = &r->loop();
    OpenTestSet();
    OpenSupply();
    return r;
  }();
  FuzzInput in(data, size);
  ResetCalState();
  ResetEncoderState();
  Instruments().InstrumentFault = 0;
  SimLoop& loop = rig->loop();
  SimPort port(loop);
  port.Open(1, 115200);
  NullView view;
  NullNotifier notifier;
  {
    AutoCalibration window(loop, port, view, notifier);
    window.SetResultLogPath("");
    window.OnInit();
    switch (in.Byte() % 5) {
      case 0:
        window.RunGmagic();
        break;
      case 1:
        window.RunRxCal();
        break;
      case 2:
        window.RunGsmTx();
        break;
      case 3:
        window.RunDcsTx();
        break;
      default:
        window.RunBattery();
        break;
    }
    for (int pieces = 0; pieces < 64 && !in.Empty(); ++pieces) {
      const uint8_t kind = in.Byte();
      const std::string_view piece = in.Piece(kind & 0x3F);
      if (kind & 0x80) {
        port.DeviceSend(Answer(LastOpcode(), piece));
      } else {
        port.DeviceSend(reinterpret_cast<const uint8_t*>(piece.data()), piece.size());
      }
      loop.RunFor(kind & 0x40 ? 4100 : 60);  // now and then past the answer time-out
    }
  }
  port.Close();
  return 0;
}
