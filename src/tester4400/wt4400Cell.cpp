#include <cstdio>
#include <string>

#include "tester4400/wt4400Families.h"
#include "tester4400/wt4400Internal.h"

namespace {

using wt4400::SlotOf;

struct CellParameter {
  const char* header;
  int32_t low;
  int32_t high;
};

constexpr CellParameter CELL_PARAMETERS[] = {
    {":CONF:GSM:BS:LAI:MCC", 0, 999},   {":CONF:GSM:BS:LAI:MNC", 0, 999},
    {":CONF:GSM:BS:LAI:LAC", 0, 65535}, {":CONF:GSM:BS:NCC", 0, 7},
    {":CONF:GSM:BS:BCC", 0, 7},         {":CONF:GSM:BS:CBA", 0, 1},
    {":CONF:GSM:BS:CI", 0, 65535},      {":CONF:GSM:MSTA:DRX", 2, 9},
};

bool ValidArfcn(int arfcn) {
  return arfcn >= 0 && arfcn <= 1023;
}

}  // namespace

ViStatus wt4400_setCellParameter(ViSession handle, int16_t parameter, int32_t value) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (parameter < WT4400_CELL_MCC || parameter > WT4400_CELL_DRX) return WT4400_OUT_OF_RANGE;
  const CellParameter& p = CELL_PARAMETERS[parameter - WT4400_CELL_MCC];
  if (value < p.low || value > p.high) return WT4400_OUT_OF_RANGE;
  return wt4400::SetupLine(handle, std::string(p.header) + " " + std::to_string(value));
}

ViStatus wt4400_setNetworkCode(ViSession handle, int32_t mcc, int32_t mnc) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (mcc < 0 || mcc > 999 || mnc < 0 || mnc > 999) return WT4400_OUT_OF_RANGE;
  char line[96];
  std::snprintf(line, sizeof line, "%s %d;%s %d", CELL_PARAMETERS[0].header, mcc,
                CELL_PARAMETERS[1].header, mnc);
  return wt4400::SetupLine(handle, line);
}

ViStatus wt4400_setCellLevel(ViSession handle, double levelDbm) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (!(levelDbm >= -120.0 && levelDbm <= -10.0)) return WT4400_OUT_OF_RANGE;
  wt4400::SettingCache& cache = SlotOf(handle)->cache;
  // Unchanged: no line, but the completion query still runs, as for the traffic set-up.
  if (cache.levelKnown && cache.cellLevelDbm == levelDbm) {
    const ViStatus status = wt4400::WaitComplete(handle);
    return status == WT4400_INSTR_ERROR_BASE - 310 ? VI_SUCCESS : status;
  }
  char line[64];
  std::snprintf(line, sizeof line, "CONF:GSM:BS:LEVEL %lf", levelDbm);
  const ViStatus status = wt4400::SetupLine(handle, line, true);
  cache.levelKnown = status >= VI_SUCCESS;
  cache.cellLevelDbm = levelDbm;
  return status;
}

ViStatus wt4400_setBchAndPowerLevel(ViSession handle, int16_t bchArfcn, int16_t powerControlLevel) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (!ValidArfcn(bchArfcn) || powerControlLevel < 0 || powerControlLevel > 43) {
    return WT4400_OUT_OF_RANGE;
  }
  const std::string line = "CONF:GSM:BS:BCH:ARFC " + std::to_string(bchArfcn) +
                           ";:CONF:GSM:MSTATION:PLEVEL " + std::to_string(powerControlLevel);
  const ViStatus status = wt4400::SetupLine(handle, line, true);
  SlotOf(handle)->cache.powerControlLevel = status >= VI_SUCCESS ? powerControlLevel : -1;
  return status;
}

ViStatus wt4400_setBch(ViSession handle, int16_t bchArfcn) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (!ValidArfcn(bchArfcn)) return WT4400_OUT_OF_RANGE;
  return wt4400::SetupLine(handle, ":CONF:GSM:BS:BCH:ARFC " + std::to_string(bchArfcn), true);
}
