#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "platform/Delay.h"
#include "platform/visa/Aliases.h"
#include "platform/visa/FindPattern.h"
#include "platform/visa/Resource.h"

// Resource names, the alias list, find expressions and the run-time helpers.
namespace {

struct CanonicalCase {
  const char* text;
  const char* canonical;  // "" = not a resource name
};

TEST(VisaResource, CanonicalForms) {
  const CanonicalCase cases[] = {
      {"GPIB0::4", "GPIB0::4::INSTR"},
      {"GPIB0::4::INSTR", "GPIB0::4::INSTR"},
      {"GPIB::4::INSTR", "GPIB0::4::INSTR"},
      {"gpib::4::instr", "GPIB0::4::INSTR"},
      {"  GPIB0::04  ", "GPIB0::4::INSTR"},
      {"GPIB1::14::96::INSTR", "GPIB1::14::96::INSTR"},
      {"GPIB0::INTFC", "GPIB0::INTFC"},
      {"TCPIP::10.0.0.9::INSTR", "TCPIP0::10.0.0.9::inst0::INSTR"},
      {"TCPIP0::Gateway.Lab::gpib0,14::INSTR", "TCPIP0::gateway.lab::gpib0,14::INSTR"},
      {"TCPIP0::127.0.0.1::5025::SOCKET", "TCPIP0::127.0.0.1::5025::SOCKET"},
      {"TCPIP::host::05025::socket", "TCPIP0::host::5025::SOCKET"},
      {"ASRL3::INSTR", "ASRL3::INSTR"},
      {"asrl3", "ASRL3::INSTR"},
      // A serial device by path (case kept), also as Python's VISA stack writes it.
      {"ASRL::/dev/ttyUSB0::INSTR", "ASRL0::/dev/ttyUSB0::INSTR"},
      {"ASRL/dev/serial/by-id/usb-FTDI_A1::INSTR", "ASRL0::/dev/serial/by-id/usb-FTDI_A1::INSTR"},
      // Prologix adapters are interfaces; port 1234 when not given.
      {"PRLGX-TCPIP::Prologix-Lab::INTFC", "PRLGX-TCPIP0::prologix-lab::1234::INTFC"},
      {"prlgx-tcpip1::10.0.0.7::1235::intfc", "PRLGX-TCPIP1::10.0.0.7::1235::INTFC"},
      {"PRLGX-ASRL::/dev/ttyUSB1::INTFC", "PRLGX-ASRL0::/dev/ttyUSB1::INTFC"},
      {"TCPIP0::10.0.0.8::hislip0,4881::INSTR", "TCPIP0::10.0.0.8::hislip0,4881::INSTR"},
      {"USB0::0x0957::0x1755::MY123::INSTR", "USB0::0x0957::0x1755::MY123::INSTR"},
      // refused
      {"GPIB0::31", ""},
      {"GPIB0::-1", ""},
      {"GPIB0::4x", ""},
      {"GPIB0", ""},
      {"GPIB0::4::40::INSTR", ""},
      {"TCPIP0::host::SOCKET", ""},
      {"TCPIP0::host::70000::SOCKET", ""},
      {"::4", ""},
      {"", ""},
      {"GPIB0::::INSTR", ""},
      {"ASRL::ttyUSB0::INSTR", ""},
      {"ASRL3::SOCKET", ""},
      {"PRLGX-TCPIP::host::INSTR", ""},
      {"PRLGX-TCPIP::host::99999::INTFC", ""},
      {"PRLGX-ASRL::COM3::INTFC", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(visa::CanonicalResource(c.text), c.canonical) << c.text;
  }
}

TEST(VisaResource, ParsedFields) {
  auto socket = visa::ParseResource("TCPIP3::localhost::1234::SOCKET");
  ASSERT_TRUE(socket);
  EXPECT_EQ(socket->type, "TCPIP");
  EXPECT_EQ(socket->board, 3);
  EXPECT_EQ(socket->resourceClass, "SOCKET");
  EXPECT_EQ(socket->fields, (std::vector<std::string>{"localhost", "1234"}));
}

TEST(VisaAliases, ParsesEntriesAndSkipsBadOnes) {
  const auto aliases = visa::detail::ParseAliases(
      " GPIB0::14::INSTR = TCPIP0::10.0.0.9::5025::SOCKET ;GPIB::5::INSTR=sim;;junk;"
      "GPIB0::31=sim;GPIB0::4=  ");
  ASSERT_EQ(aliases.size(), 2u);
  EXPECT_EQ(aliases[0].resource, "GPIB0::14::INSTR");
  EXPECT_EQ(aliases[0].target, "TCPIP0::10.0.0.9::5025::SOCKET");
  EXPECT_EQ(aliases[1].resource, "GPIB0::5::INSTR");
  EXPECT_EQ(aliases[1].target, "sim");
}

// Settings travel with an alias target in braces; a GPIB board may have an alias of its own.
TEST(VisaAliases, TargetSettingsAndBoardAliases) {
  const auto target = visa::detail::SplitTarget(
      " ASRL::/dev/ttyUSB0::INSTR{baud=9600, Stop_Bits=2 ,flow_control=dtr_dsr,init=SYST:REM,"
      "init=*CLS}");
  ASSERT_TRUE(target);
  EXPECT_EQ(target->resource, "ASRL::/dev/ttyUSB0::INSTR");
  ASSERT_EQ(target->settings.size(), 5u);
  EXPECT_EQ(target->settings[1].key, "stop_bits");
  EXPECT_EQ(target->settings[1].value, "2");
  EXPECT_EQ(target->settings[4].value, "*CLS");
  const auto plain = visa::detail::SplitTarget("TCPIP0::gw::gpib0,14::INSTR");
  ASSERT_TRUE(plain);
  EXPECT_TRUE(plain->settings.empty());
  for (const char* bad : {"ASRL3::INSTR{baud}", "ASRL3::INSTR{baud=1", "ASRL3::INSTR}",
                          "{baud=9600}", "ASRL3::INSTR{a=1}{b=2}", "ASRL3::INSTR{=1}"}) {
    EXPECT_FALSE(visa::detail::SplitTarget(bad)) << bad;
  }

  setenv("TESMIRA_VISA_ALIASES",
         "GPIB::5::INSTR=ASRL3::INSTR;GPIB0::INTFC=PRLGX-TCPIP::10.0.0.7::INTFC", 1);
  EXPECT_EQ(visa::detail::LookupAlias("GPIB0::5::INSTR"), "ASRL3::INSTR");
  EXPECT_EQ(visa::detail::LookupBoardAlias("GPIB0::14::INSTR"), "PRLGX-TCPIP::10.0.0.7::INTFC");
  EXPECT_FALSE(visa::detail::LookupBoardAlias("GPIB1::14::INSTR"));
  EXPECT_FALSE(visa::detail::LookupBoardAlias("TCPIP0::h::5025::SOCKET"));
  unsetenv("TESMIRA_VISA_ALIASES");
}

TEST(VisaFindPattern, MatchesWholeNamesCaseInsensitively) {
  struct Case {
    const char* expression;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"?*INSTR", "GPIB0::4::INSTR", true},
      {"?*INSTR", "TCPIP0::h::5025::SOCKET", false},
      {"GPIB?*", "gpib0::4::instr", true},
      {"GPIB[0-9]::4::INSTR", "GPIB0::4::INSTR", true},
      {"GPIB[0-9]::4::INSTR", "GPIB0::14::INSTR", false},
      {"(GPIB|ASRL)?*", "ASRL1::INSTR", true},
      {"?*", "anything", true},
      {"TCPIP0::1\\.2?*", "TCPIP0::1.2.3.4::INSTR", true},
      {"TCPIP0::1.2?*", "TCPIP0::1x2.3.4::INSTR", false},  // '.' is itself, not any character
  };
  for (const auto& c : cases) {
    auto pattern = visa::detail::CompileFindPattern(c.expression);
    ASSERT_TRUE(pattern) << c.expression;
    EXPECT_EQ(std::regex_match(c.name, *pattern), c.match) << c.expression << " " << c.name;
  }
  for (const char* bad : {"", "*GPIB", "[abc", "?*{VI_ATTR_GPIB_PRIMARY_ADDR==4}", "GPIB\\"}) {
    EXPECT_FALSE(visa::detail::CompileFindPattern(bad)) << bad;
  }
}

TEST(RunTimeHelpers, DelayGoesToTheHandlerAndStringLengthStopsAtTheTerminator) {
  double waited = 0.0;
  SetDelayHandler([&](double s) { waited += s; });
  Delay(0.1);
  Delay(2.0);
  Delay(-1.0);  // nothing
  SetDelayHandler(nullptr);
  EXPECT_DOUBLE_EQ(waited, 2.1);
  EXPECT_EQ(StringLength("RFG:LEV -60"), 11);
  EXPECT_EQ(StringLength(std::string_view("ab\0cd", 5)), 2);
  EXPECT_EQ(StringLength(""), 0);
}

}  // namespace
