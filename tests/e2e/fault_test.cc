// Write faults: each output's write made to fail by a file-size limit, or
// something that is no regular file in the way. The run must end with that
// file's code and message, leave the previous file as it was and no temporary
// file behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "expected_outputs.h"
#include "tool_run.h"

namespace {

const char kParameters[] =
    "{\"baseurl\":\"https://h/a\",\"ProductName\":\"Q\"}";

// A long kept value makes the configuration the largest of the three files,
// so that a limit can let the README and the batch file through but not it.
std::string existingConfiguration() {
  return "{\"SchoolID\":\"1\",\"padding\":\"" + std::string(3000, 'x') + "\"}";
}

struct Outputs {
  std::string files[3];
  std::string log;
  std::string appdir;  // the folders that the log names
  std::string tmpDir;
};

// Puts a previous version of each output in place.
void placePreviousFiles(const ToolRun& tool) {
  tool.write("README.txt", "previous README\r\n");
  tool.write("SILENT_INSTALL.BAT", "previous batch\r\n");
  tool.write("QORConfiguration.json", existingConfiguration());
}

std::string previousFile(int output) {
  const std::string previous[] = {"previous README\r\n", "previous batch\r\n",
                                  existingConfiguration()};
  return previous[output];
}

// What a run without a fault writes.
Outputs faultlessRun() {
  ToolRun tool;
  placePreviousFiles(tool);
  EXPECT_EQ(0, tool.run({kParameters}));
  Outputs outputs;
  for (int i = 0; i < 3; ++i)
    outputs.files[i] = tool.read(kOutputs[i]);
  outputs.log = tool.read("fieldprep.log");
  outputs.appdir = tool.appdir();
  outputs.tmpDir = tool.tmpDir();
  return outputs;
}

// The faultless run's log as `tool`, in folders of its own, writes it.
std::string logIn(const ToolRun& tool, const Outputs& written) {
  std::string log = written.log;
  const std::pair<std::string, std::string> folders[] = {
      {written.appdir, tool.appdir()}, {written.tmpDir, tool.tmpDir()}};
  for (const auto& folder : folders) {
    for (size_t at = log.find(folder.first); at != std::string::npos;
         at = log.find(folder.first, at + folder.second.size()))
      log.replace(at, folder.first.size(), folder.second);
  }
  return log;
}

// The name of the tool copied into the folder: "fieldprep" or
// "fieldprep.exe".
std::string toolFileName() {
  const char* binary = std::getenv("FIELDPREP_BINARY");
  return std::filesystem::path(binary ? binary : "").filename().string();
}

// The tool's folder holds the outputs, the log, the tool and `extraFiles`.
void expectNoOtherFiles(const ToolRun& tool,
                        const std::vector<std::string>& extraFiles = {}) {
  std::vector<std::string> expected = {"QORConfiguration.json", "README.txt",
                                       "SILENT_INSTALL.BAT", "fieldprep.log",
                                       toolFileName()};
  expected.insert(expected.end(), extraFiles.begin(), extraFiles.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, tool.files());
}

// The outputs before `failing` hold what a faultless run writes, the others
// their previous text; nothing else lies in the folder.
void expectFilesUpTo(const ToolRun& tool, int failing, const Outputs& written,
                     const std::vector<std::string>& extraFiles = {}) {
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(kOutputs[i]);
    EXPECT_EQ(i < failing ? written.files[i] : previousFile(i),
              tool.read(kOutputs[i]));
  }
  expectNoOtherFiles(tool, extraFiles);
}

std::string writeFailure(const ToolRun& tool, int output) {
  std::string path = tool.appdir() + kOutputs[output];
  if (output == 1)
    return "Failed to write SILENT_INSTALL.BAT file: " + path + "\n";
  return "Failed to write output file: " + path + "\n";
}

std::string openFailure(const ToolRun& tool, int output) {
  std::string path = tool.appdir() + kOutputs[output];
  if (output == 1)
    return "Failed to open SILENT_INSTALL.BAT file: " + path + "\n";
  return "Failed to open output file: " + path + "\n";
}

void expectLogEndsWith(const std::string& log, const std::string& message) {
  std::string ending = "\n" + message + "\n";
  ASSERT_GE(log.size(), ending.size()) << log;
  EXPECT_EQ(ending, log.substr(log.size() - ending.size()));
}

const int kExitCodes[] = {5, 6, 4};

