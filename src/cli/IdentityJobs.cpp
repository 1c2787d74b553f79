#include "cli/IdentityJobs.h"

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "link/CComm.h"
#include "platform/Notifier.h"
#include "platform/PollLoop.h"
#include "production/ImeiRw.h"
#include "production/PumpWait.h"
#include "sim/Bench.h"
#include "sim/HandsetSim.h"
#include "sim/ScannerSim.h"
#include "sim/SimLoop.h"
#include "sim/SimPort.h"

namespace {

constexpr uint32_t HANDSET_BAUD = 115200;
constexpr int HANDSET_PORT = 1;
constexpr uint32_t READ_WAIT_MS = CImeiRw::ANSWER_TIMEOUT_MS + 500;

class PrintingNotifier : public Notifier {
 public:
  void Message(const std::string& text) override {
    std::printf("message: %s\n", text.c_str());
    std::fflush(stdout);
    ++count;
  }
  int count = 0;
};

class FieldsView : public ImeiRwView {
 public:
  void SetText(ImeiField f, const std::string& text) override { fields[f] = text; }
  std::string Text(ImeiField f) const override {
    const auto it = fields.find(f);
    return it == fields.end() ? std::string() : it->second;
  }
  std::map<ImeiField, std::string> fields;
};

// A handset port and a scanner port factory, simulated or real, with the loop they run on.
struct Rig {
  std::unique_ptr<EventLoop> loop;
  std::unique_ptr<sim::Bench> bench;
  std::unique_ptr<Port> handset;
  std::unique_ptr<SimPortHandset> handsetSim;
  std::unique_ptr<sim::ScannerModel> scanner;
  CImeiRw::ScannerPortFactory scannerPorts;
};

bool MakeRig(bool simulated, uint64_t seed, Notifier& notifier, Rig& rig) {
  if (simulated) {
    auto loop = std::make_unique<SimLoop>();
    SimLoop* l = loop.get();
    rig.bench = std::make_unique<sim::Bench>(seed, [l] { return l->Now(); });
    auto port = std::make_unique<SimPort>(*l);
    rig.handsetSim = std::make_unique<SimPortHandset>(*l, *port, *rig.bench);
    port->Open(HANDSET_PORT, HANDSET_BAUD);
    l->RunFor(sim::Bench::BOOT_MS);  // the handset in its jig, booted
    rig.scanner = std::make_unique<sim::ScannerModel>(seed);
    sim::ScannerModel* model = rig.scanner.get();
    rig.scannerPorts = [l, model]() -> std::unique_ptr<Port> {
      return std::make_unique<SimScannerPort>(*l, *model);
    };
    rig.handset = std::move(port);
    rig.loop = std::move(loop);
    return true;
  }
  auto loop = std::make_unique<PollLoop>();
  EventLoop* l = loop.get();
  auto comm = std::make_unique<CComm>(*l, &notifier);
  if (!comm->Open(HANDSET_PORT, HANDSET_BAUD)) {
    std::printf("message: serial port error !!!\n");
    std::fprintf(stderr, "tesmira-cli: %s\n", comm->LastError().c_str());
    return false;
  }
  rig.scannerPorts = [l, &notifier]() -> std::unique_ptr<Port> {
    return std::make_unique<CComm>(*l, &notifier);
  };
  rig.handset = std::move(comm);
  rig.loop = std::move(loop);
  return true;
}

const char* StepName(ScanStep step) {
  switch (step) {
    case ScanStep::NONE:
      return "none";
    case ScanStep::OPEN_SCANNER:
      return "open scanner";
    case ScanStep::CLEAR_SCANNER:
      return "clear scanner";
    case ScanStep::READ_CODE:
      return "read code";
    case ScanStep::CODE_REJECTED:
      return "code rejected";
    case ScanStep::WRITE_IMEI:
      return "write IMEI";
    case ScanStep::READ_IMEI:
      return "read IMEI back";
    case ScanStep::COMPARE_IMEI:
      return "compare IMEI";
    case ScanStep::SW_VERSION:
      return "software version";
    case ScanStep::WRITE_REGION:
      return "write region";
    case ScanStep::QUIT:
      return "quit";
    case ScanStep::PORT_LOST:
      return "handset port lost";
  }
  return "?";
}

}  // namespace

int RunScanJob(const ScanJob& job) {
  PrintingNotifier notifier;
  Rig rig;
  if (!MakeRig(job.simulated, job.seed, notifier, rig)) return 2;
  if (job.code) rig.scanner->codes = {*job.code};
  FieldsView view;
  view.fields[ImeiField::REGION_COMBO] = job.region;
  CImeiRw rw(*rig.loop, *rig.handset, notifier, view, rig.scannerPorts);
  rw.SetLabelSettings(job.quantity, job.vertical, job.horizontal);
  rw.OnInit();

  const ScanResult r = rw.Scan();
  rig.loop->PumpMessages();  // the last "LOFF\r" and messages on their way
  std::printf("code: %s\n", rw.ScannedCode().c_str());
  if (!r.completed) {
    std::printf("scan: failed at %s\n", StepName(r.failedStep));
    return 1;
  }
  std::printf("scan: IMEI %s programmed and verified\n", r.imei.c_str());
  std::printf("record: %s\n", r.recordWritten ? "written" : "NOT written");
  std::printf("label: %s\n", r.labelPrinted ? "printed" : "NOT printed");
  return r.recordWritten && r.labelPrinted ? 0 : 1;
}

int RunIdentityJob(const IdentityJob& job) {
  PrintingNotifier notifier;
  Rig rig;
  if (!MakeRig(job.simulated, job.seed, notifier, rig)) return 2;
  FieldsView view;
  CImeiRw rw(*rig.loop, *rig.handset, notifier, view, rig.scannerPorts);
  rw.OnInit();

  // One read after another, as an operator presses the buttons: each waits for its field.
  bool allAnswered = true;
  auto read = [&](void (CImeiRw::*button)(), ImeiField shown) {
    view.fields.erase(shown);
    const int before = notifier.count;
    (rw.*button)();
    const WaitEnd end = PumpWait(*rig.loop, READ_WAIT_MS, [&] {
      return view.fields.count(shown) != 0 || notifier.count != before;
    });
    if (end != WaitEnd::FLAG || view.fields.count(shown) == 0) allAnswered = false;
  };
  read(&CImeiRw::ReadImei, ImeiField::IMEI_READ_1);
  read(&CImeiRw::ReadSwVersion, ImeiField::SW_DISPLAY);
  read(&CImeiRw::ReadHwVersion, ImeiField::HW_DISPLAY);
  read(&CImeiRw::ReadSerial, ImeiField::SERIAL_DISPLAY);
  read(&CImeiRw::ReadRegion, ImeiField::REGION_DISPLAY);

  std::printf("IMEI: %s %s %s %s\n", view.Text(ImeiField::IMEI_READ_1).c_str(),
              view.Text(ImeiField::IMEI_READ_2).c_str(), view.Text(ImeiField::IMEI_READ_3).c_str(),
              view.Text(ImeiField::IMEI_READ_4).c_str());
  std::printf("S/W version: %s\n", view.Text(ImeiField::SW_DISPLAY).c_str());
  std::printf("H/W version: %s\n", view.Text(ImeiField::HW_DISPLAY).c_str());
  std::printf("Serial NUM: %s\n", view.Text(ImeiField::SERIAL_DISPLAY).c_str());
  std::printf("Region: %s\n", view.Text(ImeiField::REGION_DISPLAY).c_str());
  return allAnswered ? 0 : 1;
}
