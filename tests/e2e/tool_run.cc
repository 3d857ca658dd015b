#include "tool_run.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <thread>

#include "file_bytes.h"
#include "scratch_folder.h"
#include "text_checks.h"

namespace fs = std::filesystem;

namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::vector<std::string> splitWords(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;)
    words.push_back(word);
  return words;
}

// One argument as the Windows runtime reads it back: quoted when it is empty
// or holds a blank, a tab or a double quote; inside the quotes a double quote,
// and the backslashes before it or before the closing quote, are escaped.
std::string quoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
    return argument;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    quoted += c;
    backslashes = 0;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
}

// Reads `fd` to its end, then closes it.
std::string drain(int fd) {
  std::string bytes;
  char chunk[65536];
  ssize_t count;
  while ((count = ::read(fd, chunk, sizeof chunk)) != 0) {
    if (count > 0)
      bytes.append(chunk, static_cast<size_t>(count));
    else if (errno != EINTR)
      break;
  }
  close(fd);
  return bytes;
}

// In the child before exec: the limit on the size of every file written.
void applyFileSizeLimit(long long bytes) {
  if (bytes < 0)
    return;
  // An ignored signal stays so across exec; a handled one becomes default.
  std::signal(SIGXFSZ, ToolRun::windows() ? SIG_IGN : SIG_DFL);
  rlimit limit;
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(bytes);
  setrlimit(RLIMIT_FSIZE, &limit);
}

// In the child before exec: the limit on its address space.
void applyAddressSpaceLimit(long long bytes) {
  if (bytes < 0)
    return;
  rlimit limit;
  getrlimit(RLIMIT_AS, &limit);
  limit.rlim_cur = static_cast<rlim_t>(bytes);
  setrlimit(RLIMIT_AS, &limit);
}

