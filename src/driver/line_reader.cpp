#include "driver/line_reader.h"

#include <cstring>

#include "driver/failure.h"

namespace talvo::driver {
namespace {

constexpr char kEndOfFile = '\x1A';

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
    : source_(source), buffer_(block == 0 ? 1 : block) {}

bool LineReader::Fill() {
  if (eof_) return false;
  const platform::IoResult r = source_.Read(buffer_.data(), buffer_.size());
  if (r.code != 0) ThrowIoFailure(r.code);
  pos_ = 0;
  end_ = r.bytes;
  if (r.bytes == 0) eof_ = true;
  return r.bytes != 0;
}

void LineReader::Restart() {
  pos_ = end_ = 0;
  eof_ = ended_ = false;
}

bool LineReader::AtEnd() {
  if (ended_) return true;
  if (pos_ == end_ && !Fill()) return true;
  if (buffer_[pos_] == kEndOfFile) ended_ = true;
  return ended_;
}

void LineReader::SkipRestOfLine() {
  for (;;) {
    if (pos_ == end_ && !Fill()) return;
    const char* begin = buffer_.data() + pos_;
    const char* end = buffer_.data() + end_;
    const char* lf = Find(begin, end, '\n');
    const char* stop = lf != nullptr ? lf : end;
    if (Find(begin, stop, kEndOfFile) != nullptr) {
      ended_ = true;
      return;
    }
    if (lf != nullptr) {
      pos_ = static_cast<std::size_t>(lf + 1 - buffer_.data());
      return;
    }
    pos_ = end_;
  }
}

std::string_view LineReader::ReadLine() {
  if (AtEnd()) return {};
  line_.clear();
  bool spans = false;  // the line is being gathered in line_
  for (;;) {
    if (pos_ == end_ && !Fill()) return line_;  // the last line has no line end
    const char* begin = buffer_.data() + pos_;
    const char* end = buffer_.data() + end_;
    const char* lf = Find(begin, end, '\n');
    const char* stop = lf != nullptr ? lf : end;
    const char* eof_mark = Find(begin, stop, kEndOfFile);
    if (eof_mark != nullptr) {
      AppendWithoutCr(line_, begin, eof_mark);
      pos_ = static_cast<std::size_t>(eof_mark + 1 - buffer_.data());
      SkipRestOfLine();
      return line_;
    }
    if (lf == nullptr) {
      AppendWithoutCr(line_, begin, end);
      spans = true;
      pos_ = end_;
      continue;
    }
    pos_ = static_cast<std::size_t>(lf + 1 - buffer_.data());
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
