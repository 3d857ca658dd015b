#include "run_log.h"

#include <cstdarg>
#include <cstdlib>

#include "platform.h"
#include "text_format.h"

FILE* logFile = nullptr;
std::string lastMessage;

namespace {

ExitFunction exitFunction = std::exit;

}  // namespace

bool openLog(const std::string& path) {
  logFile = openLogFile(path);
  return logFile != nullptr;
}

void narrowLogPermissions(FILE* source) {
  if (logFile)
    narrowPermissionsTo(logFile, source);
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
  lastMessage = formatTextList(format, args);
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
