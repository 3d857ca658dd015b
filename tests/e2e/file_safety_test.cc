// The user's files, end to end: nothing beside an output is written or
// followed, a replaced file keeps what the user set on it, links stay links,
// the configuration is read only from where it belongs and never lost, no
// open blocks, and running out of memory is an orderly end.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "expected_outputs.h"
#include "file_bytes.h"
#include "sanitizer.h"
#include "text_checks.h"
#include "tool_run.h"

namespace {

namespace fs = std::filesystem;

const char kParameters[] = "{\"baseurl\":\"https://h/a\",\"SchoolID\":\"5\"}";
const char kConfiguration[] = "{\"SchoolName\":\"Elm\",\"foo\":\"kept\"}";
// The three outputs of a run without anything in the way.
std::vector<std::string> plainRun(const std::vector<std::string>& arguments) {
  ToolRun tool;
  tool.write("QORConfiguration.json", kConfiguration);
  EXPECT_EQ(0, tool.run(arguments));
  std::vector<std::string> files;
  for (const char* output : kOutputs)
    files.push_back(tool.read(output));
  return files;
}

fs::perms permissionsOf(const std::string& path) {
  return fs::status(path).permissions();
}

// A file, a link to a file outside the tool's folder and a folder, at each
// name that a fixed temporary file could take: never written, followed,
// removed or in the way.
TEST(FileSafety, NothingBesideAnOutputIsTouched) {
  const std::vector<std::string> written = plainRun({kParameters});
  const std::string suffixes[] = {".tmp", "~", ".new", ".bak"};
  struct Kind {
    const char* title;
    void (*plant)(const ToolRun& tool, const std::string& name);
    void (*check)(const ToolRun& tool, const std::string& name);
  } kinds[] = {
      {"a file",
       [](const ToolRun& tool, const std::string& name) {
         tool.write(name, "the user's own " + name);
       },
       [](const ToolRun& tool, const std::string& name) {
         EXPECT_EQ("the user's own " + name, tool.read(name));
       }},
      {"a link",
       [](const ToolRun& tool, const std::string& name) {
         writeFile(tool.tempFolder() + "outside-" + name, "outside");
         tool.link(name, tool.tempFolder() + "outside-" + name);
       },
       [](const ToolRun& tool, const std::string& name) {
         EXPECT_TRUE(fs::is_symlink(tool.folder() + name));
         EXPECT_EQ("outside", tool.readTemp("outside-" + name));
       }},
      {"a folder",
       [](const ToolRun& tool, const std::string& name) {
         tool.makeFolder(name);
         writeFile(tool.folder() + name + "/inside", "x");
       },
       [](const ToolRun& tool, const std::string& name) {
         EXPECT_EQ("x", tool.read(name + "/inside"));
       }},
  };
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.title);
    ToolRun tool;
    tool.write("QORConfiguration.json", kConfiguration);
    for (const char* output : kOutputs) {
      for (const std::string& suffix : suffixes)
        kind.plant(tool, output + suffix);
    }
    ASSERT_EQ(0, tool.run({kParameters}));
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(written[i], tool.read(kOutputs[i])) << kOutputs[i];
      for (const std::string& suffix : suffixes)
        kind.check(tool, kOutputs[i] + suffix);
    }
    EXPECT_EQ(3u * 4u + 5u, tool.files().size());  // nothing left over
  }
}

