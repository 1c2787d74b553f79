#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tester4400/wt4400Internal.h"

namespace {

using wt4400::Slot;
using wt4400::SlotOf;

constexpr int SYSTEM_READY_POLLS = 300;  // 30 s at 0.1 s
constexpr long SYSTEM_READY_BIT = 0x1000;

std::string Printf(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

bool LevelInRange(double dbm) {
  return dbm >= -120.0 && dbm <= -10.0;
}

// Generator and analyser frequencies: above 800 and below 1000 MHz, or above 1700 and below
// 2000 MHz.
bool FrequencyInRange(double mhz) {
  return (mhz > 800.0 && mhz < 1000.0) || (mhz > 1700.0 && mhz < 2000.0);
}

// Parts of one line that starts "RFG:": relative parts continue the RFG subsystem, absolute ones
// (":RFG:...") name their full path. An absolute first part loses its leading colon, which
// names the same node from the start of a message.
std::string JoinGeneratorParts(const std::vector<std::string>& parts) {
  std::string line;
  for (const auto& part : parts) {
    if (line.empty()) {
      line = part.front() == ':' ? part.substr(1) : "RFG:" + part;
    } else {
      line += ";" + part;
    }
  }
  return line;
}

bool IsGsm900(int arfcn) {
  return arfcn >= 0 && (arfcn <= 124 || arfcn >= 975);
}

}  // namespace

ViStatus wt4400_selectSystem(ViSession handle, int16_t mode) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  static const char* const MODES[] = {
      nullptr,
      "GSM;:CONF:GSM:TYPE GSM9001800",
      "GSM;:CONF:GSM:TYPE GSM9001900",
      "GEN;:RFG:STAT ON",
      "GPRS;:CONF:GPRS:TYPE GSM9001800",
      "GPRS;:CONF:GPRS:TYPE GSM9001900",
  };
  if (mode < 0 || mode > 5) return VI_ERROR_PARAMETER1;
  if (mode == 0) return wt4400_writeAndCheck(handle, ":CONF:CSYS NONE");
  ViStatus status = wt4400_write(handle, ":CONF:CSYS NONE");
  if (status < VI_SUCCESS) return status;
  const std::string command = std::string(":CONF:CSYS ") + MODES[mode];
  if (mode == 3) return wt4400_writeAndCheck(handle, command.c_str());
  status = wt4400_write(handle, command.c_str());
  if (status < VI_SUCCESS) return status;
  if (SlotOf(handle)->simulation == 0) {
    status = wt4400::PollRegister(handle, ":STAT:OPER:COND?", SYSTEM_READY_BIT, true,
                                  SYSTEM_READY_POLLS);
    if (status < VI_SUCCESS) return status;
  }
  if (mode == 4 || mode == 5) {
    static const char* const GPRS_SETUP[] = {
        ":CONF:GPRS:BS:TCH:ARFCN 512;*OPC?",
        ":CONF:GPRS:MSTATION:PLEV 0;*OPC?",
        ":CONF:GPRS:BS:TCH:ARFCN 1;*OPC?",
        ":CONF:GPRS:MSTATION:PLEV 0;*OPC?",
    };
    for (const char* step : GPRS_SETUP) {
      status = wt4400_queryAndCheck(handle, step, nullptr);
      if (status < VI_SUCCESS) return status;
    }
  }
  return VI_SUCCESS;
}

ViStatus wt4400_setCoupling(ViSession handle, const char* tableName, int16_t state) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (state != 0 && state != 1) return WT4400_OUT_OF_RANGE;
  if (state == 0) {
    const ViStatus status = wt4400_write(handle, "CONF:COUP:STAT OFF");
    if (status < VI_SUCCESS) return status;
    return wt4400::WaitComplete(handle);
  }
  // The name goes inside double quotes: one that could end the string early is refused.
  if (tableName == nullptr) return VI_ERROR_PARAMETER2;
  const size_t length = strnlen(tableName, 201);
  if (length == 0 || length > 200) return VI_ERROR_PARAMETER2;
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(tableName[i]);
    if (c == '"' || c < 0x20 || c == 0x7F) return VI_ERROR_PARAMETER2;
  }
  const std::string name = std::string(":CONF:COUP:NAME \"") + tableName + "\"";
  ViStatus status = wt4400_write(handle, name.c_str());
  if (status < VI_SUCCESS) return status;
  status = wt4400_write(handle, ":CONF:COUP:STAT ON");
  if (status < VI_SUCCESS) return status;
  return wt4400::WaitComplete(handle);
}

