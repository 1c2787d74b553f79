#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Notifier.h"
#include "platform/SerialDevice.h"
#include "platform/visa/Aliases.h"
#include "platform/visa/Backends.h"
#include "platform/visa/FindPattern.h"
#include "platform/visa/HislipProtocol.h"
#include "platform/visa/Resource.h"
#include "platform/visa/visa.h"

namespace {

using visa::detail::IoSettings;
using visa::detail::Transport;

enum class Kind { RESOURCE_MANAGER, INSTRUMENT, FIND_LIST };

struct Session {
  Kind kind = Kind::RESOURCE_MANAGER;
  ViSession rm = 0;  // owning resource manager (instrument sessions and find lists)
  // Instrument sessions
  std::string resource;  // canonical when the name parsed, else as given
  std::string backend;
  std::unique_ptr<Transport> transport;
  IoSettings io;
  ViUInt16 readBufMode = VI_FLUSH_ON_ACCESS;
  ViUInt16 writeBufMode = VI_FLUSH_WHEN_FULL;
  bool stale = false;  // the last read timed out
  // Find lists
  std::vector<std::string> found;
  size_t next = 0;
};

// Every open VISA object of the process. Session numbers start high and are not reused soon, so
// a small number passed by mistake (a driver's slot, say) is caught as an invalid object.
struct VisaState {
  std::map<ViSession, Session> sessions;
  ViSession nextId = 0x1000;
};

VisaState& State() {
  // Never destroyed: drivers and devices held by other static objects may still close
  // their sessions while the program exits.
  static VisaState& state = *new VisaState;
  return state;
}

Session* Lookup(ViObject vi, Kind kind) {
  auto& sessions = State().sessions;
  auto it = sessions.find(vi);
  if (it == sessions.end() || it->second.kind != kind) return nullptr;
  return &it->second;
}

ViSession Add(Session session) {
  auto& state = State();
  ViSession id = state.nextId++;
  while (id == VI_NULL || state.sessions.count(id) != 0) id = state.nextId++;
  state.sessions.emplace(id, std::move(session));
  return id;
}

void CopyName(ViChar* desc, const std::string& name) {
  if (desc == nullptr) return;
  const size_t n = std::min<size_t>(name.size(), VI_FIND_BUFLEN - 1);
  std::memcpy(desc, name.data(), n);
  desc[n] = '\0';
}

// A simulated instrument whose connection is closed is not there, as a refused connection.
ViStatus OpenSim(std::shared_ptr<visa::SimDevice> device,
                 std::unique_ptr<visa::detail::Transport>* transport, std::string* backend) {
  if (device->Closed()) return VI_ERROR_RSRC_NFOUND;
  *backend = "sim";
  *transport = visa::detail::OpenSimTransport(std::move(device));
  return VI_SUCCESS;
}

bool IsSim(const std::string& target) {
  return target.size() == 3 && (target[0] == 's' || target[0] == 'S') &&
         (target[1] == 'i' || target[1] == 'I') && (target[2] == 'm' || target[2] == 'M');
}

// Settings other than the serial line's are refused on the backends that have none.
bool OnlyInit(const std::vector<visa::detail::Setting>& settings) {
  for (const auto& setting : settings) {
    if (setting.key != "init") return false;
  }
  return true;
}

// "hislip0" or "hislip0,4880": the sub-address and the port.
bool HislipDevice(const std::string& device, std::string* subAddress, int* port) {
  if (device.rfind("hislip", 0) != 0) return false;
  const size_t comma = device.find(',');
  *subAddress = device.substr(0, comma);
  *port = hislip::DEFAULT_PORT;
  if (comma == std::string::npos) return true;
  const std::string text = device.substr(comma + 1);
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < 1 || value > 65535) return false;
  *port = static_cast<int>(value);
  return true;
}

// What the backends need besides the name: the settings of an alias target, and the name the
// station opened (a Prologix adapter serves the GPIB address of that name).
struct OpenRequest {
  std::vector<visa::detail::Setting> settings;
  std::string stationResource;  // canonical, or "" when it did not parse
  ViAccessMode mode = VI_NO_LOCK;
  ViUInt32 timeout = 0;
};

