#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/visa/visa.h"
#include "tester4400/wt4400Internal.h"

namespace wt4400 {

Wt4400State& State() {
  // Never destroyed: drivers and devices held by other static objects may still close
  // their sessions while the program exits.
  static Wt4400State& state = *new Wt4400State;
  return state;
}

Slot* SlotOf(ViSession handle) {
  if (handle < 1 || handle > static_cast<ViSession>(WT4400_SLOTS)) return nullptr;
  return &State().slots[handle];
}

ViStatus Guard(ViSession handle) {
  const Slot* slot = SlotOf(handle);
  if (slot == nullptr) return VI_ERROR_PARAMETER1;
  if (slot->simulation != 0) return VI_SUCCESS;
  if (slot->interfaceCode == 0) return VI_ERROR_INV_OBJECT;
  return VI_SUCCESS;
}

void ClearSlot(ViSession handle) {
  if (Slot* slot = SlotOf(handle)) *slot = Slot{};
}

bool ScanShort(std::string_view text, int16_t* value) {
  size_t pos = 0;
  while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  const size_t digitsStart = pos;
  long parsed = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
    parsed = parsed * 10 + (text[pos++] - '0');
    if (parsed > INT16_MAX + 1L) return false;
  }
  if (pos == digitsStart) return false;
  parsed = negative ? -parsed : parsed;
  if (parsed < INT16_MIN || parsed > INT16_MAX) return false;
  *value = static_cast<int16_t>(parsed);
  return true;
}

}  // namespace wt4400

namespace {

using wt4400::Slot;
using wt4400::SlotOf;

struct GpibAddress {
  int16_t board = 0;
  int16_t primary = 0;
};

// The resource as the driver reads it: "%[^:]::%s" gives interface and rest, the interface
// splits into letters and board ("%[^0123456789]%hd"; no number is board 0), and the rest
// starts with the primary address ("%hd"; what follows the number is not looked at).
bool ParseGpibResource(const char* resource, GpibAddress* address) {
  const std::string_view text(resource, strnlen(resource, 256));
  const size_t sep = text.find(':');
  if (sep == 0 || sep == std::string_view::npos || text.substr(sep, 2) != "::") return false;
  const std::string_view interface = text.substr(0, sep);
  std::string_view rest = text.substr(sep + 2);
  while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.front()))) {
    rest.remove_prefix(1);
  }
  size_t letters = 0;
  while (letters < interface.size() &&
         !std::isdigit(static_cast<unsigned char>(interface[letters]))) {
    ++letters;
  }
  if (interface.substr(0, letters) != "GPIB") return false;
  int16_t board = 0;
  if (letters < interface.size() && !wt4400::ScanShort(interface.substr(letters), &board)) {
    return false;
  }
  int16_t primary = 0;
  if (!wt4400::ScanShort(rest, &primary)) return false;
  if (board < 0 || board > 99 || primary < 0 || primary > 30) return false;
  address->board = board;
  address->primary = primary;
  return true;
}

// A descriptor field that is a number as a whole ("4", "96"); "10.0.0.9" or "0x0957" is not.
bool WholeNumber(std::string_view field, int16_t* value) {
  if (field.empty()) return false;
  for (char c : field) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return wt4400::ScanShort(field, value);
}

// The VISA session of a slot and its resource manager.
void CloseVisa(ViSession session) {
  if (session == 0) return;
  ViSession rm = 0;
  const ViStatus status = viGetAttribute(session, VI_ATTR_RM_SESSION, &rm);
  viClose(session);
  if (status >= VI_SUCCESS && rm != 0) viClose(rm);
}

