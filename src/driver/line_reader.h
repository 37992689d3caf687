// Reads the input in large blocks and hands it out as runs of whole lines.
//
// Where a physical line ends (at LF), and the input's 0x1A end mark, are this reader's: a 0x1A
// where a line would begin ends the input; inside a line it ends the line, and the rest of that
// physical line is skipped (a second 0x1A met there ends the input). What a line holds is the
// line rule's (driver/lines.h): every run handed out is whole lines, each ending in LF, which
// NextLine splits. Lines have no length limit; memory grows only with the longest line.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "driver/streams.h"
#include "driver/wakeup.h"

namespace talvo::driver {

// A share in the block that a run of lines lies in. The reader does not read into a block again
// while any share of it is held (it waits for the shares to come back), so lines handed to
// another thread keep their bytes for as long as that thread holds the share, whatever order
// the caller's loop does things in. A share must be given back by a thread that never waits on
// the reader's.
// The shares out of one block, and the wake-up of a thread waiting for them to come back.
struct Loans {
  std::atomic<int> count{0};
  Wakeup returned;
};

class LinesLoan {
 public:
  LinesLoan() = default;
  LinesLoan(const LinesLoan& other) noexcept : loans_(other.loans_) {
    if (loans_ != nullptr) loans_->count.fetch_add(1, std::memory_order_relaxed);
  }
  LinesLoan(LinesLoan&& other) noexcept : loans_(std::exchange(other.loans_, nullptr)) {}
  LinesLoan& operator=(LinesLoan other) noexcept {
    std::swap(loans_, other.loans_);
    return *this;
  }
  ~LinesLoan() { Return(); }
  // Gives the share back: the lines must not be looked at after this.
  void Return() noexcept {
    if (loans_ == nullptr) return;
    Loans* loans = std::exchange(loans_, nullptr);
    if (loans->count.fetch_sub(1, std::memory_order_release) == 1) loans->returned.Notify();
  }

 private:
  friend class LineReader;
  explicit LinesLoan(Loans& loans) noexcept : loans_(&loans) {
    loans_->count.fetch_add(1, std::memory_order_relaxed);
  }
  Loans* loans_ = nullptr;
};

class LineReader {
 public:
  static constexpr std::size_t kDefaultBlock = std::size_t{1} << 20;

  explicit LineReader(ByteSource& source, std::size_t block = kDefaultBlock);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // At the very start of the input: skips a UTF-8 byte-order mark, which belongs to no line,
  // and returns whether there was one. Throws Failure on a read failure.
  bool SkipByteOrderMark();

  // True when no byte remains or the next byte is 0x1A. Throws Failure on a read failure.
  bool AtEnd();

  // The whole lines that follow, each with its LF, up to the first 0x1A or the last line end in
  // the block; a line that is not whole in the block is put together on its own (a last line
  // without a line end, or one cut by 0x1A, gets an LF). Empty at the end of the input. Valid
  // until the next call. Throws Failure on a read failure.
  std::string_view TakeLines();

  // The next line without its line end; empty at the end of the input. Valid until the next
  // call. Throws Failure on a read failure.
  std::string_view ReadLine();

  // Whether the lines last taken lie in the block, so that a share of it can be had; a line
  // put together on its own cannot be lent.
  bool CanLend() const { return last_in_block_; }
  // A share in the block that the lines last taken lie in (CanLend must hold).
  LinesLoan Lend();

  // Reads the next block into a second buffer, behind the rest of this one (the start of the
  // line that the block cuts), and goes on from there. The lines last taken stay where they
  // are, so they can be worked on while the next block comes in. Does nothing where there is
  // nothing to gain: at the end of the input, with a 0x1A ahead, or when the rest is too long
  // to move. Throws Failure on a read failure, leaving everything as it was.
  void ReadAhead();

  // Forgets everything read so far; the source has been opened again at its start.
  void Restart();

  // Goes back to the start of the input (after any byte-order mark) without reading it again,
  // for an input that cannot be opened again at its start (a pipe). Called once the first line
  // is read: that line is still held, in the block or put together on its own, however many
  // reads brought it.
  void RewindHeld();

 private:
  static constexpr char kEndOfFile = '\x1A';
  struct Block {
    std::unique_ptr<char[]> data;
    Loans loans;
  };

  std::string_view Take(bool one_line);
  bool Fill();
  bool FillMore();
  static void AwaitReturned(Block& block);
  void FindMark();
  std::string_view GatherLine();
  void SkipRestOfLine();
  char* Data() const { return current_->data.get(); }

  ByteSource& source_;
  std::size_t block_;     // bytes asked for by one read
  std::size_t capacity_;  // bytes a buffer holds: the block, and never fewer than the mark
  Block blocks_[2];
  Block* current_;
  Block* spare_;          // ReadAhead's second buffer; its storage made on its first use
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::size_t start_ = 0;         // where the first line begins, after a byte-order mark
  std::size_t mark_ = 0;  // first 0x1A at or after pos_ when mark_ >= pos_; end_ when none
  bool eof_ = false;      // the source has no more bytes
  bool ended_ = false;    // a 0x1A ended the input
  bool last_in_block_ = false;
  bool first_gathered_ = false;  // the first line was put together in line_
  bool replay_ = false;          // line_ is to be taken again: the input was rewound
  std::uint64_t taken_ = 0;      // runs taken so far
  std::string line_;             // a line put together on its own, with its LF
  std::string gathered_;         // ReadLine's line without its CRs
};

}  // namespace talvo::driver