// The backends for a name that is not (or no longer) an alias.
ViStatus OpenBackend(const std::string& name, const OpenRequest& request,
                     std::unique_ptr<Transport>* transport, std::string* backend) {
  const auto parsed = visa::ParseResource(name);
  const bool builtIn = parsed && (parsed->type == "TCPIP" || parsed->type == "ASRL" ||
                                  parsed->type == "PRLGX-TCPIP" || parsed->type == "PRLGX-ASRL");
  if (builtIn && parsed->type != "ASRL" && !OnlyInit(request.settings)) {
    DebugLog("visa: '" + name + "' takes no settings but init\n");
    return VI_ERROR_INV_RSRC_NAME;
  }
  if (parsed && parsed->type == "TCPIP" && parsed->resourceClass == "SOCKET") {
    *backend = "socket";
    return visa::detail::OpenSocketTransport(parsed->fields[0], std::stoi(parsed->fields[1]),
                                             transport);
  }
  std::string subAddress;
  int port = 0;
  if (parsed && parsed->type == "TCPIP" && parsed->resourceClass == "INSTR" &&
      parsed->fields[1].rfind("hislip", 0) == 0) {
    if (!HislipDevice(parsed->fields[1], &subAddress, &port)) return VI_ERROR_INV_RSRC_NAME;
    *backend = "hislip";
    return visa::detail::OpenHislipTransport(parsed->fields[0], port, subAddress, transport);
  }
  if (parsed && parsed->type == "TCPIP" && parsed->resourceClass == "INSTR") {
    *backend = "vxi11";
    const ViStatus status =
        visa::detail::OpenVxi11Transport(parsed->fields[0], parsed->fields[1], transport);
    if (status != VI_ERROR_NSUP_OPER) return status;
  }
  if (parsed && parsed->type == "ASRL") {
    // ASRL<n> is COM n, which TESMIRA_COM<n> may point elsewhere.
    const std::string path =
        parsed->fields.empty() ? SerialDevicePath(parsed->board) : parsed->fields[0];
    if (path.empty()) return VI_ERROR_RSRC_NFOUND;
    *backend = "serial";
    return visa::detail::OpenSerialTransport(path, request.settings, transport);
  }
  if (parsed && (parsed->type == "PRLGX-TCPIP" || parsed->type == "PRLGX-ASRL")) {
    // The adapter serves the GPIB address of the resource the station asked for.
    const auto station = visa::ParseResource(request.stationResource);
    if (!station || station->type != "GPIB" || station->resourceClass != "INSTR") {
      return VI_ERROR_INV_RSRC_NAME;
    }
    const int pad = std::stoi(station->fields[0]);
    const int sad = station->fields.size() > 1 ? std::stoi(station->fields[1]) : -1;
    *backend = "prologix";
    return visa::detail::OpenPrologixTransport(
        parsed->type, parsed->fields[0],
        parsed->type == "PRLGX-TCPIP" ? std::stoi(parsed->fields[1]) : 0, pad, sad, transport);
  }
  if (visa::detail::SystemVisaAvailable()) {
    *backend = "system";
    // The system library gets the name as written: it may know aliases of its own.
    return visa::detail::OpenSystemTransport(name, request.mode, request.timeout, transport);
  }
  if (parsed) {
    if (auto device = visa::FindSimDevice(parsed->canonical)) {
      return OpenSim(std::move(device), transport, backend);
    }
  }
  if (!parsed) return VI_ERROR_INV_RSRC_NAME;
  // An explicitly named library that does not load is worth saying.
  const char* named = std::getenv("TESMIRA_VISA_LIBRARY");
  return (named && *named) ? VI_ERROR_LIBRARY_NFOUND : VI_ERROR_RSRC_NFOUND;
}

ViStatus OpenTransport(const std::string& name, OpenRequest request,
                       std::unique_ptr<Transport>* transport, std::string* backend,
                       std::vector<std::string>* init) {
  const std::string canonical = visa::CanonicalResource(name);
  request.stationResource = canonical;
  if (!canonical.empty()) {
    auto alias = visa::detail::LookupAlias(canonical);
    if (!alias) alias = visa::detail::LookupBoardAlias(canonical);
    if (alias) {
      const auto target = visa::detail::SplitTarget(*alias);
      if (!target) {
        DebugLog("visa: malformed settings in alias target '" + *alias + "'\n");
        return VI_ERROR_INV_RSRC_NAME;
      }
      if (IsSim(target->resource)) {
        auto device = visa::FindSimDevice(canonical);
        if (!device) return VI_ERROR_RSRC_NFOUND;
        return OpenSim(std::move(device), transport, backend);
      }
      request.settings = target->settings;
      for (const auto& setting : target->settings) {
        if (setting.key == "init") init->push_back(setting.value);
      }
      return OpenBackend(target->resource, request, transport, backend);
    }
    if (auto device = visa::FindSimDevice(canonical)) {
      return OpenSim(std::move(device), transport, backend);
    }
  }
  return OpenBackend(name, request, transport, backend);
}

