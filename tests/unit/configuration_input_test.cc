// Finding and reading the existing configuration: a copy in the temporary
// folder first (held until consumed), else the tool's folder; only safe copies
// count.
#include "configuration_input.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "run_guard.h"
#include "run_log.h"
#include "sanitizer.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

const char kName[] = "QORConfiguration.json";

class ReadConfigurationText : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(tmpDir);
    fs::create_directory(appdir);
  }

  // Reads, and lets a copy go again without consuming it.
  std::string read() {
    StagedCopy copy;
    return readConfigurationText(kName, tmpDir, appdir, &copy);
  }

  RunEndCatcher catcher;
  std::string folder = scratchFolder();
  std::string tmpDir = folder + "tmp/";
  std::string appdir = folder + "app/";
  std::string tempCopy = tmpDir + kName;
  std::string toolCopy = appdir + kName;
};

TEST_F(ReadConfigurationText, TakesTheTemporaryCopyFirstAndRemovesItOnRequest) {
  struct Case {
    const char* title;
    const char* temp;  // null: no such file
    const char* tool;
    std::string text;
  } cases[] = {
      {"both", "{\"from\":\"temp\"}", "{\"from\":\"tool\"}",
       "{\"from\":\"temp\"}"},
      {"temporary copy only", "{\"t\":\"1\"}", nullptr, "{\"t\":\"1\"}"},
      {"tool folder only", nullptr, "{\"a\":\"1\"}", "{\"a\":\"1\"}"},
      {"neither", nullptr, nullptr, ""},
      {"empty temporary copy", "", "{\"a\":\"1\"}", ""},
      {"empty file in the tool folder", nullptr, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    fs::remove(tempCopy);
    fs::remove(toolCopy);
    if (c.temp)
      writeFile(tempCopy, c.temp);
    if (c.tool)
      writeFile(toolCopy, c.tool);

    StagedCopy copy;
    EXPECT_EQ(c.text, readConfigurationText(kName, tmpDir, appdir, &copy));
    EXPECT_EQ(c.temp != nullptr, fileExists(tempCopy));
    copy.remove();
    EXPECT_FALSE(fileExists(tempCopy));
    if (c.tool)
      EXPECT_EQ(c.tool, readFile(toolCopy));
    else
      EXPECT_FALSE(fileExists(toolCopy));
  }
}

TEST_F(ReadConfigurationText, KeepsTheBytesUpToTheFirstNul) {
  struct Case {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"\xEF\xBB\xBF{\r\n  \"a\" : \"1\"\r\n}\r\n",
       "\xEF\xBB\xBF{\r\n  \"a\" : \"1\"\r\n}\r\n"},
      {"\r{\"a\":\"\xE9\"}\r", "\r{\"a\":\"\xE9\"}\r"},
      {std::string("{}\0{\"a\":\"1\"}", 12), "{}"},
      {std::string("\xFF\xFE{\0\"\0", 6), "\xFF\xFE{"},  // UTF-16
      {std::string("\0{}", 3), ""},
  };
  for (const Case& c : cases) {
    writeFile(tempCopy, c.bytes);
    EXPECT_EQ(c.text, read());
  }
}

TEST_F(ReadConfigurationText, LeavesWhatIsNoPlainFileInTheTemporaryFolder) {
  writeFile(toolCopy, "{\"from\":\"tool\"}");
  writeFile(folder + "elsewhere.json", "{\"from\":\"elsewhere\"}");
  struct Case {
    const char* title;
    void (*plant)(const std::string& tempCopy, const std::string& folder);
  } cases[] = {
      {"a folder", [](const std::string& tempCopy,
                      const std::string&) { fs::create_directory(tempCopy); }},
#ifndef _WIN32  // mingw's std::filesystem makes no links
      {"a link to a file",
       [](const std::string& tempCopy, const std::string& folder) {
         fs::create_symlink(folder + "elsewhere.json", tempCopy);
       }},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    fs::remove(tempCopy);
    c.plant(tempCopy, folder);
    EXPECT_EQ("{\"from\":\"tool\"}", read());
    EXPECT_TRUE(fileExists(tempCopy));
    EXPECT_EQ("{\"from\":\"elsewhere\"}", readFile(folder + "elsewhere.json"));
    EXPECT_TRUE(fileExists(toolCopy));
  }
}

#ifndef _WIN32  // owners and chown are POSIX
TEST_F(ReadConfigurationText, LeavesAnotherUsersCopyInTheTemporaryFolder) {
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to give the copy to another user";
  writeFile(toolCopy, "{\"from\":\"tool\"}");
  writeFile(tempCopy, "{\"from\":\"another user\"}");
  ASSERT_EQ(0, chown(tempCopy.c_str(), 65534, 65534));

  EXPECT_EQ("{\"from\":\"tool\"}", read());
  EXPECT_EQ("{\"from\":\"another user\"}", readFile(tempCopy));
}
#endif

