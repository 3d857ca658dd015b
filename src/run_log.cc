#include "run_log.h"

#include <cstdarg>
#include <cstdlib>

FILE* logFile = nullptr;
std::string lastMessage;

namespace {

ExitFunction exitFunction = std::exit;

std::string formatList(const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0)
    return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(&text[0], text.size(), format, args);
  text.resize(static_cast<size_t>(length));
  return text;
}

}  // namespace

std::string formatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = formatList(format, args);
  va_end(args);
  return text;
}

void logEntry(const char* format, ...) {
  if (!logFile)
    return;
  va_list args;
  va_start(args, format);
  std::vfprintf(logFile, format, args);
  va_end(args);
}

void storeMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  lastMessage = formatList(format, args);
  va_end(args);
}

void finish(int exitCode, bool endProcess) {
  if (logFile) {
    std::fprintf(logFile, "\n%s\n", lastMessage.c_str());
    std::fclose(logFile);
    logFile = nullptr;
  }
  if (!endProcess)
    return;
  exitFunction(exitCode);
  std::exit(exitCode);  // in case an installed function came back
}

void setExitFunction(ExitFunction function) {
  exitFunction = function ? function : std::exit;
}