void CloseSession(ViSession id) {
  auto& sessions = State().sessions;
  auto it = sessions.find(id);
  if (it == sessions.end()) return;
  if (it->second.transport) it->second.transport->Close();
  sessions.erase(it);
}

ViStatus GetInstrumentAttribute(ViSession id, Session& s, ViAttr attr, void* value) {
  switch (attr) {
    case VI_ATTR_RM_SESSION:
      *static_cast<ViSession*>(value) = s.rm;
      return VI_SUCCESS;
    case VI_ATTR_RSRC_NAME:
      CopyName(static_cast<ViChar*>(value), s.resource);
      return VI_SUCCESS;
    default:
      break;
  }
  if (s.transport->PassesAttributes()) return s.transport->GetAttribute(attr, value);
  (void)id;
  switch (attr) {
    case VI_ATTR_TMO_VALUE:
      *static_cast<ViUInt32*>(value) = s.io.timeoutMs;
      return VI_SUCCESS;
    case VI_ATTR_TERMCHAR:
      *static_cast<ViUInt8*>(value) = s.io.termChar;
      return VI_SUCCESS;
    case VI_ATTR_TERMCHAR_EN:
      *static_cast<ViBoolean*>(value) = s.io.termCharEnabled ? VI_TRUE : VI_FALSE;
      return VI_SUCCESS;
    case VI_ATTR_SEND_END_EN:
      *static_cast<ViBoolean*>(value) = s.io.sendEnd ? VI_TRUE : VI_FALSE;
      return VI_SUCCESS;
    case VI_ATTR_RD_BUF_OPER_MODE:
      *static_cast<ViUInt16*>(value) = s.readBufMode;
      return VI_SUCCESS;
    case VI_ATTR_WR_BUF_OPER_MODE:
      *static_cast<ViUInt16*>(value) = s.writeBufMode;
      return VI_SUCCESS;
    case VI_ATTR_INTF_TYPE:
    case VI_ATTR_INTF_NUM: {
      const auto parsed = visa::ParseResource(s.resource);
      if (!parsed) return VI_ERROR_NSUP_ATTR;
      ViUInt16 type = 0;
      if (parsed->type == "GPIB") type = VI_INTF_GPIB;
      if (parsed->type == "TCPIP") type = VI_INTF_TCPIP;
      if (parsed->type == "ASRL") type = VI_INTF_ASRL;
      if (parsed->type == "USB") type = VI_INTF_USB;
      *static_cast<ViUInt16*>(value) =
          attr == VI_ATTR_INTF_TYPE ? type : static_cast<ViUInt16>(parsed->board);
      return VI_SUCCESS;
    }
    default:
      return s.transport->GetAttribute(attr, value);
  }
}

ViStatus SetInstrumentAttribute(Session& s, ViAttr attr, ViAttrState value) {
  switch (attr) {
    case VI_ATTR_RM_SESSION:
    case VI_ATTR_RSRC_NAME:
      return VI_ERROR_ATTR_READONLY;
    default:
      break;
  }
  if (s.transport->PassesAttributes()) return s.transport->SetAttribute(attr, value);
  const auto isBool = [&] { return value == VI_TRUE || value == VI_FALSE; };
  switch (attr) {
    case VI_ATTR_TMO_VALUE:
      if (value > 0xFFFFFFFFu) return VI_ERROR_NSUP_ATTR_STATE;
      s.io.timeoutMs = static_cast<ViUInt32>(value);
      return VI_SUCCESS;
    case VI_ATTR_TERMCHAR:
      if (value > 0xFF) return VI_ERROR_NSUP_ATTR_STATE;
      s.io.termChar = static_cast<ViUInt8>(value);
      return VI_SUCCESS;
    case VI_ATTR_TERMCHAR_EN:
      if (!isBool()) return VI_ERROR_NSUP_ATTR_STATE;
      s.io.termCharEnabled = value == VI_TRUE;
      return VI_SUCCESS;
    case VI_ATTR_SEND_END_EN:
      if (!isBool()) return VI_ERROR_NSUP_ATTR_STATE;
      s.io.sendEnd = value == VI_TRUE;
      return VI_SUCCESS;
    case VI_ATTR_RD_BUF_OPER_MODE:
      if (value < VI_FLUSH_ON_ACCESS || value > VI_FLUSH_DISABLE) return VI_ERROR_NSUP_ATTR_STATE;
      s.readBufMode = static_cast<ViUInt16>(value);
      return VI_SUCCESS;
    case VI_ATTR_WR_BUF_OPER_MODE:
      if (value != VI_FLUSH_ON_ACCESS && value != VI_FLUSH_WHEN_FULL) {
        return VI_ERROR_NSUP_ATTR_STATE;
      }
      s.writeBufMode = static_cast<ViUInt16>(value);
      return VI_SUCCESS;
    case VI_ATTR_INTF_TYPE:
    case VI_ATTR_INTF_NUM:
      return VI_ERROR_ATTR_READONLY;
    default:
      return s.transport->SetAttribute(attr, value);
  }
}

}  // namespace

