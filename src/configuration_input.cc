#include "configuration_input.h"

#include <cstdio>
#include <new>

#include "platform.h"
#include "run_log.h"

namespace {

// Reads to the end of the file; false on a read error or when memory runs out.
bool readWhole(FILE* file, std::string* text) {
  char chunk[65536];
  try {
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
      text->append(chunk, count);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return !std::ferror(file);
}

}  // namespace

std::string readConfigurationText(const std::string& name,
                                  const std::string& tmpDir,
                                  const std::string& appdir) {
  // Without a temporary folder the first path would be the bare name in the
  // current directory, perhaps the tool's own configuration: never taken.
  std::string path = tmpDir + name;
  FILE* file = tmpDir.empty() ? nullptr : openTempCopy(path);
  bool fromTemp = file != nullptr;
  if (!file) {
    path = appdir + name;
    file = std::fopen(path.c_str(), "rb");
    if (!file)
      return std::string();
  }

  std::string text;
  bool whole = readWhole(file, &text);
  std::fclose(file);
  if (!whole) {
    storeMessage("Failed to read %s file: %s\n", name.c_str(), path.c_str());
    finish(2, true);
    return std::string();
  }
  if (fromTemp)
    std::remove(path.c_str());
  size_t nul = text.find('\0');
  if (nul != std::string::npos)
    text.resize(nul);
  return text;
}