TEST(WriteFault, WriteCutByAFileSizeLimitEndsWithThatFilesCode) {
  Outputs written = faultlessRun();
  size_t readme = written.files[0].size();
  size_t batch = written.files[1].size();
  size_t configuration = written.files[2].size();
  ASSERT_LT(readme, batch);
  ASSERT_LT(batch, configuration);

  // A limit fails the first output that is longer: at its first byte, inside
  // it, and at its last byte.
  struct Case {
    size_t limit;
    int failing;
  } cases[] = {
      {0, 0},
      {1, 0},
      {readme / 2, 0},
      {readme - 1, 0},
      {readme, 1},
      {(readme + batch) / 2, 1},
      {batch - 1, 1},
      {batch, 2},
      {configuration / 2, 2},
      {configuration - 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("limit " + std::to_string(c.limit));
    ToolRun tool;
    placePreviousFiles(tool);
    tool.logThroughPipe();
    tool.limitFileSize(static_cast<long long>(c.limit));
    EXPECT_EQ(kExitCodes[c.failing], tool.run({kParameters}));
    expectLogEndsWith(tool.log(), writeFailure(tool, c.failing));
    expectFilesUpTo(tool, c.failing, written);
  }
}

TEST(WriteFault, FilesThatJustFitAreWrittenWhole) {
  Outputs written = faultlessRun();
  ToolRun tool;
  placePreviousFiles(tool);
  tool.logThroughPipe();
  tool.limitFileSize(static_cast<long long>(written.files[2].size()));
  EXPECT_EQ(0, tool.run({kParameters}));
  EXPECT_EQ(logIn(tool, written), tool.log());
  expectFilesUpTo(tool, 3, written);
}

// A log write that fails is not looked at: the run goes on and succeeds.
TEST(WriteFault, LogCutByTheLimitChangesNothingElse) {
  Outputs written = faultlessRun();
  size_t limit = written.files[2].size();
  ASSERT_LT(limit, written.log.size());
  ToolRun tool;
  placePreviousFiles(tool);
  tool.limitFileSize(static_cast<long long>(limit));
  EXPECT_EQ(0, tool.run({kParameters}));
  EXPECT_EQ(logIn(tool, written).substr(0, limit), tool.read("fieldprep.log"));
  expectFilesUpTo(tool, 3, written);
}

// Something that is no regular file in place of an output: a folder, or a
// pipe, which must not block the run. The run ends at once with that file's
// code, leaving it in place; the configuration is then read from a copy in
// the temporary folder, which stays for the next run. A full disk, and a
// replacement that fails, are the writer's unit tests.
TEST(WriteFault, NoRegularFileInPlaceOfAnOutputEndsWithThatFilesCode) {
  Outputs written = faultlessRun();
  struct Kind {
    const char* title;
    void (ToolRun::*plant)(const std::string& name) const;
  } kinds[] = {
      {"a folder", &ToolRun::makeFolder},
      {"a pipe", &ToolRun::makePipe},
  };
  for (const Kind& kind : kinds) {
    for (int failing = 0; failing < 3; ++failing) {
      SCOPED_TRACE(std::string(kind.title) + " as " + kOutputs[failing]);
      ToolRun tool;
      tool.limitTime(10);
      placePreviousFiles(tool);
      tool.writeTemp("QORConfiguration.json", existingConfiguration());
      std::filesystem::remove(tool.folder() + kOutputs[failing]);
      (tool.*kind.plant)(kOutputs[failing]);
      EXPECT_EQ(kExitCodes[failing], tool.run({kParameters}));
      expectLogEndsWith(tool.read("fieldprep.log"), openFailure(tool, failing));
      for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(kOutputs[i]);
        if (i != failing) {
          EXPECT_EQ(i < failing ? written.files[i] : previousFile(i),
                    tool.read(kOutputs[i]));
        }
      }
      std::filesystem::file_status status =
          std::filesystem::symlink_status(tool.folder() + kOutputs[failing]);
      EXPECT_EQ(kind.plant == &ToolRun::makeFolder,
                std::filesystem::is_directory(status));
      EXPECT_EQ(kind.plant == &ToolRun::makePipe,
                std::filesystem::is_fifo(status));
      expectNoOtherFiles(tool);
      EXPECT_EQ(existingConfiguration(),
                tool.readTemp("QORConfiguration.json"));
    }
  }
}

// A signal that ends the run while the configuration is being written: the
// process ends as the signal would, the old configuration stays whole and no
// temporary file is left.
TEST(WriteFault, SignalDuringALargeWriteLeavesNoTemporaryFile) {
  if (ToolRun::windows())
    GTEST_SKIP() << "POSIX signals, which Wine handles as it likes";
  const std::string large =
      "{\"SchoolID\":\"1\",\"padding\":\"" + std::string(20 << 20, 'x') + "\"}";
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    ToolRun tool;
    tool.limitTime(50);
    tool.write("QORConfiguration.json", large);
    tool.signalOnFile("QORConfiguration.json.", signal);
    EXPECT_EQ(128 + signal, tool.run({kParameters}));
    EXPECT_TRUE(large == tool.read("QORConfiguration.json"));
    expectNoOtherFiles(tool);
  }
}

}  // namespace
