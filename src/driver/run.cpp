#include "driver/run.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <vector>

#include "driver/line_reader.h"
#include "driver/line_writer.h"
#include "driver/rows.h"
#include "platform/platform.h"
#include "text/cp932.h"
#include "text/literals.h"

namespace talvo::driver {
namespace {

constexpr std::size_t kReportLimit = 1024;

// Memory set aside at start-up and given back before the report of an exception is put
// together, so that running out of memory does not also take the means to say so.
constexpr std::size_t kReportReserve = 256 * 1024;
std::unique_ptr<char[]> report_reserve;

class InputFile final : public ByteSource {
 public:
  InputFile(std::string_view path, platform::Handle handle) : path_(path), handle_(handle) {}
  platform::IoResult Read(char* data, std::size_t size) override {
    return platform::Read(handle_, data, size);
  }
  int Reopen() override {
    platform::Close(handle_);
    const platform::OpenResult r = platform::OpenInput(path_);
    handle_ = r.handle;
    return r.code;
  }
  bool ReopensAtStart() const override { return platform::IsDiskFile(handle_); }
  platform::Handle handle() const { return handle_; }

 private:
  std::string_view path_;
  platform::Handle handle_;
};

class OutputFile final : public ByteSink {
 public:
  explicit OutputFile(platform::Handle handle) : handle_(handle) {}
  platform::IoResult Write(std::span<const std::string_view> pieces) override {
    return platform::Write(handle_, pieces);
  }
  void Truncate(std::uint64_t size) override { platform::Truncate(handle_, size); }
  void MarkComplete(std::uint64_t size) override { platform::MarkCompleteLength(handle_, size); }
  platform::Handle handle() const { return handle_; }

 private:
  platform::Handle handle_;
};

void WriteConsole(const text::ConsoleText& s) {
  const int code = platform::WriteStandardOutput(platform::ConsoleBytes(s));
  if (code != 0) ThrowIoFailure(code);
}

// Refusals before any file is touched go to standard error; there is nowhere to tell a failure
// to write them. The path is shown as the user gave it.
void Refuse(std::string_view what, std::string_view path) {
  text::ConsoleText line;
  line.Own(what).User(path).Own(text::kCrLf);
  platform::WriteStandardError(platform::ConsoleBytes(line));
}

// The open-failure text, then the pause that keeps a console window open until Enter.
void TellOpenFailure(int code) {
  text::ConsoleText s;
  s.Own(IoText(code)).Own(text::kCrLf).Own(text::kCannotOpen).Own(text::kCrLf);
  WriteConsole(s);
  if (const int read = platform::ReadStandardInputLine(); read != 0) ThrowIoFailure(read);
}

std::string_view DirectoryPart(std::string_view path) {
  const std::size_t at = text::FindLastByte(path, platform::DirectorySeparator());
  return at == std::string_view::npos ? std::string_view{} : path.substr(0, at);
}

// Everything from the argument count to closing the files. Returns the exit status; throws
// Failure for the failure report, and passes any other exception on, in either case after
// handing the complete lines to the output.
int Run(const std::vector<std::string>& args) {
  if (args.size() != 6) {
    WriteConsole(UsageText());
    return 1;
  }
  const std::string_view input_path = args[0];
  const std::string_view output_path = args[1];
  const RowSettings settings{args[2], args[3], args[4], args[5]};

  if (!platform::IsExistingFile(input_path)) {
    Refuse(text::kInputNotFound, input_path);
    return 1;
  }
  if (!platform::IsExistingDirectory(DirectoryPart(output_path))) {
    Refuse(text::kOutputDirNotFound, output_path);
    return 1;
  }

  const platform::OpenResult in = platform::OpenInput(input_path);
  if (in.code != 0) {
    TellOpenFailure(in.code);
    return 1;
  }
  const platform::OpenResult out = platform::CreateOutput(output_path, in.handle);
  if (out.code != 0) {
    TellOpenFailure(out.code);
    return 1;
  }

  InputFile input(input_path, in.handle);
  OutputFile output(out.handle);
  LineReader reader(input);
  LineWriter writer(output);
  try {
    ProcessRows(settings, input, reader, writer);
    writer.Flush();
  } catch (...) {
    writer.FlushCompleteLinesQuietly();
    throw;
  }
  platform::Close(input.handle());
  if (const int code = platform::Close(output.handle()); code != 0) ThrowIoFailure(code);
  return 0;
}

}  // namespace

text::ConsoleText UsageText() {
  static constexpr std::array<std::string_view, 24> kLines = {
      "",
      "talvo.exe i o f r w c",
      "",
      text::kUsageInput,
      text::kUsageOutput,
      text::kUsageHeader,
      text::kUsageHeaderAbsent,
      text::kUsageHeaderPresent,
      text::kUsageColumn,
      text::kUsageWrite,
      text::kUsageWriteOverwrite,
      text::kUsageWriteAppend,
      text::kUsageCheckType,
      "    0:7DR",
      "    1:7DSR",
      "    2:9DR",
      "    3:9DSR",
      "    4:M10W2",
      text::kUsageLuhn,
      "    6:M10W3",
      "    7:M11",
      text::kUsageWeightedM11,
      "    9:M16",
      "   10:M43",
  };
  text::ConsoleText s;
  for (std::size_t k = 0; k < kLines.size(); ++k) {
    if (k != 0) s.Own(text::kCrLf);
    s.Own(kLines[k]);
  }
  s.Own(text::kCrLf);
  return s;
}

Failure UnexpectedFailure(std::uintptr_t place) {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return Failure{text::kOutOfMemoryKind, text::ConsoleText().Own(text::kOutOfMemory), place};
  } catch (const std::exception& e) {
    return Failure{text::kExceptionKind, text::ConsoleText().Own(e.what()), place};
  } catch (...) {
    return Failure{text::kExceptionKind, text::ConsoleText(), place};
  }
}

