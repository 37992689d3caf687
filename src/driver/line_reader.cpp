#include "driver/line_reader.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "driver/failure.h"
#include "driver/lines.h"
#include "text/literals.h"

namespace talvo::driver {
namespace {

const char* Find(const char* begin, const char* end, char c) {
  return static_cast<const char*>(std::memchr(begin, c, static_cast<std::size_t>(end - begin)));
}

}  // namespace

LineReader::LineReader(ByteSource& source, std::size_t block)
    : source_(source),
      block_(block == 0 ? 1 : block),
      // Room for a whole byte-order mark even when reads are tiny.
      capacity_(std::max(block_, text::kByteOrderMark.size())),
      current_(&blocks_[0]),
      spare_(&blocks_[1]) {
  // Left uninitialised: only what is read is touched.
  current_->data = std::make_unique_for_overwrite<char[]>(capacity_);
}

void LineReader::AwaitReturned(Block& block) {
  if (block.loans.count.load(std::memory_order_acquire) == 0) return;
  block.loans.returned.Wait(
      [&block] { return block.loans.count.load(std::memory_order_acquire) == 0; });
}

bool LineReader::Fill() {
  if (eof_) return false;
  AwaitReturned(*current_);
  const platform::IoResult r = source_.Read(Data(), block_);
  if (r.code != 0) ThrowIoFailure(r.code);
  if (r.bytes == 0) {
    eof_ = true;  // the last block stays held, all of it read (pos_ is at end_)
    return false;
  }
  pos_ = 0;
  end_ = r.bytes;
  FindMark();
  return true;
}

bool LineReader::FillMore() {
  if (eof_ || end_ == capacity_) return false;
  const platform::IoResult r = source_.Read(Data() + end_, std::min(block_, capacity_ - end_));
  if (r.code != 0) ThrowIoFailure(r.code);
  if (r.bytes == 0) {
    eof_ = true;
    return false;
  }
  end_ += r.bytes;
  FindMark();
  return true;
}

bool LineReader::SkipByteOrderMark() {
  const std::string_view mark = text::kByteOrderMark;
  if (pos_ == end_ && !Fill()) return false;
  // A pipe may bring the mark in pieces: what is held is compared, and more read while it
  // matches.
  for (;;) {
    const std::size_t n = std::min(end_ - pos_, mark.size());
    if (std::memcmp(Data() + pos_, mark.data(), n) != 0) return false;
    if (n == mark.size()) break;
    if (!FillMore()) return false;
  }
  pos_ += mark.size();
  start_ = pos_;
  return true;
}

bool LineReader::AtEnd() {
  if (replay_) return false;
  if (ended_) return true;
  if (pos_ == end_ && !Fill()) return true;
  if (Data()[pos_] == kEndOfFile) ended_ = true;
  return ended_;
}

std::string_view LineReader::Take(bool one_line) {
  last_in_block_ = false;
  if (AtEnd()) return {};
  ++taken_;
  if (replay_) {
    replay_ = false;
    return line_;
  }
  if (mark_ < pos_) FindMark();
  // Up to the first 0x1A, or the end of what the block holds; the first LF looked for first,
  // so that a block inside one long line costs one memchr.
  const char* begin = Data() + pos_;
  const char* lf = Find(begin, Data() + mark_, '\n');
  if (lf == nullptr) {
    first_gathered_ = taken_ == 1;
    return GatherLine();
  }
  if (!one_line) {
    const std::string_view free(lf, mark_ - static_cast<std::size_t>(lf - Data()));
    lf += free.rfind('\n');
  }
  pos_ = static_cast<std::size_t>(lf + 1 - Data());
  last_in_block_ = true;
  return {begin, static_cast<std::size_t>(lf + 1 - begin)};
}

std::string_view LineReader::TakeLines() { return Take(false); }

std::string_view LineReader::ReadLine() {
  const std::string_view line = Take(true);
  if (line.empty()) return {};
  const char* p = line.data();
  return NextLine(p, p + line.size(), gathered_).text;
}

LinesLoan LineReader::Lend() {
  if (!last_in_block_) throw std::logic_error("a line put together on its own cannot be lent");
  return LinesLoan(current_->loans);
}

void LineReader::ReadAhead() {
  if (eof_ || ended_ || replay_) return;
  if (mark_ < pos_) FindMark();
  if (mark_ != end_) return;  // the input ends, or a line is cut, at that 0x1A
  const std::size_t rest = end_ - pos_;
  if (rest > block_ / 2) return;  // a long line: GatherLine takes it as it comes
  AwaitReturned(*spare_);
  if (!spare_->data) spare_->data = std::make_unique_for_overwrite<char[]>(capacity_);
  const platform::IoResult r = source_.Read(spare_->data.get() + rest, block_ - rest);
  if (r.code != 0) ThrowIoFailure(r.code);
  if (rest != 0) std::memcpy(spare_->data.get(), Data() + pos_, rest);
  std::swap(current_, spare_);
  pos_ = 0;
  end_ = rest + r.bytes;
  eof_ = r.bytes == 0;
  FindMark();
}

void LineReader::Restart() {
  pos_ = end_ = mark_ = start_ = 0;
  taken_ = 0;
  eof_ = ended_ = last_in_block_ = first_gathered_ = replay_ = false;
}

void LineReader::RewindHeld() {
  if (first_gathered_) {
    replay_ = true;
    return;
  }
  // The first line was whole in the first block, which is still held.
  pos_ = start_;
  ended_ = false;
  FindMark();
}

void LineReader::FindMark() {
  const char* mark = Find(Data() + pos_, Data() + end_, kEndOfFile);
  mark_ = mark == nullptr ? end_ : static_cast<std::size_t>(mark - Data());
}

void LineReader::SkipRestOfLine() {
  for (;;) {
    if (pos_ == end_ && !Fill()) return;
    const char* begin = Data() + pos_;
    const char* end = Data() + end_;
    const char* lf = Find(begin, end, '\n');
    const char* stop = lf != nullptr ? lf : end;
    if (Find(begin, stop, kEndOfFile) != nullptr) {
      ended_ = true;
      return;
    }
    if (lf != nullptr) {
      pos_ = static_cast<std::size_t>(lf + 1 - Data());
      return;
    }
    pos_ = end_;
  }
}

std::string_view LineReader::GatherLine() {
  line_.clear();
  for (;;) {
    if (pos_ == end_ && !Fill()) break;  // the last line has no line end
    const char* begin = Data() + pos_;
    const char* end = Data() + end_;
    const char* lf = Find(begin, end, '\n');
    const char* stop = lf != nullptr ? lf : end;
    if (const char* mark = Find(begin, stop, kEndOfFile); mark != nullptr) {
      AppendWithoutCr(line_, begin, mark);
      pos_ = static_cast<std::size_t>(mark + 1 - Data());
      SkipRestOfLine();
      break;
    }
    AppendWithoutCr(line_, begin, stop);
    pos_ = static_cast<std::size_t>(stop - Data());
    if (lf != nullptr) {
      ++pos_;
      break;
    }
  }
  line_.push_back('\n');
  return line_;
}

}  // namespace talvo::driver
