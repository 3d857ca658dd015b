// The one place where the tool's outputs reach the disk.
#ifndef FIELDPREP_OUTPUT_FILE_H_
#define FIELDPREP_OUTPUT_FILE_H_

#include <cstdio>
#include <string>

#include "platform.h"

enum class OutputResult { written, openFailed, writeFailed };

// Replaces the file at `path` (or, for a symbolic link, the file it names)
// with `text` in text mode, atomically: the whole text goes to a new file of
// the tool's own beside it, which then takes the target's place and keeps
// its permissions. Where the folder allows no new file, a writable target is
// written in place. openFailed: the target is no writable regular file or
// nothing can be created beside it; writeFailed: writing, closing or
// replacing failed. No temporary file remains either way.
OutputResult writeOutputFile(const std::string& path, const std::string& text);

// How a run ends when one of its outputs cannot be written.
struct OutputFailure {
  int exitCode;
  std::string openMessage;   // stored when the file cannot be opened
  std::string writeMessage;  // stored when writing, closing or renaming fails
};

// Writes the output, or stores the matching message and ends the run.
void writeOutputOrFinish(const std::string& path, const std::string& text,
                         const OutputFailure& failure);

// For tests: the platform operations that create the temporary file and put
// it in place, swapped to make them fail. Null restores the platform's own.
using CreateNewFileFunction = FILE* (*)(const std::string& path,
                                        const std::string& like,
                                        CreateResult* result);
using ReplaceFileFunction = bool (*)(const std::string& from,
                                     const std::string& to);
void setOutputFileFunctions(CreateNewFileFunction create,
                            ReplaceFileFunction replace);

#endif  // FIELDPREP_OUTPUT_FILE_H_
