#include "driver/line_writer.h"

#include "driver/failure.h"
#include "text/literals.h"

namespace talvo::driver {

LineWriter::LineWriter(ByteSink& sink, std::size_t block) : sink_(sink), block_(block) {
  buffer_.reserve(block_ + 256);
}

void LineWriter::EndLine() {
  buffer_.append(text::kCrLf);
  complete_ = buffer_.size();
  if (complete_ >= block_) Flush();
}

void LineWriter::WriteHeld(std::size_t size) {
  const platform::IoResult r = sink_.Write(buffer_.data(), size);
  if (r.code == 0) {
    written_ += size;
    buffer_.erase(0, size);
    complete_ -= size;
    return;
  }
  // Keep the whole lines that reached the file and cut off the piece of the line that did not.
  const std::size_t last_lf = r.bytes == 0 ? std::string::npos : buffer_.rfind('\n', r.bytes - 1);
  const std::size_t kept = last_lf == std::string::npos ? 0 : last_lf + 1;
  if (kept != r.bytes) sink_.Truncate(written_ + kept);
  written_ += kept;
  failed_ = true;
  ThrowIoFailure(r.code);
}

void LineWriter::Flush() {
  if (complete_ != 0) WriteHeld(complete_);
}

void LineWriter::FlushCompleteLinesQuietly() noexcept {
  if (failed_) return;
  buffer_.resize(complete_);
  try {
    Flush();
  } catch (const Failure&) {
    // Already on the way to a failure report; the first failure is the one told.
  }
}

}  // namespace talvo::driver
