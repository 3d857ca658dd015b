// The only interface to the operating system. platform_posix.cc and
// platform_win32.cc implement it; the build picks one.
#ifndef FIELDPREP_PLATFORM_H_
#define FIELDPREP_PLATFORM_H_

#include <cstdio>
#include <string>

// The folder part of `path`: up to and including its last path separator
// ('/' on POSIX; a backslash or '/' on Windows, where the colon of a drive
// prefix such as "X:" ends a folder too); "" when it has none.
std::string pathFolder(const std::string& path);

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
// only a regular file that the current user may trust and that the tool could
// remove again. POSIX: not a link, owned by the user running the tool, in a
// folder that gives that user write and search permission. Windows: not a
// folder or link, owned by the token's user or its default owner, and opened
// with the right to delete it and to clear its read-only attribute; while the
// stream is open no one else may delete, rename or write the file. Anything
// else gives null and is left in place.
FILE* openTempCopy(const std::string& path);

// Removes the copy that `file` (from openTempCopy) has read, but only while
// `path` still names that very file: POSIX compares device and inode, Windows
// deletes through the open handle, clearing a read-only attribute first.
// Closes `file` either way; false when nothing was removed.
bool removeTempCopy(FILE* file, const std::string& path);

// POSIX: takes from the permission bits of `file`, when it is a regular file,
// the group and other bits that the file of `model` lacks; never adds one.
// Windows: nothing.
void narrowPermissionsTo(FILE* file, FILE* model);

// Opens an existing regular file for reading ("rb") without ever blocking: a
// pipe, folder or device gives null, and so does a link that may not be
// followed (see linkTarget). `missing` then says whether there is no
// such file at all (POSIX ENOENT or ENOTDIR; Windows file or path not found).
FILE* openRegularFile(const std::string& path, bool* missing);

// True when both paths name one and the same existing file.
bool sameFile(const std::string& first, const std::string& second);

// The file that `path` names, into `target`: a chain of symbolic links
// followed to its end, or `path` itself when it is no link. False when a link
// of the chain may not be followed: on POSIX one in a world-writable sticky
// folder (such as /tmp) owned neither by the user running the tool nor by
// the folder's owner.
bool linkTarget(const std::string& path, std::string* target);

// What lies where an output goes, found without blocking on it or changing it.
enum class TargetState { missing, writable, refused, notRegular };
TargetState probeOutputTarget(const std::string& path);

// Creates `path` for writing ("wb") only when nothing of that name exists,
// never following a link. The new file takes the permission bits of `like`,
// and its owner and group where the process may set them, when `like` exists.
// From its creation on, as with removeOnSignal(path), a signal that ends the
// process removes it.
enum class CreateResult { created, exists, denied, failed };
FILE* createNewFile(const std::string& path, const std::string& like,
                    CreateResult* result);

// Opens the existing regular file `path` for writing from its start ("wb"
// that creates nothing and empties nothing); null for anything else.
FILE* openForOverwrite(const std::string& path);

// Makes room for `size` bytes in a file opened by openForOverwrite before any
// of its bytes change: the part past its present length is allocated. When
// that fails, the file is left as it was.
bool reserveRoom(FILE* file, unsigned long long size);

// Writes out the stream's buffer and cuts the file to `size` bytes.
bool cutToLength(FILE* file, unsigned long long size);

// Opens the log for writing, created or emptied ("wb"), following a link
// that may be followed (see linkTarget); null when it cannot be opened at
// once (a pipe that nobody reads included).
FILE* openLogFile(const std::string& path);

// Puts `from` in place of `to` in one step, replacing `to` when it exists
// (on Windows keeping its attributes and security).
bool replaceFile(const std::string& from, const std::string& to);

// Gives a new file, before it replaces `like`, the access ACL and the
// extended attributes of `like` (POSIX; on Windows replaceFile keeps them).
// False when `like` has an ACL that the new file cannot be given.
bool copyAccessControl(FILE* file, const std::string& like);

// Writes out the stream's buffer and makes the file's data reach the disk.
bool flushToDisk(FILE* file);

// Makes the name that replaceFile gave the file at `path` reach the disk.
bool flushFolderOf(const std::string& path);

// Makes a write past the process's file-size limit an ordinary write failure
// instead of a signal that ends the process.
void ignoreFileSizeSignal();

// From now on, until this is called with "", a signal that ends the process
// (POSIX: SIGINT, SIGTERM, SIGHUP) first removes the file at `path`.
void removeOnSignal(const std::string& path);

// Removes the file `path` (a temporary file of the tool's own, whatever the
// length of its path); false when it cannot.
bool removeFile(const std::string& path);

#endif  // FIELDPREP_PLATFORM_H_
