// POSIX side of the platform layer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform.h"

std::string pathFolder(const std::string& path) {
  return path.substr(0, path.rfind('/') + 1);  // npos + 1 is 0
}

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

namespace {

const int kNoBlock = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

bool isRegular(int fd) {
  struct stat info;
  return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// Whether the folder that holds `name` is world-writable and sticky, like
// /tmp: a folder where anybody may plant a name. Its owner goes to `owner`.
bool inSharedFolder(const std::string& name, uid_t* owner) {
  std::string folder = pathFolder(name);
  struct stat info;
  if (stat(folder.empty() ? "." : folder.c_str(), &info) != 0)
    return false;
  *owner = info.st_uid;
  return (info.st_mode & S_ISVTX) != 0 && (info.st_mode & S_IWOTH) != 0;
}

// The names of the chain of links that starts at `path`, up to the first
// name that is no link (or is missing). False when a link of it may not be
// followed: one in a shared folder whose owner is neither the user running
// the tool nor the folder's owner, so that a link planted by anybody else
// never sends the tool's files elsewhere. The system has the same rule, but
// only where it is switched on.
bool linkChain(const std::string& path, std::vector<std::string>* chain) {
  chain->assign(1, path);
  for (int hop = 0; hop < 40; ++hop) {
    std::string current = chain->back();
    struct stat info;
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
      return true;
    uid_t folderOwner;
    if (inSharedFolder(current, &folderOwner) && info.st_uid != geteuid() &&
        info.st_uid != folderOwner)
      return false;
    std::vector<char> target(static_cast<size_t>(info.st_size) + 2);
    ssize_t length = readlink(current.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<size_t>(length) >= target.size())
      return true;
    std::string next(target.data(), static_cast<size_t>(length));
    chain->push_back(next[0] == '/' ? next : pathFolder(current) + next);
  }
  return true;  // a loop: opening it fails
}

// The name to open for `path`, and O_NOFOLLOW where nothing at that name may
// be followed. A chain that passes no shared folder is left to the system, so
// that a link into /proc (naming an open file, not a path) still works.
// Otherwise it is followed here to its last name in a shared folder: a link
// there that nobody else could have changed, or the chain's end, opened
// without following whatever may have been planted there meanwhile.
bool nameToOpen(const std::string& path, std::string* name, int* noFollow) {
  std::vector<std::string> chain;
  if (!linkChain(path, &chain))
    return false;
  *name = path;
  *noFollow = 0;
  for (size_t i = 0; i < chain.size(); ++i) {
    uid_t owner;
    if (inSharedFolder(chain[i], &owner)) {
      *name = chain[i];
      *noFollow = i + 1 == chain.size() ? O_NOFOLLOW : 0;
    }
  }
  return true;
}

// Only a path that names a regular file is opened at all, so that no device
// is touched; the opened descriptor is checked again, since the path may have
// changed in between. Blocking is switched back on for the stream.
int openRegular(const std::string& path, int flags) {
  std::string name;
  int noFollow;
  if (!nameToOpen(path, &name, &noFollow)) {
    errno = EACCES;
    return -1;
  }
  struct stat info;
  if (stat(name.c_str(), &info) != 0)
    return -1;
  if (!S_ISREG(info.st_mode)) {
    errno = EINVAL;
    return -1;
  }
  int fd = open(name.c_str(), flags | noFollow | kNoBlock);
  if (fd < 0)
    return -1;
  if (!isRegular(fd)) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

FILE* streamOf(int fd, const char* mode) {
  FILE* file = fdopen(fd, mode);
  if (!file)
    close(fd);
  return file;
}

// The owner, group and permission bits of `like`, or those a new file gets.
void copyAttributes(int fd, const std::string& like) {
  struct stat info;
  if (stat(like.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    // Taking another owner needs privileges; the group alone may still be
    // ours to give. Ownership goes first, since it may clear set-ID bits.
    if (fchown(fd, info.st_uid, info.st_gid) != 0 &&
        fchown(fd, static_cast<uid_t>(-1), info.st_gid) != 0) {
      // Not allowed: the new file stays ours.
    }
    fchmod(fd, info.st_mode & 07777);
    return;
  }
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
}

}  // namespace

FILE* openRegularFile(const std::string& path, bool* missing) {
  int fd = openRegular(path, O_RDONLY);
  *missing = fd < 0 && (errno == ENOENT || errno == ENOTDIR);
  return fd < 0 ? nullptr : streamOf(fd, "rb");
}

bool sameFile(const std::string& first, const std::string& second) {
  struct stat a;
  struct stat b;
  return stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 &&
         a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool linkTarget(const std::string& path, std::string* target) {
  std::vector<std::string> chain;
  if (!linkChain(path, &chain))
    return false;
  *target = chain.back();
  return true;
}

TargetState probeOutputTarget(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0)
    return errno == ENOENT ? TargetState::missing : TargetState::refused;
  if (!S_ISREG(info.st_mode))
    return TargetState::notRegular;
  // Asked without opening it, so that nothing watching the file sees a write.
  if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
    return TargetState::refused;
  return TargetState::writable;
}

FILE* createNewFile(const std::string& path, const std::string& like,
                    CreateResult* result) {
  int fd = open(path.c_str(),
                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                0600);
  if (fd < 0) {
    bool denied = errno == EACCES || errno == EPERM || errno == EROFS;
    *result = errno == EEXIST ? CreateResult::exists
              : denied        ? CreateResult::denied
                              : CreateResult::failed;
    return nullptr;
  }
  copyAttributes(fd, like);
  FILE* file = streamOf(fd, "wb");
  *result = file ? CreateResult::created : CreateResult::failed;
  if (!file)
    unlink(path.c_str());
  return file;
}

FILE* openForOverwrite(const std::string& path) {
  int fd = openRegular(path, O_WRONLY);
  if (fd < 0)
    return nullptr;
  if (ftruncate(fd, 0) != 0) {
    close(fd);
    return nullptr;
  }
  return streamOf(fd, "wb");
}

FILE* openLogFile(const std::string& path) {
  std::string name;
  int noFollow;
  if (!nameToOpen(path, &name, &noFollow))
    return nullptr;
  // Non-blocking, so that a pipe without a reader in the log's place fails
  // the open instead of stalling the run; a pipe that is read takes the log.
  int fd = open(name.c_str(),
                O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY |
                    O_CLOEXEC | noFollow,
                0666);
  if (fd < 0)
    return nullptr;
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return streamOf(fd, "wb");
}

bool replaceFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0; }
