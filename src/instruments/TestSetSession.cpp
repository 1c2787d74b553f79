#include <cstdint>

#include "instruments/TestSet.h"
#include "instruments/TestSetCalls.h"
#include "platform/Notifier.h"
#include "tester4400/wt4400.h"

// Opening, closing, resetting the test set, and the error handling every test-set call passes
// through.
namespace {
constexpr int CAL_STEP_FINISHED = 41;

// The 4400 reports instrument errors as a base plus the instrument's (negative) error code.
constexpr ViStatus WT4400_INSTR_RANGE_LOW = static_cast<ViStatus>(0xBFFE0000);
constexpr ViStatus WT4400_INSTR_RANGE_HIGH = static_cast<ViStatus>(0xBFFF0000);

// A handle belongs to the driver that opened it, even if the RF configuration has changed the
// selector since; closing it with another driver would leak it or close something else.
int32_t CloseType() {
  const InstrumentState& s = Instruments();
  return s.OpenTestSetType != TESTSET_NONE ? s.OpenTestSetType : s.TestSetType;
}

void FinishTestSteps() {
  SequencerState& q = Sequencer();
  q.CalStep = CAL_STEP_FINISHED;
  q.GsmSubBand = 0;
  q.DcsSubBand = 0;
}

// The diagnostic line for a failed call (never shown to the operator). During a drop only the
// driver's own text is used: the instrument is being let go and may not answer at all.
void LogTestSetError(ViSession handle, ViStatus status, bool askInstrument) {
  char text[256] = "";
  switch (Instruments().TestSetType) {
    case TESTSET_8960:
      if (status == VI_INSTR_ERROR_DETECTED && askInstrument) {
        ViInt32 code = 0;
        Driver8960().ErrorQuery(handle, &code, text);
        DebugLog(Format("Instrument Error : %ld, %s\n", static_cast<long>(code), text));
      } else {
        Driver8960().ErrorMessage(handle, status, text);
        DebugLog(Format("Driver Error : %ld, %s\n", static_cast<long>(status), text));
      }
      break;
    case TESTSET_4400:
      if (status >= WT4400_INSTR_RANGE_LOW && status < WT4400_INSTR_RANGE_HIGH) {
        const ViStatus code = status - WT4400_INSTR_ERROR_BASE;
        Driver4400().ErrorMessage(code, text);
        DebugLog(Format("Instrument Error : %ld, %s\n", static_cast<long>(code), text));
      } else {
        Driver4400().ErrorMessage(status, text);
        DebugLog(Format("Driver Error : %ld, %s\n", static_cast<long>(status), text));
      }
      break;
    default:
      break;
  }
}

// A test set that no longer answers is let go without its idle (which would only wait out
// the time-out again). The sub-band counters stay, so that the failure names the sub-band the
// step was in; the stop's idle clears them.
void DropLostTestSet(ViSession handle, ViStatus status) {
  InstrumentState& s = Instruments();
  LogTestSetError(handle, status, false);
  s.DroppingTestSet = true;
  s.InstrumentFault = 1;
  s.InstrumentLost = true;
  Sequencer().CalLastState = 0;
  CloseTestSet();
  Sequencer().CalStep = CAL_STEP_FINISHED;
  s.TestSetErrorCount = 0;
  s.DroppingTestSet = false;
}

void DropTestSet() {
  InstrumentState& s = Instruments();
  s.DroppingTestSet = true;
  s.InstrumentFault = 1;
  Sequencer().CalStep = 0;
  Sequencer().CalLastState = 0;
  IdleTestSet();  // the 4400's idle is its reset
  CloseTestSet();
  s.TestSetErrorCount = 0;
  s.DroppingTestSet = false;
}
}  // namespace

