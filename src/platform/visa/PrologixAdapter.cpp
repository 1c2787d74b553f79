#include "platform/visa/PrologixAdapter.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Notifier.h"
#include "platform/SerialDevice.h"

namespace visa::detail {
namespace {

constexpr char ESC = 27;
constexpr size_t MAX_ADAPTER_LINE = 256;  // the adapter's own answers are short
// The USB adapter ignores the line rate; the device still wants one.
constexpr uint32_t PROLOGIX_USB_BAUD = 115200;

// The set-up, sent once per connection. ++savecfg 0 first: the adapter would otherwise write
// its EEPROM on every ++addr. The read time-out is set so the client knows when it gave up.
const std::string SETUP[] = {"++savecfg 0",
                             "++mode 1",
                             "++auto 0",
                             "++eoi 1",
                             "++eos 3",
                             "++eot_enable 0",
                             "++read_tmo_ms " + std::to_string(PROLOGIX_READ_TMO_MS)};

}  // namespace

std::string EscapePrologixData(std::string_view data) {
  std::string out;
  out.reserve(data.size() + 8);
  for (char c : data) {
    if (c == '\r' || c == '\n' || c == ESC || c == '+') out.push_back(ESC);
    out.push_back(c);
  }
  return out;
}

ViStatus PrologixAdapter::Open(const std::string& kind, const std::string& host, int port,
                               std::shared_ptr<PrologixAdapter>* out) {
  const Deadline deadline(PROLOGIX_OPEN_TMO_MS);
  int fd = -1;
  const bool serial = kind == "PRLGX-ASRL";
  if (serial) {
    std::string error;
    fd = OpenSerialDevice(host, PROLOGIX_USB_BAUD, &error);
    if (fd < 0) {
      DebugLog("visa: Prologix: " + error + "\n");
      return access(host.c_str(), F_OK) == 0 ? VI_ERROR_RSRC_BUSY : VI_ERROR_RSRC_NFOUND;
    }
    FlushSerialDevice(fd);
  } else {
    ViStatus status = VI_SUCCESS;
    fd = ConnectTcp(host, port, PROLOGIX_OPEN_TMO_MS, &status);
    if (fd < 0) return status;
  }
  std::shared_ptr<PrologixAdapter> adapter(new PrologixAdapter(fd, serial));
  const ViStatus status = adapter->Setup(deadline);
  if (status < VI_SUCCESS) return status;
  *out = std::move(adapter);
  return VI_SUCCESS;
}

PrologixAdapter::~PrologixAdapter() {
  Lose();
}

void PrologixAdapter::Lose() {
  if (fd_ < 0) return;
  if (serial_) {
    CloseSerialDevice(fd_);
  } else {
    ::close(fd_);
  }
  fd_ = -1;
}

ViStatus PrologixAdapter::Setup(const Deadline& deadline) {
  for (const std::string& command : SETUP) {
    const ViStatus status = Send(command + "\n", deadline);
    if (status < VI_SUCCESS) return status;
  }
  ViStatus status = Send("++ver\n", deadline);
  // Whatever came before the version line (a reply an earlier user left) is not ours.
  rx_.clear();
  std::string line;
  while (status >= VI_SUCCESS) {
    status = ReadLine(deadline, &line);
    if (status >= VI_SUCCESS && !line.empty()) break;
  }
  if (status < VI_SUCCESS) {
    DebugLog("visa: Prologix: no answer to ++ver\n");
    Lose();
    return status == VI_ERROR_TMO ? VI_ERROR_RSRC_NFOUND : status;
  }
  version_ = line;
  pad_ = sad_ = -1;
  return VI_SUCCESS;
}

ViStatus PrologixAdapter::Send(std::string_view text, const Deadline& deadline) {
  if (fd_ < 0) return VI_ERROR_CONN_LOST;
  size_t sent = 0;
  const ViStatus status = WriteAll(fd_, text.data(), text.size(), deadline, &sent);
  if (status == VI_ERROR_CONN_LOST) Lose();
  return status;
}

ViStatus PrologixAdapter::Receive(const Deadline& deadline, int capMs, bool* quiet) {
  *quiet = false;
  if (fd_ < 0) return VI_ERROR_CONN_LOST;
  const int ready = WaitFor(fd_, POLLIN, deadline, capMs);
  if (ready < 0) return VI_ERROR_IO;
  if (ready == 0) {
    *quiet = true;
    return deadline.Expired() ? VI_ERROR_TMO : VI_SUCCESS;
  }
  char chunk[4096];
  const ssize_t n = ::read(fd_, chunk, sizeof chunk);
  if (n > 0) {
    rx_.append(chunk, static_cast<size_t>(n));
    return VI_SUCCESS;
  }
  if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return VI_SUCCESS;
  // The adapter closed the connection, or the USB adapter went away.
  const ViStatus lost = n == 0 ? VI_ERROR_CONN_LOST : LostOrIo(errno);
  Lose();
  return lost;
}

ViStatus PrologixAdapter::ReadLine(const Deadline& deadline, std::string* line) {
  while (true) {
    const size_t eol = rx_.find('\n');
    if (eol != std::string::npos) {
      *line = rx_.substr(0, eol);
      rx_.erase(0, eol + 1);
      if (!line->empty() && line->back() == '\r') line->pop_back();
      return VI_SUCCESS;
    }
    if (rx_.size() > MAX_ADAPTER_LINE) rx_.erase(0, rx_.size() - MAX_ADAPTER_LINE);
    bool quiet = false;
    const ViStatus status = Receive(deadline, -1, &quiet);
    if (status < VI_SUCCESS) return status;
  }
}

ViStatus PrologixAdapter::Resync(const Deadline& deadline) {
  ViStatus status = Send("++ver\n", deadline);
  std::string line;
  while (status >= VI_SUCCESS) {
    status = ReadLine(deadline, &line);
    if (status >= VI_SUCCESS && line == version_) {
      stale_ = false;
      return VI_SUCCESS;
    }
  }
  return status;
}

ViStatus PrologixAdapter::Address(int pad, int sad, const Deadline& deadline) {
  // The rest of a reply read only in part is still coming: it must not reach another reader.
  if (midReply_) stale_ = true;
  midReply_ = false;
  if (stale_) {
    const ViStatus status = Resync(deadline);
    if (status < VI_SUCCESS) return status;
  }
  rx_.clear();  // nothing unasked-for may pass for the coming reply
  if (pad == pad_ && sad == sad_) return VI_SUCCESS;
  std::string command = "++addr " + std::to_string(pad);
  if (sad >= 0) command += " " + std::to_string(sad);
  const ViStatus status = Send(command + "\n", deadline);
  if (status < VI_SUCCESS) return status;
  pad_ = pad;
  sad_ = sad;
  return VI_SUCCESS;
}

ViStatus PrologixAdapter::Write(int pad, int sad, std::string_view data, const Deadline& deadline) {
  if (fd_ < 0) return VI_ERROR_CONN_LOST;
  const ViStatus status = Address(pad, sad, deadline);
  if (status < VI_SUCCESS) return status;
  return Send(EscapePrologixData(data) + "\n", deadline);
}

ViStatus PrologixAdapter::Read(int pad, int sad, ReadBuffer* in, unsigned char* buf, ViUInt32 count,
                               ViUInt32* got, const IoSettings& io) {
  *got = 0;
  ViStatus status = VI_SUCCESS;
  const auto take = [&] {
    in->Append(rx_.data(), rx_.size(), false);
    rx_.clear();
    if (!in->Take(buf, count, got, io.termChar, io.termCharEnabled, &status)) return false;
    midReply_ = status == VI_SUCCESS_MAX_CNT;  // the rest may still be on its way
    return true;
  };
  if (midReply_ && pad == talkerPad_ && sad == talkerSad_) {
    if (take()) return status;
  } else if (in->Take(buf, count, got, io.termChar, io.termCharEnabled, &status)) {
    return status;
  }
  if (fd_ < 0) {
    *got = in->TakePartial(buf, count);
    return VI_ERROR_CONN_LOST;
  }
  const Deadline deadline(io.timeoutMs);
  const bool continuing = midReply_ && pad == talkerPad_ && sad == talkerSad_;
  ViStatus result = continuing ? VI_SUCCESS : Address(pad, sad, deadline);
  if (result >= VI_SUCCESS) result = Send("++read eoi\n", deadline);
  talkerPad_ = pad;
  talkerSad_ = sad;
  midReply_ = true;
  while (result >= VI_SUCCESS) {
    bool quiet = false;
    result = Receive(deadline, PROLOGIX_REISSUE_MS, &quiet);
    if (result < VI_SUCCESS) break;
    if (!quiet) {
      if (take()) return status;
    } else {
      result = Send("++read eoi\n", deadline);  // the adapter gave up waiting; ask again
    }
  }
  midReply_ = false;
  if (result == VI_ERROR_TMO) stale_ = true;
  *got = in->TakePartial(buf, count);
  return result;
}

}  // namespace visa::detail
