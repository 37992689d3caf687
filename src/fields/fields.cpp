#include "fields/fields.h"

#include "text/byte_words.h"
#include "text/cp932.h"

namespace talvo::fields {
namespace {

// Seeks field n among the separating commas of a line, told to it in order: where the field
// starts and the comma that ends it. GetField and LocateReplacement feed one each; row
// processing feeds two, for the target field and the write position, from one pass.
class FieldSeeker {
 public:
  explicit FieldSeeker(std::int32_t n) noexcept
      : left_(n < 1 ? 0 : static_cast<std::uint32_t>(n)), done_(n < 1) {}
  bool Done() const noexcept { return done_; }
  void Comma(std::size_t at) noexcept {
    if (done_) return;
    if (left_ == 1) {
      end_ = at;
      done_ = true;
    } else {
      --left_;
      start_ = at + 1;
    }
  }
  // GetField's answer, once the line's commas are told: a field not ended by a comma ends with
  // the line when it is the line's last field.
  std::string_view Field(std::string_view line) const noexcept {
    if (left_ == 0) return {};  // n < 1
    if (done_) return line.substr(start_, end_ - start_);
    return left_ == 1 ? line.substr(start_) : std::string_view{};
  }

  // LocateReplacement's answer, once the line's commas are told, in the line followed by
  // `appended`: the commas of `appended` are reached from its first byte or, when that byte
  // completes the line's last character, from its second.
  Replacement Place(std::string_view line, std::string_view appended) noexcept {
    if (left_ == 0) return {};  // n < 1: the value goes in front of the whole line
    if (done_) return {start_, true, end_ + 1};
    const std::size_t base = line.size();
    // What is appended is a few bytes at most: stepped through one character at a time.
    std::size_t at = text::EndsInsideCharacter(line.substr(start_)) ? 1 : 0;
    while (!done_ && at < appended.size()) {
      const auto c = static_cast<unsigned char>(appended[at]);
      if (c == ',') Comma(base + at);
      at += text::IsLeadByte(c) ? 2u : 1u;
    }
    if (done_) return {start_, true, end_ + 1};
    return {start_, false, base + appended.size()};  // the last field takes the value
  }

 private:
  std::uint32_t left_;     // fields still to reach, counting the one sought; 0 for n < 1
  bool done_;
  std::size_t start_ = 0;  // where the field being looked at begins
  std::size_t end_ = 0;    // the comma that ends the sought field, once done
};

// The commas of a line of at most 64 bytes none of which is above 0x7F, as a mask with bit k
// for byte k; false for any other line. Such a line holds no lead byte, so every comma in it
// separates fields and none needs stepping to: this is the common line of a data export, and
// its mask is built without a branch per comma.
bool PlainCommaMask(std::string_view line, std::uint64_t& commas) noexcept {
  namespace words = text::words;
  if constexpr (!words::kEnabled) return false;
  const std::size_t n = line.size();
  if (n > 64) return false;
  const char* p = line.data();
  if (n >= 16) {
    // Sixteen bytes at a time; the last sixteen of the line overlap those already seen, whose
    // marks are shifted out.
    std::uint64_t mask = 0;
    std::uint32_t high = 0;
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
      const words::Marks16 m = words::Mark16(p + i, ',', ',');
      mask |= std::uint64_t{m.found} << i;
      high |= m.high;
    }
    if (i < n) {
      const words::Marks16 m = words::Mark16(p + n - 16, ',', ',');
      const std::size_t seen_before = 16 - (n - i);
      mask |= std::uint64_t{m.found >> seen_before} << i;
      high |= m.high >> seen_before;
    }
    if (high != 0) return false;
    commas = mask;
    return true;
  }
  std::uint64_t mask = 0;
  std::uint64_t seen = 0;  // every byte looked at, or-ed together, for the high bits
  const auto add = [&](std::uint64_t w, std::size_t at) {
    seen |= w;
    // Bit 7 of each comma byte down to bit 0, then the eight bits gathered into one byte.
    const std::uint64_t eq = words::BytesEqual(w, ',') >> 7;
    mask |= ((eq * 0x0102040810204080u) >> 56) << at;
  };
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) add(words::Load(p + i), i);
  if (i < n) {
    // The last few bytes, with zeros above them, which are neither commas nor high.
    std::uint64_t w = 0;
    if (n >= 8) {
      w = words::Load(p + n - 8) >> (8 * (8 - (n - i)));
    } else {
      for (std::size_t k = n; k > i; --k) w = (w << 8) | static_cast<unsigned char>(p[k - 1]);
    }
    add(w, i);
  }
  if ((seen & words::kHighBits) != 0) return false;
  commas = mask;
  return true;
}

}  // namespace

std::int32_t CountFields(std::string_view line) noexcept {
  // Counted without sign so that a line of more than 2^31 commas wraps as a 32-bit count does.
  std::uint32_t commas = 0;
  text::ScanCharacterStarts(line, ',', [&](std::size_t) {
    ++commas;
    return false;
  });
  return static_cast<std::int32_t>(commas + 1u);
}

std::string_view GetField(std::string_view line, std::int32_t n) noexcept {
  FieldSeeker field(n);
  if (!field.Done()) {
    text::ScanCharacterStarts(line, ',', [&](std::size_t at) {
      field.Comma(at);
      return field.Done();
    });
  }
  return field.Field(line);
}

Replacement LocateReplacement(std::string_view line, std::int32_t n) noexcept {
  return LocateReplacement(line, {}, n);
}

Replacement LocateReplacement(std::string_view line, std::string_view appended,
                              std::int32_t n) noexcept {
  FieldSeeker place(n);
  if (!place.Done()) {
    text::ScanCharacterStarts(line, ',', [&](std::size_t at) {
      place.Comma(at);
      return place.Done();
    });
  }
  return place.Place(line, appended);
}

FieldAndPlace GetFieldAndLocate(std::string_view line, std::int32_t column,
                                std::string_view appended, std::int32_t position) noexcept {
  FieldSeeker field(column);
  FieldSeeker place(position);
  const auto comma = [&](std::size_t at) {
    field.Comma(at);
    place.Comma(at);
    return field.Done() && place.Done();
  };
  std::uint64_t commas = 0;
  if (field.Done() && place.Done()) {
    // Neither needs a comma.
  } else if (PlainCommaMask(line, commas)) {
    return GetFieldAndLocatePlain(line, commas, column, appended, position);
  } else {
    text::ScanCharacterStarts(line, ',', comma);
  }
  return {field.Field(line), place.Place(line, appended)};
}

std::string ReplaceField(std::string_view line, std::int32_t n, std::string_view value) {
  const Replacement r = LocateReplacement(line, n);
  std::string out;
  out.reserve(r.prefix + value.size() + 1 + (line.size() - r.rest));
  out.append(line.substr(0, r.prefix)).append(value);
  if (r.comma) out.push_back(',');
  out.append(line.substr(r.rest));
  return out;
}

}  // namespace talvo::fields
