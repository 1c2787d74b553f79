#pragma once

#include <cstdint>
#include <string_view>

// The handset command language ("se 6", "txpw 1 512", "stw 60 0x12 0x34") and its request
// framing. Encoder state is process-wide: one pending frame and the last opcode.
//
// Lines outside the language are REFUSED, never truncated: a command word or first argument of
// more than 9 characters, a value token of more than 9 characters, more than 40 value tokens,
// more than 5 values for "rftw" or more than 32 for "ttw" give ENC_UNKNOWN, build nothing and
// leave the last opcode and the pending frame as they were. A truncated token would put a value
// the operator never typed into the handset; a refused line goes out as an empty frame and ends
// in the window's no-response path. Comment lines ('/' first) are never refused.
// Line length alone refuses nothing: the ramp editor's template line is longer than 99
// characters, and any line that keeps the token limits is at most COMMAND_TEXT_MAX characters.
// A line ends at its first NUL character, as the C text it stands for.

enum EncResult { ENC_UNKNOWN = 0, ENC_COMMENT = 1, ENC_OK = 2 };

constexpr uint8_t FRAME_MARKER = 0x02;
constexpr uint8_t FRAME_ESCAPE = 0x10;
constexpr uint8_t FRAME_HEADER = 0x14;
constexpr size_t COMMAND_LINE_MAX = 99;     // characters of one command line
constexpr size_t PAYLOAD_BUFFER_SIZE = 50;  // caller buffer of BuildRequest
constexpr size_t FRAME_BUFFER_SIZE = 100;   // framing scratch, pending frame, wire buffer
constexpr size_t TOKEN_MAX = 9;             // characters of a word, first argument or value
constexpr size_t VALUE_TOKENS_MAX = 40;
// Longest line that keeps the token limits: word, first argument and 40 values with separators.
constexpr size_t COMMAND_TEXT_MAX = 2 * (TOKEN_MAX + 1) + VALUE_TOKENS_MAX * (TOKEN_MAX + 1) - 1;

// Number conversions of the language (see Bcommand.cpp for the exact rules).
uint8_t ParseDec8(std::string_view token);
// Place values are kept to 32 bits, so the 32-bit arguments of "scw" convert exactly up to the
// 9-digit token limit; the 16-bit uses keep the low 16 bits, which 16-bit place values give too.
int32_t ParseDec(std::string_view token);
uint8_t ParseHex8(std::string_view token);
uint16_t Pow16(uint16_t base, int exponent);  // each multiplication kept to 16 bits

// Encodes one line into payload (>= 50 zeroed bytes); sets *length for words that build
// something and the last opcode for words that have one. Returns an EncResult.
int BuildRequest(uint8_t* payload, std::string_view line, uint8_t* length);
// BuildRequest + FrameRequest into the pending frame. ENC_UNKNOWN at once for an empty line.
int EncodeCommand(std::string_view line);
// Copies text into the encoder's command text buffer and encodes it. Text longer than the
// buffer is necessarily outside the language (or a comment) and is judged as a whole.
int SendCommandText(std::string_view text);
uint8_t LastOpcode();

// 0x14 followed by the payload with 0x02 and 0x10 escaped into out (FRAME_BUFFER_SIZE bytes);
// returns the framed count, or 0 (nothing written) when the framed bytes would not fit.
uint8_t FrameRequest(uint8_t* out, const uint8_t* payload, uint8_t length);
// Copies the pending frame out (at most 100 bytes) and empties it.
void TakePendingFrame(uint8_t* buffer, int8_t* length);
// Removes the escapes of a received frame in place; returns the number removed.
int Unescape(uint8_t* buffer, int length);

struct EncoderState {
  uint8_t pendingFrame[FRAME_BUFFER_SIZE] = {};
  uint8_t pendingLength = 0;
  uint8_t lastOpcode = 0;
  char commandText[COMMAND_TEXT_MAX + 1] = {};
};
EncoderState& Encoder();
void ResetEncoderState();  // a fresh process-wide state (tests)
