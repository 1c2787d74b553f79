#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "sim/PtyScanner.h"
#include "sim/bench/BenchService.h"

// The production line's scanner on a second pseudo-terminal (TESMIRA_COM2) with the codes it
// hands out, and the label printer as a sink file (TESMIRA_LPT1) that collects every label.
namespace {

struct Production {
  std::unique_ptr<sim::ScannerModel> model;
  std::unique_ptr<PtyScanner> scanner;
};

Production& State() {
  static Production production;
  return production;
}

bool StartScanner(BenchContext& context) {
  Production& p = State();
  p.model = std::make_unique<sim::ScannerModel>(context.seed);
  for (const std::string& code : context.scannerCodes) p.model->codes.push_back(code);
  if (!context.scannerFault.empty() &&
      !sim::ParseScannerFault(context.scannerFault, &p.model->fault)) {
    std::fprintf(stderr, "tesmira-bench: unknown scanner fault '%s'\n",
                 context.scannerFault.c_str());
    return false;
  }
  p.model->onCommand = [model = p.model.get()](const std::string& command) {
    if (command == "LON") {
      std::fprintf(stderr, "tesmira-bench: scanner reads %s\n", model->NextCode().c_str());
    }
  };
  context.scanner = p.model.get();
  p.scanner = std::make_unique<PtyScanner>(context.loop, *p.model);
  std::string error;
  if (!p.scanner->Open(&error)) {
    std::fprintf(stderr, "tesmira-bench: scanner: %s\n", error.c_str());
    return false;
  }
  PtyScanner* s = p.scanner.get();
  context.watch(s->MasterFd(), [s] { s->OnReadable(); });
  context.exports.emplace_back("TESMIRA_COM2", s->SlavePath());

  // The printer: a file the station appends its label streams to.
  std::string path = context.printerPath;
  if (path.empty()) {
    path = (std::filesystem::temp_directory_path() /
            ("tesmira-bench-lpt1-" + std::to_string(::getpid()) + ".prn"))
               .string();
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::fprintf(stderr, "tesmira-bench: printer sink %s cannot be created\n", path.c_str());
    return false;
  }
  ::close(fd);
  std::error_code ec;
  const std::string absolute = std::filesystem::absolute(path, ec).string();
  context.exports.emplace_back("TESMIRA_LPT1", ec ? path : absolute);
  return true;
}

const bool registered = RegisterBenchService({"scanner", 15, &StartScanner});

}  // namespace
