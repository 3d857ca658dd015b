#include "output_file.h"

#include <cerrno>
#include <cstdio>

#include "platform.h"
#include "run_log.h"

namespace {

// The target must be writable as it stands: an existing file that cannot be
// opened for writing (read-only, a folder) fails as a failed open would. "ab"
// is tried only on a file that exists, so the test creates nothing.
bool targetWritable(const std::string& path) {
  errno = 0;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file && errno == ENOENT)
    return true;
  if (file)
    std::fclose(file);
  file = std::fopen(path.c_str(), "ab");
  if (!file)
    return false;
  std::fclose(file);
  return true;
}

// Writes `text` as textModeBytes() gives it, line by line, so that a large
// text is not copied whole first.
bool writeTextMode(FILE* file, const std::string& text) {
  size_t at = 0;
  while (at < text.size()) {
    size_t lineEnd = text.find('\n', at);
    size_t length = (lineEnd == std::string::npos ? text.size() : lineEnd) - at;
    if (std::fwrite(text.data() + at, 1, length, file) != length)
      return false;
    if (lineEnd == std::string::npos)
      break;
    if (std::fwrite("\r\n", 1, 2, file) != 2)
      return false;
    at = lineEnd + 1;
  }
  return true;
}

bool writeAll(FILE* file, const std::string& text) {
  bool ok = writeTextMode(file, text);
  ok = std::fflush(file) == 0 && ok;
  return std::fclose(file) == 0 && ok;
}

}  // namespace

std::string textModeBytes(const std::string& text) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n')
      bytes += '\r';
    bytes += c;
  }
  return bytes;
}

OutputResult writeOutputFile(const std::string& path, const std::string& text) {
  if (!targetWritable(path))
    return OutputResult::openFailed;
  std::string tempPath = path + ".tmp";
  FILE* temp = std::fopen(tempPath.c_str(), "wb");
  if (!temp)
    return OutputResult::openFailed;
  if (writeAll(temp, text) && replaceFile(tempPath, path))
    return OutputResult::written;
  std::remove(tempPath.c_str());
  return OutputResult::writeFailed;
}

void writeOutputOrFinish(const std::string& path, const std::string& text,
                         const OutputFailure& failure) {
  OutputResult result = writeOutputFile(path, text);
  if (result == OutputResult::written)
    return;
  lastMessage = result == OutputResult::openFailed ? failure.openMessage
                                                   : failure.writeMessage;
  finish(failure.exitCode, true);
}
