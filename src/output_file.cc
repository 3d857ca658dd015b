#include "output_file.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <utility>

#include "run_log.h"
#include "text_mode.h"

namespace {

CreateNewFileFunction createNew = createNewFile;
ReplaceFileFunction replaceWith = replaceFile;
FlushFileFunction flushWith = flushToDisk;

// The longest file name that the file systems the tool meets take.
const size_t longestFileName = 255;

// A name beside `target` that is hard to guess, so that nobody can plant
// every name the tool will try. The target's own name is shortened where the
// suffix would make the name too long.
std::string temporaryName(const std::string& target) {
  static std::mt19937_64 random{
      std::random_device{}() ^
      static_cast<std::uint64_t>(
          std::chrono::steady_clock::now().time_since_epoch().count())};
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%016llx.tmp",
                static_cast<unsigned long long>(random()));
  size_t nameStart = target.find_last_of("/\\") + 1;  // 0 when none
  size_t room = longestFileName - std::strlen(suffix);
  size_t nameLength = std::min(target.size() - nameStart, room);
  return target.substr(0, nameStart + nameLength) + suffix;
}

// Removes the temporary file unless it has been put in place, also when an
// exception leaves the writer or a signal ends the process.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty())
      removeFile(path_);
    removeOnSignal("");
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }
  void keep() { path_.clear(); }

 private:
  std::string path_;
};

// An open stream that is closed when it goes out of scope, unless closed
// before with closeFile.
struct CloseFile {
  void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, CloseFile>;

bool closeFile(FileHandle* file) { return std::fclose(file->release()) == 0; }

// A new file beside `target`, under a name that nothing else has: a name
// taken by anything is never opened, only passed over.
FILE* createTemporary(const std::string& target, std::string* path,
                      CreateResult* result) {
  *result = CreateResult::exists;
  for (int attempt = 0; attempt < 100 && *result == CreateResult::exists;
       ++attempt) {
    *path = temporaryName(target);
    if (FILE* file = createNew(*path, target, result))
      return file;
  }
  return nullptr;
}

// Writes `text` in text mode, a slice at a time so that a large text is not
// held twice.
bool writeAll(FILE* file, const std::string& text) {
  const size_t slice = 1 << 20;
  bool ok = true;
  for (size_t at = 0; ok && at < text.size(); at += slice) {
    std::string bytes = textModeBytes(text.substr(at, slice));
    ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  }
  return ok;
}

// The folder takes no second file, so the target itself is written: only
// once the room for the whole text is reserved, so that a full disk or a
// size limit leaves the old text whole.
OutputResult writeInPlace(const std::string& target, const std::string& text) {
  FileHandle file(openForOverwrite(target));
  if (!file)
    return OutputResult::openFailed;
  unsigned long long size = textModeSize(text);
  bool ok = reserveRoom(file.get(), size) && writeAll(file.get(), text) &&
            cutToLength(file.get(), size) && flushWith(file.get());
  ok = closeFile(&file) && ok;
  return ok ? OutputResult::written : OutputResult::writeFailed;
}

}  // namespace

OutputResult writeOutputFile(const std::string& path, const std::string& text) {
  std::string target;
  if (!linkTarget(path, &target))
    return OutputResult::openFailed;
  TargetState state = probeOutputTarget(target);
  if (state == TargetState::refused || state == TargetState::notRegular)
    return OutputResult::openFailed;
  std::string tempPath;
  CreateResult result;
  FILE* file = createTemporary(target, &tempPath, &result);
  if (!file) {
    // A folder that takes no new file may still let its files be written.
    if (result == CreateResult::denied && state == TargetState::writable)
      return writeInPlace(target, text);
    return OutputResult::openFailed;
  }
  TemporaryFile temp(std::move(tempPath));
  FileHandle handle(file);  // closed before the temporary file is removed
  bool ok = writeAll(file, text) && copyAccessControl(file, target) &&
            flushWith(file);
  ok = closeFile(&handle) && ok;
  if (!ok || !replaceWith(temp.path(), target))
    return OutputResult::writeFailed;
  temp.keep();
  return flushFolderOf(target) ? OutputResult::written
                               : OutputResult::writeFailed;
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

void setOutputFileFunctions(CreateNewFileFunction create,
                            ReplaceFileFunction replace,
                            FlushFileFunction flush) {
  createNew = create ? create : createNewFile;
  replaceWith = replace ? replace : replaceFile;
  flushWith = flush ? flush : flushToDisk;
}
