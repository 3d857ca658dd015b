#include "test_support.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "run_log.h"

namespace fs = std::filesystem;

namespace {

void throwRunEnded(int exitCode) { throw RunEnded{exitCode}; }

}  // namespace

RunEndCatcher::RunEndCatcher() {
  setExitFunction(throwRunEnded);
  lastMessage.clear();
  logFile = nullptr;
}

RunEndCatcher::~RunEndCatcher() {
  if (logFile)
    std::fclose(logFile);
  logFile = nullptr;
  lastMessage.clear();
  setExitFunction(nullptr);
}

LogCapture::LogCapture() : path_(scratchFolder() + "fieldprep.log") {
  logFile = std::fopen(path_.c_str(), "wb");
}

LogCapture::~LogCapture() {
  if (logFile)
    std::fclose(logFile);
  logFile = nullptr;
}

std::string LogCapture::text() const {
  if (logFile)
    std::fflush(logFile);
  return readFile(path_);
}

std::string scratchFolder() {
  const testing::TestInfo* test =
      testing::UnitTest::GetInstance()->current_test_info();
  static int serial = 0;
  fs::path folder = fs::path(testing::TempDir()) / "fieldprep-unit" /
                    (std::string(test->test_suite_name()) + "." + test->name() +
                     "." + std::to_string(++serial));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder.generic_string() + "/";
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool fileExists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}
