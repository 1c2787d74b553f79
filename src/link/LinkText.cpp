#include "link/LinkText.h"

std::string HexText(const uint8_t* bytes, size_t count) {
  static const char* const DIGITS = "0123456789ABCDEF";
  std::string text;
  text.reserve(count * 3);
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) text += ' ';
    text += DIGITS[bytes[i] >> 4];
    text += DIGITS[bytes[i] & 0x0F];
  }
  return text;
}

const char* AnswerClassName(AnswerClass answerClass) {
  switch (answerClass) {
    case ANSWER_NONE:
      return "ANSWER_NONE";
    case ANSWER_OTHER:
      return "ANSWER_OTHER";
    case ANSWER_OK:
      return "ANSWER_OK";
    case ANSWER_STATUS_ERROR:
      return "ANSWER_STATUS_ERROR";
  }
  return "ANSWER_NONE";
}
