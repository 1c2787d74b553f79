#include "sim/bench/servers/PrologixSim.h"

#include <cctype>
#include <cstdlib>

namespace sim {
namespace {

constexpr char ESC = 27;
constexpr size_t MAX_REPLY = 1u << 20;

bool ParseInt(const std::string& text, int low, int high, int* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v < low || v > high) return false;
  *value = static_cast<int>(v);
  return true;
}

}  // namespace

PrologixSim::PrologixSim(SimLoop& loop, std::string version)
    : loop_(loop), version_(std::move(version)) {}

PrologixSim::~PrologixSim() {
  *alive_ = false;
}

void PrologixSim::AddInstrument(int pad, std::shared_ptr<visa::SimDevice> device) {
  instruments_[pad] = std::make_unique<BusInstrument>(loop_, std::move(device));
}

void PrologixSim::Reset() {
  text_.clear();
  escape_ = false;
  plainPluses_ = 0;
  lineStarted_ = false;
  lines_.clear();
  held_ = false;
  EndRead();
}

BusInstrument* PrologixSim::Addressed() {
  auto it = instruments_.find(settings.pad);
  return it == instruments_.end() ? nullptr : it->second.get();
}

void PrologixSim::Feed(const char* data, size_t size) {
  if (size > 0 && reading_) EndRead();  // anything from the host ends a read
  for (size_t i = 0; i < size; ++i) {
    const char c = data[i];
    if (escape_) {
      text_.push_back(c);
      escape_ = false;
      lineStarted_ = true;
    } else if (c == ESC) {
      escape_ = true;
      lineStarted_ = true;
    } else if (c == '\r' || c == '\n') {
      if (lineStarted_) lines_.push_back({text_, plainPluses_ >= 2});
      text_.clear();
      plainPluses_ = 0;
      lineStarted_ = false;
    } else {
      if (c == '+' && text_.size() == plainPluses_) ++plainPluses_;
      text_.push_back(c);
      lineStarted_ = true;
    }
  }
  Process();
}

void PrologixSim::Process() {
  while (!held_ && !reading_ && !lines_.empty()) {
    Line line = std::move(lines_.front());
    lines_.pop_front();
    if (line.command) {
      Command(line.text);
    } else {
      Data(line.text);
    }
  }
}

void PrologixSim::Data(const std::string& data) {
  BusInstrument* instrument = Addressed();
  if (instrument == nullptr) return;  // no listener at that address: the bytes go nowhere
  if (instrument->Busy()) {
    // The instrument holds the handshake: this line and everything after it wait.
    lines_.push_front({data, false});
    held_ = true;
    std::weak_ptr<bool> alive = alive_;
    loop_.After(instrument->BusyUntil() - loop_.Now(), [this, alive] {
      if (auto token = alive.lock(); !token || !*token) return;
      held_ = false;
      Process();
    });
    return;
  }
  static const char* const TERMINATORS[] = {"\r\n", "\r", "\n", ""};
  const std::string message = data + TERMINATORS[settings.eos];
  if (settings.eoi) {
    instrument->Deliver(message);
  } else {
    // Without EOI only the line feeds end what the instrument takes.
    const size_t last = message.rfind('\n');
    if (last != std::string::npos) instrument->Deliver(message.substr(0, last + 1));
  }
  if (settings.autoRead) StartRead(-1);
}

void PrologixSim::StartRead(int stopChar) {
  reading_ = true;
  readStop_ = stopChar;
  readDeadline_ = loop_.Now() + static_cast<uint64_t>(settings.readTmoMs);
  ContinueRead();
}

