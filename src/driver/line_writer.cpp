#include "driver/line_writer.h"

#include "driver/failure.h"

namespace talvo::driver {
namespace {

// Room beyond the block for the line that crosses it, so that the common line is put together
// whole before the block is written.
constexpr std::size_t kSlack = 256;

// Lines handed over together that are at least this long skip the buffer.
constexpr std::size_t kDirectLines = 64 * 1024;

}  // namespace

LineWriter::LineWriter(ByteSink& sink, std::size_t block)
    : sink_(sink),
      block_(block),
      capacity_(block + kSlack),
      // Left uninitialised: only the part that lines fill is ever touched.
      data_(std::make_unique_for_overwrite<char[]>(capacity_)) {}

void LineWriter::Flush() {
  if (complete_ == 0) return;
  const platform::IoResult r = sink_.Write(data_.get(), complete_);
  if (r.code != 0) FailWrite(data_.get(), r);
  written_ += unfinished_ + complete_;
  sink_.MarkComplete(written_);
  unfinished_ = 0;
  size_ -= complete_;
  std::memmove(data_.get(), data_.get() + complete_, size_);
  complete_ = 0;
}

void LineWriter::AppendLines(std::string_view lines) {
  // Many lines at once go straight to the file rather than through the buffer.
  if (lines.size() >= kDirectLines || lines.size() > capacity_ - size_) {
    Flush();
    if (lines.size() >= kDirectLines || lines.size() > capacity_ - size_) {
      // More than the buffer holds: straight to the file.
      WriteUnfinished(lines.data(), lines.size());
      written_ += unfinished_;
      sink_.MarkComplete(written_);
      unfinished_ = 0;
      return;
    }
  }
  Append(lines);
  complete_ = size_;
  if (complete_ >= block_) Flush();
}

void LineWriter::AppendBeyondBuffer(std::string_view bytes) {
  Flush();  // what stays held is the start of the line being put together
  if (bytes.size() > capacity_ - size_) {
    // That line outgrows the buffer: what is held of it goes to the file now, and so does a
    // piece too large to hold.
    WriteUnfinished(data_.get(), size_);
    size_ = 0;
    if (bytes.size() > capacity_) {
      WriteUnfinished(bytes.data(), bytes.size());
      return;
    }
  }
  std::memcpy(data_.get() + size_, bytes.data(), bytes.size());
  size_ += bytes.size();
}

void LineWriter::WriteUnfinished(const char* data, std::size_t size) {
  const platform::IoResult r = sink_.Write(data, size);
  if (r.code != 0) FailWrite(data, r);
  unfinished_ += size;
}

void LineWriter::FailWrite(const char* data, platform::IoResult r) {
  // The sink holds the whole lines, the unfinished piece and the r.bytes that this write got
  // through: keep up to the last line end among them and cut off the rest.
  const std::uint64_t in_sink = written_ + unfinished_ + r.bytes;
  std::uint64_t kept = written_;
  for (std::size_t k = r.bytes; k > 0; --k) {
    if (data[k - 1] == '\n') {
      kept = written_ + unfinished_ + k;
      break;
    }
  }
  if (kept != in_sink) sink_.Truncate(kept);
  written_ = kept;
  sink_.MarkComplete(written_);
  unfinished_ = 0;
  failed_ = true;
  ThrowIoFailure(r.code);
}

void LineWriter::FlushCompleteLinesQuietly() noexcept {
  if (failed_) return;
  size_ = complete_;
  try {
    Flush();
  } catch (const Failure&) {
    // Already on the way to a failure report; the first failure is the one told.
    return;
  }
  // A line that went to the file in pieces and was never ended is cut off again.
  if (unfinished_ != 0) {
    sink_.Truncate(written_);
    unfinished_ = 0;
  }
}

}  // namespace talvo::driver
