#include "sim/bench/servers/SerialInstrument.h"

#include <cctype>

namespace sim {
namespace {

constexpr char CTRL_C = 3;
constexpr size_t MAX_LINE = 4096;

// The interface's own commands, in any of SCPI's short and long forms.
enum class RemoteCommand { NONE, REMOTE, LOCAL };

RemoteCommand Classify(const std::string& line) {
  std::string s;
  for (char c : line) {
    if (!std::isspace(static_cast<unsigned char>(c))) {
      s.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
  }
  if (!s.empty() && s.front() == ':') s.erase(0, 1);
  if (s == "SYST:REM" || s == "SYSTEM:REMOTE" || s == "SYST:RWL" || s == "SYSTEM:RWLOCK") {
    return RemoteCommand::REMOTE;
  }
  if (s == "SYST:LOC" || s == "SYSTEM:LOCAL") return RemoteCommand::LOCAL;
  return RemoteCommand::NONE;
}

}  // namespace

SerialInstrument::SerialInstrument(BenchContext& context, std::shared_ptr<visa::SimDevice> device)
    : context_(context), port_(context), instrument_(context.loop, std::move(device)) {
  port_.onData = [this](const char* data, size_t size) { OnData(data, size); };
}

SerialInstrument::~SerialInstrument() {
  *alive_ = false;
}

bool SerialInstrument::Open(std::string* error) {
  return port_.Open(error);
}

void SerialInstrument::OnData(const char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    const char c = data[i];
    if (c == CTRL_C) {
      partial_.clear();
      lines_.clear();
      instrument_.Clear();
    } else if (c == '\n') {
      if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
      lines_.push_back(std::move(partial_));
      partial_.clear();
    } else if (partial_.size() < MAX_LINE) {
      partial_.push_back(c);
    }
  }
  Process();
}

void SerialInstrument::Process() {
  while (!lines_.empty()) {
    if (instrument_.Busy()) break;
    std::string line = std::move(lines_.front());
    lines_.pop_front();
    switch (Classify(line)) {
      case RemoteCommand::REMOTE:
        remote_ = true;
        continue;
      case RemoteCommand::LOCAL:
        remote_ = false;
        continue;
      case RemoteCommand::NONE:
        break;
    }
    if (remote_ && !line.empty()) instrument_.Deliver(line + "\n");
  }
  if (instrument_.Busy()) {
    if (scheduled_) return;
    scheduled_ = true;
    std::weak_ptr<bool> alive = alive_;
    context_.loop.After(instrument_.BusyUntil() - context_.loop.Now(), [this, alive] {
      if (auto token = alive.lock(); !token || !*token) return;
      scheduled_ = false;
      Process();  // commands that waited go first: they replace the reply being prepared
    });
    return;
  }
  SendOutput();
}

void SerialInstrument::SendOutput() {
  while (instrument_.HasOutput()) {
    bool end = false;
    const std::string reply = instrument_.TakeOutput(1u << 20, &end);
    if (hangUpMidReply) {
      hangUpMidReply = false;
      port_.Send(reply.substr(0, reply.size() / 2));
      port_.HangUp();
      return;
    }
    port_.Send(reply);
  }
}

}  // namespace sim