text::ConsoleText FailureReport(const Failure& failure, std::string_view module,
                                std::uint32_t offset) {
  std::array<char, 9> address{};
  std::snprintf(address.data(), address.size(), "%08X", static_cast<unsigned>(offset));
  text::ConsoleText report;
  report.Own(failure.kind).Own(text::kReportRaisedIn).User(module).Own(text::kReportAt);
  report.Own(std::string_view(address.data(), 8)).Own(text::kReportOccurred).Own(text::kCrLf);
  report.Append(failure.message);
  const std::string message = failure.message.Bytes();
  if (!message.empty() && message.back() != '.') report.Own(".");
  report.Own(text::kCrLf);
  return report;
}

std::string CutReport(std::string bytes, CharacterLength length) {
  if (bytes.size() > kReportLimit) {
    const std::string_view all = bytes;
    std::size_t end = 0;
    for (;;) {
      const std::size_t next = end + std::max<std::size_t>(1, length(all.substr(end)));
      if (next > kReportLimit) break;
      end = next;
    }
    bytes.resize(end);
  }
  bytes.append(text::kCrLf);
  return bytes;
}

namespace {

// The place told for an exception that carries none: the caller's return address.
[[gnu::noinline]] std::uintptr_t CatchSite() {
  return reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
}

// Writes the failure report; the status that goes with it. A report that cannot be put
// together is not told: nothing is left to tell it with.
int TellFailure(const Failure& failure, int argc, char** argv) noexcept {
  try {
    const text::ConsoleText report = FailureReport(failure, platform::ProgramName(argc, argv),
                                                   platform::ImageOffset(failure.place));
    platform::WriteReport(
        CutReport(platform::ConsoleBytes(report), platform::ConsoleCharacterLength));
  } catch (...) {
  }
  return 1;
}

}  // namespace

int Main(int argc, char** argv) {
  platform::Initialize();
  try {
    report_reserve = std::make_unique_for_overwrite<char[]>(kReportReserve);
    return Run(platform::Arguments(argc, argv));
  } catch (const Failure& failure) {
    return TellFailure(failure, argc, argv);
  } catch (...) {
    report_reserve.reset();
    const std::uintptr_t place = CatchSite();
    try {
      return TellFailure(UnexpectedFailure(place), argc, argv);
    } catch (...) {
      return 1;  // not even the failure could be put together
    }
  }
}

}  // namespace talvo::driver