// Between its reading and its removal the copy's name may come to name
// another copy, staged meanwhile: that one is left for the next run.
TEST_F(ReadConfigurationText, RemovesOnlyTheCopyThatWasRead) {
  writeFile(tempCopy, "{\"from\":\"first\"}");
  writeFile(tmpDir + "second", "{\"from\":\"second\"}");
  StagedCopy copy;
  EXPECT_EQ("{\"from\":\"first\"}",
            readConfigurationText(kName, tmpDir, appdir, &copy));
#ifdef _WIN32
  // Held without sharing deletion, the copy keeps its name to the end.
  std::string second = tmpDir + "second";
  EXPECT_FALSE(
      MoveFileExA(second.c_str(), tempCopy.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(DeleteFileA(tempCopy.c_str()));
  copy.remove();
  EXPECT_FALSE(fileExists(tempCopy));
#else
  fs::rename(tmpDir + "second", tempCopy);
  copy.remove();
  EXPECT_EQ("{\"from\":\"second\"}", readFile(tempCopy));
#endif
}

#ifdef _WIN32
// A copy that another process holds open without sharing deletion could not
// be removed: it is not taken, and stays.
TEST_F(ReadConfigurationText, CopyHeldOpenWithoutSharingDeletionIsNotTaken) {
  writeFile(toolCopy, "{\"from\":\"tool\"}");
  writeFile(tempCopy, "{\"from\":\"held\"}");
  HANDLE holder = CreateFileA(tempCopy.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  StagedCopy copy;
  EXPECT_EQ("{\"from\":\"tool\"}",
            readConfigurationText(kName, tmpDir, appdir, &copy));
  copy.remove();
  CloseHandle(holder);
  EXPECT_EQ("{\"from\":\"held\"}", readFile(tempCopy));
}
#endif

TEST_F(ReadConfigurationText, WithoutTemporaryFolderSkipsTheFirstPlace) {
  std::string current = folder + "current/";
  fs::create_directory(current);
  writeFile(current + kName, "{\"from\":\"current\"}");
  writeFile(toolCopy, "{\"from\":\"tool\"}");
  fs::path before = fs::current_path();
  fs::current_path(current);

  StagedCopy copy;
  std::string fromToolFolder = readConfigurationText(kName, "", appdir, &copy);
  copy.remove();
  bool keptAfterToolFolder = fileExists(kName);
  // With an empty tool folder the bare name is the tool's own configuration.
  std::string fromCurrent = readConfigurationText(kName, "", "", &copy);
  copy.remove();
  bool keptAfterCurrent = fileExists(kName);
  fs::current_path(before);

  EXPECT_EQ("{\"from\":\"tool\"}", fromToolFolder);
  EXPECT_TRUE(keptAfterToolFolder);
  EXPECT_EQ("{\"from\":\"current\"}", fromCurrent);
  EXPECT_TRUE(keptAfterCurrent);
}

// The temporary folder may be the tool's folder: the file there is the tool's
// own configuration, however the two folders are spelt.
TEST_F(ReadConfigurationText, TemporaryFolderThatIsTheToolFolderKeepsTheFile) {
  writeFile(toolCopy, "{\"from\":\"tool\"}");
  for (const std::string& sameFolder : {appdir, appdir + "./"}) {
    SCOPED_TRACE(sameFolder);
    StagedCopy copy;
    EXPECT_EQ("{\"from\":\"tool\"}",
              readConfigurationText(kName, sameFolder, appdir, &copy));
    copy.remove();
    EXPECT_EQ("{\"from\":\"tool\"}", readFile(toolCopy));
  }
}

// Only "no such file" makes no configuration: one that is there but is no
// readable regular file ends the run before anything is written over it.
TEST_F(ReadConfigurationText, ToolFolderFileThatCannotBeReadEndsWithTwo) {
  struct Case {
    const char* title;
    void (*plant)(const std::string& path);
  } cases[] = {
      {"a folder", [](const std::string& path) { fs::create_directory(path); }},
#ifndef _WIN32
      {"a pipe, which must not block",
       [](const std::string& path) { mkfifo(path.c_str(), 0600); }},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    fs::remove(toolCopy);
    c.plant(toolCopy);
    lastMessage.clear();
    EXPECT_EQ(2, exitCodeOf([&] { read(); }));
    EXPECT_EQ("Failed to read QORConfiguration.json file: " + toolCopy + "\n",
              lastMessage);
    EXPECT_TRUE(fileExists(toolCopy));
  }
}

#ifndef _WIN32
// Address-space limits are POSIX too.
// In a child process: finish() reports the stored message on stderr.
void reportAndExit(int exitCode) {
  std::fputs(lastMessage.c_str(), stderr);
  std::fflush(stderr);
  _exit(exitCode);
}

// Leaves `spare` bytes of address space beyond what the process uses now.
void limitAddressSpace(size_t spare) {
  size_t pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  rlim_t limit = pages * static_cast<size_t>(sysconf(_SC_PAGESIZE)) + spare;
  struct rlimit bounds = {limit, limit};
  setrlimit(RLIMIT_AS, &bounds);
}

using ReadConfigurationTextDeathTest = ReadConfigurationText;

TEST_F(ReadConfigurationTextDeathTest, MemoryRunningOutKeepsTheCopy) {
#ifdef FIELDPREP_ADDRESS_SANITIZER
  GTEST_SKIP() << "an address-space limit stops AddressSanitizer itself";
#endif
  // A sparse copy far larger than the memory the reading may have.
  writeFile(tempCopy, "{");
  fs::resize_file(tempCopy, size_t(1) << 30);
  writeFile(toolCopy, "{\"from\":\"tool\"}");

  EXPECT_EXIT(
      {
        setExitFunction(reportAndExit);
        limitAddressSpace(size_t(64) << 20);
        runGuarded([&] { read(); });
      },
      ::testing::ExitedWithCode(3), "^Out of memory\n$");
  EXPECT_TRUE(fileExists(tempCopy));
  EXPECT_EQ("{\"from\":\"tool\"}", readFile(toolCopy));
}
#endif

}  // namespace
