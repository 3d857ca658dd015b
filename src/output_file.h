// The one place where the tool's outputs reach the disk.
#ifndef FIELDPREP_OUTPUT_FILE_H_
#define FIELDPREP_OUTPUT_FILE_H_

#include <cstdio>
#include <string>

#include "platform.h"

enum class OutputResult { written, openFailed, writeFailed };

// Replaces the file at `path` (or, for a symbolic link, the file it names)
// with `text` in text mode, atomically and durably: the whole text goes to a
// new file of the tool's own beside it, which reaches the disk and then takes
// the target's place, keeping its permissions, ACL and extended attributes.
// Where the folder allows no new file, a writable target is written in
// place, after room for the whole text has been reserved. openFailed: the
// target is no writable regular file or nothing can be created beside it;
// writeFailed: writing, flushing, closing or replacing failed. No temporary
// file remains either way, nor after a signal that ends the process.
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

// For tests: the platform operations that create the temporary file, flush
// a file to the disk and put the temporary file in place, swapped to make
// them fail or to watch them. Null restores the platform's own.
using CreateNewFileFunction = FILE* (*)(const std::string& path,
                                        const std::string& like,
                                        CreateResult* result);
using ReplaceFileFunction = bool (*)(const std::string& from,
                                     const std::string& to);
using FlushFileFunction = bool (*)(FILE* file);
void setOutputFileFunctions(CreateNewFileFunction create,
                            ReplaceFileFunction replace,
                            FlushFileFunction flush = nullptr);

#endif  // FIELDPREP_OUTPUT_FILE_H_