ViStatus OpenVisa(const GpibAddress& address, ViSession* session) {
  ViSession rm = 0;
  ViStatus status = viOpenDefaultRM(&rm);
  if (status < VI_SUCCESS) return status;
  char name[32];
  std::snprintf(name, sizeof name, "GPIB%i::%i", address.board, address.primary);
  ViSession vi = 0;
  status = viOpen(rm, name, VI_NULL, VI_NULL, &vi);
  if (status < VI_SUCCESS) {
    viClose(rm);
    return status;
  }
  // Each set-up step only after the one before succeeded; the first failure is the result.
  status = viSetBuf(vi, VI_WRITE_BUF, 256);
  if (status >= VI_SUCCESS) status = viSetBuf(vi, VI_READ_BUF, 266);
  if (status >= VI_SUCCESS) {
    status = viSetAttribute(vi, VI_ATTR_WR_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS);
  }
  if (status >= VI_SUCCESS) {
    status = viSetAttribute(vi, VI_ATTR_RD_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS);
  }
  if (status < VI_SUCCESS) {
    viClose(vi);
    viClose(rm);
    return status;
  }
  *session = vi;
  return VI_SUCCESS;
}

// The model field of an identity reply: the first character is skipped, then maker and model
// run up to commas.
bool IdentityNamesA4400(const char* reply) {
  std::string_view text(reply, strnlen(reply, 256));
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  text.remove_prefix(1);
  const size_t makerEnd = text.find(',');
  if (makerEnd == 0 || makerEnd == std::string_view::npos) return false;
  std::string_view model = text.substr(makerEnd + 1);
  model = model.substr(0, model.find(','));
  return model.find("4400") != std::string_view::npos;
}

}  // namespace

ViStatus wt4400_init(const char* resource, int16_t idQuery, int16_t reset, ViSession* handle) {
  if (handle == nullptr) return VI_ERROR_PARAMETER4;
  *handle = 0;
  if (idQuery != 0 && idQuery != 1) return VI_ERROR_PARAMETER2;
  if (reset != 0 && reset != 1) return VI_ERROR_PARAMETER3;
  GpibAddress address;
  if (resource == nullptr || !ParseGpibResource(resource, &address)) return VI_ERROR_PARAMETER1;

  // The same address reuses its slot; otherwise the first free one.
  const int16_t code = static_cast<int16_t>(100 + address.board);
  ViSession number = 0;
  for (ViSession n = 1; n <= WT4400_SLOTS && number == 0; ++n) {
    const Slot& s = *SlotOf(n);
    if (s.interfaceCode == code && s.primaryAddress == address.primary &&
        s.secondaryAddress == address.primary && s.keyText1.empty() && s.keyText2.empty()) {
      number = n;
    }
  }
  for (ViSession n = 1; n <= WT4400_SLOTS && number == 0; ++n) {
    if (SlotOf(n)->interfaceCode == 0) number = n;
  }
  if (number == 0) return WT4400_NO_FREE_SLOT;
  Slot& slot = *SlotOf(number);

  // A slot still open is closed first, so its VISA session does not leak.
  if (slot.session != 0) {
    CloseVisa(slot.session);
    slot.session = 0;
  }
  if (slot.simulation == 0) {
    ViSession session = 0;
    const ViStatus status = OpenVisa(address, &session);
    if (status < VI_SUCCESS) {
      if (slot.interfaceCode != 0) wt4400::ClearSlot(number);
      return status;
    }
    slot.session = session;
  }
  slot.interfaceCode = code;
  slot.primaryAddress = address.primary;
  slot.secondaryAddress = address.primary;
  slot.keyText1.clear();
  slot.keyText2.clear();
  ViStatus status = wt4400_setTimeout(number, 10.0);
  if (status < VI_SUCCESS) {
    wt4400_close(number);
    return status;
  }
  slot.cache = wt4400::SettingCache{};

  // The identity and reset run with the error queue checked, whatever the slot's mode.
  const int16_t checkOff = slot.checkOff;
  slot.checkOff = 0;
  if (idQuery == 1) {
    char identity[72] = {};
    if (wt4400_identify(number, identity, sizeof identity) < VI_SUCCESS) {
      wt4400_close(number);
      return VI_ERROR_FAIL_ID_QUERY;
    }
    if (slot.simulation == 0 && !IdentityNamesA4400(identity)) {
      wt4400_close(number);
      return VI_ERROR_INV_RESPONSE;
    }
  }
  if (reset == 1) {
    status = wt4400_reset(number);
    if (status < VI_SUCCESS) {
      wt4400_close(number);
      return status;
    }
  }
  if (checkOff == 1) slot.checkOff = 1;
  *handle = number;
  return VI_SUCCESS;
}

