#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

// Thin POSIX helpers for a serial device: naming, exclusive raw open, bounded writes.
// The port object (link/CComm) owns the descriptor and the reader thread; nothing here keeps
// state.

// Device behind COM<n>: the environment variable TESMIRA_COM<n> when it is set and not empty,
// otherwise /dev/ttyS<n-1>. Empty for n < 1.
std::string SerialDevicePath(int portNumber);

// True when baud is a rate the line can be set to (the standard termios rates).
bool SerialBaudSupported(uint32_t baud);

// Opens path for reading and writing as this process's exclusive serial line: no controlling
// terminal, non-blocking, an advisory lock (flock LOCK_EX|LOCK_NB) and TIOCEXCL, then raw 8N1
// at baud with reads returning whatever is there. Returns the descriptor, or -1 with a reason
// in *error. A device held by another descriptor (this process or another) is refused.
int OpenSerialDevice(const std::string& path, uint32_t baud, std::string* error);

// Gives up exclusivity and closes. Safe on a device that has gone away.
void CloseSerialDevice(int fd);

// Discards what the driver holds in both directions.
void FlushSerialDevice(int fd);

// Bytes waiting in the driver's receive buffer (0 on error).
size_t SerialBytesWaiting(int fd);

// Writes count bytes, waiting for room with poll(), then waits for the driver to put them on the
// line, all within timeout. Returns the bytes handed to the driver; stops early on an error.
size_t WriteSerialBounded(int fd, const uint8_t* bytes, size_t count,
                          std::chrono::milliseconds timeout);

// Line settings beyond the handset's raw 8N1, for instruments on a serial line (VISA ASRL).
struct SerialLineSettings {
  enum class Parity { NONE, ODD, EVEN, MARK, SPACE };
  uint32_t baud = 9600;
  int dataBits = 8;  // 5..8
  Parity parity = Parity::NONE;
  int stopBits = 1;      // 1 or 2 (1.5 is set as 2, as the UARTs Linux drives do)
  bool rtsCts = false;   // hardware flow control in the driver
  bool xonXoff = false;  // software flow control in the driver, both directions
};

// Applies settings to an open serial descriptor (raw mode, reads return what is there), and
// checks that the driver took them. False with a reason in *error.
bool ConfigureSerialLine(int fd, const SerialLineSettings& settings, std::string* error);

// Modem lines (TIOCM_* bits): false when the device has none (a pseudo-terminal).
bool SerialModemLines(int fd, int* lines);
// Raises or drops one output line (TIOCM_DTR, TIOCM_RTS); false when it cannot be set.
bool SetSerialModemLine(int fd, int line, bool on);
