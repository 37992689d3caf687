// Looking at eight or sixteen bytes at once: finding given bytes in a word of text without a
// branch per byte. Used where a scan runs over every byte of the input.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>  // every x86-64 processor has SSE2
#endif

namespace talvo::text::words {

// The word tricks below number bytes from the low end, which is the first byte in memory only
// on little-endian machines; elsewhere the callers scan byte by byte.
inline constexpr bool kEnabled = std::endian::native == std::endian::little;

inline constexpr std::uint64_t kHighBits = 0x8080808080808080u;
inline constexpr std::uint64_t kLowBits = ~kHighBits;
inline constexpr std::uint64_t kOnes = 0x0101010101010101u;

inline std::uint64_t Load(const char* p) noexcept {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// Bit 7 of every byte of `w` that equals `b`, and no other bit: exact, with no carry from one
// byte into the next.
inline std::uint64_t BytesEqual(std::uint64_t w, unsigned char b) noexcept {
  const std::uint64_t x = w ^ (kOnes * b);
  return ~(((x & kLowBits) + kLowBits) | x) & kHighBits;
}

// Index of the first byte that a mask of BytesEqual (or of high bits) marks; the mask is not 0.
inline std::size_t FirstMarked(std::uint64_t mask) noexcept {
  return static_cast<std::size_t>(std::countr_zero(mask) / 8);
}

// Bit k set for each byte k of the 16 at p that is `a` or `b` (give the same byte twice to seek
// one): with SSE2 one compare each; elsewhere two words.
[[gnu::always_inline]] inline std::uint32_t Mask16(const char* p, char a, char b) noexcept {
#if defined(__SSE2__)
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(a)),
                                    _mm_cmpeq_epi8(v, _mm_set1_epi8(b)));
  return static_cast<std::uint32_t>(_mm_movemask_epi8(hits));
#else
  std::uint32_t found = 0;
  for (int half = 0; half < 2; ++half) {
    const std::uint64_t w = Load(p + 8 * half);
    const std::uint64_t hits = BytesEqual(w, static_cast<unsigned char>(a)) |
                               BytesEqual(w, static_cast<unsigned char>(b));
    found |= static_cast<std::uint32_t>((((hits >> 7) * 0x0102040810204080u) >> 56) & 0xFF)
             << (8 * half);
  }
  return found;
#endif
}

// Bit k set for each byte k of the m at p (m <= 64) that is `b`. Reads only those m bytes: the
// last few are taken in a step that overlaps those already seen, never past the end.
inline std::uint64_t ByteMask64(const char* p, std::size_t m, char b) noexcept {
  // Bit 7 of each byte of a BytesEqual mask gathered into the low eight bits.
  const auto gather = [](std::uint64_t marks) {
    return ((marks >> 7) * 0x0102040810204080u) >> 56;
  };
  const auto u = static_cast<unsigned char>(b);
  if (m >= 16) {
    std::uint64_t mask = 0;
    std::size_t i = 0;
    for (; i + 16 <= m; i += 16) mask |= std::uint64_t{Mask16(p + i, b, b)} << i;
    if (i < m) mask |= std::uint64_t{Mask16(p + m - 16, b, b) >> (16 - (m - i))} << i;
    return mask;
  }
  if (m >= 8) {
    return gather(BytesEqual(Load(p), u)) | gather(BytesEqual(Load(p + m - 8), u)) << (m - 8);
  }
  if (m >= 4) {
    const auto load4 = [](const char* q) {
      std::uint32_t w;
      std::memcpy(&w, q, sizeof w);
      return std::uint64_t{w};
    };
    return (gather(BytesEqual(load4(p), u)) & 0xF) |
           (gather(BytesEqual(load4(p + m - 4), u)) & 0xF) << (m - 4);
  }
  std::uint64_t mask = 0;
  for (std::size_t k = 0; k < m; ++k) mask |= std::uint64_t{p[k] == b} << k;
  return mask;
}

// Bit k set for each byte k of the 16 * Chunks at p that is LF, CR or a comma, one mask each:
// what splitting a line and its fields needs, from one look.
struct LineMarks {
  std::uint64_t lf = 0;
  std::uint64_t cr = 0;
  std::uint64_t comma = 0;
};
template <int Chunks>
[[gnu::always_inline]] inline LineMarks MarkLine(const char* p) noexcept {
  static_assert(Chunks >= 1 && Chunks <= 4);
  LineMarks m;
  for (int k = 0; k < Chunks; ++k) {
    const char* q = p + 16 * k;
    m.lf |= std::uint64_t{Mask16(q, '\n', '\n')} << (16 * k);
    m.cr |= std::uint64_t{Mask16(q, '\r', '\r')} << (16 * k);
    m.comma |= std::uint64_t{Mask16(q, ',', ',')} << (16 * k);
  }
  return m;
}

// Copies n bytes, for Width <= n <= 2 * Width, as two words of Width bytes that overlap: one
// from the start and one from the end.
template <std::size_t Width>
[[gnu::always_inline]] inline void CopyEnds(char* to, const char* from, std::size_t n) noexcept {
  char head[Width];
  char tail[Width];
  std::memcpy(head, from, Width);
  std::memcpy(tail, from + n - Width, Width);
  std::memcpy(to, head, Width);
  std::memcpy(to + n - Width, tail, Width);
}

// Copies n bytes. The pieces of an output line are mostly a few bytes long; up to 32 they are
// moved with two overlapping loads and stores rather than a call.
[[gnu::always_inline]] inline void CopyBytes(char* to, const char* from, std::size_t n) noexcept {
  if (n > 32) {
    std::memcpy(to, from, n);
  } else if (n > 16) {
    CopyEnds<16>(to, from, n);
  } else if (n >= 8) {
    CopyEnds<8>(to, from, n);
  } else if (n >= 4) {
    CopyEnds<4>(to, from, n);
  } else if (n > 0) {
    to[0] = from[0];
    to[n / 2] = from[n / 2];
    to[n - 1] = from[n - 1];
  }
}

// The first byte in [begin, end) that is `a` or `b`, or end: both sought in one pass.
inline const char* FindEither(const char* begin, const char* end, char a, char b) noexcept {
  const char* p = begin;
  if constexpr (kEnabled) {
    for (; end - p >= 16; p += 16) {
      const std::uint32_t found = Mask16(p, a, b);
      if (found != 0) return p + std::countr_zero(found);
    }
    for (; end - p >= 8; p += 8) {
      const std::uint64_t w = Load(p);
      const std::uint64_t found = BytesEqual(w, static_cast<unsigned char>(a)) |
                                  BytesEqual(w, static_cast<unsigned char>(b));
      if (found != 0) return p + FirstMarked(found);
    }
  }
  while (p < end && *p != a && *p != b) ++p;
  return p;
}

}  // namespace talvo::text::words
