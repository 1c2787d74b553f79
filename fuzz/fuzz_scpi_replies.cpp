#include <cmath>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "FuzzInput.h"
#include "instruments/InstrumentState.h"
#include "instruments/drivers/InstrumentDrivers.h"
#include "instruments/drivers/ScpiInstrument.h"
#include "platform/Delay.h"
#include "platform/visa/SimDevice.h"
#include "tester4400/wt4400.h"
#include "tester4400/wt4400Families.h"
#include "tester4400/wt4400Internal.h"

// The drivers read whatever an instrument answers: the 8960 and supply stand-ins and the 4400
// measurement family, each against an instrument whose replies are the fuzzer's lines, in turn.
namespace {

class ScriptedInstrument : public visa::SimDevice {
 public:
  std::deque<std::string> replies;
  uint32_t Write(const std::string&) override { return 0; }
  std::optional<std::string> Read() override {
    if (replies.empty()) return std::nullopt;
    std::string reply = std::move(replies.front());
    replies.pop_front();
    return reply;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool once = [] {
    visa::SetSimTimeSink([](uint32_t) {});  // time-outs pass at once
    SetDelayHandler([](double) {});
    wt4400_setConsole(nullptr);
    return true;
  }();
  (void)once;
  auto instrument = std::make_shared<ScriptedInstrument>();
  FuzzInput in(data, size);
  const uint8_t which = in.Byte();
  while (!in.Empty()) instrument->replies.emplace_back(in.Line());

  // The reply parsers themselves, on every line.
  for (const std::string& reply : instrument->replies) {
    InstrumentError error;
    ParseInstrumentError(reply, &error);
    // What a parser hands back as a reading is a finite number.
    double real = 0;
    if (ParseScpiReal(reply, &real) == ScpiReal::NUMBER) FUZZ_CHECK(std::isfinite(real));
    double numbers[19];
    for (int count : {1, 2, 3, 19}) {
      if (!wt4400::ParseNumbers(reply.c_str(), numbers, count)) continue;
      for (int i = 0; i < count; ++i) FUZZ_CHECK(std::isfinite(numbers[i]));
    }
    int32_t integers[3];
    wt4400::ParseIntegers(reply.c_str(), integers, 3);
    long integer = 0;
    wt4400::ParseInteger(reply.c_str(), &integer);
    int16_t shortValue = 0;
    wt4400::ScanShort(reply, &shortValue);
  }

  switch (which % 3) {
    case 0: {
      visa::RegisterSimDevice(RESOURCE_8960, instrument);
      auto driver = MakeScpi8960Driver();
      ViSession vi = 0;
      driver->Init(RESOURCE_8960, which & 0x10, 0, &vi);
      if (vi != 0) {
        ViInt32 integrity = 0;
        ViReal64 dbm = 0;
        driver->ReadTxPower(vi, 1.0, &integrity, &dbm);
        ViReal64 value = 0;
        driver->QueryReal(vi, "CALL:MS:REP:RXL?", &value);
        ViInt32 code = 0;
        char text[DRIVER_TEXT_SIZE] = {};
        driver->ErrorQuery(vi, &code, text);
        driver->Close(vi);
      }
      visa::UnregisterSimDevice(RESOURCE_8960);
      break;
    }
    case 1: {
      visa::RegisterSimDevice(RESOURCE_SUPPLY, instrument);
      ViSession vi = 0;
      ViReal64 amps = 0;
      switch ((which >> 2) % 3) {
        case 0: {
          auto driver = MakeScpiE3631ADriver();
          driver->Init(RESOURCE_SUPPLY, which & 0x10, 0, &vi);
          if (vi) driver->MeasureCurrent(vi, 1, &amps);
          if (vi) driver->Close(vi);
          break;
        }
        case 1: {
          auto driver = MakeScpiE3632ADriver();
          driver->Init(RESOURCE_SUPPLY, which & 0x10, 0, &vi);
          if (vi) driver->MeasureCurrent(vi, &amps);
          if (vi) driver->Close(vi);
          break;
        }
        default: {
          auto driver = MakeScpi66311BDriver();
          driver->Init(RESOURCE_SUPPLY, which & 0x10, 0, &vi);
          if (vi) driver->MeasureCurrent(vi, &amps);
          if (vi) driver->Close(vi);
          break;
        }
      }
      visa::UnregisterSimDevice(RESOURCE_SUPPLY);
      break;
    }
    default: {
      visa::RegisterSimDevice(RESOURCE_4400, instrument);
      ViSession handle = 0;
      if (wt4400_init(RESOURCE_4400, which & 0x10, 0, &handle) >= VI_SUCCESS || handle != 0) {
        double value = 0;
        wt4400_measureTxPower(handle, &value, 1);
        wt4400_measure(handle, static_cast<int16_t>(which >> 4), 1, &value);
        double three[3];
        wt4400_measureBer(handle, 1, three);
        double all[19];
        wt4400_measureGprsTxAll(handle, all);
        char text[256] = {};
        wt4400_readMobileInfo(handle, WT4400_MS_IMEI, text, sizeof text);
        wt4400_readDate(handle, text, sizeof text);
        double audio[6];
        wt4400_measureAudioAll(handle, audio);
        wt4400_close(handle);
      }
      visa::UnregisterSimDevice(RESOURCE_4400);
      break;
    }
  }
  return 0;
}
