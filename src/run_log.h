// The run log, the one final message, and the orderly end of a run.
#ifndef FIELDPREP_RUN_LOG_H_
#define FIELDPREP_RUN_LOG_H_

#include <cstdio>
#include <string>

// The open log "fieldprep.log", or null while no log is open.
extern FILE* logFile;

// The message that finish() writes last.
extern std::string lastMessage;

// Opens the log at `path` ("wb": LF line ends, truncated); false when it
// cannot be opened.
bool openLog(const std::string& path);

// Takes from the log's permissions the group and other ones that the file
// of `source` lacks (POSIX), so that the log never shows that file's text to
// anyone the file itself keeps out.
void narrowLogPermissions(FILE* source);

// Writes one formatted entry to the log, when the log is open.
void logEntry(const char* format, ...);

// Formats the final message into lastMessage, replacing what it held.
void storeMessage(const char* format, ...);

// Writes lastMessage to the log and closes it; then, when asked, ends the
// process with `exitCode`.
void finish(int exitCode, bool endProcess);

// How finish() ends the process: std::exit unless a test or a harness that
// runs the tool in-process installs its own (which must not return).
using ExitFunction = void (*)(int exitCode);
void setExitFunction(ExitFunction exitFunction);

#endif  // FIELDPREP_RUN_LOG_H_
