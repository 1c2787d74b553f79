#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "platform/Delay.h"
#include "platform/visa/SimDevice.h"
#include "platform/visa/visa.h"
#include "sim/SimLoop.h"
#include "support/ScriptedScpiDevice.h"
#include "tester4400/wt4400.h"
#include "tester4400/wt4400Families.h"
#include "tester4400/wt4400Internal.h"

// The driver against a scripted instrument at GPIB0::4, in virtual time: bus time, busy time,
// read time-outs and the driver's delays all move one SimLoop clock.
class Wt4400Test : public ::testing::Test {
 protected:
  static constexpr const char* IDENTITY = "Willtek,4400 Mobile Phone Tester,0440012,1.20";

  void SetUp() override {
    unsetenv("TESMIRA_VISA_ALIASES");
    unsetenv("TESMIRA_VISA_LIBRARY");
    ResetWt4400State();
    visa::ResetVisaState();
    visa::ClearSimDevices();
    visa::SetSimTimeSink([this](uint32_t ms) { loop.Advance(ms); });
    SetDelayHandler([this](double seconds) {
      delays.push_back(seconds);
      loop.Advance(static_cast<uint64_t>(std::llround(seconds * 1000.0)));
    });
    device = std::make_shared<ScriptedScpiDevice>();
    device->answers["*IDN?"] = IDENTITY;
    device->answers["*OPC?"] = "1";
    visa::RegisterSimDevice("GPIB0::4", device);
  }

  void TearDown() override {
    ResetWt4400State();
    visa::ResetVisaState();
    visa::ClearSimDevices();
    visa::SetSimTimeSink(nullptr);
    SetDelayHandler(nullptr);
  }

  // Opens GPIB0::4 (identity query and reset) in error-checking mode, the script then cleared.
  ViSession Open(int16_t ioMode = 1) {
    ViSession handle = 0;
    EXPECT_EQ(wt4400_init("GPIB0::4", 1, 1, &handle), VI_SUCCESS);
    EXPECT_EQ(wt4400_setIoMode(handle, ioMode, 0, "", 0), VI_SUCCESS);
    device->messages.clear();
    delays.clear();
    return handle;
  }

  double DelaySeconds() const {
    double sum = 0.0;
    for (double d : delays) sum += d;
    return sum;
  }

  SimLoop loop;
  std::vector<double> delays;
  std::shared_ptr<ScriptedScpiDevice> device;
};
