#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "run_log.h"
#include "scratch_folder.h"
#include "settings_document.h"

namespace {

// The scratch folders of the running test, removed when it ends (after its
// fixture, so that a log still open in one is closed first).
std::vector<std::string>& scratchFolders() {
  static std::vector<std::string> folders;
  return folders;
}

class ScratchFolderRemover : public testing::EmptyTestEventListener {
  void OnTestEnd(const testing::TestInfo&) override {
    for (const std::string& folder : scratchFolders())
      removeScratchFolder(folder);
    scratchFolders().clear();
  }
};

[[maybe_unused]] const bool scratchFolderRemoverAdded =
    (testing::UnitTest::GetInstance()->listeners().Append(
         new ScratchFolderRemover),
     true);

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
  openLog(path_);
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
  std::string folder = makeScratchFolder(
      testing::TempDir(), "fieldprep-" + std::string(test->test_suite_name()) +
                              "." + test->name() + "-");
  EXPECT_NE("", folder) << "no scratch folder in " << testing::TempDir();
  scratchFolders().push_back(folder);
  return folder;
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
