// The one seam between talvo and the operating system.
//
// Everything above this header is the same on every system: paths are code-page-932 bytes
// handed through unchanged, console texts come as pieces marked as the program's own or the
// user's and the seam decides what bytes the console gets, and every failure comes back as a
// Windows-style I/O code (2 file not found, 3 path not found, 4 too many open files, 5 access
// denied, 32 sharing conflict, 112 disk full, ...), the numbers the console texts are keyed on.
// No function here throws; a result with a non-zero `code` is a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/console_text.h"

namespace talvo::platform {

// An open file: a descriptor on POSIX, a HANDLE on Windows.
using Handle = std::intptr_t;

struct OpenResult {
  Handle handle = -1;
  int code = 0;
};

struct IoResult {
  std::size_t bytes = 0;  // bytes moved before any failure
  int code = 0;
};

// Called once at program start, before anything else here and before any thread starts.
// Makes the process safe to run as a batch job: a standard stream that was left closed is
// opened on the null device, so that no file opened later takes its place; a file-size limit
// comes back as a write failure rather than a signal; and an interruption (Ctrl+C, a request
// to terminate, a closed terminal or console) first cuts the output file back to its last
// complete line (see MarkCompleteLength), then ends the process as the interruption would
// have ended it. On POSIX it also takes
// the console's character set from the user's locale (LC_CTYPE).
void Initialize();

// The six arguments as the user gave them (without the program's own name), and the program
// file's name without its directory.
std::vector<std::string> Arguments(int argc, char** argv);
std::string ProgramName(int argc, char** argv);

// The byte that separates the directory part of a path from its file name.
char DirectorySeparator() noexcept;

bool IsExistingFile(std::string_view path);       // exists and is not a directory
bool IsExistingDirectory(std::string_view path);  // an empty path never is

// Opens an existing file for reading; while it is open others may read it but not write it.
OpenResult OpenInput(std::string_view path);

// Creates or truncates a file for writing; others may only read it while it is open. Opening
// the file that `input` holds, by whatever name, is a sharing conflict. A failed open creates
// and changes nothing. The file created is the output that an interruption cuts back.
OpenResult CreateOutput(std::string_view path, Handle input);

// Whether the file is one that opening again gives from its start (a file on a disk, not a
// pipe or a terminal).
bool IsDiskFile(Handle file);

// Reads up to `size` bytes; 0 bytes with code 0 is the end of the file.
IoResult Read(Handle file, char* data, std::size_t size);

// Writes the pieces one after another, in as few calls to the system as it allows, or as many
// of their bytes as the system took before it failed (counted from the first piece on). An
// interruption waits until a write to the output has ended.
IoResult Write(Handle file, std::span<const std::string_view> pieces);

// The first `bytes` bytes of the output are whole lines, ended by CR LF: an interruption cuts
// a file on a disk back to them. Called after every write that ends a line.
void MarkCompleteLength(Handle file, std::uint64_t bytes) noexcept;

// Cuts the file back to `size` bytes; used after a failed write to drop a partial line. A file
// that cannot be cut (a device) is left as it is.
void Truncate(Handle file, std::uint64_t size);

int Close(Handle file);

// The bytes the console is given for `text`: the program's own pieces in the character set of
// the user's locale where that is neither code page 932 nor plain ASCII and the system can
// convert to it (POSIX), the user's pieces as given. On Windows, and under the C locale or a
// code-page-932 locale, every byte as it is.
std::string ConsoleBytes(const text::ConsoleText& text);

// Length in bytes of the console character that `bytes` (not empty) starts with: 1 where the
// console takes bytes as they are, and for a byte that starts no character of the console's set.
std::size_t ConsoleCharacterLength(std::string_view bytes) noexcept;

// Console streams, given the bytes of ConsoleBytes. Standard output and standard error get them
// unchanged; the failure report goes through WriteReport, which converts it to the console's
// code page where the system keeps one apart from the ANSI code page.
int WriteStandardOutput(std::string_view bytes);
int WriteStandardError(std::string_view bytes);
int WriteReport(std::string_view bytes);

// Reads standard input up to and including the next LF; the end of input ends it at once.
int ReadStandardInputLine();

// Offset of a code address from the start of the program's image in memory.
std::uint32_t ImageOffset(std::uintptr_t address) noexcept;

}  // namespace talvo::platform