bool OpenTestSet() {
  InstrumentState& s = Instruments();
  const int32_t type = s.TestSetType;
  if (type != TESTSET_8960 && type != TESTSET_4400) return false;
  if (s.TestSetHandle != 0) CloseTestSet();

  ViSession handle = 0;
  const ViStatus status = type == TESTSET_8960
                              ? Driver8960().Init(RESOURCE_8960, VI_TRUE, VI_TRUE, &handle)
                              : Driver4400().Init(RESOURCE_4400, 1, 1, &handle);
  s.TestSetHandle = handle;
  if (status < VI_SUCCESS || handle == 0) {
    std::string text = Format("\ninit failed with return code %d.\n", status);
    if (handle != 0) {
      char message[256] = "";
      if (type == TESTSET_8960) {
        Driver8960().ErrorMessage(handle, status, message);
      } else {
        Driver4400().ErrorMessage(status, message);
      }
      text =
          Format("  Error Status:  %ld Error Message :%s \n", static_cast<long>(status), message);
    }
    NotifyOperator(text);
    if (handle != 0) {
      if (type == TESTSET_8960) {
        Driver8960().Close(handle);
      } else {
        Driver4400().Close(handle);
      }
    }
    s.TestSetHandle = 0;
    return false;
  }

  s.OpenTestSetType = type;
  Sequencer().CalStep = CAL_STEP_FINISHED;
  if (type == TESTSET_8960) {
    RunTestSetCalls({{[](ViSession h) { return Driver8960().CellBand(h, 1, BAND_GSM900); }}});
  } else {
    const ViStatus io = Driver4400().SetIoMode(handle, 1, 1, "", 1);
    CheckTestSetStatus(handle, io);
    if (s.TestSetHandle != 0) {
      Driver4400().Trace(io, "WILLTEK ", "TESTER ", handle);
      RunTestSetCalls({{[](ViSession h) { return Driver4400().SelectSystem(h, 1); }}});
    }
  }
  // An error count left from before can drop the test set during its own preparation: that
  // is a failed open, not an "OK".
  return s.TestSetHandle != 0;
}

void CloseTestSet() {
  InstrumentState& s = Instruments();
  const ViSession handle = s.TestSetHandle;
  if (handle == 0) return;
  ViStatus status = VI_SUCCESS;
  switch (CloseType()) {
    case TESTSET_8960:
      status = Driver8960().Close(handle);
      break;
    case TESTSET_4400:
      status = Driver4400().Close(handle);
      break;
    default:
      break;
  }
  // Forgotten before the check, so a drop that the check may start finds nothing left to close.
  s.TestSetHandle = 0;
  s.OpenTestSetType = TESTSET_NONE;
  CheckTestSetStatus(handle, status);
}

void ResetTestSet() {
  if (Instruments().TestSetHandle != 0) {
    switch (Instruments().TestSetType) {
      case TESTSET_8960:
        RunTestSetCalls({{[](ViSession h) { return Driver8960().Clear(h); }},
                         {[](ViSession h) { return Driver8960().Reset(h); }}});
        break;
      case TESTSET_4400:
        RunTestSetCalls({{[](ViSession h) { return Driver4400().ResetAndWait(h); }}});
        break;
      default:
        break;
    }
  }
  FinishTestSteps();
}

void IdleTestSet() {
  if (Instruments().TestSetHandle != 0) {
    switch (Instruments().TestSetType) {
      case TESTSET_8960:
        RunTestSetCalls({{[](ViSession h) { return Driver8960().EndOfTest(h); }}});
        break;
      case TESTSET_4400:
        RunTestSetCalls({{[](ViSession h) { return Driver4400().ResetAndWait(h); }}});
        break;
      default:
        break;
    }
  }
  FinishTestSteps();
}

void CheckTestSetStatus(ViSession handle, ViStatus status) {
  if (status >= VI_SUCCESS) return;
  InstrumentState& s = Instruments();
  const int32_t type = s.TestSetType;
  if (s.DroppingTestSet) {
    // The idle and close of a drop: noted, neither counted nor a second drop.
    LogTestSetError(handle, status, false);
    return;
  }
  if ((type == TESTSET_8960 || type == TESTSET_4400) && InstrumentGone(status)) {
    // Neither a clear nor a second failure to wait for: it would not answer them either.
    DropLostTestSet(handle, status);
    return;
  }
  if (type == TESTSET_8960) {
    Driver8960().Clear(handle);
  } else if (type == TESTSET_4400) {
    Driver4400().ResetAndWait(handle);
  }
  LogTestSetError(handle, status, true);
  if (type != TESTSET_8960 && type != TESTSET_4400) return;
  ++s.TestSetErrorCount;
  if (s.TestSetErrorCount >= 2) DropTestSet();
}