ViStatus viOpenDefaultRM(ViPSession vi) {
  if (vi == nullptr) return VI_ERROR_INV_PARAMETER;
  Session rm;
  rm.kind = Kind::RESOURCE_MANAGER;
  *vi = Add(std::move(rm));
  return VI_SUCCESS;
}

ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout,
                ViPSession vi) {
  if (vi != nullptr) *vi = VI_NULL;
  if (Lookup(sesn, Kind::RESOURCE_MANAGER) == nullptr) return VI_ERROR_INV_OBJECT;
  if (name == nullptr) return VI_ERROR_INV_RSRC_NAME;
  if (vi == nullptr) return VI_ERROR_INV_PARAMETER;
  if ((mode & ~(VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK | VI_LOAD_CONFIG)) != 0) {
    return VI_ERROR_INV_ACC_MODE;
  }
  const std::string text(name, strnlen(name, 256));
  std::unique_ptr<Transport> transport;
  std::string backend;
  std::vector<std::string> init;
  OpenRequest request;
  request.mode = mode;
  request.timeout = timeout;
  const ViStatus status = OpenTransport(text, request, &transport, &backend, &init);
  if (status < VI_SUCCESS) return status;
  // The target's own set-up, e.g. SYST:REM for a supply on RS-232, before anyone talks to it.
  for (const std::string& command : init) {
    const std::string line = command + "\n";
    ViUInt32 written = 0;
    const ViStatus sent =
        transport->Write(reinterpret_cast<const unsigned char*>(line.data()),
                         static_cast<ViUInt32>(line.size()), &written, IoSettings{});
    if (sent < VI_SUCCESS) {
      transport->Close();
      return sent;
    }
  }
  Session s;
  s.kind = Kind::INSTRUMENT;
  s.rm = sesn;
  const std::string canonical = visa::CanonicalResource(text);
  s.resource = canonical.empty() ? text : canonical;
  s.backend = backend;
  s.transport = std::move(transport);
  *vi = Add(std::move(s));
  return status;
}

ViStatus viClose(ViObject vi) {
  if (vi == VI_NULL) return VI_WARN_NULL_OBJECT;
  auto& sessions = State().sessions;
  auto it = sessions.find(vi);
  if (it == sessions.end()) return VI_ERROR_INV_OBJECT;
  ViStatus status = VI_SUCCESS;
  if (it->second.kind == Kind::RESOURCE_MANAGER) {
    // Closing a resource manager closes everything opened through it.
    std::vector<ViSession> children;
    for (const auto& [id, s] : sessions) {
      if (s.kind != Kind::RESOURCE_MANAGER && s.rm == vi) children.push_back(id);
    }
    for (ViSession child : children) CloseSession(child);
  } else if (it->second.transport) {
    status = it->second.transport->Close();
  }
  sessions.erase(vi);
  return status < VI_SUCCESS ? status : VI_SUCCESS;
}

ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void* attrValue) {
  auto& sessions = State().sessions;
  auto it = sessions.find(vi);
  if (it == sessions.end()) return VI_ERROR_INV_OBJECT;
  if (attrValue == nullptr) return VI_ERROR_USER_BUF;
  Session& s = it->second;
  if (s.kind == Kind::INSTRUMENT) return GetInstrumentAttribute(vi, s, attrName, attrValue);
  if (attrName == VI_ATTR_RM_SESSION) {
    *static_cast<ViSession*>(attrValue) = s.kind == Kind::RESOURCE_MANAGER ? vi : s.rm;
    return VI_SUCCESS;
  }
  return VI_ERROR_NSUP_ATTR;
}

ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue) {
  auto& sessions = State().sessions;
  auto it = sessions.find(vi);
  if (it == sessions.end()) return VI_ERROR_INV_OBJECT;
  if (it->second.kind != Kind::INSTRUMENT) {
    return attrName == VI_ATTR_RM_SESSION ? VI_ERROR_ATTR_READONLY : VI_ERROR_NSUP_ATTR;
  }
  return SetInstrumentAttribute(it->second, attrName, attrValue);
}

