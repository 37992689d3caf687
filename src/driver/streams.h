// Where row processing reads its bytes from and writes them to: the open files in a run, or
// memory in tests and fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/platform.h"

namespace talvo::driver {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `size` bytes; 0 bytes with code 0 is the end.
  virtual platform::IoResult Read(char* data, std::size_t size) = 0;
  // Closes the source and opens it again at its start; returns an I/O code, 0 on success.
  virtual int Reopen() = 0;
  // Whether Reopen gives the same bytes again: false for a pipe, which would go on where it
  // stands.
  virtual bool ReopensAtStart() const { return true; }
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes the pieces one after another, or as many of their bytes as the sink took before it
  // failed.
  virtual platform::IoResult Write(std::span<const std::string_view> pieces) = 0;
  // Cuts what was written back to `size` bytes, where the sink can.
  virtual void Truncate(std::uint64_t size) = 0;
  // The first `size` bytes written are whole lines: what an interrupted run leaves.
  virtual void MarkComplete(std::uint64_t /*size*/) {}
};

}  // namespace talvo::driver
