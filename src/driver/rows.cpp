#include "driver/rows.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>

#include "driver/helper_thread.h"
#include "driver/memory_streams.h"
#include "driver/methods.h"
#include "fields/fields.h"
#include "text/byte_words.h"
#include "text/integer_text.h"
#include "text/literals.h"

namespace talvo::driver {

namespace {

// The system's "seek error": an input that cannot be read again from its start.
constexpr int kSeekError = 25;

// Output lines held in memory, for a piece of lines turned out apart from the writer: an
// append is a bounds check and a copy, and the storage is kept from piece to piece.
class LinesInMemory {
 public:
  void Clear() { size_ = 0; }
  std::string_view View() const { return {data_.get(), size_}; }
  void Append(std::string_view piece) {
    if (piece.size() > capacity_ - size_) Grow(piece.size());
    text::words::CopyBytes(data_.get() + size_, piece.data(), piece.size());
    size_ += piece.size();
  }
  void Append(char byte) { Append(std::string_view(&byte, 1)); }
  void EndLine() { Append(text::kCrLf); }

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

// What row processing does with every data line once w, and r where w needs it, are known to
// be integer text: nothing in it can fail then, and nothing in it changes from line to line.
struct DataLineRule {
  bool marked;                 // r or c is not integer text: no method runs
  std::int32_t column;         // r, where it is integer text
  std::int32_t check;          // c, where it is integer text
  std::int32_t write_position;
  std::string_view suffix;     // what the rules append to the line
};

// One data line: its check result into `checked` (kept from line to line, as a code outside the
// method table leaves it), and the line with the result in its write position into `out`.
template <typename Out>
void WriteDataLine(std::string_view line, const DataLineRule& rule, std::string& checked,
                   Out& out) {
  // The target field and the write position from one pass over the line. A marked line runs
  // no method, so its target field is not sought.
  const fields::FieldAndPlace found = fields::GetFieldAndLocate(
      line, rule.marked ? 0 : rule.column, rule.suffix, rule.write_position);
  if (!rule.marked) RunMethod(rule.check, found.field, checked);

  // Bytes [from, to) of the line followed by the suffix.
  const auto append_joined = [&](std::size_t from, std::size_t to) {
    const std::size_t split = line.size();
    if (from < split) out.Append(line.substr(from, std::min(to, split) - from));
    if (to > split) {
      const std::size_t at = std::max(from, split) - split;
      out.Append(rule.suffix.substr(at, to - split - at));
    }
  };
  append_joined(0, found.place.prefix);
  out.Append(checked);
  if (found.place.comma) out.Append(',');
  append_joined(found.place.rest, line.size() + rule.suffix.size());
  out.EndLine();
}

// Whole lines from LineReader::TakeWholeLines, each split off at its LF with its CRs dropped,
// as the reader does; `gathered` holds a line that had a CR before its line end.
template <typename Out>
void WriteDataLines(std::string_view lines, const DataLineRule& rule, std::string& checked,
                    Out& out, std::string& gathered) {
  const char* p = lines.data();
  const char* const end = p + lines.size();
  while (p != end) {
    const char* brk = text::words::FindEither(p, end, '\r', '\n');
    std::string_view line(p, static_cast<std::size_t>(brk - p));
    if (*brk == '\r' && brk[1] == '\n') {
      ++brk;
    } else if (*brk == '\r') {
      gathered.clear();
      for (const char* q = p; *q != '\n'; ++q) {
        if (*q != '\r') gathered.push_back(*q);
        brk = q + 1;
      }
      line = gathered;
    }
    WriteDataLine(line, rule, checked, out);
    p = brk + 1;
  }
}

// A run of whole lines is cut at line ends into pieces of about this many bytes, which the two
// threads take in turn; shorter runs are not worth sharing.
constexpr std::size_t kPieceBytes = 64 * 1024;
constexpr std::size_t kMostPieces = 32;

// One piece of a run of whole lines, and the output lines that it gives.
struct Piece {
  std::string_view lines;
  LinesInMemory output;
  std::string checked;
  std::string gathered;
  std::atomic<bool> done{false};
};

}  // namespace

void ProcessRows(const RowSettings& settings, ByteSource& source, LineReader& reader,
                 LineWriter& writer) {
  // r, w and c are the same texts on every line, so each converts (or fails) the same way
  // every time: converting once gives the same results at the same points.
  const std::optional<std::int32_t> column = text::ParseInt(settings.column);
  const std::optional<std::int32_t> write = text::ParseInt(settings.write);
  const std::optional<std::int32_t> check = text::ParseInt(settings.check);

  const std::string_view first = reader.ReadLine();
  const std::int32_t field_count = fields::CountFields(first);
  if (settings.header == "1") {
    writer.Append(first);
    if (settings.write == "1") writer.Append(text::kHeaderSuffix);
    writer.EndLine();
  } else if (source.ReopensAtStart()) {
    if (const int code = source.Reopen(); code != 0) ThrowIoFailure(code);
    reader.Restart();
  } else if (!reader.RewindHeld()) {
    // A pipe whose first line outgrew the block: what was read cannot be had again, and going
    // on would silently drop it.
    ThrowIoFailure(kSeekError);
  }
  if (reader.AtEnd()) return;

  // A w that is not integer text, or an r that is not when w is 0, fails at the first data
  // line, once it is read and before anything of it is written.
  const std::string_view first_data = reader.ReadLine();
  if (!write) ThrowConvertFailure(settings.write);
  if (*write == 0 && !column) ThrowConvertFailure(settings.column);

  // What the rules append to every data line: the marker when r or c is not integer text, and
  // the comma of the added column. Both are the same on every line, so the line itself is never
  // copied to append them: the write position is found in the line and this suffix as one text.
  const bool marked = !column || !check;
  std::string suffix;
  if (marked) suffix.append(text::kMarker);
  if (*write == 1) suffix.push_back(',');
  const DataLineRule rule{
      marked,
      column.value_or(0),
      check.value_or(0),
      // A write mode other than 0 or 1 keeps the write position it started with. The added
      // column wraps like the 32-bit field count it comes from.
      *write == 0   ? *column
      : *write == 1 ? static_cast<std::int32_t>(static_cast<std::uint32_t>(field_count) + 1u)
                    : 0,
      suffix,
  };
  std::string checked;
  WriteDataLine(first_data, rule, checked, writer);

  // The lines are independent of one another, so a long run of whole lines is cut into pieces
  // at line ends, and this thread and the helper thread each take the next piece not yet taken
  // and turn out its lines. This thread alone reads and writes: it hands the pieces' lines to the
  // writer strictly in order, each as soon as it and those before it are done, so the file gets
  // the same lines in the same order, and a failure comes up at the same line, as when one
  // thread does it all. A write keeps this thread while the helper goes on with the next piece.
  std::array<Piece, kMostPieces> pieces;
  std::atomic<std::size_t> next_piece{0};
  std::size_t piece_count = 0;
  // Takes the next piece, if one is left, and turns out its lines; either thread runs it.
  const auto work_one = [&]() {
    const std::size_t k = next_piece.fetch_add(1, std::memory_order_relaxed);
    if (k >= piece_count) return false;
    Piece& piece = pieces[k];
    WriteDataLines(piece.lines, rule, piece.checked, piece.output, piece.gathered);
    piece.done.store(true, std::memory_order_release);
    return true;
  };
  std::string gathered;
  // Last, so that when a failure leaves this function the helper is waited for before
  // anything its task uses goes away.
  HelperThread helper;
  while (!reader.AtEnd()) {
    const std::string_view lines = reader.TakeWholeLines();
    if (lines.empty()) {
      WriteDataLine(reader.ReadLine(), rule, checked, writer);
      continue;
    }
    if (lines.size() < 2 * kPieceBytes) {
      WriteDataLines(lines, rule, checked, writer, gathered);
      continue;
    }

    piece_count = 0;
    for (std::string_view rest = lines; !rest.empty(); ++piece_count) {
      const std::size_t want = piece_count + 1 == kMostPieces ? rest.size() : kPieceBytes;
      const std::size_t lf = want >= rest.size() ? rest.size() - 1 : rest.find('\n', want - 1);
      Piece& piece = pieces[piece_count];
      piece.lines = rest.substr(0, lf + 1);
      piece.output.Clear();
      piece.checked = checked;
      piece.done.store(false, std::memory_order_relaxed);
      rest.remove_prefix(lf + 1);
    }
    next_piece.store(0, std::memory_order_relaxed);
    helper.Start([&work_one] {
      while (work_one()) {
      }
    });
    std::size_t written = 0;
    const auto write_done = [&] {
      while (written < piece_count && pieces[written].done.load(std::memory_order_acquire)) {
        writer.AppendLines(pieces[written++].output.View());
      }
    };
    while (work_one()) write_done();
    helper.Wait();
    write_done();
    checked.swap(pieces[piece_count - 1].checked);
  }
}

MemoryRun ProcessRowsInMemory(const RowSettings& settings, std::string_view input,
                              std::size_t block) {
  MemorySource source(input);
  MemorySink sink;
  LineReader reader(source, block);
  LineWriter writer(sink, block);
  MemoryRun run;
  try {
    ProcessRows(settings, source, reader, writer);
    writer.Flush();
  } catch (const Failure& failure) {
    writer.FlushCompleteLinesQuietly();
    run.failure = failure;
  }
  run.output = std::move(sink.bytes);
  return run;
}

}  // namespace talvo::driver
