// Long runs of whole lines, cut at line ends into pieces that this thread and helper threads
// (one for each further processor) turn into output lines together.
//
// The lines of a data file do not depend on one another, so any thread may turn out any piece.
// What comes out goes to the writer strictly in the order of the pieces, whichever thread hands
// it over, several pieces at a time in one large write, so the file gets the same bytes, and a
// failure comes up at the same line, as when one thread does it all: a write that fails on a
// helper is told on this thread, and nothing is written after it. A helper takes the next piece
// whenever it is free, across the end of one run and the start of the next, and so is not held
// up while this thread reads. A thread that needs a piece another has in hand sleeps until it
// is turned out, never spins.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "driver/line_reader.h"
#include "driver/line_writer.h"
#include "driver/wakeup.h"

namespace talvo::driver {

// Output lines held in memory, each put in at once in room made for it; the storage is kept
// from piece to piece.
class LinesInMemory {
 public:
  LinesInMemory() = default;
  // Moved whole: the one moved from is left with no storage.
  LinesInMemory(LinesInMemory&& other) noexcept { *this = std::move(other); }
  LinesInMemory& operator=(LinesInMemory&& other) noexcept {
    data_ = std::move(other.data_);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    return *this;
  }

  void Clear() { size_ = 0; }
  std::size_t Capacity() const { return capacity_; }
  // Gives the storage back.
  void Release() {
    data_.reset();
    size_ = capacity_ = 0;
  }
  std::string_view View() const { return {data_.get(), size_}; }
  // Room for `most` bytes after those held, to be written there directly; Filled then counts
  // the bytes that were.
  char* Room(std::size_t most) {
    if (most > capacity_ - size_) Grow(most);
    return data_.get() + size_;
  }
  void Filled(std::size_t bytes) { size_ += bytes; }
  // Room for `bytes` in all, made at once rather than by doubling.
  void Reserve(std::size_t bytes) {
    if (bytes > capacity_) Grow(bytes - size_);
  }

 private:
  void Grow(std::size_t more) {
    const std::size_t capacity = std::max(2 * capacity_, size_ + more);
    auto data = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ != 0) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// What a piece turns into, with the scratch its lines need on the way.
struct PieceOutput {
  LinesInMemory lines;
  std::string checked;   // the check result, carried from line to line within the piece
  std::string gathered;  // a line put together without its CRs
};

class PieceQueue {
 public:
  // A run is cut into pieces of about this many bytes, and into no more than kMostPieces.
  static constexpr std::size_t kPieceBytes = 64 * 1024;
  static constexpr std::size_t kMostPieces = 24;
  // Helper threads, one for each processor beyond the first, up to this many.
  static constexpr unsigned kMostHelpers = 7;

  // Turns the whole lines of one piece into output lines; called on either thread.
  using Work = std::function<void(std::string_view lines, PieceOutput& out)>;

  // One for each processor beyond the first, up to kMostHelpers.
  static unsigned DefaultHelpers();

  // The output goes to `writer`, which nothing else may use while pieces are out: before
  // writing anything else, WriteAll. `helpers` threads are started with the first run.
  PieceQueue(Work work, LineWriter& writer, unsigned helpers = DefaultHelpers());
  PieceQueue(const PieceQueue&) = delete;
  PieceQueue& operator=(const PieceQueue&) = delete;
  // Stops the helpers, each of which finishes the piece in hand, and waits for them.
  ~PieceQueue();

  // The number of pieces added so far; a run's pieces are numbered on from there.
  std::uint64_t Added() const { return added_.load(std::memory_order_relaxed); }

  // Cuts a run of whole lines into pieces and lets either thread take them. Each piece starts
  // from `checked` and holds a share of `loan`, the lines' block, until it is turned out. The
  // pieces of two runs are held: where they would not fit, those before are written first.
  void Add(std::string_view lines, const LinesLoan& loan, const std::string& checked);

  // Returns once the output of every piece before number `end` is written, taking pieces to
  // turn out and write meanwhile. Throws Failure when a write failed, on either thread, and
  // what turning out a piece threw.
  void WriteUpTo(std::uint64_t end);
  void WriteAll() { WriteUpTo(Added()); }

  // Returns once every piece before number `end` is turned out, so that the shares of their
  // block are back; takes pieces to turn out meanwhile, and sleeps only when the rest are in
  // a helper's hands.
  void WaitTurnedOut(std::uint64_t end);

 private:
  static constexpr std::size_t kSlots = 2 * kMostPieces;
  // The most output storage kept from one piece for the next: enough for a common piece.
  static constexpr std::size_t kKeptOutput = 4 * kPieceBytes;

  struct Slot {
    std::string_view lines;
    LinesLoan loan;  // given back as soon as the lines are turned out
    PieceOutput out;
    std::exception_ptr error;
    // The piece's number + 1 once it is turned out; a thread that needs it waits on
    // turned_out_.
    std::atomic<std::uint64_t> done{0};
  };

  // Takes the next piece not yet taken, if one has been added, and turns it out.
  bool TakeOne();
  // Writes the pieces turned out next in order once they fill a block of the writer, unless
  // another thread is writing: the system takes one large write for much less than many small
  // ones.
  void WriteReady();
  // Writes the pieces turned out next in order, in one write, when `now` or once they fill a
  // block of the writer; holds the write lock. Returns whether it wrote. Keeps a write failure,
  // or the failure of a piece, for this thread to throw, and writes nothing after it.
  bool WriteReadyLocked(bool now);
  bool TurnedOut(std::uint64_t piece) const {
    return slots_[piece % kSlots].done.load(std::memory_order_acquire) == piece + 1;
  }
  void HelperLoop();
  // Sleeps until piece `piece`, which a helper has in hand, is turned out.
  void AwaitTurnedOut(std::uint64_t piece);

  Work work_;
  LineWriter& writer_;
  std::array<Slot, kSlots> slots_;
  // Output storage that no slot holds, the storage written out last at the back: a piece
  // takes that, still warm in the cache, and a run touches no more storage than its pieces in
  // flight hold, however many slots there are.
  std::vector<LinesInMemory> spare_;  // under spare_mutex_
  std::mutex spare_mutex_;
  std::atomic<std::uint64_t> added_{0};
  std::atomic<std::uint64_t> taken_{0};
  std::atomic<std::uint64_t> written_{0};  // changed only under write_mutex_
  std::mutex write_mutex_;                 // held by the thread using the writer
  std::exception_ptr write_error_;         // under write_mutex_
  Wakeup turned_out_;  // woken whenever a piece is turned out
  Wakeup work_added_;  // woken when pieces are added, and to stop
  std::atomic<bool> stop_{false};
  unsigned wanted_;     // helper threads to start
  bool alone_ = false;  // no helper thread runs: none was wanted, or none could be started
  std::vector<std::thread> helpers_;  // last: started once everything they use exists
};

}  // namespace talvo::driver
