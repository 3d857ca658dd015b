// Writing an output file: text-mode bytes, and replacing the file in one step
// or not at all.
#include "output_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

TEST(TextModeBytes, WritesEveryLfAsCrLf) {
  struct Case {
    std::string text;
    std::string bytes;
  } cases[] = {
      {"", ""},
      {"a\nb\n", "a\r\nb\r\n"},
      {"\n\n", "\r\n\r\n"},
      {"a\r\nb", "a\r\r\nb"},  // as the Windows runtime does
      {"lone\rcr", "lone\rcr"},
      {std::string("\0\n\xFF", 3), std::string("\0\r\n\xFF", 4)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.bytes, textModeBytes(c.text)) << c.text;
}

class WriteOutputFile : public ::testing::Test {
 protected:
  std::string folder = scratchFolder();
  std::string path = folder + "README.txt";
};

TEST_F(WriteOutputFile, CreatesOrReplacesTheFile) {
  EXPECT_EQ(OutputResult::written, writeOutputFile(path, "first\nrun\n"));
  EXPECT_EQ("first\r\nrun\r\n", readFile(path));

  EXPECT_EQ(OutputResult::written, writeOutputFile(path, "2\n"));
  EXPECT_EQ("2\r\n", readFile(path));
  EXPECT_FALSE(fileExists(path + ".tmp"));
}

TEST_F(WriteOutputFile, TargetThatCannotBeOpenedIsLeftAsItWas) {
  fs::create_directory(path);
  writeFile(path + "/inside", "x");
  EXPECT_EQ(OutputResult::openFailed, writeOutputFile(path, "text\n"));
  EXPECT_EQ("x", readFile(path + "/inside"));
  EXPECT_FALSE(fileExists(path + ".tmp"));

  std::string missing = folder + "missing/README.txt";
  EXPECT_EQ(OutputResult::openFailed, writeOutputFile(missing, "text\n"));
  EXPECT_FALSE(fileExists(folder + "missing"));
}

TEST_F(WriteOutputFile, FolderTakingTheTemporaryNameKeepsThePreviousFile) {
  writeFile(path, "previous\r\n");
  fs::create_directory(path + ".tmp");
  EXPECT_EQ(OutputResult::openFailed, writeOutputFile(path, "new\n"));
  EXPECT_EQ("previous\r\n", readFile(path));
  EXPECT_TRUE(fs::is_directory(path + ".tmp"));  // not ours to remove
}

TEST_F(WriteOutputFile, FailedWriteKeepsThePreviousFileAndLeavesNoTemporary) {
  if (!fs::exists("/dev/full"))
    GTEST_SKIP() << "needs /dev/full";
  writeFile(path, "previous\r\n");
  fs::create_symlink("/dev/full", path + ".tmp");  // every write fails there
  EXPECT_EQ(OutputResult::writeFailed, writeOutputFile(path, "new\n"));
  EXPECT_EQ("previous\r\n", readFile(path));
  EXPECT_FALSE(fileExists(path + ".tmp"));
}

}  // namespace
