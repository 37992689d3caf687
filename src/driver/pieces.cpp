#include "driver/pieces.h"

#include <algorithm>
#include <span>
#include <system_error>
#include <utility>

namespace talvo::driver {

unsigned PieceQueue::DefaultHelpers() {
  return std::clamp(std::thread::hardware_concurrency(), 2u, kMostHelpers + 1) - 1;
}

PieceQueue::PieceQueue(Work work, LineWriter& writer, unsigned helpers)
    : work_(std::move(work)), writer_(writer), wanted_(helpers) {
  spare_.reserve(kSlots);  // every slot's storage fits: giving it back never allocates
}

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
    {
      const std::lock_guard lock(spare_mutex_);
      if (!spare_.empty()) {
        slot.out.lines = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    slot.out.lines.Clear();
    // Output lines are seldom more than twice as long as their input lines.
    slot.out.lines.Reserve(2 * slot.lines.size());
    slot.out.checked = checked;
    slot.error = nullptr;
    rest.remove_prefix(lf + 1);
  }
  if (helpers_.empty() && !alone_) {
    // Started with the first run, so that a file too small for one never starts them; this
    // thread writes and reads and takes pieces between.
    try {
      helpers_.reserve(wanted_);
      while (helpers_.size() < wanted_) helpers_.emplace_back(&PieceQueue::HelperLoop, this);
    } catch (const std::system_error&) {
      // No more threads to be had: those started do the work.
    }
    // With none, this thread turns out every piece itself.
    alone_ = helpers_.empty();
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
  // Pieces turned out while another thread was writing may be left behind by it: looked at
  // again once the lock is free, and in any case by this thread's WriteUpTo.
  for (;;) {
    std::unique_lock lock(write_mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return;  // another thread is writing; it takes these pieces too
    if (!WriteReadyLocked(false) || write_error_) return;
  }
}

bool PieceQueue::WriteReadyLocked(bool now) {
  if (write_error_) return false;
  const std::uint64_t first = written_.load(std::memory_order_relaxed);
  const std::uint64_t added = added_.load(std::memory_order_acquire);
  std::array<std::string_view, kSlots> runs;
  std::size_t bytes = 0;
  std::uint64_t end = first;  // the first piece not to be written now
  bool failed = false;        // that piece failed: it is told once those before it are written
  for (; end < added && TurnedOut(end); ++end) {
    const Slot& slot = slots_[end % kSlots];
    if (slot.error) {
      failed = true;
      break;
    }
    runs[end - first] = slot.out.lines.View();
    bytes += runs[end - first].size();
  }
  if (!(now || failed || bytes >= writer_.Block()) || (end == first && !failed)) return false;
  try {
    if (end != first) {
      writer_.AppendLines(std::span(runs.data(), static_cast<std::size_t>(end - first)));
    }
    const std::lock_guard lock(spare_mutex_);
    for (std::uint64_t piece = first; piece < end; ++piece) {
      // A piece of long lines leaves much more storage than a common piece needs: given back
      // to the system, so that a file of long lines does not keep that much for every slot.
      LinesInMemory& lines = slots_[piece % kSlots].out.lines;
      if (lines.Capacity() > kKeptOutput) {
        lines.Release();
      } else {
        spare_.push_back(std::move(lines));
      }
    }
    written_.store(end, std::memory_order_release);
    if (failed) std::rethrow_exception(slots_[end % kSlots].error);
  } catch (...) {
    write_error_ = std::current_exception();
  }
  return true;
}

void PieceQueue::WriteUpTo(std::uint64_t end) {
  // Every piece is turned out first, so that what is left goes to the file in one write.
  WaitTurnedOut(end);
  std::lock_guard lock(write_mutex_);
  WriteReadyLocked(true);
  if (write_error_) std::rethrow_exception(write_error_);
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
