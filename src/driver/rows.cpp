#include "driver/rows.h"

#include <algorithm>
#include <cstring>

#include "driver/methods.h"
#include "fields/fields.h"
#include "text/integer_text.h"
#include "text/literals.h"

namespace talvo::driver {

void ProcessRows(const RowSettings& settings, ByteSource& source, LineReader& reader,
                 LineWriter& writer) {
  // r, w and c are the same texts on every line, so each converts (or fails) the same way
  // every time: converting once gives the same results at the same points.
  const std::optional<std::int32_t> column = text::ParseInt(settings.column);
  const std::optional<std::int32_t> write = text::ParseInt(settings.write);
  const std::optional<std::int32_t> check = text::ParseInt(settings.check);

  std::string_view line = reader.ReadLine();
  const std::int32_t field_count = fields::CountFields(line);
  if (settings.header == "1") {
    writer.Append(line);
    if (settings.write == "1") writer.Append(text::kHeaderSuffix);
    writer.EndLine();
  } else {
    if (const int code = source.Reopen(); code != 0) ThrowIoFailure(code);
    reader.Restart();
  }

  // Both are kept from line to line: a code outside the method table keeps the last result,
  // and a write mode other than 0 or 1 keeps the last write position.
  std::string checked;
  std::int32_t write_position = 0;
  std::string current;  // the line with what the rules append to it
  while (!reader.AtEnd()) {
    line = reader.ReadLine();

    const bool marked = !column || !check;
    if (!marked) RunMethod(*check, fields::GetField(line, *column), checked);

    if (!write) ThrowConvertFailure(settings.write);
    std::string_view suffix;
    if (*write == 0) {
      if (!column) ThrowConvertFailure(settings.column);
      write_position = *column;
    } else if (*write == 1) {
      // Wraps like the 32-bit field count it comes from.
      write_position = static_cast<std::int32_t>(static_cast<std::uint32_t>(field_count) + 1u);
    }
    std::string_view target = line;
    if (marked || *write == 1) {
      current.assign(line);
      if (marked) current.append(text::kMarker);
      if (*write == 1) current.push_back(',');
      target = current;
    }

    const fields::Replacement at = fields::LocateReplacement(target, write_position);
    writer.Append(target.substr(0, at.prefix));
    writer.Append(checked);
    if (at.comma) writer.Append(',');
    writer.Append(target.substr(at.rest));
    writer.EndLine();
  }
}

namespace {

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  platform::IoResult Read(char* data, std::size_t size) override {
    const std::size_t n = std::min(size, bytes_.size() - pos_);
    if (n != 0) std::memcpy(data, bytes_.data() + pos_, n);
    pos_ += n;
    return {n, 0};
  }
  int Reopen() override {
    pos_ = 0;
    return 0;
  }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

class MemorySink final : public ByteSink {
 public:
  platform::IoResult Write(const char* data, std::size_t size) override {
    bytes.append(data, size);
    return {size, 0};
  }
  void Truncate(std::uint64_t size) override { bytes.resize(static_cast<std::size_t>(size)); }
  std::string bytes;
};

}  // namespace

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
