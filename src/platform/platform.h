// The one seam between talvo and the operating system.
//
// Everything above this header is the same on every system: paths and console texts are
// code-page-932 bytes handed through unchanged, and every failure comes back as a Windows-style
// I/O code (2 file not found, 3 path not found, 4 too many open files, 5 access denied,
// 32 sharing conflict, 112 disk full, ...), the numbers the console texts are keyed on.
// No function here throws; a result with a non-zero `code` is a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
// have ended it.
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

// Writes all bytes, or as many as the system took before it failed. An interruption waits
// until a write to the output has ended.
IoResult Write(Handle file, const char* data, std::size_t size);

// The first `bytes` bytes of the output are whole lines, ended by CR LF: an interruption cuts
// a file on a disk back to them. Called after every write that ends a line.
void MarkCompleteLength(Handle file, std::uint64_t bytes) noexcept;

// Cuts the file back to `size` bytes; used after a failed write to drop a partial line. A file
// that cannot be cut (a device) is left as it is.
void Truncate(Handle file, std::uint64_t size);

int Close(Handle file);

// Console streams. Standard output and standard error get the bytes unchanged; the failure
// report goes through WriteReport, which converts it to the console's code page where the
// system keeps one apart from the ANSI code page.
int WriteStandardOutput(std::string_view bytes);
int WriteStandardError(std::string_view bytes);
int WriteReport(std::string_view bytes);

// Reads standard input up to and including the next LF; the end of input ends it at once.
int ReadStandardInputLine();

// Offset of a code address from the start of the program's image in memory.
std::uint32_t ImageOffset(std::uintptr_t address) noexcept;

}  // namespace talvo::platform
