#include "driver/line_writer.h"

#include <algorithm>

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
  const std::string_view lines(data_.get(), complete_);
  const platform::IoResult r = sink_.Write(std::span(&lines, 1));
  if (r.code != 0) FailWrite(std::span(&lines, 1), r);
  written_ += unfinished_ + complete_;
  sink_.MarkComplete(written_);
  unfinished_ = 0;
  size_ -= complete_;
  std::memmove(data_.get(), data_.get() + complete_, size_);
  complete_ = 0;
}

void LineWriter::AppendLines(std::span<const std::string_view> runs) {
  std::size_t size = 0;
  for (const std::string_view run : runs) size += run.size();
  // Many lines at once go straight to the file rather than through the buffer.
  if (size >= kDirectLines || size > capacity_ - size_) {
    Flush();
    if (size >= kDirectLines || size > capacity_ - size_) {
      // More than the buffer holds: straight to the file.
      WriteUnfinished(runs);
      written_ += unfinished_;
      sink_.MarkComplete(written_);
      unfinished_ = 0;
      return;
    }
  }
  for (const std::string_view run : runs) Append(run);
  complete_ = size_;
  if (complete_ >= block_) Flush();
}

void LineWriter::AppendBeyondBuffer(std::string_view bytes) {
  Flush();  // what stays held is the start of the line being put together
  if (bytes.size() > capacity_ - size_) {
    // That line outgrows the buffer: what is held of it goes to the file now, and so does a
    // piece too large to hold.
    WriteUnfinished(std::string_view(data_.get(), size_));
    size_ = 0;
    if (bytes.size() > capacity_) {
      WriteUnfinished(bytes);
      return;
    }
  }
  std::memcpy(data_.get() + size_, bytes.data(), bytes.size());
  size_ += bytes.size();
}

void LineWriter::WriteUnfinished(std::span<const std::string_view> pieces) {
  const platform::IoResult r = sink_.Write(pieces);
  if (r.code != 0) FailWrite(pieces, r);
  for (const std::string_view piece : pieces) unfinished_ += piece.size();
}

void LineWriter::FailWrite(std::span<const std::string_view> pieces, platform::IoResult r) {
  // The sink holds the whole lines, the unfinished piece and the r.bytes of the pieces that
  // this write got through: keep up to the last line end among them and cut off the rest.
  const std::uint64_t in_sink = written_ + unfinished_ + r.bytes;
  std::uint64_t kept = written_;
  std::size_t through = 0;  // bytes of the pieces before the one looked at
  for (const std::string_view piece : pieces) {
    if (through == r.bytes) break;
    const std::size_t taken = std::min(piece.size(), r.bytes - through);
    if (const std::size_t lf = piece.substr(0, taken).rfind('\n'); lf != std::string_view::npos) {
      kept = written_ + unfinished_ + through + lf + 1;
    }
    through += taken;
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