ViStatus viSetBuf(ViSession vi, ViUInt16 mask, ViUInt32 size) {
  Session* s = Lookup(vi, Kind::INSTRUMENT);
  if (s == nullptr) return State().sessions.count(vi) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
  constexpr ViUInt16 IO_IN_BUF = 16;
  constexpr ViUInt16 IO_OUT_BUF = 32;
  if (mask == 0 || (mask & ~(VI_READ_BUF | VI_WRITE_BUF | IO_IN_BUF | IO_OUT_BUF)) != 0) {
    return VI_ERROR_INV_MASK;
  }
  // The built-in backends flush on every access; the size is only recorded by a system library.
  return s->transport->SetBuf(mask, size);
}

ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 count, ViPUInt32 retCount) {
  if (retCount != nullptr) *retCount = 0;
  Session* s = Lookup(vi, Kind::INSTRUMENT);
  if (s == nullptr) return State().sessions.count(vi) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
  if (buf == nullptr && count > 0) return VI_ERROR_USER_BUF;
  if (s->stale) {
    s->transport->DiscardInput();
    s->stale = false;
  }
  ViUInt32 written = 0;
  const ViStatus status = s->transport->Write(buf, count, &written, s->io);
  if (retCount != nullptr) *retCount = written;
  return status;
}

ViStatus viRead(ViSession vi, ViPBuf buf, ViUInt32 count, ViPUInt32 retCount) {
  if (retCount != nullptr) *retCount = 0;
  Session* s = Lookup(vi, Kind::INSTRUMENT);
  if (s == nullptr) return State().sessions.count(vi) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
  if (buf == nullptr && count > 0) return VI_ERROR_USER_BUF;
  ViUInt32 got = 0;
  const ViStatus status = s->transport->Read(buf, count, &got, s->io);
  if (status == VI_ERROR_TMO) s->stale = true;
  if (retCount != nullptr) *retCount = got;
  return status;
}

ViStatus viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt,
                    ViChar desc[]) {
  if (vi != nullptr) *vi = VI_NULL;
  if (retCnt != nullptr) *retCnt = 0;
  if (desc != nullptr) desc[0] = '\0';
  if (Lookup(sesn, Kind::RESOURCE_MANAGER) == nullptr) return VI_ERROR_INV_OBJECT;
  if (expr == nullptr) return VI_ERROR_INV_EXPR;
  const std::string expression(expr, strnlen(expr, 256));
  const auto pattern = visa::detail::CompileFindPattern(expression);
  if (!pattern) return VI_ERROR_INV_EXPR;

  // Aliases first (what the bench announced), then simulated devices, then the system's.
  std::vector<std::string> candidates;
  for (const auto& alias : visa::detail::EnvironmentAliases()) candidates.push_back(alias.resource);
  for (const auto& name : visa::SimDeviceResources()) candidates.push_back(name);
  for (const auto& name : visa::detail::SystemFindResources(expression)) {
    candidates.push_back(name);
  }
  std::vector<std::string> found;
  std::vector<std::string> seen;  // canonical forms already listed
  for (const auto& name : candidates) {
    std::string canonical = visa::CanonicalResource(name);
    if (canonical.empty()) canonical = name;
    if (std::find(seen.begin(), seen.end(), canonical) != seen.end()) continue;
    if (!std::regex_match(name, *pattern)) continue;
    seen.push_back(canonical);
    found.push_back(name);
  }
  if (found.empty()) return VI_ERROR_RSRC_NFOUND;
  CopyName(desc, found.front());
  if (retCnt != nullptr) *retCnt = static_cast<ViUInt32>(found.size());
  if (vi != nullptr) {
    Session list;
    list.kind = Kind::FIND_LIST;
    list.rm = sesn;
    list.found = std::move(found);
    list.next = 1;
    *vi = Add(std::move(list));
  }
  return VI_SUCCESS;
}

ViStatus viFindNext(ViFindList vi, ViChar desc[]) {
  Session* list = Lookup(vi, Kind::FIND_LIST);
  if (list == nullptr) return VI_ERROR_INV_OBJECT;
  if (list->next >= list->found.size()) return VI_ERROR_RSRC_NFOUND;
  CopyName(desc, list->found[list->next++]);
  return VI_SUCCESS;
}

namespace visa {

std::string SessionBackend(ViSession vi) {
  Session* s = Lookup(vi, Kind::INSTRUMENT);
  return s ? s->backend : std::string();
}

void ResetVisaState() {
  auto& state = State();
  for (auto& [id, s] : state.sessions) {
    if (s.transport) s.transport->Close();
  }
  state.sessions.clear();
  detail::UnloadSystemVisa();
}

}  // namespace visa
