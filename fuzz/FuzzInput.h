#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Takes a fuzzer's bytes apart: single bytes and length-prefixed pieces, then the rest.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit FuzzInput(std::string_view bytes)
      : FuzzInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) {}
  bool Empty() const { return pos_ >= size_; }
  uint8_t Byte() { return Empty() ? 0 : data_[pos_++]; }
  // A piece of at most max bytes, its length taken from the next byte.
  std::string_view Piece(size_t max = 255) {
    size_t n = Byte();
    if (n > max) n = max;
    if (n > size_ - pos_) n = size_ - pos_;
    std::string_view piece(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return piece;
  }
  // Everything not taken yet.
  std::string_view Rest() {
    std::string_view rest(reinterpret_cast<const char*>(data_ + pos_), size_ - pos_);
    pos_ = size_;
    return rest;
  }
  // Everything up to the next '\n' (or the end), without it.
  std::string_view Line() {
    const size_t start = pos_;
    while (pos_ < size_ && data_[pos_] != '\n') ++pos_;
    std::string_view line(reinterpret_cast<const char*>(data_ + start), pos_ - start);
    if (pos_ < size_) ++pos_;
    return line;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// A finding: the fuzzer reports the input that broke the rule.
#define FUZZ_CHECK(condition)           \
  do {                                  \
    if (!(condition)) __builtin_trap(); \
  } while (0)
