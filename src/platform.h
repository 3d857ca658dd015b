// The only interface to the operating system. platform_posix.cc and
// platform_win32.cc implement it; the build picks one.
#ifndef FIELDPREP_PLATFORM_H_
#define FIELDPREP_PLATFORM_H_

#include <cstdio>
#include <string>

// The tool's own file name: the length that is cut from the program path to
// find the tool's folder.
const char* toolFileName();

// The argument vector that the tool runs with, program path first. POSIX
// leaves `argc` and `argv` as the system gave them. Windows splits its UTF-16
// command line itself and converts each argument to the ANSI code page, the
// encoding of the file functions; an argument without an exact form there
// comes as near as the code page allows. Returns the index of the first such
// argument, or -1 when every argument is exact. The vector lasts until the
// process ends.
int takeProgramArguments(int* argc, char*** argv);

// The temporary folder ending with its separator, or "" when there is none.
std::string getTempFolder();

// Opens a configuration copy in the temporary folder for reading ("rb"), but
// only a regular file that the current user may trust (on POSIX: not a link,
// owned by the user running the tool). Anything else gives null and is left
// in place.
FILE* openTempCopy(const std::string& path);

// Renames `from` over `to` in one step, replacing `to` when it exists.
bool replaceFile(const std::string& from, const std::string& to);

#endif  // FIELDPREP_PLATFORM_H_