// Sends `signal` to `child` once a file whose name begins with `prefix`
// lies in `folder`, unless `ended` comes first.
void signalWhenFileAppears(const std::string& folder, const std::string& prefix,
                           int signal, pid_t child,
                           const std::atomic<bool>& ended) {
  while (!ended) {
    for (const std::string& name : filesIn(folder)) {
      if (name.compare(0, prefix.size(), prefix) == 0) {
        kill(child, signal);
        return;
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

const uid_t kUnprivileged = 65534;

// In the child before exec: the unprivileged user, or no run at all.
void dropPrivileges() {
  if (setgroups(0, nullptr) != 0 || setgid(kUnprivileged) != 0 ||
      setuid(kUnprivileged) != 0)
    _exit(126);
}

}  // namespace

bool ToolRun::windows() { return environment("FIELDPREP_WINDOWS") == "1"; }

ToolRun::ToolRun(const std::string& tempName) {
  std::string binary = environment("FIELDPREP_BINARY");
  if (binary.empty())
    ADD_FAILURE() << "FIELDPREP_BINARY is not set";
  const testing::TestInfo* test =
      testing::UnitTest::GetInstance()->current_test_info();
  root_ = makeScratchFolder(
      testing::TempDir(), "fieldprep-" + std::string(test->test_suite_name()) +
                              "." + test->name() + "-");
  if (root_.empty())
    ADD_FAILURE() << "no scratch folder in " << testing::TempDir();
  fs::create_directories(root_ + "app");
  fs::create_directories(root_ + tempName);
  folder_ = fs::absolute(root_ + "app").generic_string() + "/";
  temp_ = fs::absolute(root_ + tempName).generic_string() + "/";
  tmpdir_ = temp_;
  toolName_ = fs::path(binary).filename().string();
  if (!binary.empty())
    fs::copy_file(binary, folder_ + toolName_);
}

ToolRun::~ToolRun() { removeScratchFolder(root_); }

std::string ToolRun::programPath() const {
  return windows() ? windowsPath(folder_ + toolName_) : folder_ + toolName_;
}
std::string ToolRun::appdir() const {
  return windows() ? windowsPath(folder_) : folder_;
}
std::string ToolRun::tmpDir() const {
  return windows() ? windowsPath(temp_) : temp_;
}

int ToolRun::run(const std::vector<std::string>& arguments) {
  return runAs(programPath(), arguments);
}

int ToolRun::runAs(const std::string& programPath,
                   const std::vector<std::string>& arguments) {
  if (windows())
    return runCommandLine(windowsCommandLine(programPath, arguments));
  std::vector<std::string> command =
      splitWords(environment("FIELDPREP_LAUNCHER"));
  std::string executable =
      command.empty() ? folder_ + toolName_ : command.front();
  command.push_back(programPath);
  command.insert(command.end(), arguments.begin(), arguments.end());
  return execute(executable, command);
}

int ToolRun::runVector(const std::vector<std::string>& arguments) {
  if (windows()) {
    ADD_FAILURE() << "runVector needs a tool of this host";
    return -1;
  }
  std::vector<std::string> command =
      splitWords(environment("FIELDPREP_LAUNCHER"));
  std::string executable =
      command.empty() ? folder_ + toolName_ : command.front();
  command.insert(command.end(), arguments.begin(), arguments.end());
  return execute(executable, command);
}

void ToolRun::limitFileSize(long long bytes) { fileSizeLimit_ = bytes; }

void ToolRun::signalOnFile(const std::string& namePrefix, int signal) {
  signalFilePrefix_ = namePrefix;
  fileSignal_ = signal;
}

void ToolRun::limitTime(unsigned seconds) { timeLimit_ = seconds; }

void ToolRun::limitAddressSpace(long long bytes) { addressSpaceLimit_ = bytes; }

bool ToolRun::runUnprivileged() {
  if (windows() || geteuid() != 0)
    return false;
  // The scratch folder must be reachable for that user; folders above it
  // that only their owner may pass are not the tests' to open up.
  for (fs::path folder = fs::path(folder_).parent_path().parent_path();
       folder.has_relative_path(); folder = folder.parent_path()) {
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0)
      return false;
  }
  unprivileged_ = true;
  return true;
}

void ToolRun::setTmpdir(const char* value) {
  tmpdirSet_ = value != nullptr;
  tmpdir_ = value ? value : "";
}

void ToolRun::giveToUnprivileged(const std::string& name) const {
  if (chown((folder_ + name).c_str(), kUnprivileged, kUnprivileged) != 0)
    ADD_FAILURE() << "cannot give " << folder_ + name << " away";
}

void ToolRun::logThroughPipe() { logThroughPipe_ = true; }

int ToolRun::runCommandLine(const std::string& commandLine) {
  return launch(windowsPath(folder_ + toolName_), commandLine);
}

int ToolRun::launch(const std::string& application,
                    const std::string& commandLine) {
  std::vector<std::string> command =
      splitWords(environment("FIELDPREP_LAUNCHER"));
  if (!windows() || command.empty()) {
    ADD_FAILURE() << "needs FIELDPREP_WINDOWS=1 and a FIELDPREP_LAUNCHER";
    return -1;
  }
  // The launcher reads the command line from a file beside the tool's
  // folder, so that it may be as long as Windows allows.
  std::string commandLineFile = folder_ + "../command-line.txt";
  command.push_back(windowsPath(temp_));
  command.push_back(application);
  command.push_back(windowsPath(commandLineFile));
  // Now and then Wine ends a process that it starts from here with exit
  // code 1 before any of its code has run. The launcher removes the file
  // before it starts anything, so while the file is still there, and the
  // launcher did not refuse it (125), nothing has run and the launch is
  // tried again.
  const int kAttempts = 3;
  for (int attempt = 1;; ++attempt) {
    writeFile(commandLineFile, commandLine);
    int exitCode = execute(command.front(), command);
    if (!fileExists(commandLineFile) || exitCode == 125)
      return exitCode;
    if (attempt == kAttempts) {
      ADD_FAILURE() << "Wine did not start the launcher " << kAttempts
                    << " times in a row (last exit code " << exitCode << ")";
      return exitCode;
    }
    std::cerr << "Wine did not start the launcher (exit code " << exitCode
              << "); starting it again\n";
  }
}

// Runs `executable` (a path, not looked up) with `command` as its argument
// vector, in the tool's folder.
int ToolRun::execute(const std::string& executable,
                     std::vector<std::string> command) {
  std::vector<char*> argv;
  for (std::string& word : command)
    argv.push_back(&word[0]);
  argv.push_back(nullptr);

  int output[2] = {-1, -1};
  if (logThroughPipe_ && pipe(output) != 0)
    ADD_FAILURE() << "no pipe for the log";
  pid_t child = fork();
  if (child == 0) {
    if (chdir(folder_.c_str()) != 0)
      _exit(127);
    if (output[1] >= 0) {
      dup2(output[1], STDOUT_FILENO);
      close(output[0]);
      close(output[1]);
      // The link names this process, which keeps its number across exec:
      // under Wine the file is opened by Wine's server, for which "self"
      // would be the server.
      std::string log = folder_ + "fieldprep.log";
      std::string standardOutput =
          "/proc/" + std::to_string(getpid()) + "/fd/1";
      unlink(log.c_str());
      if (symlink(standardOutput.c_str(), log.c_str()) != 0)
        _exit(127);
    }
    applyFileSizeLimit(fileSizeLimit_);
    applyAddressSpaceLimit(addressSpaceLimit_);
    if (unprivileged_)
      dropPrivileges();
    if (fileSignal_ != 0)
      std::signal(fileSignal_, SIG_DFL);  // not ignored, whoever started us
    alarm(timeLimit_);                    // survives exec; 0 sets none
    // Under Wine the launcher sets the temporary folder; TMPDIR would also
    // move Wine's server socket and so start a new server for every run.
    if (!windows()) {
      if (tmpdirSet_)
        setenv("TMPDIR", tmpdir_.c_str(), 1);
      else
        unsetenv("TMPDIR");
      setenv("TMP", temp_.c_str(), 1);
      setenv("TEMP", temp_.c_str(), 1);
    }
    execv(executable.c_str(), argv.data());
    _exit(127);
  }
  std::atomic<bool> ended{false};
  std::thread watcher;
  if (fileSignal_ != 0)
    watcher = std::thread([&] {
      signalWhenFileAppears(folder_, signalFilePrefix_, fileSignal_, child,
                            ended);
    });
  if (output[1] >= 0) {
    close(output[1]);
    log_ = drain(output[0]);
  }
  // The child stays unreaped until the watcher is done, so that its number
  // cannot pass to another process meanwhile.
  siginfo_t info;
  waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT);
  ended = true;
  if (watcher.joinable())
    watcher.join();
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFSIGNALED(status))
    return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

// A device or a pipe, which a faulty run may have put in place of a file, is
// not read: it may not end.
std::string ToolRun::read(const std::string& name) const {
  std::error_code error;
  fs::file_status status = fs::status(folder_ + name, error);
  if (fs::exists(status) && !fs::is_regular_file(status) &&
      !fs::is_directory(status)) {
    ADD_FAILURE() << name << " is not a regular file";
    return std::string();
  }
  return readFile(folder_ + name);
}
void ToolRun::write(const std::string& name, const std::string& bytes) const {
  writeFile(folder_ + name, bytes);
}
bool ToolRun::exists(const std::string& name) const {
  return fileExists(folder_ + name);
}
void ToolRun::makeFolder(const std::string& name) const {
  fs::create_directories(folder_ + name);
}
void ToolRun::makePipe(const std::string& name) const {
  if (mkfifo((folder_ + name).c_str(), 0666) != 0)
    ADD_FAILURE() << "no pipe " << name;
}
void ToolRun::makePipeTemp(const std::string& name) const {
  if (mkfifo((temp_ + name).c_str(), 0666) != 0)
    ADD_FAILURE() << "no pipe " << name;
}
void ToolRun::link(const std::string& name, const std::string& target) const {
  fs::create_symlink(target, folder_ + name);
}
std::string ToolRun::readTemp(const std::string& name) const {
  return readFile(temp_ + name);
}
void ToolRun::writeTemp(const std::string& name,
                        const std::string& bytes) const {
  writeFile(temp_ + name, bytes);
}
bool ToolRun::existsTemp(const std::string& name) const {
  return fileExists(temp_ + name);
}

std::vector<std::string> ToolRun::files() const { return filesIn(folder_); }
void expectFinalMessage(const ToolRun& tool, const std::string& message) {
  std::string log = tool.read("fieldprep.log");
  EXPECT_TRUE(endsWith(log, "\n" + message + "\n"))
      << "log ends with: "
      << log.substr(log.size() > 300 ? log.size() - 300 : 0);
}

std::string windowsPath(const std::string& hostPath) {
  std::string path = "Z:" + hostPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string windowsCommandLine(const std::string& programPath,
                               const std::vector<std::string>& arguments) {
  // The program path ends at the first blank outside quotes and takes no
  // escapes; quotes around it are dropped.
  std::string line = programPath.find_first_of(" \t") == std::string::npos
                         ? programPath
                         : "\"" + programPath + "\"";
  for (const std::string& argument : arguments)
    line += " " + quoteArgument(argument);
  return line;
}
