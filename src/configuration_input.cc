#include "configuration_input.h"

#include <cstdio>

#include "platform.h"
#include "run_log.h"

namespace {

// Reads to the end of the file; false on a read error. Memory running out is
// left to the run's end (exit code 3): the file is kept.
bool readWhole(FILE* file, std::string* text) {
  char chunk[65536];
  size_t count;
  while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
    text->append(chunk, count);
  return !std::ferror(file);
}

void failToRead(const std::string& name, const std::string& path) {
  storeMessage("Failed to read %s file: %s\n", name.c_str(), path.c_str());
  finish(2, true);
}

}  // namespace

std::string readConfigurationText(const std::string& name,
                                  const std::string& tmpDir,
                                  const std::string& appdir, StagedCopy* copy) {
  // Without a temporary folder the first path would be the bare name in the
  // current directory, perhaps the tool's own configuration: never taken.
  // Nor is the tool's own file when the temporary folder is the tool's
  // folder: it is read from there, and kept.
  std::string toolPath = appdir + name;
  std::string path = tmpDir + name;
  FILE* file = nullptr;
  if (!tmpDir.empty() && !sameFile(path, toolPath))
    file = openTempCopy(path);
  bool fromTemp = file != nullptr;
  if (!file) {
    path = toolPath;
    bool missing = false;
    file = openRegularFile(path, &missing);
    if (!file) {
      // Only "no such file" is no configuration; one that is there but
      // cannot be read must not be written over.
      if (!missing)
        failToRead(name, path);
      return std::string();
    }
  }

  narrowLogPermissions(file);
  if (fromTemp)
    copy->hold(file, path);

  std::string text;
  bool whole = readWhole(file, &text);
  if (!fromTemp)
    std::fclose(file);
  if (!whole) {
    failToRead(name, path);
    return std::string();
  }
  size_t nul = text.find('\0');
  if (nul != std::string::npos)
    text.resize(nul);
  return text;
}
