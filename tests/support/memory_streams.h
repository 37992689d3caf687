// Byte sources and sinks in memory, for tests, benchmarks and fuzzing: a source that can
// fail part of the way through, as a disk that goes away does, and a sink that can fill up, as
// a full disk does.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "driver/streams.h"

namespace talvo::test_support {

class MemorySource final : public driver::ByteSource {
 public:
  static constexpr int kDeviceError = 1117;

  // The read that would take the bytes handed out past `fail_after` (counted over every
  // opening) fails instead.
  explicit MemorySource(std::string_view bytes,
                        std::size_t fail_after = std::numeric_limits<std::size_t>::max())
      : bytes_(bytes), fail_after_(fail_after) {}

  platform::IoResult Read(char* data, std::size_t size) override {
    const std::size_t n = std::min(size, bytes_.size() - pos_);
    if (n != 0 && n > fail_after_ - std::min(fail_after_, delivered_)) {
      tripped = true;
      return {0, kDeviceError};
    }
    if (n != 0) std::memcpy(data, bytes_.data() + pos_, n);
    pos_ += n;
    delivered_ += n;
    return {n, 0};
  }
  int Reopen() override {
    if (!pipe) pos_ = 0;
    return 0;
  }
  bool ReopensAtStart() const override { return !pipe; }

  bool tripped = false;  // a read has failed
  bool pipe = false;     // opening again goes on where reading stands, as a pipe does

 private:
  std::string_view bytes_;
  std::size_t fail_after_;
  std::size_t pos_ = 0;
  std::size_t delivered_ = 0;
};

// The I/O code of a full disk.
inline constexpr int kDiskFull = 112;

// Appends the pieces to `bytes` as a device that holds `room` bytes takes them: what still fits,
// then a failure as a full disk.
inline platform::IoResult AppendWithin(std::string& bytes, std::size_t room,
                                       std::span<const std::string_view> pieces) {
  std::size_t done = 0;
  for (const std::string_view piece : pieces) {
    const std::size_t n = std::min(piece.size(), room - std::min(room, bytes.size()));
    bytes.append(piece.data(), n);
    done += n;
    if (n != piece.size()) return {done, kDiskFull};
  }
  return {done, 0};
}

class MemorySink final : public driver::ByteSink {
 public:
  // Holds `room` bytes: a write takes what still fits and then fails.
  explicit MemorySink(std::size_t room = std::numeric_limits<std::size_t>::max()) : room_(room) {}

  platform::IoResult Write(std::span<const std::string_view> pieces) override {
    return AppendWithin(bytes, room_, pieces);
  }
  void Truncate(std::uint64_t size) override { bytes.resize(static_cast<std::size_t>(size)); }

  std::string bytes;

 private:
  std::size_t room_;
};

}  // namespace talvo::test_support
