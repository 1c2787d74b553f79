#pragma once

// The identity window's logic on a simulated bench in virtual time: the handset on COM1, the
// barcode scanner on COM2, the result files and the printer sink in a directory of its own.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "production/ImeiRw.h"
#include "sim/Bench.h"
#include "sim/BenchHandset.h"
#include "sim/HandsetCommands.h"
#include "sim/HandsetSim.h"
#include "sim/ScannerSim.h"
#include "sim/SimLoop.h"
#include "sim/SimPort.h"

namespace scanrig {

namespace fs = std::filesystem;

struct RecordingNotifier : Notifier {
  std::vector<std::string> messages;
  void Message(const std::string& text) override { messages.push_back(text); }
};

struct FakeView : ImeiRwView {
  std::map<ImeiField, std::string> fields;
  std::vector<bool> scanning;
  void SetText(ImeiField f, const std::string& text) override { fields[f] = text; }
  std::string Text(ImeiField f) const override {
    const auto it = fields.find(f);
    return it == fields.end() ? std::string() : it->second;
  }
  void SetScanning(bool running) override { scanning.push_back(running); }
};

inline std::tm AugustSaturday() {
  std::tm t{};
  t.tm_year = 2002 - 1900;
  t.tm_mon = 7;
  t.tm_mday = 24;
  t.tm_wday = 6;
  t.tm_hour = 15;
  t.tm_min = 7;
  t.tm_sec = 9;
  return t;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class Station {
 public:
  explicit Station(uint64_t seed = 7)
      : bench(seed, [this] { return loop.Now(); }),
        scannerModel(seed),
        rw(loop, handsetPort, notifier, view, [this]() -> std::unique_ptr<Port> {
          ++portsCreated;
          if (!createPorts) return nullptr;
          auto port = std::make_unique<SimScannerPort>(loop, scannerModel);
          port->failOpen = failOpen;
          return port;
        }) {
    dir = fs::temp_directory_path() /
          ("tesmira-scan-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    rw.SetFiles({(dir / "Imeiresult.txt").string(), (dir / "swver.txt").string()});
    rw.SetPrinterPath((dir / "lpt1").string());
    rw.SetLocalTime(&AugustSaturday);
    std::ofstream(dir / "lpt1").close();
    std::ofstream(dir / "swver.txt") << sim::HANDSET_SW_VERSION;
    view.fields[ImeiField::REGION_COMBO] = "HK";
    handsetPort.Open(1, 115200);
    handsetSim.handset().onRequest = [this](const std::vector<uint8_t>& payload) {
      requests.push_back(payload);
    };
    loop.RunFor(sim::Bench::BOOT_MS + 100);  // powered and booted
    rw.OnInit();
  }
  ~Station() { fs::remove_all(dir); }

  std::string Results() const { return ReadFile(dir / "Imeiresult.txt"); }
  bool ResultsExist() const { return fs::exists(dir / "Imeiresult.txt"); }
  std::string Printed() const { return ReadFile(dir / "lpt1"); }
  std::string StoredImei() { return bench.handset().eeprom.ImeiDigits(); }
  int StoredRegion() { return bench.handset().eeprom.SpecialParam(100); }

  SimLoop loop;
  sim::Bench bench;
  SimPort handsetPort{loop};
  SimPortHandset handsetSim{loop, handsetPort, bench};
  sim::ScannerModel scannerModel;
  RecordingNotifier notifier;
  FakeView view;
  bool createPorts = true;
  bool failOpen = false;
  int portsCreated = 0;
  std::vector<std::vector<uint8_t>> requests;  // payloads the handset received
  fs::path dir;
  CImeiRw rw;
};

}  // namespace scanrig
