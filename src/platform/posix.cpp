// POSIX side of the platform seam.
//
// Windows gives talvo sharing modes and its own error numbers; here sharing is built from
// flock (a shared lock on the input, an exclusive one on the output, on regular files only, as
// Windows shares devices freely) and errno is mapped onto the Windows numbers that the console
// texts are keyed on. Paths are bytes to the system, which knows nothing of double-byte
// characters: a '/' byte always separates. The program's own console texts follow the user's
// locale, as gettext-based tools do, converted with iconv.
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <optional>

#include "platform/platform.h"

extern "C" char __executable_start[];  // start of the program image, from the linker

namespace talvo::platform {
namespace {

constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kTooManyOpenFiles = 4;
constexpr int kAccessDenied = 5;
constexpr int kInvalidHandle = 6;
constexpr int kSharingViolation = 32;
constexpr int kFileExists = 80;
constexpr int kInvalidParameter = 87;
constexpr int kBrokenPipe = 109;
constexpr int kDiskFull = 112;
constexpr int kBusy = 170;
constexpr int kFilenameTooLong = 206;
constexpr int kFileTooLarge = 223;
constexpr int kNotReady = 21;
constexpr int kIoDevice = 1117;
constexpr int kGeneralFailure = 31;

std::string CString(std::string_view s) { return std::string(s); }

// Whether the folder the system looked in for `path` exists: the part before the last '/'.
bool ParentExists(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return true;  // relative to the working directory
  const std::string parent = slash == 0 ? std::string("/") : std::string(path.substr(0, slash));
  struct stat st;
  return ::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The Windows number for an errno. `path` tells "file not found" from "path not found".
int MapErrno(int err, std::string_view path = {}) {
  switch (err) {
    case 0: return kGeneralFailure;
    case ENOENT: return path.empty() || ParentExists(path) ? kFileNotFound : kPathNotFound;
    case ENOTDIR: return kPathNotFound;
    case EMFILE:
    case ENFILE: return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return kAccessDenied;
    case EBADF: return kInvalidHandle;
    case EWOULDBLOCK:
    case ETXTBSY: return kSharingViolation;
    case EEXIST: return kFileExists;
    case EINVAL: return kInvalidParameter;
    case EPIPE: return kBrokenPipe;
    case ENOSPC:
    case EDQUOT: return kDiskFull;
    case EBUSY: return kBusy;
    case ENAMETOOLONG:
    case ELOOP: return kFilenameTooLong;
    case EFBIG: return kFileTooLarge;
    case ENXIO:
    case ENODEV: return kNotReady;
    case EIO: return kIoDevice;
    default: return kGeneralFailure;
  }
}

// Only regular files are ever "the same file": a terminal, a pipe or a device may be read and
// written at once, as Windows allows for devices.
bool SameFile(const struct stat& a, const struct stat& b) {
  return S_ISREG(a.st_mode) && S_ISREG(b.st_mode) && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

int Descriptor(Handle h) { return static_cast<int>(h); }

// Writes all the bytes of the pieces, or as many as the system took before it failed. They go
// in one writev for as many of them as it takes at once: a run of pieces costs the system one
// write, not one for each.
IoResult WriteAll(int fd, std::span<const std::string_view> pieces) {
  constexpr std::size_t kMostAtOnce = 64;  // well within every system's IOV_MAX
  std::size_t done = 0;
  std::size_t next = 0;  // the first piece not wholly written
  std::size_t skip = 0;  // bytes of it already written
  for (;;) {
    std::array<iovec, kMostAtOnce> iov;
    int count = 0;
    for (std::size_t k = next; k < pieces.size() && count < static_cast<int>(kMostAtOnce); ++k) {
      const std::size_t from = k == next ? skip : 0;
      if (pieces[k].size() == from) continue;  // writev would take an empty piece as nothing
      iov[static_cast<std::size_t>(count)].iov_base = const_cast<char*>(pieces[k].data() + from);
      iov[static_cast<std::size_t>(count)].iov_len = pieces[k].size() - from;
      ++count;
    }
    if (count == 0) return {done, 0};
    const ssize_t n = ::writev(fd, iov.data(), count);
    if (n < 0) {
      if (errno == EINTR) continue;
      return {done, MapErrno(errno)};
    }
    if (n == 0) return {done, kDiskFull};  // the system took nothing and said nothing
    done += static_cast<std::size_t>(n);
    // Steps past what was taken, which may end anywhere within a piece.
    for (auto left = static_cast<std::size_t>(n); left != 0;) {
      const std::size_t rest = pieces[next].size() - skip;
      if (left < rest) {
        skip += left;
        break;
      }
      left -= rest;
      ++next;
      skip = 0;
    }
  }
}

IoResult WriteAll(int fd, std::string_view bytes) { return WriteAll(fd, std::span(&bytes, 1)); }

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// From code page 932 to the console's character set, set once by Initialize; kNoConverter
// where the console gets the program's bytes as they are.
iconv_t console_converter = kNoConverter;

// Character-set names compare without regard to the case of ASCII letters.
bool SameName(std::string_view a, std::string_view b) {
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (upper(a[k]) != upper(b[k])) return false;
  }
  return true;
}

// ASCII (the C locale's set) and code page 932 or Shift_JIS, under the names systems give
// them: there the console gets exactly the bytes the Windows build writes.
bool TakesBytesAsTheyAre(std::string_view codeset) {
  static constexpr std::array<std::string_view, 10> kNames = {
      "ANSI_X3.4-1968", "ASCII", "US-ASCII", "CP932", "WINDOWS-31J", "MS_KANJI",
      "SHIFT_JIS", "SHIFT-JIS", "SJIS", "CSSHIFTJIS",
  };
  for (const std::string_view name : kNames) {
    if (SameName(codeset, name)) return true;
  }
  return false;
}

// `own` in the console's character set, or nullopt where iconv cannot convert it.
std::optional<std::string> ToConsole(std::string_view own) {
  ::iconv(console_converter, nullptr, nullptr, nullptr, nullptr);  // from the initial state
  std::string out(own.size() * 3 + 16, '\0');
  char* in = const_cast<char*>(own.data());
  std::size_t in_left = own.size();
  char* at = out.data();
  std::size_t room = out.size();
  const auto grow = [&] {
    const std::size_t used = static_cast<std::size_t>(at - out.data());
    out.resize(out.size() * 2);
    at = out.data() + used;
    room = out.size() - used;
  };
  // The input, then the return of a stateful set to its initial shift state.
  for (char** from : {&in, static_cast<char**>(nullptr)}) {
    while (::iconv(console_converter, from, from ? &in_left : nullptr, &at, &room) ==
           static_cast<std::size_t>(-1)) {
      if (errno != E2BIG) return std::nullopt;
      grow();
    }
  }
  out.resize(static_cast<std::size_t>(at - out.data()));
  return out;
}

// The output file as an interruption sees it. Writing it, cutting it and closing it hold
// output_lock; an interruption takes the lock and never gives it back, so that nothing is
// written after its cut.
pthread_mutex_t output_lock = PTHREAD_MUTEX_INITIALIZER;
int output_fd = -1;                          // under output_lock
std::uint64_t output_complete = 0;           // under output_lock: bytes that are whole lines
std::atomic<bool> output_on_disk{false};     // a regular file is open as the output

class OutputLock {
 public:
  OutputLock() { ::pthread_mutex_lock(&output_lock); }
  ~OutputLock() { ::pthread_mutex_unlock(&output_lock); }
  OutputLock(const OutputLock&) = delete;
  OutputLock& operator=(const OutputLock&) = delete;
};

// The signals that interrupt a run; fixed before the thread that waits for them starts.
sigset_t interruptions;

// Waits for an interruption, cuts the output back to its whole lines, then ends the process
// with the signal's own default action. Only a regular file is cut, and only then is the lock
// waited for: a write to a pipe may block for as long as its reader does.
void* AwaitInterruption(void*) {
  int sig = 0;
  while (::sigwait(&interruptions, &sig) != 0) {
  }
  if (output_on_disk.load()) {
    ::pthread_mutex_lock(&output_lock);  // kept until the end
    if (output_fd >= 0) (void)!::ftruncate(output_fd, static_cast<off_t>(output_complete));
  }
  ::signal(sig, SIG_DFL);
  sigset_t one;
  ::sigemptyset(&one);
  ::sigaddset(&one, sig);
  ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  ::raise(sig);
  ::_exit(128 + sig);  // not reached: the default action of each of these ends the process
}

// Interruptions are taken by one thread that waits for them rather than by a handler, so that
// the cut can wait for a write under way. A signal the process was started with ignored
// (nohup, a background job) stays ignored.
void WatchForInterruptions() {
  ::sigemptyset(&interruptions);
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction now;
    if (::sigaction(sig, nullptr, &now) == 0 && now.sa_handler != SIG_IGN) {
      ::sigaddset(&interruptions, sig);
    }
  }
  // Blocked before any other thread starts, so that every thread inherits the mask and only
  // the waiting thread ever takes these signals.
  if (::pthread_sigmask(SIG_BLOCK, &interruptions, nullptr) != 0) return;
  pthread_attr_t attr;
  bool started = false;
  if (::pthread_attr_init(&attr) == 0) {
    ::pthread_attr_setstacksize(&attr, 256 * 1024);  // it needs little; keep the address space
    ::pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t waiter;
    started = ::pthread_create(&waiter, &attr, AwaitInterruption, nullptr) == 0;
    ::pthread_attr_destroy(&attr);
  }
  // Without the thread the signals keep their default action, as before.
  if (!started) ::pthread_sigmask(SIG_UNBLOCK, &interruptions, nullptr);
}

// A standard stream left closed would be taken by the next file opened, and the console texts
// meant for it would go into that file.
void OpenClosedStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int null = ::open("/dev/null", O_RDWR);  // the lowest free descriptor: this one
    if (null >= 0 && null != fd) {
      ::dup2(null, fd);
      ::close(null);
    }
  }
}

}  // namespace

