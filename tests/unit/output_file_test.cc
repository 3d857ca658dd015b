// Writing an output file: text-mode bytes, and replacing the file in one step
// or not at all, whichever step fails.
#include "output_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <new>
#include <string>
#include <vector>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "file_bytes.h"
#include "run_log.h"
#include "settings_document.h"
#include "test_support.h"
#include "text_mode.h"

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

// Seams: the platform's own operations, with a fault of the test's choosing.
int takenNames = 0;
FILE* createAfterTakenNames(const std::string& path, const std::string& like,
                            CreateResult* result) {
  if (takenNames > 0) {
    --takenNames;
    *result = CreateResult::exists;
    return nullptr;
  }
  return createNewFile(path, like, result);
}

FILE* createRefusedByTheFolder(const std::string&, const std::string&,
                               CreateResult* result) {
  *result = CreateResult::denied;
  return nullptr;
}

bool replaceThatFails(const std::string&, const std::string&) { return false; }

bool flushThatFails(FILE*) { return false; }

// The order in which the writer flushes and replaces.
std::vector<std::string> calls;
bool recordedFlush(FILE* file) {
  calls.push_back("flush");
  return flushToDisk(file);
}
bool recordedReplace(const std::string& from, const std::string& to) {
  calls.push_back("replace");
  return replaceFile(from, to);
}

// The descriptor of the temporary file as created, and a flush that runs out
// of memory.
int createdDescriptor = -1;
FILE* createAndKeep(const std::string& path, const std::string& like,
                    CreateResult* result) {
  FILE* file = createNewFile(path, like, result);
  createdDescriptor = file ? fileno(file) : -1;
  return file;
}
bool flushOutOfMemory(FILE*) { throw std::bad_alloc(); }

#ifndef _WIN32
// The temporary file is created as ever, but its writes go to a full disk.
FILE* createOnAFullDisk(const std::string& path, const std::string& like,
                        CreateResult* result) {
  FILE* file = createNewFile(path, like, result);
  int full = open("/dev/full", O_WRONLY);
  if (file && full >= 0)
    dup2(full, fileno(file));
  if (full >= 0)
    close(full);
  return file;
}
#endif

class WriteOutputFile : public ::testing::Test {
 protected:
  ~WriteOutputFile() override { setOutputFileFunctions(nullptr, nullptr); }

  std::string folder = scratchFolder();
  std::string path = folder + "README.txt";
};

TEST_F(WriteOutputFile, CreatesOrReplacesTheFileAndLeavesNothingElse) {
  EXPECT_EQ(OutputResult::written, writeOutputFile(path, "first\nrun\n"));
  EXPECT_EQ("first\r\nrun\r\n", readFile(path));

  EXPECT_EQ(OutputResult::written, writeOutputFile(path, "2\n"));
  EXPECT_EQ("2\r\n", readFile(path));
  EXPECT_EQ(std::vector<std::string>{"README.txt"}, filesIn(folder));
}

TEST_F(WriteOutputFile, NamesTakenBesideTheTargetArePassedOver) {
  setOutputFileFunctions(createAfterTakenNames, nullptr);
  takenNames = 5;
  EXPECT_EQ(OutputResult::written, writeOutputFile(path, "text\n"));
  EXPECT_EQ("text\r\n", readFile(path));

  takenNames = 1000;  // every name tried is taken: give up, touch nothing
  writeFile(path, "previous");
  EXPECT_EQ(OutputResult::openFailed, writeOutputFile(path, "new\n"));
  EXPECT_EQ("previous", readFile(path));
  EXPECT_EQ(std::vector<std::string>{"README.txt"}, filesIn(folder));
}

TEST_F(WriteOutputFile, TargetInAMissingFolderCreatesNothing) {
  std::string missing = folder + "missing/README.txt";
  EXPECT_EQ(OutputResult::openFailed, writeOutputFile(missing, "text\n"));
  EXPECT_FALSE(fileExists(folder + "missing"));
}

