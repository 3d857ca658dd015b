// Whole runs of the built tool: exit codes and every file byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "expected_outputs.h"
#include "file_bytes.h"
#include "text_mode.h"
#include "tool_run.h"

namespace {

const char kSwitchesOnly[] =
    "{\n"
    "   \"AutoUpdateFlag\" : \"false\",\n"
    "   \"ContentCacheEnable\" : \"false\",\n"
    "   \"LoadSimulationEnable\" : \"false\"\n"
    "}\n";

// The log's entries up to the configuration file's name.
std::string logHead(const ToolRun& tool, const std::string& programPath,
                    const std::vector<std::string>& arguments) {
  std::string log = commandLineEntries(programPath, arguments);
  log += "AppDir:\n" + tool.appdir() + "\n\n";
  log += "TmpDir:\n" + tool.tmpDir() + "\n\n";
  log += "Configfile name: QORConfiguration.json\n\n";
  return log;
}

std::string inputEntry(const std::string& name, const std::string& text) {
  if (text.empty())
    return name + " Input: (null)\n\n";
  return name + " Input:\n" + text + "\n\n";
}

// The log's entries from the dump of the merged document to the end of a
// successful run.
std::string logTail(const ToolRun& tool, const std::string& dump,
                    const std::string& written) {
  std::string path = tool.appdir() + "QORConfiguration.json";
  return "Before Readme write:\n" + dump + "\n" + "\nOpen cgf file: " + path +
         "\n" + "write:\n" + written + "\n" +
         "\nSuccessfully updated : " + path + "\n\n";
}

TEST(Run, WithoutArgumentsLogsTheCommandLineAndEndsWithOne) {
  ToolRun tool;
  tool.writeTemp("QORConfiguration.json", "{}");
  ASSERT_EQ(1, tool.run({}));

  std::string path = tool.programPath();
  EXPECT_EQ("Usage: " + path + " [--json-checker] {json}\n\n" +
                "argv[0]: " + path + "\nargc: 1\n\n\n",
            tool.read("fieldprep.log"));
  EXPECT_TRUE(tool.existsTemp("QORConfiguration.json"));
  EXPECT_EQ(2u, tool.files().size());  // the tool and its log
}

TEST(Run, LogThatCannotBeOpenedEndsWithFourAndTouchesNothing) {
  ToolRun tool;
  tool.makeFolder("fieldprep.log");
  tool.writeTemp("QORConfiguration.json", "{}");
  EXPECT_EQ(4, tool.run({"{}"}));
  EXPECT_TRUE(tool.existsTemp("QORConfiguration.json"));
  EXPECT_FALSE(tool.exists("README.txt"));
  EXPECT_FALSE(tool.exists("QORConfiguration.json"));
}

TEST(Run, EmptyObjectWritesTheDefaults) {
  ToolRun tool;
  ASSERT_EQ(0, tool.run({"{}"}));

  std::string dump =
      "{\n"
      "   \"autoupdateflag\" : \"false\",\n"
      "   \"contentcacheenable\" : \"false\",\n"
      "   \"loadsimulationenable\" : \"false\"\n"
      "}\n";
  EXPECT_EQ(logHead(tool, tool.programPath(), {"{}"}) +
                inputEntry("QORConfiguration.json", "") +
                inputEntry("parameters", "{}") +
                logTail(tool, dump, kSwitchesOnly),
            tool.read("fieldprep.log"));
  EXPECT_EQ(textModeBytes(kDefaultReadme), tool.read("README.txt"));
  EXPECT_EQ(textModeBytes(kDefaultBatch), tool.read("SILENT_INSTALL.BAT"));
  EXPECT_EQ(textModeBytes(std::string(kSwitchesOnly) + "\n"),
            tool.read("QORConfiguration.json"));
}

TEST(Run, MergesParametersIntoTheConfigurationAndRerunsToTheSameFile) {
  ToolRun tool;
  std::string configuration =
      "{\r\n  // kept settings\r\n  \"SchoolID\" : \"7\",\r\n"
      "  \"Foo\" : true,\r\n  \"AutoUpdateFlag\" : \"TRUE\"\r\n}\r\n";
  tool.write("QORConfiguration.json", configuration);
  std::vector<std::string> arguments = {"{\"baseurl\":\"https://h/a\",",
                                        "\"ProductName\":\"Q\",",
                                        "\"schoolid\":5}"};
  ASSERT_EQ(0, tool.run(arguments));

  std::string written =
      "{\n"
      "   \"AutoUpdateFlag\" : \"true\",\n"
      "   \"BaseURL\" : \"https://h/a\",\n"
      "   \"ContentCacheEnable\" : \"false\",\n"
      "   \"LoadSimulationEnable\" : \"false\",\n"
      "   \"SchoolID\" : \"5\",\n"
      "   \"foo\" : true\n"
      "}\n";
  std::string dump =
      "{\n"
      "   \"autoupdateflag\" : \"true\",\n"
      "   \"baseurl\" : \"https://h/a\",\n"
      "   \"contentcacheenable\" : \"false\",\n"
      "   \"foo\" : true,\n"
      "   \"loadsimulationenable\" : \"false\",\n"
      "   \"productname\" : \"Q\",\n"
      "   \"schoolid\" : \"5\"\n"
      "}\n";
  std::string parameters =
      "{\"baseurl\":\"https://h/a\", \"ProductName\":\"Q\", \"schoolid\":5}";
  EXPECT_EQ(logHead(tool, tool.programPath(), arguments) +
                inputEntry("QORConfiguration.json", configuration) +
                inputEntry("parameters", parameters) +
                "Adding root[baseurl]: https://h/a\n"
                "Adding root[productname]: Q\n" +
                logTail(tool, dump, written),
            tool.read("fieldprep.log"));
  std::string file = textModeBytes(written + "\n");
  EXPECT_EQ(file, tool.read("QORConfiguration.json"));
  EXPECT_EQ("Q\r\n\r\n", tool.read("README.txt").substr(0, 5));

  ASSERT_EQ(0, tool.run(arguments));
  EXPECT_EQ(file, tool.read("QORConfiguration.json"));
}

// The copy in the temporary folder lasts until a run has written its
// settings into the tool's folder, or turns out not to parse (it would stop
// every later run). After any other end it stays unchanged, and the run that
// follows, the mistake mended, takes it. Failing outputs are among the write
// faults.
TEST(Run, CopyInTheTemporaryFolderLastsUntilItsSettingsAreWritten) {
  const std::string copy = "{\"SchoolName\":\"from the copy\"}";
  struct Case {
    const char* title;
    std::string copy;
    std::string arguments;
    int exitCode;
    bool kept;
    bool readOnly;
  } cases[] = {
      {"a run that succeeds", copy, "{}", 0, false, false},
      {"a read-only copy", copy, "{}", 0, false, true},
      {"a copy that does not parse", "{\"a\":", "{}", 2, false, false},
      {"parameters that do not parse", copy, "{\"a\":", 2, true, false},
      {"parameters refused", copy, "{\"a\":[1]}", 2, true, false},
      {"a batch value refused", copy, "{\"updateurl\":\"https://h/\\u00e9\"}",
       6, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    ToolRun tool;
    tool.write("QORConfiguration.json",
               "{\"SchoolName\":\"from the tool's folder\"}");
    tool.writeTemp("QORConfiguration.json", c.copy);
    if (c.readOnly) {
      std::filesystem::permissions(tool.tempFolder() + "QORConfiguration.json",
                                   std::filesystem::perms(0444));
    }
    ASSERT_EQ(c.exitCode, tool.run({c.arguments}));
    if (c.kept) {
      EXPECT_EQ(c.copy, tool.readTemp("QORConfiguration.json"));
      ASSERT_EQ(0, tool.run({"{}"}));
    }
    EXPECT_FALSE(tool.existsTemp("QORConfiguration.json"));
    // A copy that parses has reached the tool's folder by now.
    EXPECT_EQ(c.copy == copy,
              tool.read("QORConfiguration.json").find("from the copy") !=
                  std::string::npos);
  }
}

// The temporary folder comes from TMPDIR, "/tmp/" when that is unset or
// empty; a missing separator is added before the file name.
TEST(Run, TemporaryFolderFromTmpdir) {
  if (ToolRun::windows())
    GTEST_SKIP() << "the Windows tool asks Windows for the temporary folder";
  struct Case {
    const char* what;
    bool set;
    bool withSeparator;
    const char* expected;  // "" for the temporary folder of the run
  } cases[] = {
      {"unset", false, false, "/tmp/"},
      {"empty", true, false, "/tmp/"},
      {"without the separator", true, true, ""},
  };
  // Without TMPDIR the run takes a copy from /tmp and deletes it: never one
  // that somebody else put there.
  if (std::filesystem::exists("/tmp/QORConfiguration.json"))
    GTEST_SKIP() << "/tmp/QORConfiguration.json exists; a run would take it";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ToolRun tool;
    std::string tmpdir;
    if (c.withSeparator)
      tmpdir = tool.tempFolder().substr(0, tool.tempFolder().size() - 1);
    tool.setTmpdir(c.set ? tmpdir.c_str() : nullptr);
    tool.writeTemp("QORConfiguration.json", "{\"SchoolID\":\"from the copy\"}");
    ASSERT_EQ(0, tool.run({"{}"}));

    std::string expected = *c.expected ? c.expected : tool.tmpDir();
    std::string log = tool.read("fieldprep.log");
    EXPECT_NE(std::string::npos, log.find("TmpDir:\n" + expected + "\n\n"));
    bool copyTaken = expected == tool.tmpDir();
    EXPECT_EQ(!copyTaken, tool.existsTemp("QORConfiguration.json"));
    EXPECT_EQ(copyTaken,
              tool.read("QORConfiguration.json").find("from the copy") !=
                  std::string::npos);
  }
}

TEST(Run, ConfigurationThatDoesNotParseEndsWithTwoBeforeTheParameters) {
  ToolRun tool;
  tool.writeTemp("QORConfiguration.json", "{\"a\":");
  ASSERT_EQ(2, tool.run({"{}"}));
  EXPECT_EQ(logHead(tool, tool.programPath(), {"{}"}) +
                inputEntry("QORConfiguration.json", "{\"a\":") +
                "\nFailed to parse QORConfiguration.json file: \n"
                "* Line 1, Column 6\n"
                "  Syntax error: value, object or array expected.\n\n\n",
            tool.read("fieldprep.log"));
  EXPECT_FALSE(tool.existsTemp("QORConfiguration.json"));
  EXPECT_FALSE(tool.exists("README.txt"));
  EXPECT_FALSE(tool.exists("QORConfiguration.json"));
}

TEST(Run, ArrayValueIsRefusedWithTwo) {
  ToolRun tool;
  ASSERT_EQ(2, tool.run({"{\"a\":[1]}"}));
  std::string log = tool.read("fieldprep.log");
  EXPECT_NE(std::string::npos,
            log.find("\nFailed to parse parameters file: \n* Line 1, Column 6\n"
                     "  Value of \"a\" is an array; only strings, numbers, "
                     "booleans and null are allowed.\n\n"));
  EXPECT_FALSE(tool.exists("QORConfiguration.json"));
}

TEST(Run, BareProgramNameWorksInTheCurrentDirectory) {
  ToolRun tool;
  tool.write("QORConfiguration.json", "{\"adminid\":\"9\"}");
  ASSERT_EQ(0, tool.runAs("fieldprep", {"{}"}));
  std::string log = tool.read("fieldprep.log");
  EXPECT_NE(std::string::npos, log.find("AppDir:\n\n\n"));
  EXPECT_NE(std::string::npos,
            log.find("\nSuccessfully updated : QORConfiguration.json\n\n"));
  EXPECT_NE(std::string::npos,
            tool.read("QORConfiguration.json").find("\"AdminID\" : \"9\""));
}

// The tool's folder is the program path's folder, whatever the tool's file
// is called: a renamed copy, a duplicate download, a short name, a name typed
// without its extension.
TEST(Run, RenamedToolKeepsItsFilesInItsOwnFolder) {
  const std::vector<std::string> names =
      ToolRun::windows()
          ? std::vector<std::string>{"fieldprep", "fieldprep (1).exe", "fp"}
          : std::vector<std::string>{"fieldprep-v2", "fieldprep (1)", "fp"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    ToolRun tool;
    tool.write("QORConfiguration.json", "{\"adminid\":\"9\"}");
    ASSERT_EQ(0, tool.runAs(tool.appdir() + name, {"{}"}));
    EXPECT_NE(
        std::string::npos,
        tool.read("fieldprep.log").find("AppDir:\n" + tool.appdir() + "\n\n"));
    EXPECT_NE(std::string::npos,
              tool.read("QORConfiguration.json").find("\"AdminID\" : \"9\""));
    std::vector<std::string> files = tool.files();
    for (const char* output : {"QORConfiguration.json", "README.txt",
                               "SILENT_INSTALL.BAT", "fieldprep.log"})
      EXPECT_EQ(1, std::count(files.begin(), files.end(), output)) << output;
    EXPECT_EQ(5u, files.size());  // the four and the tool
    // Nothing beside it (the launcher under Wine removes its command line).
    EXPECT_EQ((std::vector<std::string>{"app", "tmp"}),
              filesIn(tool.folder() + ".."));
  }
}

// The parser stops after the first value: whatever else follows it but
// whitespace and comments is refused, so that no setting is silently lost.
TEST(Run, OnlyWhitespaceAndCommentsMayFollowTheSettings) {
  struct Case {
    const char* what;
    std::string configuration;
    std::vector<std::string> arguments;
    const char* refused;  // the text's name, or null when the run succeeds
    const char* where;
  } cases[] = {
      {"a second object after the configuration",
       "{\"SchoolID\":\"1\"}\r\n{\"HTTPSProxy\":\"p\"}\r\n",
       {"{}"},
       "QORConfiguration.json",
       "Line 2, Column 1"},
      {"a member after the parameters' object",
       "{\"SchoolID\":\"1\"}",
       {"{\"SchoolID\":\"NEW\"},", "\"DistrictID\":\"2\"}"},
       "parameters",
       "Line 1, Column 19"},
      {"comments and whitespace after both",
       "{\"SchoolID\":\"1\"} // kept\r\n/* as\r\n ever */\r\n",
       {"{\"DistrictID\":\"2\"}", "//", "note"},
       nullptr,
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ToolRun tool;
    tool.write("QORConfiguration.json", c.configuration);
    int exitCode = tool.run(c.arguments);
    std::string log = tool.read("fieldprep.log");
    if (!c.refused) {
      EXPECT_EQ(0, exitCode);
      std::string written = tool.read("QORConfiguration.json");
      EXPECT_NE(std::string::npos, written.find("\"SchoolID\" : \"1\""));
      EXPECT_NE(std::string::npos, written.find("\"DistrictID\" : \"2\""));
      continue;
    }
    EXPECT_EQ(2, exitCode);
    std::string ending = std::string("\nFailed to parse ") + c.refused +
                         " file: \n* " + c.where +
                         "\n  Only whitespace and comments may follow the "
                         "settings.\n\n\n";
    EXPECT_EQ(ending,
              log.substr(log.size() - std::min(log.size(), ending.size())));
    EXPECT_EQ(c.configuration, tool.read("QORConfiguration.json"));
    EXPECT_EQ(3u, tool.files().size());  // the tool, its log, the configuration
  }
}

TEST(Run, UnsafeBatchValueEndsWithSixAndKeepsTheOldFiles) {
  ToolRun tool;
  tool.write("SILENT_INSTALL.BAT", "old batch");
  tool.write("QORConfiguration.json", "{\"schoolid\":\"1\"}");
  ASSERT_EQ(6, tool.run({"{\"updateurl\":\"https://h/\\u00e9\"}"}));
  std::string log = tool.read("fieldprep.log");
  std::string ending =
      "\nFailed to write SILENT_INSTALL.BAT file: the value of updateurl "
      "holds a non-ASCII byte\n\n";
  EXPECT_EQ(ending, log.substr(log.size() - ending.size()));
  EXPECT_EQ("old batch", tool.read("SILENT_INSTALL.BAT"));
  EXPECT_EQ("{\"schoolid\":\"1\"}", tool.read("QORConfiguration.json"));
  EXPECT_EQ(textModeBytes(kDefaultReadme), tool.read("README.txt"));
}

}  // namespace
