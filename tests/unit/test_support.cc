#include "test_support.h"

#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

#include "run_log.h"
#include "settings_document.h"

namespace fs = std::filesystem;

namespace {

void throwRunEnded(int exitCode) { throw RunEnded{exitCode}; }

void closeLog() {
  if (logFile)
    std::fclose(logFile);
  logFile = nullptr;
}

const char* const kCapturedKeys[] = {
    "adminid",    "adminname",    "autoupdateflag",
    "baseurl",    "contentcache", "contentcacheenable",
    "districtid", "districtname", "enablelcs",
    "httpsproxy", "lcsurl",       "loadsimulationenable",
    "schoolid",   "schoolname",   "startupurl",
    "updateurl",
};

}  // namespace

RunEndCatcher::RunEndCatcher() {
  setExitFunction(throwRunEnded);
  lastMessage.clear();
  logFile = nullptr;
}

RunEndCatcher::~RunEndCatcher() {
  closeLog();
  lastMessage.clear();
  setExitFunction(nullptr);
}

LogCapture::LogCapture() : path_(scratchFolder() + "fieldprep.log") {
  logFile = std::fopen(path_.c_str(), "wb");
}

LogCapture::~LogCapture() { closeLog(); }

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

Json::Value parsed(const std::string& json) {
  Json::Value value;
  Json::Reader reader;
  EXPECT_TRUE(reader.parse(json, value, false)) << json;
  return value;
}

Json::Value objectOf(const Members& members) {
  Json::Value object(Json::objectValue);
  for (const auto& member : members)
    object[member.first] = member.second;
  return object;
}

std::vector<std::string> capturedSettings(const SettingsDocument& document) {
  std::vector<std::string> settings;
  for (const char* key : kCapturedKeys)
    settings.push_back(document.getSetting(key));
  settings.push_back(std::to_string(document.autoUpdateState()));
  return settings;
}
