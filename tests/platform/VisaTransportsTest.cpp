#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "platform/rigs/TransportChecks.h"
#include "support/Deadline.h"

// The built-in transports against the bench's servers for them: an instrument on its RS-232
// port (pseudo-terminal), two instruments behind a Prologix GPIB-ETHERNET and a GPIB-USB
// adapter, two LAN instruments over HiSLIP. Each one is checked for the same behaviour.
namespace {

using namespace std::chrono_literals;

struct Kind {
  const char* name;
  std::function<std::unique_ptr<TransportRig>()> make;
};

void PrintTo(const Kind& kind, std::ostream* out) {
  *out << kind.name;
}

class Transports : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    bench_ = std::make_unique<TransportBench>(GetParam().make());
    std::string why;
    if (!bench_->Start(&why)) GTEST_SKIP() << why;
  }
  void TearDown() override { bench_.reset(); }
  TransportBench& t() { return *bench_; }

  testsupport::Deadline deadline_{20s};
  std::unique_ptr<TransportBench> bench_;
};

TEST_P(Transports, QueryAndBuffer) {
  CheckQueryAndBuffer(t());
}

TEST_P(Transports, Timeout) {
  CheckTimeout(t());
}

TEST_P(Transports, LateReplyIsNeverTheNextAnswer) {
  CheckLateReply(t());
}

TEST_P(Transports, HangUpInTheMiddleOfAReply) {
  CheckHangUp(t());
}

// Only where one gateway or adapter (or one client) reaches several instruments.
class SeveralInstruments : public Transports {};

TEST_P(SeveralInstruments, Interleaved) {
  CheckInterleaved(t());
}

INSTANTIATE_TEST_SUITE_P(Visa, Transports,
                         ::testing::Values(Kind{"Serial", MakeSerialRig},
                                           Kind{"PrologixEthernet", MakePrologixEthernetRig},
                                           Kind{"PrologixUsb", MakePrologixUsbRig},
                                           Kind{"Hislip", MakeHislipRig}),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Visa, SeveralInstruments,
                         ::testing::Values(Kind{"PrologixEthernet", MakePrologixEthernetRig},
                                           Kind{"PrologixUsb", MakePrologixUsbRig},
                                           Kind{"Hislip", MakeHislipRig}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
