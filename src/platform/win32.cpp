// Windows side of the platform seam.
//
// Here talvo is at home: paths go to the ANSI file functions as the code-page-932 bytes they
// are, sharing is the system's own sharing modes, and every code handed up is GetLastError()
// as the system reports it. The command line is split by the program itself, so that quotes and
// backslashes mean what talvo's users expect rather than what the C run-time's parser does.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "platform/platform.h"
#include "text/command_line.h"
#include "text/cp932.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;  // start of the program image, from the linker

namespace talvo::platform {
namespace {

// WriteFile and ReadFile move at most a DWORD at a time.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

HANDLE Native(Handle h) { return reinterpret_cast<HANDLE>(h); }
Handle Wrap(HANDLE h) { return reinterpret_cast<Handle>(h); }

int LastError() {
  const DWORD err = ::GetLastError();
  // A failure that did not say why still has to come out as a failure.
  return err == 0 ? ERROR_GEN_FAILURE : static_cast<int>(err);
}

DWORD Attributes(std::string_view path) {
  return ::GetFileAttributesA(std::string(path).c_str());
}

IoResult WriteAll(HANDLE h, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const DWORD chunk = static_cast<DWORD>(std::min(size - done, kMaxTransfer));
    DWORD n = 0;
    if (!::WriteFile(h, data + done, chunk, &n, nullptr)) return {done + n, LastError()};
    if (n == 0) return {done, ERROR_DISK_FULL};  // the system took nothing and said nothing
    done += n;
  }
  return {done, 0};
}

// The standard handles may be missing altogether (a program started without a console).
int WriteStandard(DWORD which, std::string_view bytes) {
  const HANDLE h = ::GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
  return WriteAll(h, bytes.data(), bytes.size()).code;
}

// The output file as an interruption sees it. Writing it, cutting it and closing it hold
// output_lock; an interruption takes the lock and never gives it back, so that nothing is
// written after its cut.
SRWLOCK output_lock = SRWLOCK_INIT;
HANDLE output_file = INVALID_HANDLE_VALUE;  // under output_lock
std::uint64_t output_complete = 0;          // under output_lock: bytes that are whole lines
std::atomic<bool> output_on_disk{false};    // a file on a disk is open as the output

class OutputLock {
 public:
  OutputLock() { ::AcquireSRWLockExclusive(&output_lock); }
  ~OutputLock() { ::ReleaseSRWLockExclusive(&output_lock); }
  OutputLock(const OutputLock&) = delete;
  OutputLock& operator=(const OutputLock&) = delete;
};

// Ctrl+C, Ctrl+Break and closing the console: the system runs this on a thread of its own.
// The output is cut back to its whole lines, then the process ends with status 1. Only a file
// on a disk is cut, and only then is the lock waited for: a write to a pipe may block for as
// long as its reader does.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  if (output_on_disk.load()) {
    ::AcquireSRWLockExclusive(&output_lock);  // kept until the end
    if (output_file != INVALID_HANDLE_VALUE) {
      LARGE_INTEGER at;
      at.QuadPart = static_cast<LONGLONG>(output_complete);
      if (::SetFilePointerEx(output_file, at, nullptr, FILE_BEGIN)) {
        (void)::SetEndOfFile(output_file);
      }
    }
  }
  ::ExitProcess(1);
}

}  // namespace