TEST(FileSafety, ReplacedFilesKeepTheirPermissionsAndOwner) {
  if (ToolRun::windows())
    GTEST_SKIP() << "POSIX permission bits and owners";
  ToolRun tool;
  tool.write("QORConfiguration.json", kConfiguration);
  const fs::perms modes[] = {fs::perms(0640), fs::perms(0755), fs::perms(0600)};
  for (int i = 0; i < 3; ++i) {
    if (i < 2)
      tool.write(kOutputs[i], "previous");
    fs::permissions(tool.folder() + kOutputs[i], modes[i]);
  }
  bool root = geteuid() == 0;
  if (root)
    tool.giveToUnprivileged("README.txt");

  ASSERT_EQ(0, tool.run({kParameters}));
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(kOutputs[i]);
    EXPECT_EQ(modes[i], permissionsOf(tool.folder() + kOutputs[i]));
    EXPECT_NE("previous", tool.read(kOutputs[i]));
  }
  if (root) {
    struct stat info;
    ASSERT_EQ(0, stat((tool.folder() + "README.txt").c_str(), &info));
    EXPECT_EQ(65534u, info.st_uid);
    EXPECT_EQ(65534u, info.st_gid);
  }

  // Outputs that did not exist get what any new file gets, not the
  // temporary file's private mode.
  mode_t mask = umask(0);
  umask(mask);
  ToolRun fresh;
  ASSERT_EQ(0, fresh.run({kParameters}));
  for (const char* output : kOutputs) {
    SCOPED_TRACE(output);
    EXPECT_EQ(fs::perms(0666 & ~mask), permissionsOf(fresh.folder() + output));
  }
}

// Outputs kept elsewhere behind links, relative and absolute, one through a
// second link in a subfolder (taken relative to that subfolder), one to a
// long name: the files they name are updated, and the links stay links.
TEST(FileSafety, LinkedOutputsAreUpdatedThroughTheirLinks) {
  if (ToolRun::windows())
    GTEST_SKIP() << "links of the host, which Wine shows as plain files";
  const std::vector<std::string> written = plainRun({kParameters});
  ToolRun tool;
  std::string elsewhere = tool.folder() + "../elsewhere/";
  fs::create_directories(elsewhere);
  writeFile(elsewhere + "configuration.json", kConfiguration);
  tool.link("QORConfiguration.json", "../elsewhere/configuration.json");
  // Not there yet, and with a name near the longest allowed.
  const std::string readme = elsewhere + std::string(240, 'r') + ".txt";
  tool.link("README.txt", readme);
  tool.makeFolder("sub");
  tool.makeFolder("kept");
  tool.link("SILENT_INSTALL.BAT", "sub/batch");
  tool.link("sub/batch", "../kept/batch.bat");

  ASSERT_EQ(0, tool.run({kParameters}));
  EXPECT_TRUE(fs::is_symlink(tool.folder() + "QORConfiguration.json"));
  EXPECT_TRUE(fs::is_symlink(tool.folder() + "README.txt"));
  EXPECT_TRUE(fs::is_symlink(tool.folder() + "SILENT_INSTALL.BAT"));
  EXPECT_TRUE(fs::is_symlink(tool.folder() + "sub/batch"));
  EXPECT_EQ(written[2], readFile(elsewhere + "configuration.json"));
  EXPECT_EQ(written[0], readFile(readme));
  EXPECT_EQ(written[1], readFile(tool.folder() + "kept/batch.bat"));

  // The next run reads the configuration through the link too.
  ASSERT_EQ(0, tool.run({"{\"SchoolID\":\"6\"}"}));
  std::string configuration = readFile(elsewhere + "configuration.json");
  EXPECT_TRUE(contains(configuration, "\"SchoolID\" : \"6\""));
  EXPECT_TRUE(contains(configuration, "\"SchoolName\" : \"Elm\""));
}

