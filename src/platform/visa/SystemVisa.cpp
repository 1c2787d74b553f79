#include <dlfcn.h>

#include <array>
#include <cstdlib>
#include <string>

#include "platform/Notifier.h"
#include "platform/visa/Backends.h"

namespace visa::detail {
namespace {

// The system library's entry points with the widths of the IVI standard on LP64: sessions and
// counts 32-bit, attribute states 64-bit. Declared here so no vendor header is needed.
using SysOpenDefaultRM = int32_t (*)(uint32_t* rm);
using SysOpen = int32_t (*)(uint32_t rm, const char* name, uint32_t mode, uint32_t timeout,
                            uint32_t* vi);
using SysClose = int32_t (*)(uint32_t vi);
using SysGetAttribute = int32_t (*)(uint32_t vi, uint32_t attr, void* value);
using SysSetAttribute = int32_t (*)(uint32_t vi, uint32_t attr, uint64_t value);
using SysSetBuf = int32_t (*)(uint32_t vi, uint16_t mask, uint32_t size);
using SysWrite = int32_t (*)(uint32_t vi, const unsigned char* buf, uint32_t count,
                             uint32_t* written);
using SysRead = int32_t (*)(uint32_t vi, unsigned char* buf, uint32_t count, uint32_t* got);
using SysFindRsrc = int32_t (*)(uint32_t rm, const char* expr, uint32_t* list, uint32_t* count,
                                char* desc);
using SysFindNext = int32_t (*)(uint32_t list, char* desc);

struct SystemVisa {
  bool tried = false;
  void* handle = nullptr;
  std::string path;
  uint32_t rm = 0;
  SysOpenDefaultRM openDefaultRM = nullptr;
  SysOpen open = nullptr;
  SysClose close = nullptr;
  SysGetAttribute getAttribute = nullptr;
  SysSetAttribute setAttribute = nullptr;
  SysSetBuf setBuf = nullptr;
  SysWrite write = nullptr;
  SysRead read = nullptr;
  SysFindRsrc findRsrc = nullptr;
  SysFindNext findNext = nullptr;
};

SystemVisa& Lib() {
  static SystemVisa lib;
  return lib;
}

template <typename Fn>
bool Resolve(void* handle, const char* name, Fn* fn) {
  *fn = reinterpret_cast<Fn>(dlsym(handle, name));
  return *fn != nullptr;
}

bool TryLoad(const std::string& path) {
  auto& lib = Lib();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return false;
  const bool complete =
      Resolve(handle, "viOpenDefaultRM", &lib.openDefaultRM) &&
      Resolve(handle, "viOpen", &lib.open) && Resolve(handle, "viClose", &lib.close) &&
      Resolve(handle, "viGetAttribute", &lib.getAttribute) &&
      Resolve(handle, "viSetAttribute", &lib.setAttribute) &&
      Resolve(handle, "viSetBuf", &lib.setBuf) && Resolve(handle, "viWrite", &lib.write) &&
      Resolve(handle, "viRead", &lib.read) && Resolve(handle, "viFindRsrc", &lib.findRsrc) &&
      Resolve(handle, "viFindNext", &lib.findNext);
  uint32_t rm = 0;
  if (!complete || lib.openDefaultRM(&rm) < 0) {
    DebugLog("visa: " + path + " is not a usable VISA library\n");
    dlclose(handle);
    lib = SystemVisa{};
    lib.tried = true;
    return false;
  }
  lib.handle = handle;
  lib.path = path;
  lib.rm = rm;
  DebugLog("visa: system library " + path + "\n");
  return true;
}

// Loads the library once: the one TESMIRA_VISA_LIBRARY names, else the usual names.
bool Load() {
  auto& lib = Lib();
  if (lib.tried) return lib.handle != nullptr;
  lib.tried = true;
  if (const char* named = std::getenv("TESMIRA_VISA_LIBRARY"); named && *named) {
    return TryLoad(named);
  }
  static const std::array<const char*, 5> CANDIDATES = {
      "libvisa.so", "libvisa.so.0", "libvisa.so.1", "/opt/keysight/iolibs/libktvisa32.so",
      "librsvisa.so"};
  for (const char* candidate : CANDIDATES) {
    if (TryLoad(candidate)) return true;
  }
  return false;
}

// A session of the system library; every attribute goes to it unchanged.
class SystemTransport : public Transport {
 public:
  explicit SystemTransport(uint32_t vi) : vi_(vi) {}
  ~SystemTransport() override { Close(); }

  ViStatus Write(const unsigned char* buf, ViUInt32 count, ViUInt32* written,
                 const IoSettings&) override {
    return Lib().write(vi_, buf, count, written);
  }
  ViStatus Read(unsigned char* buf, ViUInt32 count, ViUInt32* got, const IoSettings&) override {
    return Lib().read(vi_, buf, count, got);
  }
  void DiscardInput() override {}
  ViStatus Close() override {
    if (vi_ == 0 || Lib().close == nullptr) return VI_SUCCESS;
    const ViStatus status = Lib().close(vi_);
    vi_ = 0;
    return status;
  }
  bool PassesAttributes() const override { return true; }
  ViStatus SetAttribute(ViAttr attr, ViAttrState value) override {
    return Lib().setAttribute(vi_, attr, value);
  }
  ViStatus GetAttribute(ViAttr attr, void* value) override {
    return Lib().getAttribute(vi_, attr, value);
  }
  ViStatus SetBuf(ViUInt16 mask, ViUInt32 size) override { return Lib().setBuf(vi_, mask, size); }

 private:
  uint32_t vi_;
};

}  // namespace

bool SystemVisaAvailable() {
  return Load();
}

ViStatus OpenSystemTransport(const std::string& resource, ViAccessMode mode, ViUInt32 timeout,
                             std::unique_ptr<Transport>* out) {
  if (!Load()) return VI_ERROR_LIBRARY_NFOUND;
  uint32_t vi = 0;
  const ViStatus status = Lib().open(Lib().rm, resource.c_str(), mode, timeout, &vi);
  if (status < VI_SUCCESS) return status;
  *out = std::make_unique<SystemTransport>(vi);
  return status;
}

std::vector<std::string> SystemFindResources(const std::string& expression) {
  std::vector<std::string> found;
  if (!Load()) return found;
  auto& lib = Lib();
  uint32_t list = 0;
  uint32_t count = 0;
  char desc[VI_FIND_BUFLEN + 1] = {};
  if (lib.findRsrc(lib.rm, expression.c_str(), &list, &count, desc) < VI_SUCCESS) return found;
  desc[VI_FIND_BUFLEN] = '\0';
  found.emplace_back(desc);
  for (uint32_t i = 1; i < count && i < 1024; ++i) {
    if (lib.findNext(list, desc) < VI_SUCCESS) break;
    desc[VI_FIND_BUFLEN] = '\0';
    found.emplace_back(desc);
  }
  if (list != 0) lib.close(list);
  return found;
}

void UnloadSystemVisa() {
  auto& lib = Lib();
  if (lib.handle) {
    if (lib.rm != 0) lib.close(lib.rm);
    dlclose(lib.handle);
  }
  lib = SystemVisa{};
}

}  // namespace visa::detail
