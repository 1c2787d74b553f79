#include "platform/SerialDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

struct BaudEntry {
  uint32_t baud;
  speed_t speed;
};

constexpr BaudEntry BAUD_TABLE[] = {
    {300, B300},         {600, B600},         {1200, B1200},       {2400, B2400},
    {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},
    {500000, B500000},   {576000, B576000},   {921600, B921600},   {1000000, B1000000},
    {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000},
    {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedFor(uint32_t baud, speed_t* speed) {
  for (const auto& e : BAUD_TABLE) {
    if (e.baud == baud) {
      *speed = e.speed;
      return true;
    }
  }
  return false;
}

std::string Reason(const std::string& path, const char* what, int err) {
  return path + ": " + what + (err ? std::string(" (") + std::strerror(err) + ")" : "");
}

int Fail(int fd, std::string* error, std::string text) {
  if (error) *error = std::move(text);
  CloseSerialDevice(fd);
  return -1;
}

// Raw 8N1 at the given speed. Software flow control is off because frames carry any byte value
// (0x11/0x13 included); the other line options stay as the driver reports them.
bool ConfigureLine(int fd, speed_t speed) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
  t.c_cflag |= CS8 | CREAD | CLOCAL;
  // With O_NONBLOCK, VMIN 1 makes "nothing there" EAGAIN and keeps 0 for a hung-up line.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) return false;
  if (tcsetattr(fd, TCSANOW, &t) != 0) return false;
  // tcsetattr succeeds when any part applied; check the parts that matter did.
  termios got{};
  if (tcgetattr(fd, &got) != 0) return false;
  return cfgetospeed(&got) == speed && (got.c_cflag & CSIZE) == CS8 && !(got.c_cflag & PARENB) &&
         !(got.c_cflag & CSTOPB);
}

void WaitDrained(int fd, std::chrono::steady_clock::time_point deadline) {
  using namespace std::chrono;
  for (;;) {
    int queued = 0;
    if (ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0) return;
    const auto now = steady_clock::now();
    if (now >= deadline) return;
    // At most a frame's worth of line time: short sleeps, bounded by the deadline.
    std::this_thread::sleep_for(std::min<steady_clock::duration>(milliseconds(1), deadline - now));
  }
}

}  // namespace

std::string SerialDevicePath(int portNumber) {
  if (portNumber < 1) return {};
  const std::string var = "TESMIRA_COM" + std::to_string(portNumber);
  if (const char* env = std::getenv(var.c_str()); env && *env) return env;
  return "/dev/ttyS" + std::to_string(portNumber - 1);
}

bool SerialBaudSupported(uint32_t baud) {
  speed_t speed;
  return SpeedFor(baud, &speed);
}

int OpenSerialDevice(const std::string& path, uint32_t baud, std::string* error) {
  speed_t speed;
  if (!SpeedFor(baud, &speed)) {
    if (error) *error = path + ": unsupported baud rate " + std::to_string(baud);
    return -1;
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = Reason(path, "cannot open", errno);
    return -1;
  }
  if (!isatty(fd)) return Fail(fd, error, Reason(path, "not a serial device", 0));
  // Another descriptor on the same device, in this process or another, holds the lock.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    return Fail(fd, error, Reason(path, "held by another program", errno));
  }
  // Refuses further open() calls by unprivileged programs; some devices do not support it.
  (void)ioctl(fd, TIOCEXCL);
  if (!ConfigureLine(fd, speed))
    return Fail(fd, error, Reason(path, "line settings refused", errno));
  return fd;
}

void CloseSerialDevice(int fd) {
  if (fd < 0) return;
  (void)ioctl(fd, TIOCNXCL);  // a pty keeps the flag after close; leave the device reopenable
  ::close(fd);                // also releases the flock
}

void FlushSerialDevice(int fd) {
  (void)tcflush(fd, TCIOFLUSH);
}

size_t SerialBytesWaiting(int fd) {
  int waiting = 0;
  if (ioctl(fd, FIONREAD, &waiting) != 0 || waiting < 0) return 0;
  return static_cast<size_t>(waiting);
}

size_t WriteSerialBounded(int fd, const uint8_t* bytes, size_t count,
                          std::chrono::milliseconds timeout) {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + timeout;
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd, bytes + done, count - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) break;  // device gone or refused: no retry
    const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    if (left <= 0) break;
    pollfd p{fd, POLLOUT, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) break;
  }
  WaitDrained(fd, deadline);
  return done;
}

bool ConfigureSerialLine(int fd, const SerialLineSettings& s, std::string* error) {
  const auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  speed_t speed;
  if (!SpeedFor(s.baud, &speed)) return fail("unsupported baud rate " + std::to_string(s.baud));
  tcflag_t size;
  switch (s.dataBits) {
    case 5:
      size = CS5;
      break;
    case 6:
      size = CS6;
      break;
    case 7:
      size = CS7;
      break;
    case 8:
      size = CS8;
      break;
    default:
      return fail("unsupported data bits " + std::to_string(s.dataBits));
  }
  if (s.stopBits != 1 && s.stopBits != 2) {
    return fail("unsupported stop bits " + std::to_string(s.stopBits));
  }
  termios t{};
  if (tcgetattr(fd, &t) != 0)
    return fail(std::string("cannot read line settings (") + std::strerror(errno) + ")");
  cfmakeraw(&t);
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CMSPAR);
  t.c_cflag |= size | CREAD | CLOCAL;
  switch (s.parity) {
    case SerialLineSettings::Parity::NONE:
      break;
    case SerialLineSettings::Parity::ODD:
      t.c_cflag |= PARENB | PARODD;
      break;
    case SerialLineSettings::Parity::EVEN:
      t.c_cflag |= PARENB;
      break;
    case SerialLineSettings::Parity::MARK:
      t.c_cflag |= PARENB | PARODD | CMSPAR;
      break;
    case SerialLineSettings::Parity::SPACE:
      t.c_cflag |= PARENB | CMSPAR;
      break;
  }
  if (s.parity != SerialLineSettings::Parity::NONE) t.c_iflag |= INPCK;
  if (s.stopBits == 2) t.c_cflag |= CSTOPB;
  if (s.rtsCts) t.c_cflag |= CRTSCTS;
  if (s.xonXoff) t.c_iflag |= IXON | IXOFF;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0 || tcsetattr(fd, TCSANOW, &t)) {
    return fail(std::string("line settings refused (") + std::strerror(errno) + ")");
  }
  termios got{};
  if (tcgetattr(fd, &got) != 0) return fail("cannot read line settings back");
  const tcflag_t mask = CSIZE | PARENB | PARODD | CSTOPB | CMSPAR;
  if (cfgetospeed(&got) != speed || (got.c_cflag & mask) != (t.c_cflag & mask)) {
    return fail("the device did not take the line settings");
  }
  return true;
}

bool SerialModemLines(int fd, int* lines) {
  int value = 0;
  if (ioctl(fd, TIOCMGET, &value) != 0) return false;
  *lines = value;
  return true;
}

bool SetSerialModemLine(int fd, int line, bool on) {
  return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0;
}
