#include "sim/bench/servers/PrologixAdapters.h"

namespace sim {

PrologixEthernet::PrologixEthernet(BenchContext& context)
    : listener_(context),
      adapter_(context.loop, "Prologix GPIB-ETHERNET Version 1.6.6.0 (simulated)") {
  listener_.onConnect = [this](int fd) {
    if (client_ >= 0) listener_.Drop(client_);
    client_ = fd;
    adapter_.Reset();
  };
  listener_.onData = [this](int fd, const char* data, size_t size) {
    if (fd == client_) adapter_.Feed(data, size);
  };
  listener_.onClose = [this](int fd) {
    if (fd == client_) client_ = -1;
  };
  adapter_.send = [this](const std::string& bytes) {
    if (client_ >= 0) listener_.Send(client_, bytes);
  };
  adapter_.hangUp = [this] {
    if (client_ >= 0) listener_.Drop(client_);
  };
}

bool PrologixEthernet::Listen(uint16_t port) {
  return listener_.Listen(port);
}

std::string PrologixEthernet::Resource() const {
  return "PRLGX-TCPIP0::127.0.0.1::" + std::to_string(Port()) + "::INTFC";
}

PrologixUsb::PrologixUsb(BenchContext& context)
    : port_(context),
      adapter_(context.loop, "Prologix GPIB-USB Controller version 6.107 (simulated)") {
  port_.onData = [this](const char* data, size_t size) { adapter_.Feed(data, size); };
  adapter_.send = [this](const std::string& bytes) { port_.Send(bytes); };
  adapter_.hangUp = [this] { port_.HangUp(); };
}

bool PrologixUsb::Open(std::string* error) {
  return port_.Open(error);
}

std::string PrologixUsb::Resource() const {
  return "PRLGX-ASRL0::" + port_.Path() + "::INTFC";
}

}  // namespace sim
