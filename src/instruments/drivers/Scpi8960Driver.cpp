#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "instruments/drivers/InstrumentDrivers.h"
#include "instruments/drivers/Scpi8960Table.h"
#include "instruments/drivers/ScpiInstrument.h"

// The 8960 driver stand-in: each numbered operation as SCPI text from the 8960 table.
namespace {
constexpr ScpiModel MODEL_8960{{"E5515", "8960", nullptr},
                               Scpi(Scpi8960::IDENTIFY),
                               Scpi(Scpi8960::RESET),
                               Scpi(Scpi8960::WAIT_COMPLETE),
                               Scpi(Scpi8960::CLEAR),
                               Scpi(Scpi8960::ERROR_QUERY),
                               10000};

// The connection query blocks up to the instrument's own connection time-out; the read waits
// that long plus this margin.
constexpr uint32_t CONNECT_MARGIN_MS = 5000;

const char* BandName(ViInt16 band) {
  return band >= 1 && band < static_cast<int>(BANDS_8960.size()) ? BANDS_8960[band] : nullptr;
}

bool ArfcnInBand(ViInt32 arfcn, ViInt16 band) {
  switch (band) {
    case 1:
      return arfcn >= 1 && arfcn <= 124;
    case 2:
      return (arfcn >= 0 && arfcn <= 124) || (arfcn >= 975 && arfcn <= 1023);
    case 3:
      return arfcn >= 512 && arfcn <= 885;
    case 4:
      return arfcn >= 512 && arfcn <= 810;
    case 5:
      return arfcn >= 128 && arfcn <= 251;
    default:
      return false;
  }
}

bool InRange(double value, double low, double high) {
  return std::isfinite(value) && value >= low && value <= high;
}

class Scpi8960Driver final : public TestSet8960Driver {
 public:
  ViStatus Init(const char* resource, ViBoolean idQuery, ViBoolean reset, ViSession* vi) override {
    return io_.Init(resource, idQuery, reset, vi);
  }
  ViStatus Close(ViSession vi) override { return io_.Close(vi); }
  ViStatus Reset(ViSession vi) override { return io_.Reset(vi); }
  ViStatus ErrorQuery(ViSession vi, ViInt32* code, char* text) override {
    return io_.ErrorQuery(vi, code, text);
  }
  ViStatus ErrorMessage(ViSession, ViStatus status, char* text) override {
    return ScpiInstrument::ErrorMessage(status, text);
  }
  ViStatus Clear(ViSession vi) override { return io_.Clear(vi); }
  std::string Identity(ViSession vi) override { return io_.Identity(vi); }

  ViStatus SendCommand(ViSession vi, const char* command) override {
    if (!command || !*command) return VI_ERROR_PARAMETER2;
    return io_.Send(vi, {command});
  }

  ViStatus SendCommandReal(ViSession vi, const char* command, ViReal64 value) override {
    if (!command || !*command) return VI_ERROR_PARAMETER2;
    if (!std::isfinite(value)) return VI_ERROR_PARAMETER3;
    return io_.Send(vi, {ScpiFormat("{} {}", {command, value})});
  }

  // No reading (9.91E+37, or a reply that is not a number) leaves NaN, never a plausible 0.
  ViStatus QueryReal(ViSession vi, const char* query, ViReal64* value) override {
    if (value) *value = std::nan("");
    if (!query || !*query) return VI_ERROR_PARAMETER2;
    if (!value) return VI_ERROR_PARAMETER3;
    std::string reply;
    const ViStatus status = io_.Query(vi, query, &reply);
    if (status < VI_SUCCESS) return status;
    // A compound query answers "a;b;c"; of the reported-level queries ("NEW?;NEW?;NEW?") only
    // the last result is valid.
    const size_t last = reply.rfind(';');
    const std::string_view wanted = last == std::string::npos
                                        ? std::string_view(reply)
                                        : std::string_view(reply).substr(last + 1);
    return ParseScpiReal(wanted, value) == ScpiReal::MALFORMED ? VI_ERROR_INV_RESPONSE : status;
  }

