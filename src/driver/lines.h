// Where a line ends: at LF, which does not belong to the line. Every CR is dropped, the CR of a
// CR LF and a CR standing alone, so a line never holds one. (The input's 0x1A end mark, which
// also ends lines, is the line reader's: it never hands out a 0x1A.)
//
// These two routines are that rule for every caller: the reader for the lines it puts together,
// and row processing, on either thread, for the runs of whole lines it is handed.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "text/byte_words.h"

namespace talvo::driver {

// Appends the bytes of [begin, end) to `out` without their CRs.
inline void AppendWithoutCr(std::string& out, const char* begin, const char* end) {
  while (begin < end) {
    const void* cr = std::memchr(begin, '\r', static_cast<std::size_t>(end - begin));
    const char* stop = cr == nullptr ? end : static_cast<const char*>(cr);
    out.append(begin, stop);
    begin = stop + 1;
  }
}

// A line as NextLine hands it out: its content, and, for a line that was looked at whole in one
// step, the commas that look found (bit k for byte k), so that its fields need not be sought in
// its bytes again.
struct Line {
  std::string_view text;
  std::uint64_t commas = 0;
  bool commas_known = false;
};

// The line that starts at `p` in [p, end), whose last byte is an LF: its content without CRs,
// and `p` moved past its LF. The common line, with no CR or only the one of its CR LF, is
// handed out where it stands; one with another CR is put together in `gathered`.
[[gnu::always_inline]] inline Line NextLine(const char*& p, const char* end,
                                            std::string& gathered) {
  const char* const begin = p;
  if constexpr (text::words::kEnabled) {
    // The common line of an export is shorter than 64 bytes: its end, its CR and its commas
    // from one look at the 32 or 64 bytes from its start, where that many are at hand.
    if (end - begin >= 64) {
      text::words::LineMarks m = text::words::MarkLine<2>(begin);
      if (m.lf == 0) m = text::words::MarkLine<4>(begin);
      const std::uint64_t lf = m.lf & (0 - m.lf);  // the first LF alone
      const std::uint64_t before = lf - 1;         // the bytes before it
      const std::uint64_t cr = m.cr & before;
      if (lf != 0 && (cr == 0 || cr == lf >> 1)) {
        const auto size = static_cast<std::size_t>(std::countr_zero(lf));
        p = begin + size + 1;
        return {{begin, cr == 0 ? size : size - 1}, m.comma & before, true};
      }
    }
  }
  // Every line ends in LF and most in CR LF: both are sought in one pass.
  const char* brk = text::words::FindEither(begin, end, '\r', '\n');
  if (*brk == '\n' || brk[1] == '\n') {
    p = brk + (*brk == '\n' ? 1 : 2);
    return {{begin, static_cast<std::size_t>(brk - begin)}};
  }
  const char* lf =
      static_cast<const char*>(std::memchr(brk, '\n', static_cast<std::size_t>(end - brk)));
  gathered.clear();
  AppendWithoutCr(gathered, begin, lf);
  p = lf + 1;
  return {gathered};
}

}  // namespace talvo::driver
