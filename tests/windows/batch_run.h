// Helpers of the tests that run SILENT_INSTALL.BAT under cmd.
#ifndef FIELDPREP_TESTS_WINDOWS_BATCH_RUN_H_
#define FIELDPREP_TESTS_WINDOWS_BATCH_RUN_H_

#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// `value` as a JSON string.
inline std::string jsonString(const std::string& value) {
  std::string text = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\')
      text += '\\';
    text += c;
  }
  return text + "\"";
}

inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    result.push_back(line);
  return result;
}

// cmd's START does not wait for the program it starts: polls `done` every
// 50 ms for up to `seconds`.
inline bool waitUntil(const std::function<bool()>& done, int seconds = 30) {
  for (int i = 0; i < seconds * 20; ++i) {
    if (done())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

#endif  // FIELDPREP_TESTS_WINDOWS_BATCH_RUN_H_