// Permission cases, run as an unprivileged user: root passes every check.
TEST(FileSafety, PermissionsOfTheUserRunningTheToolDecide) {
  struct Case {
    const char* title;
    bool folderWritable;
    bool outputsWritable;
    long long fileSizeLimit;  // -1: none
    int exitCode;
  } cases[] = {
      // The folder takes no new file: the outputs are written in place.
      {"read-only folder, writable outputs", false, true, -1, 0},
      // Written in place, a write that fails is still a failure. (The limit
      // cuts the log too, so only the exit code tells.)
      {"read-only folder, write cut short", false, true, 100, 5},
      // A read-only README is not replaced behind the user's back.
      {"writable folder, read-only outputs", true, false, -1, 5},
  };
  const std::vector<std::string> written = plainRun({kParameters});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    ToolRun tool;
    if (!tool.runUnprivileged())
      GTEST_SKIP() << "needs root, and a scratch folder that user 65534 can "
                      "reach, to run the tool as that user";
    tool.limitTime(20);
    tool.write("QORConfiguration.json", kConfiguration);
    tool.write("README.txt", "previous");
    tool.write("SILENT_INSTALL.BAT", "previous");
    tool.write("fieldprep.log", "");
    tool.giveToUnprivileged("fieldprep.log");
    if (c.outputsWritable) {
      for (const char* output : kOutputs)
        tool.giveToUnprivileged(output);
    }
    if (c.folderWritable)
      tool.giveToUnprivileged("");
    fs::permissions(tool.folder(), fs::perms(0755));
    tool.limitFileSize(c.fileSizeLimit);

    EXPECT_EQ(c.exitCode, tool.run({kParameters}));
    if (c.exitCode == 0) {
      for (int i = 0; i < 3; ++i)
        EXPECT_EQ(written[i], tool.read(kOutputs[i])) << kOutputs[i];
    } else if (c.fileSizeLimit >= 0) {
      EXPECT_EQ(written[0].substr(0, c.fileSizeLimit), tool.read("README.txt"));
      EXPECT_EQ("previous", tool.read("SILENT_INSTALL.BAT"));
      EXPECT_EQ(kConfiguration, tool.read("QORConfiguration.json"));
    } else {
      expectFinalMessage(tool, "Failed to open output file: " + tool.appdir() +
                                   "README.txt\n");
      EXPECT_EQ("previous", tool.read("README.txt"));
      EXPECT_EQ(kConfiguration, tool.read("QORConfiguration.json"));
    }
    EXPECT_EQ(5u, tool.files().size());  // nothing left over
  }
}

// The tool copied into the temporary folder: its configuration there is its
// own, not a copy to consume, even when a run fails after reading it.
TEST(FileSafety, ToolFolderThatIsTheTemporaryFolderKeepsItsConfiguration) {
  ToolRun tool("app");
  ASSERT_EQ(tool.folder(), tool.tempFolder());
  tool.write("QORConfiguration.json", kConfiguration);
  ASSERT_EQ(2, tool.run({"{\"a\":"}));
  EXPECT_EQ(kConfiguration, tool.read("QORConfiguration.json"));

  ASSERT_EQ(0, tool.run({kParameters}));
  std::string configuration = tool.read("QORConfiguration.json");
  EXPECT_TRUE(contains(configuration, "\"SchoolName\" : \"Elm\""));
  EXPECT_TRUE(contains(configuration, "\"SchoolID\" : \"5\""));
}

// A configuration in the tool's folder that is there but cannot be read
// ends the run with exit code 2 before anything is written or deleted.
void expectUnreadableConfigurationEndsWithTwo(ToolRun& tool) {
  tool.write("README.txt", "previous");
  ASSERT_EQ(2, tool.run({kParameters}));
  expectFinalMessage(tool, "Failed to read QORConfiguration.json file: " +
                               tool.appdir() + "QORConfiguration.json\n");
  EXPECT_EQ("previous", tool.read("README.txt"));
  EXPECT_FALSE(tool.exists("SILENT_INSTALL.BAT"));
  EXPECT_TRUE(tool.exists("QORConfiguration.json"));
}

