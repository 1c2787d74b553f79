#include "instruments/InstrumentState.h"
#include "instruments/Supply.h"
#include "instruments/TestSetCalls.h"
#include "platform/Notifier.h"

// Opening and closing the supply, and the error handling every supply call passes through.
namespace {
VxiPnpDriver* SupplyDriver(int32_t type) {
  switch (type) {
    case SUPPLY_66311B:
      return Drivers().hp66311b.get();
    case SUPPLY_E3631A:
      return Drivers().e3631a.get();
    case SUPPLY_E3632A:
      return Drivers().e3632a.get();
    default:
      return nullptr;
  }
}
}  // namespace

bool OpenSupply() {
  InstrumentState& s = Instruments();
  if (s.SupplyHandle != 0 && s.SupplyType != SUPPLY_NONE) CloseSupply();
  if (s.SupplyType == SUPPLY_NONE) return true;
  const int32_t type = s.SupplyType;
  VxiPnpDriver* driver = SupplyDriver(type);
  if (!driver) return false;

  ViSession handle = 0;
  const ViStatus status = driver->Init(RESOURCE_SUPPLY, VI_TRUE, VI_TRUE, &handle);
  s.SupplyHandle = handle;
  if (handle != 0) s.OpenSupplyType = type;
  CheckSupplyStatus(handle, status);
  if (status < VI_SUCCESS && handle != 0) {
    // Whatever answered at the supply's address failed its identity check or reset: it is not
    // driven with voltage settings meant for another model.
    driver->Close(handle);
    s.SupplyHandle = 0;
    s.OpenSupplyType = SUPPLY_NONE;
  }
  if (type == SUPPLY_E3632A && s.SupplyHandle != 0) SetSupplyNominal();
  return status == VI_SUCCESS;
}

void CloseSupply() {
  InstrumentState& s = Instruments();
  if (s.SupplyHandle == 0) return;
  // Closed by the driver that opened it, whatever the selector says now.
  const int32_t type = s.OpenSupplyType != SUPPLY_NONE ? s.OpenSupplyType : s.SupplyType;
  if (VxiPnpDriver* driver = SupplyDriver(type)) driver->Close(s.SupplyHandle);
  s.SupplyHandle = 0;
  s.OpenSupplyType = SUPPLY_NONE;
}

void CheckSupplyStatus(ViSession handle, ViStatus status) {
  if (status >= VI_SUCCESS) return;
  const int32_t type = Instruments().SupplyType;
  VxiPnpDriver* driver = SupplyDriver(type);
  if (InstrumentGone(status) && handle != 0 && handle == Instruments().SupplyHandle) {
    // A supply that no longer answers is let go: every further call would wait out its
    // time-out again (the current polls every 300 ms). The next instrument check opens it anew.
    char text[256] = "";
    if (driver) driver->ErrorMessage(handle, status, text);
    DebugLog(Format("Driver Error : %ld, %s\n", static_cast<long>(status), text));
    CloseSupply();
    Instruments().InstrumentFault = 1;
    Instruments().InstrumentLost = true;
    return;
  }
  if (driver) {
    if (type != SUPPLY_66311B) driver->Clear(handle);
    char text[256] = "";
    if (status == VI_INSTR_ERROR_DETECTED) {
      ViInt32 code = 0;
      driver->ErrorQuery(handle, &code, text);
      DebugLog(Format("Instrument Error : %ld, %s\n", static_cast<long>(code), text));
    } else {
      driver->ErrorMessage(handle, status, text);
      DebugLog(Format("Driver Error : %ld, %s\n", static_cast<long>(status), text));
    }
  }
  Instruments().InstrumentFault = 1;
}
