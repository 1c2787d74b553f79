#include "sim/RawPty.h"

#include <fcntl.h>
#include <pty.h>

#include <cerrno>
#include <cstring>

namespace sim {

bool OpenRawPty(speed_t speed, int& master, int& slave, std::string& slavePath,
                std::string* error) {
  termios raw{};
  cfmakeraw(&raw);
  cfsetispeed(&raw, speed);
  cfsetospeed(&raw, speed);
  char name[128] = {};
  if (openpty(&master, &slave, name, &raw, nullptr) != 0) {
    if (error) *error = std::string("openpty: ") + std::strerror(errno);
    return false;
  }
  fcntl(master, F_SETFD, FD_CLOEXEC);
  fcntl(slave, F_SETFD, FD_CLOEXEC);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  slavePath = name;
  return true;
}

}  // namespace sim
