#include "production/LPT1Write.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char DEFAULT_DEVICE[] = "/dev/lp0";

// Characters [from, from + count) of the code, blank-padded as "%-N.Ns" pads.
std::string Field(std::string_view code, size_t from, size_t count) {
  std::string f(code.substr(std::min(from, code.size()), count));
  f.resize(count, ' ');
  return f;
}

char CharAt(std::string_view code, size_t at) {
  return at < code.size() ? code[at] : ' ';
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buffer[160];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return std::string(buffer, n < 0 ? 0 : std::min<size_t>(n, sizeof buffer - 1));
}

}  // namespace

std::vector<std::string> LabelLines(std::string_view code, int quantity, int vertical,
                                    int horizontal, int layoutCode) {
  const std::string first14 = Field(code, 0, 14);
  const std::string tac = Field(code, 0, 6);
  const std::string fac = Field(code, 6, 2);
  const std::string snr = Field(code, 8, 6);
  const char check = CharAt(code, 14);
  std::vector<std::string> lines;
  if (layoutCode == CLPT1Write::LAYOUT_HK) {
    lines.push_back("~^\"ZR900G2.RCL\";1;3;48;200;SPB;\n");
    lines.push_back("NUBC;1;NUM;BCLC;1;BCID;-1;IDF;-1;\n");
    lines.push_back("MRK;\n");
    lines.push_back("VBR;31;HBR;0;DWBX;0;-30;434;45;\n");
    lines.push_back(
        Format("VBR;31;HBR;8;BDEF;25;BCPI;2;BCSH;30;BCST;\"C%s\";BSAL;6;\"@F0\";BSTP;\n",
               first14.c_str()));
    lines.push_back(
        Format("VBR;32;HBR;8;DDF;6;1;DFM;1;1;DFO;1;1;DFS;2;\"IMEI: %s-%s-%s\";SAL;6;"
               "\" /%c\";\n",
               tac.c_str(), fac.c_str(), snr.c_str(), check));
    lines.push_back("RET;\n");
    lines.push_back("TRM;\\\n");
    return lines;
  }
  lines.push_back(Format("~^\"ZR900G.RCL\";%d;0;180;%d;SPB;\n", quantity, horizontal));
  lines.push_back("DDF;6;1;DFM;1;1;DFO;1;1;DFS;2;BDEF;25;BCPI;2;BCSH;30;\n");
  lines.push_back("NUM;BCLC;1;BCID;-1;IDF;-1;\n");
  lines.push_back("MRK;\n");
  lines.push_back(Format("VBR;%d;HBR;0;DWBX;0;0;434;165;\n", vertical));
  for (const int row : {57, 103, 150}) {
    lines.push_back(Format("VBR;%d;HBR;8;BCST;\"C%s\";BSAL;6;\"@F%c\";BSTP;\n", vertical + row,
                           first14.c_str(), check));
    lines.push_back(Format("VBR;%d;HBR;8;\"IMEI: %s-%s-%s\";SAL;6;\" /%c\";\n", vertical + row + 1,
                           tac.c_str(), fac.c_str(), snr.c_str(), check));
  }
  lines.push_back("RET;\n");
  lines.push_back("TRM;\\\n");
  return lines;
}

CLPT1Write::~CLPT1Write() {
  ClosePort();
}

std::string CLPT1Write::DevicePath() const {
  if (!path_.empty()) return path_;
  const char* env = std::getenv("TESMIRA_LPT1");
  return env != nullptr && *env != '\0' ? env : DEFAULT_DEVICE;
}

bool CLPT1Write::OpenPort() {
  ClosePort();
  last_error_.clear();
  const std::string path = DevicePath();
  // An existing device only; a sink file collects label after label.
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC | O_SYNC);
  if (fd < 0) {
    last_error_ = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    last_error_ = path + " is in use";
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

bool CLPT1Write::PrintLabel(std::string_view code, int quantity, int vertical, int horizontal,
                            int layoutCode) {
  if (fd_ < 0) {
    if (last_error_.empty()) last_error_ = "printer port not open";
    return false;
  }
  for (const std::string& line : LabelLines(code, quantity, vertical, horizontal, layoutCode)) {
    ssize_t n;
    do {
      n = ::write(fd_, line.data(), line.size());
    } while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(line.size())) {
      last_error_ = "cannot write " + DevicePath() + ": " +
                    (n < 0 ? std::strerror(errno) : std::string("short write"));
      return false;
    }
  }
  return true;
}

void CLPT1Write::ClosePort() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}
