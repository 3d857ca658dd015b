// The one place where the tool's outputs reach the disk.
#ifndef FIELDPREP_OUTPUT_FILE_H_
#define FIELDPREP_OUTPUT_FILE_H_

#include <string>

enum class OutputResult { written, openFailed, writeFailed };

// The bytes that a text-mode stream writes for `text`: every LF as CR LF.
std::string textModeBytes(const std::string& text);

// Replaces the file at `path` with `text` in text mode, atomically: the whole
// text goes to a temporary file beside it, which is then renamed over it.
// openFailed: the file (or the one beside it) cannot be opened for writing;
// writeFailed: writing, closing or renaming failed. Either way the previous
// file is left as it was and no temporary file remains.
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

#endif  // FIELDPREP_OUTPUT_FILE_H_