  // End of test brings the set back to active cell, where the next calibration's call is made
  // (the TX and CW set-ups leave it in test mode), and ends a call still up.
  ViStatus EndOfTest(ViSession vi) override {
    return io_.Send(vi, {ScpiFormat(Scpi(Scpi8960::OPERATING_MODE),
                                    {OPERATING_MODES_8960[OPERATING_MODE_ACTIVE_CELL]}),
                         Scpi(Scpi8960::END_CALL)});
  }

  ViStatus ReadTxPower(ViSession vi, ViReal64 timeoutSeconds, ViInt32* integrity,
                       ViReal64* dbm) override {
    if (integrity) *integrity = 0;
    if (dbm) *dbm = std::nan("");
    if (!InRange(timeoutSeconds, 0.0, 1000.0)) return VI_ERROR_PARAMETER2;
    if (!integrity) return VI_ERROR_PARAMETER3;
    if (!dbm) return VI_ERROR_PARAMETER4;
    std::string reply;
    const ViStatus status = io_.Query(vi, Scpi(Scpi8960::TX_POWER), &reply,
                                      static_cast<uint32_t>(timeoutSeconds * 1000.0));
    if (status < VI_SUCCESS) return status;
    // "<integrity>,<dBm>"
    const char* text = reply.c_str();
    char* end = nullptr;
    const long code = std::strtol(text, &end, 10);
    if (end == text || *end != ',') return VI_ERROR_INV_RESPONSE;
    double power = 0.0;
    // Without a result the power is 9.91E+37: handed on as NaN, for the caller to refuse.
    if (ParseScpiReal(end + 1, &power) == ScpiReal::MALFORMED) return VI_ERROR_INV_RESPONSE;
    if (code < INT32_MIN || code > INT32_MAX) return VI_ERROR_INV_RESPONSE;
    *integrity = static_cast<ViInt32>(code);
    *dbm = power;
    return status;
  }

  ViStatus SelectMeasurements(ViSession vi, ViInt32 count, const ViInt16* codes) override {
    if (count < 1 || count > static_cast<ViInt32>(MEASUREMENTS_8960.size()))
      return VI_ERROR_PARAMETER2;
    if (!codes) return VI_ERROR_PARAMETER3;
    std::string list;
    for (ViInt32 i = 0; i < count; ++i) {
      const char* name = nullptr;
      for (const Measurement8960& m : MEASUREMENTS_8960)
        if (m.code == codes[i]) name = m.name;
      if (!name) return VI_ERROR_PARAMETER3;
      if (!list.empty()) list += ';';
      list += name;
    }
    return io_.Send(vi, {ScpiFormat(Scpi(Scpi8960::INITIATE), {list})});
  }

  ViStatus TchChannel(ViSession vi, ViInt32 arfcn, ViInt16 band, ViInt32 now) override {
    if (!BandName(band)) return VI_ERROR_PARAMETER3;
    if (!ArfcnInBand(arfcn, band)) return VI_ERROR_PARAMETER2;
    if (now != 0 && now != 1) return VI_ERROR_PARAMETER4;
    return io_.Send(vi, {ScpiFormat(Scpi(Scpi8960::TCH_ARFCN), {BandName(band), arfcn})});
  }

  ViStatus MsTxLevel(ViSession vi, ViInt32 pcl, ViInt16 band, ViInt32 now) override {
    if (pcl < 0 || pcl > 31) return VI_ERROR_PARAMETER2;
    if (!BandName(band)) return VI_ERROR_PARAMETER3;
    if (now != 0 && now != 1) return VI_ERROR_PARAMETER4;
    return io_.Send(vi, {ScpiFormat(Scpi(Scpi8960::MS_TX_LEVEL), {BandName(band), pcl})});
  }

