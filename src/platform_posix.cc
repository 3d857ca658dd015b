// POSIX side of the platform layer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform.h"

const char* toolFileName() { return "fieldprep"; }

int takeProgramArguments(int*, char***) { return -1; }

std::string getTempFolder() {
  const char* env = std::getenv("TMPDIR");
  std::string folder = (env && *env) ? env : "/tmp";
  if (folder.back() != '/')
    folder += '/';
  return folder;
}

FILE* openTempCopy(const std::string& path) {
  // /tmp is shared by all users: take only a plain file of our own. The checks
  // run on the opened file itself, so nothing can be swapped in between, and
  // O_NONBLOCK keeps a planted FIFO from stalling the open.
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0)
    return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_uid != geteuid()) {
    close(fd);
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FILE* file = fdopen(fd, "rb");
  if (!file)
    close(fd);
  return file;
}

bool replaceFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}
