// Helpers for unit tests: catching the end of a run in-process, and reading
// what was written to the log.
#ifndef FIELDPREP_TEST_SUPPORT_H_
#define FIELDPREP_TEST_SUPPORT_H_

#include <string>

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

// A fresh empty folder for one test, ending with '/'.
std::string scratchFolder();

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

#endif  // FIELDPREP_TEST_SUPPORT_H_