ViStatus wt4400_close(ViSession handle) {
  Slot* slot = SlotOf(handle);
  if (slot == nullptr) return VI_ERROR_PARAMETER1;
  ViStatus result = VI_SUCCESS;
  if (slot->simulation == 0) {
    const ViStatus guard = wt4400::Guard(handle);
    if (guard < VI_SUCCESS) return guard;
  }
  // A slot switched to simulation after it was opened still holds its session.
  if (slot->session != 0) {
    ViSession rm = 0;
    result = viGetAttribute(slot->session, VI_ATTR_RM_SESSION, &rm);
    if (result >= VI_SUCCESS) {
      result = viClose(slot->session);
      viClose(rm);
    }
  }
  wt4400::ClearSlot(handle);
  return result < VI_SUCCESS ? result : VI_SUCCESS;
}

ViStatus wt4400_setIoMode(ViSession handle, int16_t ioMode, int16_t traceMode,
                          const char* traceFile, int16_t fileMode) {
  Slot* slot = SlotOf(handle);
  if (slot == nullptr) return VI_ERROR_PARAMETER1;
  const Slot before = *slot;
  const auto restore = [&](ViStatus status) {
    slot->simulation = before.simulation;
    slot->checkOff = before.checkOff;
    slot->traceMode = before.traceMode;
    slot->traceFile = before.traceFile;
    return status;
  };
  switch (ioMode) {
    case 0:
      slot->simulation = 0;
      slot->checkOff = 1;
      break;
    case 1:
      slot->simulation = 0;
      slot->checkOff = 0;
      break;
    case 2:
      slot->simulation = 1;
      slot->checkOff = 1;
      break;
    default:
      return restore(VI_ERROR_PARAMETER1);
  }
  static constexpr char HEADER[] = "INSTR.  |ID|    STATUS|IO-MODE|MESSAGE\n";
  switch (traceMode) {
    case 0:
      break;
    case 1:
      if (FILE* console = wt4400::ConsoleStream()) {
        std::fputs(HEADER, console);
        std::fflush(console);
      }
      break;
    case 2: {
      if (fileMode != 0 && fileMode != 1) return restore(VI_ERROR_PARAMETER4);
      if (traceFile == nullptr ||
          strnlen(traceFile, wt4400::TRACE_FILE_MAX + 1) > wt4400::TRACE_FILE_MAX) {
        return restore(VI_ERROR_PARAMETER3);
      }
      FILE* file = std::fopen(traceFile, fileMode == 0 ? "w" : "a");
      if (file == nullptr) return restore(VI_ERROR_PARAMETER3);
      std::fputs(HEADER, file);
      std::fclose(file);
      slot->traceFile = traceFile;
      break;
    }
    default:
      return restore(VI_ERROR_PARAMETER2);
  }
  slot->traceMode = traceMode;
  if (slot->checkOff != before.checkOff) slot->lastErrorText.clear();
  return VI_SUCCESS;
}

ViStatus wt4400_getIoMode(ViSession handle, int16_t* simulation, int16_t* checkOff,
                          int16_t* inCheck) {
  const Slot* slot = SlotOf(handle);
  if (slot == nullptr) return VI_ERROR_PARAMETER1;
  if (simulation) *simulation = slot->simulation;
  if (checkOff) *checkOff = slot->checkOff;
  if (inCheck) *inCheck = slot->inCheck;
  return VI_SUCCESS;
}

ViStatus wt4400_setTimeout(ViSession handle, double seconds) {
  Slot* slot = SlotOf(handle);
  if (slot == nullptr) return VI_ERROR_PARAMETER1;
  if (slot->checkOff == 0) {
    const ViStatus guard = wt4400::Guard(handle);
    if (guard < VI_SUCCESS) return guard;
  }
  if (!(seconds >= 0.0 && seconds <= 2000000.0)) return VI_ERROR_PARAMETER2;
  slot->timeoutMs = static_cast<int32_t>(seconds * 1000.0 + 0.5);
  if (slot->simulation != 0) return VI_SUCCESS;
  return viSetAttribute(slot->session, VI_ATTR_TMO_VALUE,
                        static_cast<ViAttrState>(slot->timeoutMs));
}

