// The only interface to the operating system. platform_posix.cc and
// platform_win32.cc implement it; the build picks one.
#ifndef FIELDPREP_PLATFORM_H_
#define FIELDPREP_PLATFORM_H_

#include <cstdio>
#include <string>

// The tool's own file name: the length that is cut from the program path to
// find the tool's folder.
const char* toolFileName();

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