void PrologixSim::ContinueRead() {
  if (!reading_) return;
  BusInstrument* instrument = Addressed();
  if (instrument && instrument->HasOutput()) {
    bool end = false;
    std::string reply = instrument->TakeOutput(MAX_REPLY, &end, readStop_);
    if (hangUpMidReply) {
      hangUpMidReply = false;
      EndRead();
      if (send) send(reply.substr(0, reply.size() / 2));
      if (hangUp) hangUp();
      return;
    }
    if (end && settings.eotEnable) reply.push_back(static_cast<char>(settings.eotChar));
    EndRead();
    if (send) send(reply);
    Process();
    return;
  }
  const uint64_t now = loop_.Now();
  if (now >= readDeadline_) {
    EndRead();  // the adapter gives up without a word
    Process();
    return;
  }
  uint64_t when = readDeadline_;
  if (instrument && instrument->Busy() && instrument->BusyUntil() < when) {
    when = instrument->BusyUntil();
  }
  std::weak_ptr<bool> alive = alive_;
  const uint64_t generation = generation_;
  loop_.After(when - now, [this, alive, generation] {
    if (auto token = alive.lock(); !token || !*token || generation != generation_) return;
    ContinueRead();
  });
}

void PrologixSim::EndRead() {
  reading_ = false;
  ++generation_;
}

void PrologixSim::Reply(const std::string& text) {
  if (send) send(text + "\r\n");
}

void PrologixSim::Changed() {
  if (settings.saveConfig) ++eepromWrites;
}

void PrologixSim::Command(const std::string& line) {
  commands.push_back(line);
  std::string name;
  size_t i = 2;
  while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
    name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(line[i]))));
    ++i;
  }
  std::vector<std::string> args;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    std::string arg;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) arg += line[i++];
    if (!arg.empty()) args.push_back(arg);
  }
  // A flag, a number: reported without an argument, set with one.
  const auto number = [&](int* field, int low, int high) {
    int value = 0;
    if (args.empty()) {
      Reply(std::to_string(*field));
    } else if (ParseInt(args[0], low, high, &value) && value != *field) {
      *field = value;
      Changed();
    }
  };
  const auto flag = [&](bool* field) {
    int value = *field ? 1 : 0;
    number(&value, 0, 1);
    *field = value != 0;
  };
  if (name == "addr") {
    if (args.empty()) {
      Reply(std::to_string(settings.pad) +
            (settings.sad >= 0 ? " " + std::to_string(settings.sad) : ""));
      return;
    }
    int pad = 0;
    int sad = -1;
    if (!ParseInt(args[0], 0, 30, &pad)) return;
    if (args.size() > 1 && !ParseInt(args[1], 96, 126, &sad)) return;
    if (pad != settings.pad || sad != settings.sad) Changed();
    settings.pad = pad;
    settings.sad = sad;
  } else if (name == "auto") {
    flag(&settings.autoRead);
  } else if (name == "eoi") {
    flag(&settings.eoi);
  } else if (name == "eos") {
    number(&settings.eos, 0, 3);
  } else if (name == "eot_enable") {
    flag(&settings.eotEnable);
  } else if (name == "eot_char") {
    number(&settings.eotChar, 0, 255);
  } else if (name == "mode") {
    number(&settings.mode, 0, 1);
  } else if (name == "read_tmo_ms") {
    number(&settings.readTmoMs, 1, 3000);
  } else if (name == "savecfg") {
    int value = settings.saveConfig ? 1 : 0;
    if (args.empty()) {
      Reply(std::to_string(value));
    } else if (ParseInt(args[0], 0, 1, &value)) {
      settings.saveConfig = value != 0;
    }
  } else if (name == "read") {
    int stop = -1;
    if (!args.empty() && args[0] != "eoi" && !ParseInt(args[0], 0, 255, &stop)) stop = -1;
    StartRead(stop);
  } else if (name == "ver") {
    Reply(version_);
  } else if (name == "clr") {
    if (BusInstrument* instrument = Addressed()) instrument->Clear();
  } else if (name == "spoll") {
    BusInstrument* instrument = Addressed();
    Reply(instrument && instrument->HasOutput() ? "16" : "0");
  } else if (name == "srq") {
    Reply("0");
  }
  // ++ifc, ++loc, ++llo, ++rst, ++trg, ++lon, ++status, ++help and unknown names: no answer.
}

}  // namespace sim
