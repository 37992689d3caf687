// Shared by the fuzz targets: a broken property stops the run with a message and an abort,
// which libFuzzer reports as a crash and keeps the input that showed it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace talvo::fuzz {

[[noreturn]] inline void Broken(const char* file, int line, const char* condition,
                                const char* what) {
  std::fprintf(stderr, "%s:%d: broken: %s (%s)\n", file, line, condition, what);
  std::abort();
}

}  // namespace talvo::fuzz

// An expression, so that a void function can end with `return FUZZ_CHECK(...)`.
#define FUZZ_CHECK(condition, what) \
  ((condition) ? void() : ::talvo::fuzz::Broken(__FILE__, __LINE__, #condition, what))

namespace talvo::fuzz {

// Takes pieces off the end of a fuzz input, so that whatever is left at the front is the main
// text (a line, a file). A piece is its bytes followed by one length byte; a seed file is
// therefore the main text with short, readable texts appended, and a plain CSV file is still a
// useful seed.
class TailReader {
 public:
  TailReader(const unsigned char* data, std::size_t size)
      : data_(reinterpret_cast<const char*>(data)), size_(size) {}

  unsigned char Byte() {
    if (size_ == 0) return 0;
    return static_cast<unsigned char>(data_[--size_]);
  }

  std::string_view Text() {
    std::size_t length = Byte();
    if (length > size_) length = size_;
    size_ -= length;
    return {data_ + size_, length};
  }

  // Everything not taken yet.
  std::string_view Rest() const { return {data_, size_}; }

 private:
  const char* data_;
  std::size_t size_;
};

}  // namespace talvo::fuzz
