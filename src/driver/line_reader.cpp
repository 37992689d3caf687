#include "driver/line_reader.h"

#include <cstring>

#include "driver/failure.h"

namespace talvo::driver {
namespace {

const char* Find(const char* begin, const char* end, char c) {
  return static_cast<const char*>(std::memchr(begin, c, static_cast<std::size_t>(end - begin)));
}

void AppendWithoutCr(std::string& out, const char* begin, const char* end) {
  while (begin < end) {
    const char* cr = Find(begin, end, '\r');
    if (cr == nullptr) cr = end;
    out.append(begin, cr);
    begin = cr + 1;
  }
}

}  // namespace

LineReader::LineReader(ByteSource& source, std::size_t block)
    : source_(source),
      buffer_(std::make_unique_for_overwrite<char[]>(block == 0 ? 1 : block)),
      capacity_(block == 0 ? 1 : block) {}

bool LineReader::Fill() {
  if (eof_) return false;
  const platform::IoResult r = source_.Read(buffer_.get(), capacity_);
  if (r.code != 0) ThrowIoFailure(r.code);
  if (r.bytes == 0) {
    eof_ = true;  // the last block stays held, all of it read (pos_ is at end_)
    return false;
  }
  held_from_ += end_;
  pos_ = 0;
  end_ = r.bytes;
  FindMark();
  return true;
}

void LineReader::ReadAhead() {
  if (eof_ || ended_) return;
  if (mark_ < pos_) FindMark();
  if (mark_ != end_) return;  // the input ends, or a line is cut, at that 0x1A
  const std::size_t rest = end_ - pos_;
  if (rest > capacity_ / 2) return;  // a long line: GatherLine takes it as it comes
  if (!spare_) spare_ = std::make_unique_for_overwrite<char[]>(capacity_);
  const platform::IoResult r = source_.Read(spare_.get() + rest, capacity_ - rest);
  if (r.code != 0) ThrowIoFailure(r.code);
  if (rest != 0) std::memcpy(spare_.get(), buffer_.get() + pos_, rest);
  std::swap(buffer_, spare_);
  held_from_ += pos_;
  pos_ = 0;
  end_ = rest + r.bytes;
  eof_ = r.bytes == 0;
  FindMark();
}

bool LineReader::RewindHeld() {
  if (held_from_ != 0) return false;
  pos_ = 0;
  ended_ = false;
  FindMark();
  return true;
}

void LineReader::FindMark() {
  const char* begin = buffer_.get() + pos_;
  const char* mark = Find(begin, buffer_.get() + end_, kEndOfFile);
  mark_ = mark == nullptr ? end_ : static_cast<std::size_t>(mark - buffer_.get());
}

std::string_view LineReader::TakeWholeLines() {
  if (AtEnd()) return {};
  if (mark_ < pos_) FindMark();
  // Up to the first 0x1A, or the end of what the block holds; the LF looked for forwards first,
  // so that a block inside one long line costs one memchr.
  const std::string_view free(buffer_.get() + pos_, mark_ - pos_);
  if (Find(free.data(), free.data() + free.size(), '\n') == nullptr) return {};
  const std::string_view lines = free.substr(0, free.rfind('\n') + 1);
  pos_ += lines.size();
  return lines;
}

void LineReader::Restart() {
  pos_ = end_ = mark_ = 0;
  held_from_ = 0;
  eof_ = ended_ = false;
}

void LineReader::SkipRestOfLine() {
  for (;;) {
    if (pos_ == end_ && !Fill()) return;
    const char* begin = buffer_.get() + pos_;
    const char* end = buffer_.get() + end_;
    const char* lf = Find(begin, end, '\n');
    const char* stop = lf != nullptr ? lf : end;
    if (Find(begin, stop, kEndOfFile) != nullptr) {
      ended_ = true;
      return;
    }
    if (lf != nullptr) {
      pos_ = static_cast<std::size_t>(lf + 1 - buffer_.get());
      return;
    }
    pos_ = end_;
  }
}

std::string_view LineReader::GatherLine() {
  line_.clear();
  bool spans = false;  // the line is being gathered in line_
  for (;;) {
    if (pos_ == end_ && !Fill()) return line_;  // the last line has no line end
    const char* begin = buffer_.get() + pos_;
    const char* end = buffer_.get() + end_;
    const char* lf = Find(begin, end, '\n');
    const char* stop = lf != nullptr ? lf : end;
    const char* eof_mark = Find(begin, stop, kEndOfFile);
    if (eof_mark != nullptr) {
      AppendWithoutCr(line_, begin, eof_mark);
      pos_ = static_cast<std::size_t>(eof_mark + 1 - buffer_.get());
      SkipRestOfLine();
      return line_;
    }
    if (lf == nullptr) {
      AppendWithoutCr(line_, begin, end);
      spans = true;
      pos_ = end_;
      continue;
    }
    pos_ = static_cast<std::size_t>(lf + 1 - buffer_.get());
    // The common line lies whole in the block, with at most the CR of its CR LF: hand it out
    // where it stands.
    const char* content_end = (lf > begin && lf[-1] == '\r') ? lf - 1 : lf;
    if (!spans && Find(begin, content_end, '\r') == nullptr) {
      return {begin, static_cast<std::size_t>(content_end - begin)};
    }
    AppendWithoutCr(line_, begin, lf);
    return line_;
  }
}

}  // namespace talvo::driver
