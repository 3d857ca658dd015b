// POSIX side of the platform layer.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
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

namespace {

// Removing a file takes write and search permission on its folder.
bool mayRemoveFrom(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string folder =
      slash == std::string::npos ? "." : path.substr(0, slash + 1);
  return faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

}  // namespace

FILE* openTempCopy(const std::string& path) {
  // /tmp is shared by all users: take only a plain file of our own. The checks
  // run on the opened file itself, so nothing can be swapped in between, and
  // O_NONBLOCK keeps a planted FIFO from stalling the open. A copy that could
  // not be removed after its settings are written would be taken again by
  // every later run, undoing what each run wrote.
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0)
    return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_uid != geteuid() || !mayRemoveFrom(path)) {
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

bool removeTempCopy(FILE* file, const std::string& path) {
  struct stat opened;
  struct stat named;
  bool same = fstat(fileno(file), &opened) == 0 &&
              lstat(path.c_str(), &named) == 0 &&
              opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
  bool removed = same && unlink(path.c_str()) == 0;
  std::fclose(file);
  return removed;
}

void narrowPermissionsTo(FILE* file, FILE* model) {
  struct stat target;
  struct stat source;
  if (fstat(fileno(file), &target) != 0 || !S_ISREG(target.st_mode) ||
      fstat(fileno(model), &source) != 0)
    return;
  mode_t lacking = ~source.st_mode & (S_IRWXG | S_IRWXO);
  mode_t narrowed = target.st_mode & 07777 & ~lacking;
  if (narrowed != (target.st_mode & 07777))
    fchmod(fileno(file), narrowed);
}

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

namespace {

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Holds back the signals that end the process while it lives.
class EndingSignalsHeld {
 public:
  EndingSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : kEndingSignals)
      sigaddset(&held, signal);
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  ~EndingSignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  EndingSignalsHeld(const EndingSignalsHeld&) = delete;
  EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace

FILE* createNewFile(const std::string& path, const std::string& like,
                    CreateResult* result) {
  // A signal that came between the file's creation and its arming for
  // removal would leave it behind: the two happen while signals wait.
  EndingSignalsHeld held;
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
  removeOnSignal(path);
  copyAttributes(fd, like);
  FILE* file = streamOf(fd, "wb");
  *result = file ? CreateResult::created : CreateResult::failed;
  if (!file) {
    unlink(path.c_str());
    removeOnSignal("");
  }
  return file;
}

FILE* openForOverwrite(const std::string& path) {
  int fd = openRegular(path, O_WRONLY);
  return fd < 0 ? nullptr : streamOf(fd, "wb");
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

namespace {

// Fills the file from `from` up to `size` with zero bytes, for a file system
// that cannot allocate room without writing it. Every byte lies past the old
// end, so none that the file held changes.
bool fillWithZeros(int fd, off_t from, off_t size) {
  static const char zeros[65536] = {};
  for (off_t at = from; at < size;) {
    size_t count = static_cast<size_t>(
        std::min<off_t>(size - at, static_cast<off_t>(sizeof zeros)));
    ssize_t written = pwrite(fd, zeros, count, at);
    if (written > 0)
      at += written;
    else if (written == 0 || errno != EINTR)
      return false;
  }
  return true;
}

bool noRoom(int error) {
  return error == ENOSPC || error == EFBIG || error == EDQUOT;
}

}  // namespace

bool reserveRoom(FILE* file, unsigned long long size) {
  int fd = fileno(file);
  struct stat info;
  if (fstat(fd, &info) != 0)
    return false;
  off_t oldSize = info.st_size;
  off_t newSize = static_cast<off_t>(size);
  if (newSize <= oldSize)
    return true;
  int error = posix_fallocate(fd, oldSize, newSize - oldSize);
  if (error == 0)
    return true;
  // Where the file system has no way to allocate (or the C library's
  // stand-in cannot work on a file opened for writing only), writing the
  // room reserves it just as well.
  if (!noRoom(error) && fillWithZeros(fd, oldSize, newSize))
    return true;
  // Whatever was allocated before the failure goes again.
  if (ftruncate(fd, oldSize) != 0) {
    // Nothing more to do: the run fails either way.
  }
  return false;
}

bool cutToLength(FILE* file, unsigned long long size) {
  return std::fflush(file) == 0 &&
         ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
}

namespace {

// The extended attributes that a replacing file takes over from the file it
// replaces, by prefix: the user's own, and the security ones where the
// process may set them. The access ACL is handled on its own.
const char kAccessAcl[] = "system.posix_acl_access";
const char* const kCopiedPrefixes[] = {"user.", "security."};

// The value of attribute `name` of the file at `path`; false with errno set
// when it cannot be read (ENODATA: the file has none of that name).
bool readAttribute(const std::string& path, const char* name,
                   std::vector<char>* value) {
  for (;;) {
    ssize_t size = getxattr(path.c_str(), name, nullptr, 0);
    if (size < 0)
      return false;
    value->resize(static_cast<size_t>(size));
    size = getxattr(path.c_str(), name, value->data(), value->size());
    if (size >= 0) {
      value->resize(static_cast<size_t>(size));
      return true;
    }
    if (errno != ERANGE)  // ERANGE: grown in between, so ask again
      return false;
  }
}

// The names of the attributes of `path`, or none when it has none or the
// file system keeps none.
std::vector<std::string> attributeNames(const std::string& path) {
  std::vector<char> list;
  for (;;) {
    ssize_t size = listxattr(path.c_str(), nullptr, 0);
    if (size <= 0)
      return {};
    list.resize(static_cast<size_t>(size));
    size = listxattr(path.c_str(), list.data(), list.size());
    if (size >= 0) {
      list.resize(static_cast<size_t>(size));
      break;
    }
    if (errno != ERANGE)
      return {};
  }
  std::vector<std::string> names;
  for (size_t at = 0; at < list.size(); at += names.back().size() + 1)
    names.emplace_back(&list[at]);
  return names;
}

bool copiedAttribute(const std::string& name) {
  for (const char* prefix : kCopiedPrefixes) {
    if (name.compare(0, std::strlen(prefix), prefix) == 0)
      return true;
  }
  return false;
}

bool noAttributes(int error) { return error == ENODATA || error == ENOTSUP; }

// The new file gets exactly the access ACL of `like`: none when `like` has
// none, even where the folder's default ACL gave it one at creation. The
// ACL's mask and the group bits of the mode are one, so this comes after the
// mode has been set.
bool copyAccessAcl(int fd, const std::string& like) {
  std::vector<char> acl;
  if (readAttribute(like, kAccessAcl, &acl))
    return fsetxattr(fd, kAccessAcl, acl.data(), acl.size(), 0) == 0;
  if (errno == ENOENT)  // nothing to replace: the new file stays as created
    return true;
  if (!noAttributes(errno))
    return false;
  return fremovexattr(fd, kAccessAcl) == 0 || noAttributes(errno);
}

}  // namespace

bool copyAccessControl(FILE* file, const std::string& like) {
  int fd = fileno(file);
  if (!copyAccessAcl(fd, like))
    return false;
  // Other attributes are taken where they can be read and set.
  for (const std::string& name : attributeNames(like)) {
    std::vector<char> value;
    if (copiedAttribute(name) && readAttribute(like, name.c_str(), &value))
      fsetxattr(fd, name.c_str(), value.data(), value.size(), 0);
  }
  return true;
}

bool flushToDisk(FILE* file) {
  return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

bool flushFolderOf(const std::string& path) {
  std::string folder = pathFolder(path);
  int fd = open(folder.empty() ? "." : folder.c_str(),
                O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)  // a folder the user may not read cannot be flushed
    return true;
  // Some file systems flush no folders and say so with EINVAL.
  bool flushed = fsync(fd) == 0 || errno == EINVAL;
  close(fd);
  return flushed;
}

void ignoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

namespace {

// What the signal handler removes: written only while `removalArmed` is
// clear, so the handler never reads a half-written name.
char pendingRemoval[PATH_MAX];
volatile std::sig_atomic_t removalArmed = 0;

// Only async-signal-safe calls: the file goes, then the signal does what it
// would have done without this handler.
void removeAndEnd(int signal) {
  if (removalArmed)
    unlink(pendingRemoval);
  std::signal(signal, SIG_DFL);
  raise(signal);
}

// Once per process; a signal that the tool was started with ignored stays
// ignored.
void installRemovalHandler() {
  static bool installed = false;
  if (installed)
    return;
  installed = true;
  struct sigaction action = {};
  action.sa_handler = removeAndEnd;
  sigemptyset(&action.sa_mask);
  for (int signal : kEndingSignals)
    sigaddset(&action.sa_mask, signal);
  for (int signal : kEndingSignals) {
    struct sigaction previous;
    if (sigaction(signal, nullptr, &previous) == 0 &&
        previous.sa_handler != SIG_IGN)
      sigaction(signal, &action, nullptr);
  }
}

}  // namespace

void removeOnSignal(const std::string& path) {
  removalArmed = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  if (path.empty() || path.size() >= sizeof pendingRemoval)
    return;
  std::memcpy(pendingRemoval, path.c_str(), path.size() + 1);
  installRemovalHandler();
  std::atomic_signal_fence(std::memory_order_seq_cst);
  removalArmed = 1;
}

bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0; }