void Initialize() {
  OpenClosedStandardStreams();
  // A closed pipe on standard output must come back as a write failure, not kill the process;
  // so must a write beyond the file-size limit (EFBIG), so that the output is cut back to its
  // whole lines and the failure is told.
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
  // A locale that is not installed leaves the C locale, and with it the bytes as they are.
  std::setlocale(LC_CTYPE, "");
  const char* const codeset = ::nl_langinfo(CODESET);
  if (codeset != nullptr && !TakesBytesAsTheyAre(codeset)) {
    console_converter = ::iconv_open(codeset, "CP932");
  }
  WatchForInterruptions();
}

std::vector<std::string> Arguments(int argc, char** argv) {
  std::vector<std::string> args;
  for (int k = 1; k < argc; ++k) args.emplace_back(argv[k]);
  return args;
}

std::string ProgramName(int argc, char** argv) {
  if (argc < 1 || argv[0] == nullptr) return "talvo";
  const std::string_view path = argv[0];
  const std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

char DirectorySeparator() noexcept { return '/'; }

bool IsExistingFile(std::string_view path) {
  struct stat st;
  return ::stat(CString(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsExistingDirectory(std::string_view path) {
  if (path.empty()) return false;
  struct stat st;
  return ::stat(CString(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

OpenResult OpenInput(std::string_view path) {
  const int fd = ::open(CString(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {-1, MapErrno(errno, path)};
  // Others may go on reading; a run writing this file holds an exclusive lock and wins.
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_SH | LOCK_NB) != 0 &&
      errno == EWOULDBLOCK) {
    ::close(fd);
    return {-1, kSharingViolation};
  }
  return {fd, 0};
}

OpenResult CreateOutput(std::string_view path, Handle input) {
  const std::string name = CString(path);
  struct stat in_st;
  const bool have_input = ::fstat(Descriptor(input), &in_st) == 0;

  struct stat st;
  if (::stat(name.c_str(), &st) == 0) {
    // Refused for what the file is before anyone else's use of it is looked at, as Windows
    // checks access before sharing. A file without any write bit is read-only, whoever runs the
    // program (root included).
    if (S_ISDIR(st.st_mode)) return {-1, kAccessDenied};
    if (S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
      return {-1, kAccessDenied};
    }
    if (have_input && SameFile(st, in_st)) return {-1, kSharingViolation};
  }

  // No O_TRUNC: the file is cut only once it is known to be ours, so a failed open leaves an
  // existing file exactly as it was.
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return {-1, MapErrno(errno, path)};
  struct stat out_st;
  if (::fstat(fd, &out_st) != 0) {
    const int code = MapErrno(errno);
    ::close(fd);
    return {-1, code};
  }
  if (have_input && SameFile(out_st, in_st)) {
    ::close(fd);
    return {-1, kSharingViolation};
  }
  const bool regular = S_ISREG(out_st.st_mode);
  if (regular && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    ::close(fd);
    return {-1, kSharingViolation};
  }
  if (regular && out_st.st_size != 0 && ::ftruncate(fd, 0) != 0) {
    const int code = MapErrno(errno);
    ::close(fd);
    return {-1, code};
  }
  const OutputLock lock;
  output_fd = fd;
  output_complete = 0;
  output_on_disk.store(regular);
  return {fd, 0};
}

bool IsDiskFile(Handle file) {
  struct stat st;
  return ::fstat(Descriptor(file), &st) == 0 && (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode));
}

IoResult Read(Handle file, char* data, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(Descriptor(file), data, size);
    if (n >= 0) return {static_cast<std::size_t>(n), 0};
    if (errno != EINTR) return {0, MapErrno(errno)};
  }
}

// Only the output is written through here.
IoResult Write(Handle file, std::span<const std::string_view> pieces) {
  const OutputLock lock;
  return WriteAll(Descriptor(file), pieces);
}

void MarkCompleteLength(Handle file, std::uint64_t bytes) noexcept {
  const OutputLock lock;
  if (Descriptor(file) == output_fd) output_complete = bytes;
}

void Truncate(Handle file, std::uint64_t size) {
  const OutputLock lock;
  struct stat st;
  if (::fstat(Descriptor(file), &st) == 0 && S_ISREG(st.st_mode)) {
    (void)!::ftruncate(Descriptor(file), static_cast<off_t>(size));
  }
}

int Close(Handle file) {
  const OutputLock lock;
  if (Descriptor(file) == output_fd) {
    // Once closed the output is whole, and its descriptor may be reused: nothing to cut.
    output_fd = -1;
    output_on_disk.store(false);
  }
  return ::close(Descriptor(file)) == 0 ? 0 : MapErrno(errno);
}

std::string ConsoleBytes(const text::ConsoleText& text) {
  if (console_converter == kNoConverter) return text.Bytes();
  return text.Join(ToConsole);
}

std::size_t ConsoleCharacterLength(std::string_view bytes) noexcept {
  if (console_converter == kNoConverter) return 1;
  std::mbstate_t state{};
  const std::size_t n = std::mbrlen(bytes.data(), bytes.size(), &state);
  // 0 is a NUL character; (size_t)-1 a byte that starts none, (size_t)-2 one cut off by the end.
  return n == 0 || n > bytes.size() ? 1 : n;
}

int WriteStandardOutput(std::string_view bytes) {
  return WriteAll(STDOUT_FILENO, bytes).code;
}

int WriteStandardError(std::string_view bytes) {
  return WriteAll(STDERR_FILENO, bytes).code;
}

int WriteReport(std::string_view bytes) { return WriteStandardError(bytes); }

int ReadStandardInputLine() {
  // One byte at a time, so that nothing after the line is taken from a shared input.
  for (;;) {
    char c;
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n == 0) return 0;
    if (n < 0) {
      if (errno == EINTR) continue;
      return MapErrno(errno);
    }
    if (c == '\n') return 0;
  }
}

std::uint32_t ImageOffset(std::uintptr_t address) noexcept {
  return static_cast<std::uint32_t>(address - reinterpret_cast<std::uintptr_t>(__executable_start));
}

}  // namespace talvo::platform