  ViStatus BchChannel(ViSession vi, ViInt32 cell, ViInt32 arfcn, ViInt16 band,
                      ViInt32 now) override {
    if (cell != 1) return VI_ERROR_PARAMETER2;
    if (!BandName(band)) return VI_ERROR_PARAMETER4;
    if (!ArfcnInBand(arfcn, band)) return VI_ERROR_PARAMETER3;
    if (now != 0 && now != 1) return VI_ERROR_PARAMETER5;
    return io_.Send(vi, {ScpiFormat(Scpi(Scpi8960::BCH_ARFCN), {BandName(band), arfcn})});
  }

  ViStatus CellBand(ViSession vi, ViInt32 cell, ViInt16 band) override {
    if (cell != 1) return VI_ERROR_PARAMETER2;
    if (!BandName(band)) return VI_ERROR_PARAMETER3;
    return io_.Send(vi, {ScpiFormat(Scpi(Scpi8960::CELL_BAND), {BandName(band)})});
  }

  ViStatus TchBand(ViSession vi, ViInt16 band) override {
    if (!BandName(band)) return VI_ERROR_PARAMETER2;
    return io_.Send(vi, {ScpiFormat(Scpi(Scpi8960::TCH_BAND), {BandName(band)})});
  }

  ViStatus OperatingMode(ViSession vi, ViInt32 mode) override {
    if (mode < 0 || mode >= static_cast<ViInt32>(OPERATING_MODES_8960.size()))
      return VI_ERROR_PARAMETER2;
    return io_.Send(vi, {ScpiFormat(Scpi(Scpi8960::OPERATING_MODE), {OPERATING_MODES_8960[mode]})});
  }

  ViStatus PathLoss(ViSession vi, ViReal64 gainDb) override {
    if (!InRange(gainDb, -100.0, 100.0)) return VI_ERROR_PARAMETER2;
    return io_.Send(
        vi, {ScpiFormat(Scpi(Scpi8960::PATH_GAIN), {gainDb}), Scpi(Scpi8960::PATH_GAIN_ON)});
  }

  ViStatus CellPower(ViSession vi, ViInt32 cell, ViReal64 dbm, ViInt32 option1,
                     ViInt32 option2) override {
    if (cell != 1) return VI_ERROR_PARAMETER2;
    if (!InRange(dbm, -127.0, -10.0)) return VI_ERROR_PARAMETER3;
    if (option1 != 0) return VI_ERROR_PARAMETER4;
    if (option2 != 0) return VI_ERROR_PARAMETER5;
    return io_.Send(vi, {ScpiFormat(Scpi(Scpi8960::CELL_POWER), {dbm})});
  }

  // The origination arms the change detector itself (with a fixed time-out); it is armed again
  // here so that the wait's own time-out applies while the call has not left idle. Armed, the
  // state query answers only at a change to connected or idle, or when that time-out runs out.
  ViStatus WaitCallConnected(ViSession vi, ViReal64 seconds) override {
    if (!InRange(seconds, 1.0, 1000.0)) return VI_ERROR_PARAMETER2;
    ViStatus status = io_.Send(
        vi, {ScpiFormat(Scpi(Scpi8960::CONNECT_TIMEOUT), {seconds}), Scpi(Scpi8960::CONNECT_ARM)});
    if (status < VI_SUCCESS) return status;
    std::string reply;
    status = io_.Query(vi, Scpi(Scpi8960::CONNECTED), &reply,
                       static_cast<uint32_t>(seconds * 1000.0) + CONNECT_MARGIN_MS);
    if (status < VI_SUCCESS) return status;
    if (reply == "1") return status;
    if (reply == "0") return VI_WARN_NOT_CONNECTED;
    return VI_ERROR_INV_RESPONSE;
  }

  ViStatus OriginateCall(ViSession vi) override {
    return io_.Send(vi, {Scpi(Scpi8960::ORIGINATE)});
  }

 private:
  ScpiInstrument io_{MODEL_8960};
};
}  // namespace

std::shared_ptr<TestSet8960Driver> MakeScpi8960Driver() {
  return std::make_shared<Scpi8960Driver>();
}