ViStatus wt4400_revision(ViSession handle, char* driverRevision, char* instrumentRevision) {
  if (driverRevision != nullptr) std::strcpy(driverRevision, wt4400::DRIVER_REVISION);
  if (instrumentRevision == nullptr) return VI_SUCCESS;
  instrumentRevision[0] = '\0';
  if (SlotOf(handle) == nullptr) return VI_ERROR_PARAMETER1;
  // A simulated slot reads nothing, so its identity is empty and gives an invalid response.
  char identity[72] = {};
  const ViStatus status = wt4400_identify(handle, identity, sizeof identity);
  if (status < VI_SUCCESS) return status;
  // Maker, model, serial up to the first three commas, then the revision up to a double quote or
  // the end; fields the reply does not have stay empty.
  std::string_view text(identity, strnlen(identity, sizeof identity));
  std::string_view fields[3];
  for (auto& field : fields) {
    const size_t comma = text.find(',');
    field = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
  }
  if (fields[0].empty() || fields[1].empty()) return VI_ERROR_INV_RESPONSE;
  std::string revision(text.substr(0, text.find('"')));
  if (revision == "0") revision = "Not Available";
  std::strcpy(instrumentRevision, revision.c_str());  // shorter than the 72-byte reply
  return VI_SUCCESS;
}

ViStatus wt4400_findInstruments(char* list, int32_t listSize) {
  if (list == nullptr || listSize < 1) return VI_ERROR_PARAMETER1;
  list[0] = '\0';
  ViSession rm = 0;
  ViStatus status = viOpenDefaultRM(&rm);
  if (status < VI_SUCCESS) return status;
  ViFindList found = 0;
  ViUInt32 count = 0;
  char desc[VI_FIND_BUFLEN] = {};
  status = viFindRsrc(rm, "?*INSTR", &found, &count, desc);
  std::string out;
  bool truncated = false;
  for (ViUInt32 i = 0; status >= VI_SUCCESS && i < count; ++i) {
    if (i > 0 && viFindNext(found, desc) < VI_SUCCESS) break;
    // Every interface is listed short: interface and board ("%s%i"), then the primary and
    // secondary addresses while the descriptor's next fields are numbers ("%s%i::%i::%i").
    const std::string_view text(desc, strnlen(desc, sizeof desc));
    std::string_view fields[3];
    std::string_view rest = text;
    for (auto& field : fields) {
      const size_t sep = rest.find("::");
      field = rest.substr(0, sep);
      rest = sep == std::string_view::npos ? std::string_view() : rest.substr(sep + 2);
    }
    size_t letters = 0;
    while (letters < fields[0].size() &&
           !std::isdigit(static_cast<unsigned char>(fields[0][letters]))) {
      ++letters;
    }
    int16_t board = 0;
    if (letters < fields[0].size()) wt4400::ScanShort(fields[0].substr(letters), &board);
    std::string entry = std::string(fields[0].substr(0, letters)) + std::to_string(board);
    int16_t pad = 0;
    int16_t sad = 0;
    if (WholeNumber(fields[1], &pad)) {
      entry += "::" + std::to_string(pad);
      if (WholeNumber(fields[2], &sad)) entry += "::" + std::to_string(sad);
    }
    const size_t needed = out.size() + (out.empty() ? 0 : 1) + entry.size();
    if (needed + 1 > static_cast<size_t>(listSize)) {
      truncated = true;
      break;
    }
    if (!out.empty()) out += ',';
    out += entry;
  }
  if (found != 0) viClose(found);
  viClose(rm);
  std::memcpy(list, out.c_str(), out.size() + 1);
  if (status < VI_SUCCESS) return status;
  return truncated ? VI_SUCCESS_MAX_CNT : VI_SUCCESS;
}

void ResetWt4400State() {
  for (ViSession n = 1; n <= WT4400_SLOTS; ++n) {
    CloseVisa(SlotOf(n)->session);
    wt4400::ClearSlot(n);
  }
}
