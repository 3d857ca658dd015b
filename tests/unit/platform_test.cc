// The platform layer's file operations that keep the user's files safe, on
// each platform: exclusive creation, file identity, reading only regular
// files, and replacing a file while keeping what the user set on it.
#include "platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

TEST(Platform, CreateNewFileNeverOpensAnythingThatIsThere) {
  std::string folder = scratchFolder();
  writeFile(folder + "taken", "the user's");
  fs::create_directory(folder + "folder");
  for (const char* name : {"taken", "folder"}) {
    SCOPED_TRACE(name);
    CreateResult result = CreateResult::created;
    EXPECT_EQ(nullptr, createNewFile(folder + name, "", &result));
    EXPECT_NE(CreateResult::created, result);
  }
  EXPECT_EQ("the user's", readFile(folder + "taken"));

  CreateResult result = CreateResult::failed;
  FILE* file = createNewFile(folder + "new", folder + "taken", &result);
  ASSERT_NE(nullptr, file);
  EXPECT_EQ(CreateResult::created, result);
  std::fputs("text", file);
  std::fclose(file);
  EXPECT_EQ("text", readFile(folder + "new"));
}

TEST(Platform, SameFileComparesIdentityNotSpelling) {
  std::string folder = scratchFolder();
  writeFile(folder + "a", "same text");
  writeFile(folder + "b", "same text");
  EXPECT_TRUE(sameFile(folder + "a", folder + "./a"));
  EXPECT_FALSE(sameFile(folder + "a", folder + "b"));
  EXPECT_FALSE(sameFile(folder + "a", folder + "missing"));
  EXPECT_FALSE(sameFile(folder + "missing", folder + "missing"));
}

TEST(Platform, OpenRegularFileTellsMissingFromUnreadable) {
  std::string folder = scratchFolder();
  fs::create_directory(folder + "folder");
  struct Case {
    std::string path;
    bool missing;
  } cases[] = {
      {folder + "missing", true},
      {folder + "missing-folder/file", true},
      {folder + "folder", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    bool missing = !c.missing;
    EXPECT_EQ(nullptr, openRegularFile(c.path, &missing));
    EXPECT_EQ(c.missing, missing);
  }
}

TEST(Platform, ReplaceFileKeepsTheReplacedFilesAttributes) {
  std::string folder = scratchFolder();
  std::string target = folder + "target";
  writeFile(target, "old");
  writeFile(folder + "new", "new");
#ifdef _WIN32
  ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_HIDDEN));
  // Wine's ReplaceFileW replaces the file but does not carry its attributes
  // over, as Windows' does.
  if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version"))
    GTEST_SKIP() << "Wine's ReplaceFileW keeps no attributes";
#else
  fs::permissions(target, fs::perms(0640));
  // The temporary file takes them over when it is created.
  fs::remove(folder + "new");
  CreateResult result;
  FILE* file = createNewFile(folder + "new", target, &result);
  ASSERT_NE(nullptr, file);
  std::fputs("new", file);
  std::fclose(file);
#endif
  ASSERT_TRUE(replaceFile(folder + "new", target));
  EXPECT_EQ("new", readFile(target));
  EXPECT_FALSE(fileExists(folder + "new"));
#ifdef _WIN32
  EXPECT_NE(0u, GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_HIDDEN);
#else
  EXPECT_EQ(fs::perms(0640), fs::status(target).permissions());
#endif
  // A target that is not there yet is simply moved into place.
  writeFile(folder + "newer", "newer");
  ASSERT_TRUE(replaceFile(folder + "newer", folder + "fresh"));
  EXPECT_EQ("newer", readFile(folder + "fresh"));
}

}  // namespace
