// Helpers for unit tests: catching the end of a run in-process, reading what
// was written to the log, scratch folders, and building settings trees.
#ifndef FIELDPREP_TEST_SUPPORT_H_
#define FIELDPREP_TEST_SUPPORT_H_

#include <json/json.h>

#include <string>
#include <utility>
#include <vector>

#include "file_bytes.h"

class SettingsDocument;

// Thrown in place of ending the process while a RunEndCatcher is alive.
struct RunEnded {
  int exitCode;
};

// Makes finish() throw RunEnded instead of ending the process, and gives
// every test an empty lastMessage and no log.
class RunEndCatcher {
 public:
  RunEndCatcher();
  ~RunEndCatcher();
};

// The exit code with which `step` ended the run, or -1 when it returned.
// Needs a RunEndCatcher alive.
template <typename Step>
int exitCodeOf(Step step) {
  try {
    step();
  } catch (const RunEnded& end) {
    return end.exitCode;
  }
  return -1;
}

// Points the log at a fresh file; text() reads what was written so far
// (also after finish() has closed it).
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  std::string text() const;

 private:
  std::string path_;
};

// A fresh empty folder of this test's own, ending with '/'; removed when the
// test ends.
std::string scratchFolder();

// The tree of a JSON text, comments dropped; a text that does not parse
// fails the test.
Json::Value parsed(const std::string& json);

// An object of these members, set in the order given under the keys exactly
// as written (capitals kept).
using Members = std::vector<std::pair<std::string, Json::Value>>;
Json::Value objectOf(const Members& members);

// Every setting the document captured when it was loaded, and its
// auto-update state, for comparing before and after an operation.
std::vector<std::string> capturedSettings(const SettingsDocument& document);

#endif  // FIELDPREP_TEST_SUPPORT_H_