ViStatus wt4400_configureGenerator(ViSession handle, double frequencyMHz, double levelDbm,
                                   int16_t modulation, int16_t trainingSequenceState,
                                   int16_t trainingSequence, int16_t bitPattern, int16_t signalType,
                                   int16_t burstTimeslot) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  // Every value is checked before anything is sent; 0 leaves a setting as it is. A part given
  // with a modulation or signal type it does not belong to is out of range too: left out, it
  // would leave the generator other than the caller asked.
  if (frequencyMHz != 0.0 && !FrequencyInRange(frequencyMHz)) return WT4400_OUT_OF_RANGE;
  if (levelDbm != 0.0 && !LevelInRange(levelDbm)) return WT4400_OUT_OF_RANGE;
  if (modulation < 0 || modulation > 2 || trainingSequenceState < 0 || trainingSequenceState > 2 ||
      trainingSequence < 0 || trainingSequence > 7 || bitPattern < 0 || bitPattern > 9 ||
      signalType < 0 || signalType > 2 || burstTimeslot < 0 || burstTimeslot > 7) {
    return WT4400_OUT_OF_RANGE;
  }
  if (burstTimeslot != 0 && signalType != 2) return WT4400_OUT_OF_RANGE;
  if (modulation == 1 && (trainingSequenceState != 0 || trainingSequence != 0 || bitPattern != 0)) {
    return WT4400_OUT_OF_RANGE;
  }
  static const char* const BIT_PATTERNS[] = {"PRBS9", "PRBS15", "PRBS23", "ALLZ", "ALLO",
                                             "ONEZ",  "DOUB",   "FOUR",   "EIGH"};
  std::vector<std::string> parts;
  if (frequencyMHz != 0.0) parts.push_back("FREQ " + Printf("%lf", frequencyMHz * 1000000.0));
  if (levelDbm != 0.0) parts.push_back("LEV " + Printf("%lf", levelDbm));
  if (modulation != 0) parts.push_back(std::string("MOD ") + (modulation == 1 ? "NO" : "GMSK"));
  if (signalType != 0) parts.push_back(std::string("STYP ") + (signalType == 1 ? "BURS" : "CWAV"));
  if (burstTimeslot != 0) parts.push_back(":RFG:BURS:TSL " + std::to_string(burstTimeslot));
  if (trainingSequenceState != 0) {
    parts.push_back(std::string(":RFG:MOD:TSEQ:STAT ") +
                    (trainingSequenceState == 1 ? "ON" : "OFF"));
  }
  if (trainingSequence != 0) parts.push_back(":RFG:MOD:TSEQ " + std::to_string(trainingSequence));
  if (bitPattern != 0) {
    parts.push_back(std::string(":RFG:MOD:BITP ") + BIT_PATTERNS[bitPattern - 1]);
  }
  if (parts.empty()) return VI_SUCCESS;
  return wt4400_write(handle, JoinGeneratorParts(parts).c_str());
}

ViStatus wt4400_configureGeneratorFrequencyLevel(ViSession handle, double frequencyMHz,
                                                 double levelDbm) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (frequencyMHz != 0.0 && !FrequencyInRange(frequencyMHz)) return WT4400_OUT_OF_RANGE;
  if (levelDbm != 0.0 && !LevelInRange(levelDbm)) return WT4400_OUT_OF_RANGE;
  std::vector<std::string> parts;
  if (frequencyMHz != 0.0) parts.push_back("FREQ " + Printf("%lf", frequencyMHz * 1000000.0));
  if (levelDbm != 0.0) parts.push_back("LEV " + Printf("%lf", levelDbm));
  if (parts.empty()) return VI_SUCCESS;
  return wt4400_write(handle, JoinGeneratorParts(parts).c_str());
}

ViStatus wt4400_setTraffic(ViSession handle, double cellLevelDbm, int16_t powerControlLevel,
                           int16_t tchArfcn) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (!LevelInRange(cellLevelDbm) || powerControlLevel < 0 || powerControlLevel > 43 ||
      tchArfcn < 0 || tchArfcn > 1023) {
    return WT4400_OUT_OF_RANGE;
  }
  wt4400::SettingCache& cache = SlotOf(handle)->cache;
  wt4400::SettingCache next = cache;
  std::string line;
  const auto append = [&line](const std::string& part) {
    if (!line.empty()) line += ";";
    line += part;
  };
  if (!cache.levelKnown || cache.cellLevelDbm != cellLevelDbm) {
    next.levelKnown = true;
    next.cellLevelDbm = cellLevelDbm;
    append(":CONF:GSM:BS:LEVEL " + Printf("%lf", cellLevelDbm));
  }
  bool assignedBoth = false;
  if (cache.tchArfcn != tchArfcn) {
    const bool bandSwitch = IsGsm900(cache.tchArfcn) && tchArfcn >= 512 && tchArfcn <= 885;
    if (cache.powerControlLevel != powerControlLevel || bandSwitch) {
      char part[64];
      std::snprintf(part, sizeof part, "%s%d%s%d", ":CONF:GSM:ASSALL ", tchArfcn, ",",
                    powerControlLevel);
      append(part);
      next.powerControlLevel = powerControlLevel;
      assignedBoth = true;
    } else {
      append(":CONF:GSM:BS:TCH:ARFC " + std::to_string(tchArfcn));
    }
    next.tchArfcn = tchArfcn;
  }
  if (cache.powerControlLevel != powerControlLevel && !assignedBoth) {
    next.powerControlLevel = powerControlLevel;
    append(":CONF:GSM:MSTATION:PLEVEL " + std::to_string(powerControlLevel));
  }
  // Nothing changed: no line, but the completion query still runs.
  ViStatus status = line.empty() ? VI_SUCCESS : wt4400_write(handle, line.c_str());
  if (status >= VI_SUCCESS) {
    status = wt4400::WaitComplete(handle);
    if (status == WT4400_INSTR_ERROR_BASE - 310) status = VI_SUCCESS;  // -310 counts as done
  }
  if (status >= VI_SUCCESS) {
    cache = next;
    return status;
  }
  // After a failure the settings of the line may or may not have been taken: they are sent again
  // next time. Cached settings the line did not touch stay as they are.
  if (next.levelKnown != cache.levelKnown || next.cellLevelDbm != cache.cellLevelDbm) {
    cache.levelKnown = false;
  }
  if (next.tchArfcn != cache.tchArfcn) cache.tchArfcn = -1;
  if (next.powerControlLevel != cache.powerControlLevel) cache.powerControlLevel = -1;
  return status;
}

ViStatus wt4400_setStatistic(ViSession handle, int16_t selector) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (selector < 0 || selector > 2) return WT4400_OUT_OF_RANGE;
  SlotOf(handle)->statistic = selector;
  return VI_SUCCESS;
}
