#include "tool_run.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Reads a regular file ("" for a folder or nothing); a device or a pipe, which
// a faulty run may have put in place of a file, is not read: it may not end.
std::string readBytes(const std::string& path) {
  std::error_code error;
  fs::file_status status = fs::status(path, error);
  if (fs::exists(status) && !fs::is_regular_file(status) &&
      !fs::is_directory(status)) {
    ADD_FAILURE() << path << " is not a regular file";
    return std::string();
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
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

bool present(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

}  // namespace

ToolRun::ToolRun() {
  std::string binary = environment("FIELDPREP_BINARY");
  if (binary.empty())
    ADD_FAILURE() << "FIELDPREP_BINARY is not set";
  const testing::TestInfo* test =
      testing::UnitTest::GetInstance()->current_test_info();
  fs::path root = fs::path(testing::TempDir()) / "fieldprep-e2e" /
                  (std::string(test->test_suite_name()) + "." + test->name());
  fs::remove_all(root);
  fs::create_directories(root / "app");
  fs::create_directories(root / "tmp");
  folder_ = fs::absolute(root / "app").generic_string() + "/";
  temp_ = fs::absolute(root / "tmp").generic_string() + "/";
  toolName_ = fs::path(binary).filename().string();
  if (!binary.empty())
    fs::copy_file(binary, folder_ + toolName_);
}

std::string ToolRun::programPath() const { return folder_ + toolName_; }
std::string ToolRun::appdir() const { return folder_; }
std::string ToolRun::tmpDir() const { return temp_; }

int ToolRun::run(const std::vector<std::string>& arguments) {
  return runAs(programPath(), arguments);
}

int ToolRun::runAs(const std::string& programPath,
                   const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {programPath};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return runVector(argv);
}

void ToolRun::limitFileSize(long long bytes) { fileSizeLimit_ = bytes; }

void ToolRun::logThroughPipe() {
  fs::remove(folder_ + "fieldprep.log");
  fs::create_symlink("/proc/self/fd/1", folder_ + "fieldprep.log");
  logThroughPipe_ = true;
}

int ToolRun::runVector(const std::vector<std::string>& arguments) {
  std::vector<std::string> command = splitWords(environment("FIELDPREP_LAUNCHER"));
  std::string executable =
      command.empty() ? folder_ + toolName_ : command.front();
  command.insert(command.end(), arguments.begin(), arguments.end());

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
    setenv("TMPDIR", temp_.c_str(), 1);
    setenv("TMP", temp_.c_str(), 1);
    setenv("TEMP", temp_.c_str(), 1);
    if (output[1] >= 0) {
      dup2(output[1], STDOUT_FILENO);
      close(output[0]);
      close(output[1]);
    }
    if (fileSizeLimit_ >= 0) {
      // An ignored signal stays ignored across exec.
      std::signal(SIGXFSZ, SIG_IGN);
      rlimit limit;
      getrlimit(RLIMIT_FSIZE, &limit);
      limit.rlim_cur = static_cast<rlim_t>(fileSizeLimit_);
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    execv(executable.c_str(), argv.data());
    _exit(127);
  }
  if (output[1] >= 0) {
    close(output[1]);
    log_ = drain(output[0]);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFSIGNALED(status))
    return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

std::string ToolRun::read(const std::string& name) const {
  return readBytes(folder_ + name);
}
void ToolRun::write(const std::string& name, const std::string& bytes) const {
  writeBytes(folder_ + name, bytes);
}
bool ToolRun::exists(const std::string& name) const {
  return present(folder_ + name);
}
void ToolRun::makeFolder(const std::string& name) const {
  fs::create_directories(folder_ + name);
}
void ToolRun::link(const std::string& name, const std::string& target) const {
  fs::create_symlink(target, folder_ + name);
}
std::string ToolRun::readTemp(const std::string& name) const {
  return readBytes(temp_ + name);
}
void ToolRun::writeTemp(const std::string& name, const std::string& bytes) const {
  writeBytes(temp_ + name, bytes);
}
bool ToolRun::existsTemp(const std::string& name) const {
  return present(temp_ + name);
}

std::vector<std::string> ToolRun::files() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string crlf(const std::string& text) {
  std::string bytes;
  for (char c : text) {
    if (c == '\n')
      bytes += '\r';
    bytes += c;
  }
  return bytes;
}
