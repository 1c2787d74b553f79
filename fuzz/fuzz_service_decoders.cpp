#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "production/IdentityCodec.h"
#include "service/RampTable.h"

// The service and production decoders of answer bytes and operator text: the IMEI, text and
// serial fields of an identity answer, the ramp template of a read answer, and the ramp
// template text of tesmira-cli ramp --write.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace identity;
  if (size >= 8) {
    const std::string imei = DecodeImei(data);
    FUZZ_CHECK(imei.size() == 15);
    std::string fields[4];
    SplitImei(imei, fields);
    FUZZ_CHECK(fields[0].size() + fields[1].size() + fields[2].size() + fields[3].size() == 15);
    ImeiWriteLine(imei);
  }
  if (size >= 3) {
    const std::string serial = DecodeSerial(data);
    SerialWriteLine(serial);
  }
  const std::string text = DecodeText(data, size);
  FUZZ_CHECK(text.size() <= size && text.find('\0') == std::string::npos);
  HwVersionWriteLine(text);
  RampTemplate ramp{};
  TemplateFromAnswer(data, size, ramp);
  const std::string line(reinterpret_cast<const char*>(data), size);
  std::string error;
  if (ParseTemplateText(line, ramp, error)) {
    FUZZ_CHECK(error.empty());
  }
  return 0;
}