TEST(FileSafety, ConfigurationThatCannotBeReadEndsWithTwo) {
  struct Case {
    const char* title;
    void (*plant)(const ToolRun& tool);
  } cases[] = {
      {"a folder",
       [](const ToolRun& tool) { tool.makeFolder("QORConfiguration.json"); }},
      {"a pipe",
       [](const ToolRun& tool) { tool.makePipe("QORConfiguration.json"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    ToolRun tool;
    tool.limitTime(10);
    c.plant(tool);
    expectUnreadableConfigurationEndsWithTwo(tool);
  }
}

TEST(FileSafety, ConfigurationTheUserMayNotReadEndsWithTwo) {
  if (ToolRun::windows())
    GTEST_SKIP() << "POSIX permission bits, which mean nothing to Wine";
  ToolRun tool;
  tool.limitTime(10);
  if (!tool.runUnprivileged())
    GTEST_SKIP() << "needs root, and a scratch folder that user 65534 can "
                    "reach, to run the tool as that user";
  tool.giveToUnprivileged("");
  tool.write("QORConfiguration.json", kConfiguration);
  fs::permissions(tool.folder() + "QORConfiguration.json", fs::perms(0600));
  expectUnreadableConfigurationEndsWithTwo(tool);
}

// A pipe planted as the copy in the temporary folder is no copy: it is left
// in place, and the tool's folder is read.
TEST(FileSafety, PipeInTheTemporaryFolderDoesNotBlockTheRun) {
  ToolRun tool;
  tool.limitTime(10);
  tool.write("QORConfiguration.json", kConfiguration);
  tool.makePipeTemp("QORConfiguration.json");
  ASSERT_EQ(0, tool.run({kParameters}));
  EXPECT_TRUE(fs::is_fifo(tool.tempFolder() + "QORConfiguration.json"));
  EXPECT_TRUE(
      contains(tool.read("QORConfiguration.json"), "\"SchoolName\" : \"Elm\""));
}

// A pipe that nobody reads in place of the log: the log cannot be opened, so
// the run ends with exit code 4 at once, touching nothing.
TEST(FileSafety, PipeInPlaceOfTheLogEndsWithFour) {
  if (ToolRun::windows())
    GTEST_SKIP() << "a pipe of the host, which Wine opens as it likes";
  ToolRun tool;
  tool.limitTime(10);
  tool.write("QORConfiguration.json", kConfiguration);
  tool.makePipe("fieldprep.log");
  ASSERT_EQ(4, tool.run({kParameters}));
  EXPECT_TRUE(fs::is_fifo(tool.folder() + "fieldprep.log"));
  EXPECT_EQ(kConfiguration, tool.read("QORConfiguration.json"));
  EXPECT_FALSE(tool.exists("README.txt"));
}

// Memory running out while the configuration is parsed: an orderly end with
// exit code 3, its message in the log, and no output touched.
TEST(FileSafety, MemoryRunningOutEndsWithThree) {
#ifdef FIELDPREP_ADDRESS_SANITIZER
  GTEST_SKIP() << "an address-space limit stops AddressSanitizer itself";
#endif
  if (ToolRun::windows())
    GTEST_SKIP() << "address-space limits of this host";
  std::string configuration = "{";
  for (int i = 0; i < 1000000; ++i)
    configuration += "\"k" + std::to_string(i) + "\":\"v\",";
  configuration.back() = '}';
  ToolRun tool;
  tool.limitTime(60);
  tool.write("QORConfiguration.json", configuration);
  tool.write("README.txt", "previous");
  tool.limitAddressSpace(100LL << 20);
  ASSERT_EQ(3, tool.run({kParameters}));
  expectFinalMessage(tool, "Out of memory\n");
  EXPECT_EQ("previous", tool.read("README.txt"));
  EXPECT_EQ(configuration, tool.read("QORConfiguration.json"));
  EXPECT_EQ(4u, tool.files().size());  // no batch file, nothing left over
}

// A captured "?" is a value like any other: kept by the next run.
TEST(FileSafety, QuestionMarkValueIsKeptAcrossRuns) {
  ToolRun tool;
  ASSERT_EQ(0, tool.run({"{\"SchoolName\":\"?\"}"}));
  EXPECT_TRUE(
      contains(tool.read("QORConfiguration.json"), "\"SchoolName\" : \"?\""));
  ASSERT_EQ(0, tool.run({"{}"}));
  EXPECT_TRUE(
      contains(tool.read("QORConfiguration.json"), "\"SchoolName\" : \"?\""));
}

}  // namespace