// A folder that takes no new file: the target is written where it is.
TEST_F(WriteOutputFile, FolderThatRefusesNewFilesGetsTheTargetWrittenInPlace) {
  setOutputFileFunctions(createRefusedByTheFolder, nullptr);
  writeFile(path, "a longer previous text");
  EXPECT_EQ(OutputResult::written, writeOutputFile(path, "new\n"));
  EXPECT_EQ("new\r\n", readFile(path));

  // Without a file to write over, there is nothing to write.
  fs::remove(path);
  EXPECT_EQ(OutputResult::openFailed, writeOutputFile(path, "new\n"));
  EXPECT_FALSE(fileExists(path));
}

// The text reaches the disk before it takes the old file's place, and before
// a file written in place is closed.
TEST_F(WriteOutputFile, FlushesTheTextBeforeItReplacesTheOldFile) {
  struct Case {
    const char* title;
    CreateNewFileFunction create;
    std::vector<std::string> calls;
  } cases[] = {
      {"beside the target", nullptr, {"flush", "replace"}},
      {"in place", createRefusedByTheFolder, {"flush"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    writeFile(path, "previous");
    calls.clear();
    setOutputFileFunctions(c.create, recordedReplace, recordedFlush);
    EXPECT_EQ(OutputResult::written,
              writeOutputFile(path, "a text longer than the previous\n"));
    EXPECT_EQ(c.calls, calls);
    EXPECT_EQ("a text longer than the previous\r\n", readFile(path));
  }
}

// Memory running out while the temporary file is written: the file is closed
// and removed (Windows removes no file that is still open), the old one kept.
TEST_F(WriteOutputFile, ExceptionWhileWritingClosesAndRemovesTheTemporaryFile) {
  writeFile(path, "previous");
  setOutputFileFunctions(createAndKeep, nullptr, flushOutOfMemory);
  EXPECT_THROW(writeOutputFile(path, "new\n"), std::bad_alloc);
  EXPECT_EQ(std::vector<std::string>{"README.txt"}, filesIn(folder));
  EXPECT_EQ("previous", readFile(path));
#ifndef _WIN32
  ASSERT_NE(-1, createdDescriptor);
  EXPECT_EQ(-1, fcntl(createdDescriptor, F_GETFD));  // closed
#endif
}

// Each writer of the run, failing after its temporary file was created: the
// run ends with that file's code and "Failed to write" message, the previous
// file stays, and no temporary file is left.
TEST(OutputWriters, WriteOrReplaceFailureEndsWithThatFilesCode) {
  struct Writer {
    const char* name;
    void (SettingsDocument::*write)(const std::string&);
    int exitCode;
    const char* message;
  } writers[] = {
      {"README.txt", &SettingsDocument::writeReadme, 5,
       "Failed to write output file: "},
      {"SILENT_INSTALL.BAT", &SettingsDocument::writeSilentInstallBatch, 6,
       "Failed to write SILENT_INSTALL.BAT file: "},
      {"QORConfiguration.json", &SettingsDocument::writeConfigurationFile, 4,
       "Failed to write output file: "},
  };
  struct Fault {
    const char* title;
    CreateNewFileFunction create;
    ReplaceFileFunction replace;
    FlushFileFunction flush;
  } faults[] = {
#ifndef _WIN32
      {"full disk", createOnAFullDisk, nullptr, nullptr},
#endif
      {"replace fails", nullptr, replaceThatFails, nullptr},
      {"flush fails", nullptr, nullptr, flushThatFails},
  };
  for (const Fault& fault : faults) {
    for (const Writer& writer : writers) {
      SCOPED_TRACE(std::string(fault.title) + ": " + writer.name);
      RunEndCatcher catcher;
      SettingsDocument document;
      document.loadSettings("parameters", "{\"schoolid\":\"1\"}",
                            Json::Features());
      std::string folder = scratchFolder();
      std::string path = folder + writer.name;
      writeFile(path, "previous");
      setOutputFileFunctions(fault.create, fault.replace, fault.flush);
      int exitCode = exitCodeOf([&] { (document.*writer.write)(folder); });
      setOutputFileFunctions(nullptr, nullptr);

      EXPECT_EQ(writer.exitCode, exitCode);
      EXPECT_EQ(writer.message + path + "\n", lastMessage);
      EXPECT_EQ("previous", readFile(path));
      EXPECT_EQ(std::vector<std::string>{writer.name}, filesIn(folder));
    }
  }
}

}  // namespace
