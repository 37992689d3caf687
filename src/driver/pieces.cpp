#include "driver/pieces.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace talvo::driver {

PieceQueue::PieceQueue(Work work, LineWriter& writer) : work_(std::move(work)), writer_(writer) {}

PieceQueue::~PieceQueue() {
  stop_.store(true, std::memory_order_relaxed);
  work_added_.Notify();
  for (std::thread& helper : helpers_) helper.join();
}

void PieceQueue::Add(std::string_view lines, const LinesLoan& loan, const std::string& checked) {
  std::uint64_t next = added_.load(std::memory_order_relaxed);
  for (std::string_view rest = lines; !rest.empty(); ++next) {
    // A slot is taken again only once the piece it held is written.
    if (next - written_.load(std::memory_order_acquire) >= kSlots) WriteUpTo(next - kSlots + 1);
    const bool last = next + 1 - Added() == kMostPieces;
    const std::size_t want = last ? rest.size() : kPieceBytes;
    const std::size_t lf = want >= rest.size() ? rest.size() - 1 : rest.find('\n', want - 1);
    Slot& slot = slots_[next % kSlots];
    slot.lines = rest.substr(0, lf + 1);
    slot.loan = loan;
    slot.out.lines.Clear();
    // Output lines are seldom more than twice as long as their input lines.
    slot.out.lines.Reserve(2 * slot.lines.size());
    slot.out.checked = checked;
    slot.error = nullptr;
    rest.remove_prefix(lf + 1);
  }
  if (helpers_.empty() && !alone_) {
    // Started with the first run, so that a file too small for one never starts them: one for
    // each processor but this thread's, which writes and reads and takes pieces between.
    const unsigned processors = std::thread::hardware_concurrency();
    const unsigned wanted = std::clamp(processors, 2u, kMostHelpers + 1) - 1;
    try {
      helpers_.reserve(wanted);
      while (helpers_.size() < wanted) helpers_.emplace_back(&PieceQueue::HelperLoop, this);
    } catch (const std::system_error&) {
      // No more threads to be had: those started do the work. With none, this thread turns
      // out every piece itself.
      alone_ = helpers_.empty();
    }
  }
  added_.store(next, std::memory_order_release);
  work_added_.Notify();
  // Alone, the pieces are turned out at once: their shares of the block must come back
  // without anyone waiting for this thread.
  if (alone_) {
    while (TakeOne()) {
    }
  }
}

bool PieceQueue::TakeOne() {
  std::uint64_t piece = taken_.load(std::memory_order_relaxed);
  do {
    if (piece >= added_.load(std::memory_order_acquire)) return false;
  } while (!taken_.compare_exchange_weak(piece, piece + 1, std::memory_order_relaxed));
  Slot& slot = slots_[piece % kSlots];
  try {
    work_(slot.lines, slot.out);
  } catch (...) {
    slot.error = std::current_exception();
  }
  slot.loan.Return();
  slot.done.store(piece + 1, std::memory_order_release);
  turned_out_.Notify();
  WriteReady();
  return true;
}

void PieceQueue::WriteReady() {
  // A piece turned out while another thread was writing may be left behind by it: looked at
  // again once the lock is free, and in any case by this thread's WriteUpTo.
  while (TurnedOut(written_.load(std::memory_order_relaxed))) {
    std::unique_lock lock(write_mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return;  // another thread is writing; it takes this piece too
    WriteReadyLocked();
    if (write_error_) return;
  }
}

void PieceQueue::WriteReadyLocked() {
  if (write_error_) return;
  std::uint64_t piece = written_.load(std::memory_order_relaxed);
  try {
    while (piece < added_.load(std::memory_order_acquire) && TurnedOut(piece)) {
      Slot& slot = slots_[piece % kSlots];
      if (slot.error) std::rethrow_exception(slot.error);
      writer_.AppendLines(slot.out.lines.View());
      // A piece of long lines leaves its slot holding much more than a common piece needs:
      // given back, so that the slots of a file of long lines do not all keep that much.
      if (slot.out.lines.Capacity() > kKeptOutput) slot.out.lines.Release();
      written_.store(++piece, std::memory_order_release);
    }
  } catch (...) {
    write_error_ = std::current_exception();
  }
}

void PieceQueue::WriteUpTo(std::uint64_t end) {
  for (;;) {
    std::uint64_t next;
    {
      std::lock_guard lock(write_mutex_);
      WriteReadyLocked();
      if (write_error_) std::rethrow_exception(write_error_);
      next = written_.load(std::memory_order_relaxed);
      if (next >= end) return;
    }
    if (!TakeOne()) AwaitTurnedOut(next);
  }
}

void PieceQueue::WaitTurnedOut(std::uint64_t end) {
  for (std::uint64_t piece = written_.load(std::memory_order_acquire); piece < end;) {
    if (TurnedOut(piece)) {
      ++piece;
    } else if (!TakeOne()) {
      AwaitTurnedOut(piece);
    }
  }
}

void PieceQueue::AwaitTurnedOut(std::uint64_t piece) {
  if (TurnedOut(piece)) return;
  turned_out_.Wait([this, piece] { return TurnedOut(piece); });
}

void PieceQueue::HelperLoop() {
  while (!stop_.load(std::memory_order_relaxed)) {
    if (TakeOne()) continue;
    work_added_.Wait([this] {
      return stop_.load(std::memory_order_relaxed) ||
             taken_.load(std::memory_order_relaxed) < added_.load(std::memory_order_relaxed);
    });
  }
}

}  // namespace talvo::driver
