// Test helper for the Windows build: starts a program with an exact command line.
//
//   run_with_command_line.exe PROGRAM HEX
//
// HEX is the command line, every byte as two hexadecimal digits, so that no quoting on the way
// (wine quotes Unix arguments that hold blanks) can change it. The program inherits the three
// standard handles; the exit status is the program's, or 125 when it could not be started.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Decode(const char* hex, std::string& out) {
  const std::size_t n = std::strlen(hex);
  if (n % 2 != 0) return false;
  for (std::size_t i = 0; i < n; i += 2) {
    const int hi = HexDigit(hex[i]);
    const int lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<char>(hi * 16 + lo));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  constexpr int kNotStarted = 125;
  std::string line;
  if (argc != 3 || !Decode(argv[2], line)) {
    std::fprintf(stderr, "usage: run_with_command_line PROGRAM HEX\n");
    return kNotStarted;
  }

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(argv[1], line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
    std::fprintf(stderr, "run_with_command_line: cannot start %s: error %lu\n", argv[1],
                 static_cast<unsigned long>(::GetLastError()));
    return kNotStarted;
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = kNotStarted;
  ::GetExitCodeProcess(process.hProcess, &status);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(status);
}