void Initialize() {
  // A drive without a medium or a missing file must come back as a code, never as a dialog
  // that a batch job would wait on.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

std::vector<std::string> Arguments(int, char**) {
  std::vector<std::string> items = text::SplitCommandLine(::GetCommandLineA());
  if (!items.empty()) items.erase(items.begin());  // the program's own name
  return items;
}

std::string ProgramName(int, char**) {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return "talvo.exe";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);  // cut short: try again with more room
  }
  const std::size_t slash = text::FindLastByte(path, '\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

char DirectorySeparator() noexcept { return '\\'; }

bool IsExistingFile(std::string_view path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsExistingDirectory(std::string_view path) {
  if (path.empty()) return false;
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

OpenResult OpenInput(std::string_view path) {
  const HANDLE h = ::CreateFileA(std::string(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {-1, LastError()};
  return {Wrap(h), 0};
}

// The input needs no look here: it is held with read sharing only, so the system itself refuses
// to open it for writing under any name (error 32).
OpenResult CreateOutput(std::string_view path, Handle) {
  const std::string name(path);
  // Windows refuses to write a read-only file with 5; wine running as root would write it
  // anyway, so the attribute is honoured here before the file is touched.
  const DWORD a = ::GetFileAttributesA(name.c_str());
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) != 0) {
    return {-1, ERROR_ACCESS_DENIED};
  }
  const HANDLE h = ::CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {-1, LastError()};
  const OutputLock lock;
  output_file = h;
  output_complete = 0;
  output_on_disk.store(::GetFileType(h) == FILE_TYPE_DISK);
  return {Wrap(h), 0};
}

bool IsDiskFile(Handle file) { return ::GetFileType(Native(file)) == FILE_TYPE_DISK; }

IoResult Read(Handle file, char* data, std::size_t size) {
  DWORD n = 0;
  if (!::ReadFile(Native(file), data, static_cast<DWORD>(std::min(size, kMaxTransfer)), &n,
                  nullptr)) {
    const DWORD err = ::GetLastError();
    if (err == ERROR_HANDLE_EOF || err == ERROR_BROKEN_PIPE) return {0, 0};
    return {n, err == 0 ? ERROR_GEN_FAILURE : static_cast<int>(err)};
  }
  return {n, 0};
}

// Only the output is written through here.
IoResult Write(Handle file, std::span<const std::string_view> pieces) {
  const OutputLock lock;
  // WriteFileGather takes only whole pages of a file opened without buffering: piece by piece.
  std::size_t done = 0;
  for (const std::string_view piece : pieces) {
    const IoResult r = WriteAll(Native(file), piece.data(), piece.size());
    done += r.bytes;
    if (r.code != 0) return {done, r.code};
  }
  return {done, 0};
}

void MarkCompleteLength(Handle file, std::uint64_t bytes) noexcept {
  const OutputLock lock;
  if (Native(file) == output_file) output_complete = bytes;
}

void Truncate(Handle file, std::uint64_t size) {
  const OutputLock lock;
  const HANDLE h = Native(file);
  if (::GetFileType(h) != FILE_TYPE_DISK) return;  // a device or a pipe is left as it is
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(size);
  if (::SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) (void)::SetEndOfFile(h);
}

int Close(Handle file) {
  const OutputLock lock;
  if (Native(file) == output_file) {
    // Once closed the output is whole, and its handle may be reused: nothing to cut.
    output_file = INVALID_HANDLE_VALUE;
    output_on_disk.store(false);
  }
  return ::CloseHandle(Native(file)) ? 0 : LastError();
}

// The console takes the ANSI code page's bytes, code page 932 where talvo is at home; only the
// failure report is converted, to the OEM code page, once it is cut (WriteReport).
std::string ConsoleBytes(const text::ConsoleText& text) { return text.Bytes(); }

std::size_t ConsoleCharacterLength(std::string_view) noexcept { return 1; }

int WriteStandardOutput(std::string_view bytes) {
  return WriteStandard(STD_OUTPUT_HANDLE, bytes);
}

int WriteStandardError(std::string_view bytes) { return WriteStandard(STD_ERROR_HANDLE, bytes); }

int WriteReport(std::string_view bytes) {
  // Where the two code pages are one, the bytes go out as they are: a report cut inside a
  // double-byte character must not lose the CR LF after it to a round trip through UTF-16.
  if (::GetACP() == ::GetOEMCP() || bytes.empty()) return WriteStandardError(bytes);
  const int size = static_cast<int>(std::min<std::size_t>(bytes.size(), 0x7FFFFFFF));
  const int wide_size = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  if (wide_size <= 0) return WriteStandardError(bytes);
  std::wstring wide(static_cast<std::size_t>(wide_size), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), wide_size);
  const int oem_size =
      ::WideCharToMultiByte(CP_OEMCP, 0, wide.data(), wide_size, nullptr, 0, nullptr, nullptr);
  if (oem_size <= 0) return WriteStandardError(bytes);
  std::string oem(static_cast<std::size_t>(oem_size), '\0');
  ::WideCharToMultiByte(CP_OEMCP, 0, wide.data(), wide_size, oem.data(), oem_size, nullptr,
                        nullptr);
  return WriteStandardError(oem);
}

int ReadStandardInputLine() {
  const HANDLE h = ::GetStdHandle(STD_INPUT_HANDLE);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return 0;  // nothing to wait on
  // One byte at a time, so that nothing after the line is taken from a shared input.
  for (;;) {
    char c = 0;
    DWORD n = 0;
    if (!::ReadFile(h, &c, 1, &n, nullptr)) {
      const DWORD err = ::GetLastError();
      if (err == ERROR_BROKEN_PIPE || err == ERROR_HANDLE_EOF) return 0;
      return err == 0 ? ERROR_GEN_FAILURE : static_cast<int>(err);
    }
    if (n == 0 || c == '\n') return 0;
  }
}

std::uint32_t ImageOffset(std::uintptr_t address) noexcept {
  return static_cast<std::uint32_t>(address - reinterpret_cast<std::uintptr_t>(&__ImageBase));
}

}  // namespace talvo::platform
