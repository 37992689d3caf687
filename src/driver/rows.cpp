#include "driver/rows.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "driver/failure.h"
#include "driver/lines.h"
#include "driver/methods.h"
#include "driver/pieces.h"
#include "fields/fields.h"
#include "text/byte_words.h"
#include "text/integer_text.h"
#include "text/literals.h"

namespace talvo::driver {

namespace {

// What row processing does with every data line once w, and r where w needs it, are known to
// be integer text: nothing in it can fail then, and nothing in it changes from line to line.
struct DataLineRule {
  std::int32_t column;         // the target field: r, or 0 (none sought) when r or c is not
                               // integer text and no method runs
  int method;                  // c's index in kMethods; -1 when marked or c is outside it
  std::int32_t write_position;
  std::string_view suffix;     // what the rules append to the line
  std::uint64_t suffix_commas; // its commas (it is a few bytes long)
};

// An output line is put together in room with kOverrun bytes to spare beyond it, so that a
// short piece can be copied as one fixed-width word: the bytes copied past its end land in
// that spare room, or where the next piece goes, and are written over.
constexpr std::size_t kOverrun = 32;

// Copies n bytes from `from` to `o`; where they end. With `wide`, n is at most Width and Width
// bytes at `from` may be read: they are copied as one word.
template <std::size_t Width>
[[gnu::always_inline]] inline char* Put(char* o, const char* from, std::size_t n, bool wide) {
  if (wide) {
    std::memcpy(o, from, Width);
  } else {
    text::words::CopyBytes(o, from, n);
  }
  return o + n;
}

// Where the bytes of one data line may be read as wide words.
struct LineBytes {
  std::string_view line;
  bool wide;                // any piece of the line may be read as 32 bytes from its start
  std::string_view suffix;  // 16 bytes may be read from its start
};

// Copies bytes [from, to) of the line followed by the suffix to `o`; where they end.
[[gnu::always_inline]] inline char* PutJoined(char* o, const LineBytes& b, std::size_t from,
                                              std::size_t to) {
  const std::size_t split = b.line.size();
  if (from < split) o = Put<32>(o, b.line.data() + from, std::min(to, split) - from, b.wide);
  if (to > split) {
    const std::size_t at = std::max(from, split) - split;
    o = Put<16>(o, b.suffix.data() + at, to - split - at, true);
  }
  return o;
}

// What a line runs when no method runs: the check result stays as it is.
void KeepResult(std::string_view /*value*/, std::string& /*result*/) {}

// One data line, once its target field and write position are found: its check result by
// `method` into `checked` (kept from line to line, as a code outside the method table leaves
// it), and the line with the result in its write position into `out`. Inlined into the loop
// over a piece's lines, which it is most of.
template <Method method, typename Out>
[[gnu::always_inline]] inline void WriteFoundLine(const LineBytes& b,
                                                  const fields::FieldAndPlace& found,
                                                  std::string& checked, Out& out) {
  const std::string_view line = b.line;
  method(found.field, checked);

  if constexpr (requires { out.Room(std::size_t{0}); }) {
    const std::size_t joined = line.size() + b.suffix.size();
    char* const start = out.Room(joined + checked.size() + 1 + text::kCrLf.size() + kOverrun);
    char* o = start;
    if (found.place.prefix == joined) {
      // The result goes after the whole line and suffix, as that of an added column does.
      o = Put<32>(o, line.data(), line.size(), b.wide);
      o = Put<16>(o, b.suffix.data(), b.suffix.size(), true);
    } else {
      o = PutJoined(o, b, 0, found.place.prefix);
    }
    // A string's storage holds its capacity and a terminating NUL.
    o = Put<16>(o, checked.data(), checked.size(),
                checked.size() <= 16 && checked.capacity() >= 15);
    if (found.place.prefix != joined) {
      if (found.place.comma) *o++ = ',';
      o = PutJoined(o, b, found.place.rest, joined);
    }
    std::memcpy(o, text::kCrLf.data(), text::kCrLf.size());
    o += text::kCrLf.size();
    out.Filled(static_cast<std::size_t>(o - start));
  } else {
    // Bytes [from, to) of the line followed by the suffix.
    const auto append_joined = [&](std::size_t from, std::size_t to) {
      const std::size_t split = line.size();
      if (from < split) out.Append(line.substr(from, std::min(to, split) - from));
      if (to > split) {
        const std::size_t at = std::max(from, split) - split;
        out.Append(b.suffix.substr(at, to - split - at));
      }
    };
    append_joined(0, found.place.prefix);
    out.Append(checked);
    if (found.place.comma) out.Append(',');
    append_joined(found.place.rest, line.size() + b.suffix.size());
    out.EndLine();
  }
}

// The same for a line as NextLine hands it out: the target field and the write position from
// one pass over its commas.
template <Method method, typename Out>
[[gnu::always_inline]] inline void WriteDataLine(const Line& line, const DataLineRule& rule,
                                                 std::string& checked, Out& out) {
  // A line whose commas are known was looked at in one 64-byte step: those 64 bytes from its
  // start can be read.
  WriteFoundLine<method>({line.text, line.commas_known && line.text.size() <= 32, rule.suffix},
                 line.commas_known
                     ? fields::GetFieldAndLocate(line.text, line.commas, rule.column,
                                                 rule.suffix, rule.suffix_commas,
                                                 rule.write_position)
                     : fields::GetFieldAndLocate(line.text, rule.column, rule.suffix,
                                                 rule.write_position),
                 checked, out);
}

// Runs of whole lines from LineReader::TakeLines, split as every line is; `gathered` holds a
// line that had a CR before its line end.
template <Method method, typename Out>
void WriteDataLinesBy(std::string_view lines, const DataLineRule& rule, std::string& checked,
                      Out& out, std::string& gathered) {
  // The rule in locals: the output is written through char pointers, which could alias it.
  const DataLineRule local = rule;
  const char* p = lines.data();
  const char* const end = p + lines.size();
  while (p != end) WriteDataLine<method>(NextLine(p, end, gathered), local, checked, out);
}

// Calls `f.template operator()<m>()` with m the method of index `index` in kMethods, or
// KeepResult for -1: a loop made for each method, with its call fixed in it.
template <typename F, std::size_t... k>
void ByMethod(int index, F&& f, std::index_sequence<k...>) {
  if (index < 0) {
    f.template operator()<KeepResult>();
    return;
  }
  (void)((static_cast<std::size_t>(index) == k && (f.template operator()<kMethods[k]>(), true)) ||
         ...);
}
template <typename F>
void ByMethod(int index, F&& f) {
  ByMethod(index, f, std::make_index_sequence<kMethods.size()>());
}

template <typename Out>
void WriteDataLines(std::string_view lines, const DataLineRule& rule, std::string& checked,
                    Out& out, std::string& gathered) {
  ByMethod(rule.method, [&]<Method method>() {
    WriteDataLinesBy<method>(lines, rule, checked, out, gathered);
  });
}

}  // namespace

void ProcessRows(const RowSettings& settings, ByteSource& source, LineReader& reader,
                 LineWriter& writer) {
  // r, w and c are the same texts on every line, so each converts (or fails) the same way
  // every time: converting once gives the same results at the same points.
  const std::optional<std::int32_t> column = text::ParseInt(settings.column);
  const std::optional<std::int32_t> write = text::ParseInt(settings.write);
  const std::optional<std::int32_t> check = text::ParseInt(settings.check);

  // A byte-order mark at the start belongs to no field: it goes first to the output, at the
  // start of its first line, and the input is read as if it began after it.
  if (reader.SkipByteOrderMark()) writer.Append(text::kByteOrderMark);
  const std::string_view first = reader.ReadLine();
  const std::int32_t field_count = fields::CountFields(first);
  if (settings.header == "1") {
    writer.Append(first);
    if (settings.write == "1") writer.Append(text::kHeaderSuffix);
    writer.EndLine();
  } else if (source.ReopensAtStart()) {
    if (const int code = source.Reopen(); code != 0) ThrowIoFailure(code);
    reader.Restart();
    reader.SkipByteOrderMark();
  } else {
    // A pipe: what was read cannot be had again, but the first line is still held.
    reader.RewindHeld();
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
  // Kept with room to spare, so that any piece of it can be read as 16 bytes.
  std::array<char, 16 + text::kMarker.size() + 1> suffix_bytes{};
  std::size_t suffix_size = 0;
  if (marked) {
    std::memcpy(suffix_bytes.data(), text::kMarker.data(), text::kMarker.size());
    suffix_size += text::kMarker.size();
  }
  if (*write == 1) suffix_bytes[suffix_size++] = ',';
  const std::string_view suffix(suffix_bytes.data(), suffix_size);
  const DataLineRule rule{
      marked ? 0 : *column,
      marked ? -1 : MethodIndex(*check),
      // A write mode other than 0 or 1 keeps the write position it started with. The added
      // column wraps like the 32-bit field count it comes from.
      *write == 0   ? *column
      : *write == 1 ? static_cast<std::int32_t>(static_cast<std::uint32_t>(field_count) + 1u)
                    : 0,
      suffix,
      fields::CommaMask(suffix),
  };
  std::string checked;
  std::string gathered;
  ByMethod(rule.method, [&]<Method method>() {
    WriteDataLine<method>(Line{first_data}, rule, checked, writer);
  });

  // A long run of whole lines is shared out in pieces with helper threads. While they turn
  // out one run, this thread writes what the run before gave and reads the next block.
  PieceQueue queue(
      [&rule](std::string_view lines, PieceOutput& out) {
        WriteDataLines(lines, rule, out.checked, out.lines, out.gathered);
      },
      writer);
  std::uint64_t run_start = 0;  // the first piece of the last run added
  while (!reader.AtEnd()) {
    const std::string_view lines = reader.TakeLines();
    if (lines.size() < 2 * PieceQueue::kPieceBytes || !reader.CanLend()) {
      // A short run, or a line put together on its own: this thread alone, after everything
      // before it.
      queue.WriteAll();
      WriteDataLines(lines, rule, checked, writer, gathered);
      continue;
    }
    // The run before the last is written out first; the helpers meanwhile have the last one.
    queue.WriteUpTo(run_start);
    const std::uint64_t start = queue.Added();
    // Every line either sets the check result or leaves it as the first data line left it,
    // so each piece can start from the one held here.
    queue.Add(lines, reader.Lend(), checked);
    // The next block is read into the buffer that held the run before this one. The reader
    // waits for that run's pieces to give their shares back; this thread helps turn them out
    // rather than wait.
    queue.WaitTurnedOut(start);
    run_start = start;
    // A read that fails (or memory that runs out for the second buffer) is told once the
    // lines before it are written, as when it comes after them.
    try {
      reader.ReadAhead();
    } catch (...) {
      queue.WriteAll();
      throw;
    }
  }
  queue.WriteAll();
}

}  // namespace talvo::driver
