#include "platform/visa/SerialOptions.h"

#include <charconv>

namespace visa::detail {
namespace {

struct Named {
  const char* name;
  ViUInt16 value;
};

constexpr Named PARITIES[] = {{"none", VI_ASRL_PAR_NONE},
                              {"odd", VI_ASRL_PAR_ODD},
                              {"even", VI_ASRL_PAR_EVEN},
                              {"mark", VI_ASRL_PAR_MARK},
                              {"space", VI_ASRL_PAR_SPACE}};
constexpr Named STOP_BITS[] = {
    {"1", VI_ASRL_STOP_ONE}, {"1.5", VI_ASRL_STOP_ONE5}, {"2", VI_ASRL_STOP_TWO}};
constexpr Named FLOWS[] = {{"none", VI_ASRL_FLOW_NONE},
                           {"xon_xoff", VI_ASRL_FLOW_XON_XOFF},
                           {"rts_cts", VI_ASRL_FLOW_RTS_CTS},
                           {"dtr_dsr", VI_ASRL_FLOW_DTR_DSR}};
constexpr Named ENDS[] = {{"none", VI_ASRL_END_NONE}, {"termchar", VI_ASRL_END_TERMCHAR}};

template <size_t N>
bool Lookup(const Named (&table)[N], const std::string& text, ViUInt16* value) {
  for (const Named& entry : table) {
    if (text == entry.name) {
      *value = entry.value;
      return true;
    }
  }
  return false;
}

template <size_t N>
ViUInt16 IndexOf(const Named (&table)[N], SerialLineSettings::Parity parity) {
  return table[static_cast<size_t>(parity)].value;
}

bool Number(const std::string& text, uint32_t* value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

ViStatus ApplySerialAttribute(ViAttr attr, ViAttrState value, SerialOptions* options) {
  SerialLineSettings& line = options->line;
  switch (attr) {
    case VI_ATTR_ASRL_BAUD:
      if (value == 0 || value > 0xFFFFFFFFu || !SerialBaudSupported(static_cast<uint32_t>(value))) {
        return VI_ERROR_NSUP_ATTR_STATE;
      }
      line.baud = static_cast<uint32_t>(value);
      return VI_SUCCESS;
    case VI_ATTR_ASRL_DATA_BITS:
      if (value < 5 || value > 8) return VI_ERROR_NSUP_ATTR_STATE;
      line.dataBits = static_cast<int>(value);
      return VI_SUCCESS;
    case VI_ATTR_ASRL_PARITY:
      if (value > VI_ASRL_PAR_SPACE) return VI_ERROR_NSUP_ATTR_STATE;
      line.parity = static_cast<SerialLineSettings::Parity>(value);
      return VI_SUCCESS;
    case VI_ATTR_ASRL_STOP_BITS:
      if (value != VI_ASRL_STOP_ONE && value != VI_ASRL_STOP_ONE5 && value != VI_ASRL_STOP_TWO) {
        return VI_ERROR_NSUP_ATTR_STATE;
      }
      line.stopBits = value == VI_ASRL_STOP_ONE ? 1 : 2;
      options->stopBits = static_cast<ViUInt16>(value);
      return VI_SUCCESS;
    case VI_ATTR_ASRL_FLOW_CNTRL: {
      constexpr ViAttrState ALL =
          VI_ASRL_FLOW_XON_XOFF | VI_ASRL_FLOW_RTS_CTS | VI_ASRL_FLOW_DTR_DSR;
      if ((value & ~ALL) != 0) return VI_ERROR_NSUP_ATTR_STATE;
      options->flow = static_cast<ViUInt16>(value);
      line.xonXoff = (value & VI_ASRL_FLOW_XON_XOFF) != 0;
      line.rtsCts = (value & VI_ASRL_FLOW_RTS_CTS) != 0;
      return VI_SUCCESS;
    }
    default:
      return VI_ERROR_NSUP_ATTR;
  }
}

bool GetSerialAttribute(const SerialOptions& options, ViAttr attr, void* value) {
  switch (attr) {
    case VI_ATTR_ASRL_BAUD:
      *static_cast<ViUInt32*>(value) = options.line.baud;
      return true;
    case VI_ATTR_ASRL_DATA_BITS:
      *static_cast<ViUInt16*>(value) = static_cast<ViUInt16>(options.line.dataBits);
      return true;
    case VI_ATTR_ASRL_PARITY:
      *static_cast<ViUInt16*>(value) = IndexOf(PARITIES, options.line.parity);
      return true;
    case VI_ATTR_ASRL_STOP_BITS:
      *static_cast<ViUInt16*>(value) = options.stopBits;
      return true;
    case VI_ATTR_ASRL_FLOW_CNTRL:
      *static_cast<ViUInt16*>(value) = options.flow;
      return true;
    case VI_ATTR_ASRL_END_IN:
      *static_cast<ViUInt16*>(value) = options.endIn;
      return true;
    case VI_ATTR_ASRL_END_OUT:
      *static_cast<ViUInt16*>(value) = options.endOut;
      return true;
    default:
      return false;
  }
}

bool ParseSerialSettings(const std::vector<Setting>& settings, SerialOptions* options,
                         std::string* error) {
  for (const Setting& s : settings) {
    const auto bad = [&] {
      *error = "bad serial setting '" + s.key + "=" + s.value + "'";
      return false;
    };
    ViUInt16 value = 0;
    ViStatus status = VI_SUCCESS;
    if (s.key == "init") continue;
    if (s.key == "baud") {
      uint32_t baud = 0;
      if (!Number(s.value, &baud)) return bad();
      status = ApplySerialAttribute(VI_ATTR_ASRL_BAUD, baud, options);
    } else if (s.key == "data_bits") {
      uint32_t bits = 0;
      if (!Number(s.value, &bits)) return bad();
      status = ApplySerialAttribute(VI_ATTR_ASRL_DATA_BITS, bits, options);
    } else if (s.key == "parity") {
      if (!Lookup(PARITIES, s.value, &value)) return bad();
      status = ApplySerialAttribute(VI_ATTR_ASRL_PARITY, value, options);
    } else if (s.key == "stop_bits") {
      if (!Lookup(STOP_BITS, s.value, &value)) return bad();
      status = ApplySerialAttribute(VI_ATTR_ASRL_STOP_BITS, value, options);
    } else if (s.key == "flow_control") {
      if (!Lookup(FLOWS, s.value, &value)) return bad();
      status = ApplySerialAttribute(VI_ATTR_ASRL_FLOW_CNTRL, value, options);
    } else if (s.key == "end_in") {
      if (!Lookup(ENDS, s.value, &options->endIn)) return bad();
    } else if (s.key == "end_out") {
      if (!Lookup(ENDS, s.value, &options->endOut)) return bad();
    } else {
      *error = "unknown serial setting '" + s.key + "'";
      return false;
    }
    if (status != VI_SUCCESS) return bad();
  }
  return true;
}

}  // namespace visa::detail
