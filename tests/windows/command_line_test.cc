// The Windows tool started with exact command lines, as a Windows caller
// starts it: the standard splitting of the arguments, the program path as
// the caller wrote it, and the temporary folder from TMP.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "expected_outputs.h"
#include "file_bytes.h"
#include "text_checks.h"
#include "tool_run.h"

namespace fs = std::filesystem;

namespace {

// The log's entries for the arguments after the program path, and the count.
std::string argumentEntries(const std::string& log) {
  size_t begin = log.find("\nargv[1]: ");
  if (begin == std::string::npos)
    begin = log.find("\nargc: ");
  size_t end = log.find('\n', log.find("\nargc: ", begin) + 1);
  if (begin == std::string::npos || end == std::string::npos)
    return "(no argument entries in the log)";
  return log.substr(begin + 1, end - begin);
}

TEST(CommandLine, ArgumentsAreSplitAsTheWindowsRuntimeSplitsThem) {
  struct Case {
    const char* tail;  // the command line after "fieldprep.exe "
    std::vector<std::string> arguments;
    const char* parameters;  // the joined JSON text; null when it fails
  } cases[] = {
      // Escaped quotes open no stretch: the blanks split the text.
      {R"({\"a\":\"b  c\"})", {R"({"a":"b)", R"(c"})"}, R"({"a":"b c"})"},
      {"\"{\\\"a\\\":\t\\\"b  c\\\"}\"",
       {"{\"a\":\t\"b  c\"}"},
       "{\"a\":\t\"b  c\"}"},
      // Two quotes inside a stretch give one, and the stretch goes on.
      {R"("{""a"":""b  c""}")", {R"({"a":"b  c"})"}, R"({"a":"b  c"})"},
      // Backslashes count only before a quote: pairs halve, an odd one
      // makes the quote literal.
      {R"(a\\\"b a\\"b c" a\b)", {R"(a\"b)", R"(a\b c)", R"(a\b)"}, nullptr},
      {R"({\"p\":\"C:\\\\x\\\\\"})",
       {R"({"p":"C:\\\\x\\"})"},
       R"({"p":"C:\\\\x\\"})"},
      // No wildcard expansion, although fieldprep.exe lies in the folder.
      {"*.exe", {"*.exe"}, nullptr},
      {"\"\"", {""}, "{}"},
      // Inside a stretch "" is one quote and the stretch goes on; outside,
      // "" opens and closes an empty one.
      {R"("a""b c" d""e "" "x""")", {R"(a"b c)", "de", "", R"(x")"}, nullptr},
      {R"("{""a"":""b""""c""}")", {R"({"a":"b""c"})"}, nullptr},
      // Runs of blanks and tabs around the arguments count for nothing.
      {" \t {}\t \t", {"{}"}, "{}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tail);
    ToolRun tool;
    int exitCode = tool.runCommandLine(std::string("fieldprep.exe ") + c.tail);
    std::string log = tool.read("fieldprep.log");

    std::string expected;
    for (size_t i = 0; i < c.arguments.size(); ++i)
      expected +=
          "argv[" + std::to_string(i + 1) + "]: " + c.arguments[i] + "\n";
    expected += "argc: " + std::to_string(c.arguments.size() + 1) + "\n";
    EXPECT_EQ(expected, argumentEntries(log));
    if (c.parameters) {
      EXPECT_EQ(0, exitCode);
      EXPECT_TRUE(contains(
          log, std::string("parameters Input:\n") + c.parameters + "\n\n"))
          << log;
    } else {
      EXPECT_EQ(2, exitCode);
      EXPECT_TRUE(contains(log, "\nFailed to parse parameters file: \n"));
    }
  }
}

TEST(CommandLine, BareFileNameWorksInTheCurrentDirectory) {
  ToolRun tool;
  tool.write("QORConfiguration.json", "{\"AdminID\":\"9\"}");
  ASSERT_EQ(0, tool.runCommandLine("fieldprep.exe {}"));
  std::string log = tool.read("fieldprep.log");
  EXPECT_TRUE(contains(log, "argv[0]: fieldprep.exe\nargv[1]: {}\n"));
  EXPECT_TRUE(contains(log, "AppDir:\n\n\n"));
  EXPECT_TRUE(
      contains(log, "\nSuccessfully updated : QORConfiguration.json\n\n"));
  EXPECT_TRUE(
      contains(tool.read("QORConfiguration.json"), "\"AdminID\" : \"9\""));
}

// `path` in its 8.3 form, as Wine's cmd gives it; "" when it gives none.
std::string shortForm(ToolRun& tool, const std::string& path) {
  if (path.find(' ') != std::string::npos)
    return std::string();  // cmd's for would split it
  std::string output = tool.folder() + "../short-form.txt";
  tool.launch(
      "C:\\windows\\system32\\cmd.exe",
      "cmd /c for %I in (" + path + ") do @echo %~sI>" + windowsPath(output));
  std::string text = readFile(output);
  text.erase(text.find_last_not_of("\r\n ") + 1);
  return text == path ? std::string() : text;
}

// The tool's folder is the program path up to its last separator, or the
// colon of a drive prefix, however the caller wrote the path.
TEST(CommandLine, ToolFolderIsWhereTheProgramPathSaysInAnyForm) {
  struct Case {
    const char* what;
    std::string (*programPath)(ToolRun& tool);  // "" to skip
    std::string (*folder)(const std::string& programPath);
  } cases[] = {
      {"a drive prefix and no folder",
       [](ToolRun&) { return std::string("Z:fieldprep (1).exe"); },
       [](const std::string&) { return std::string("Z:"); }},
      // Wine's cmd gives the folders' 8.3 names, not the file's.
      {"8.3 names",
       [](ToolRun& tool) {
         fs::copy_file(tool.folder() + "fieldprep.exe",
                       tool.folder() + "fieldprep-setup.exe");
         return shortForm(tool, tool.appdir() + "fieldprep-setup.exe");
       },
       [](const std::string& path) {
         return path.substr(0, path.rfind('\\') + 1);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ToolRun tool;
    std::string programPath = c.programPath(tool);
    if (programPath.empty()) {
      std::cout << "[  SKIPPED ] " << c.what << ": Wine gives no 8.3 form of "
                << tool.programPath() << "\n";
      continue;
    }
    std::string folder = c.folder(programPath);
    tool.write("QORConfiguration.json", "{\"AdminID\":\"9\"}");
    ASSERT_EQ(0, tool.runAs(programPath, {"{}"}));
    std::string log = tool.read("fieldprep.log");
    EXPECT_TRUE(contains(log, "AppDir:\n" + folder + "\n\n")) << log;
    EXPECT_TRUE(contains(log, "\nSuccessfully updated : " + folder +
                                  "QORConfiguration.json\n\n"));
    EXPECT_TRUE(
        contains(tool.read("QORConfiguration.json"), "\"AdminID\" : \"9\""));
    for (const char* output : {"README.txt", "SILENT_INSTALL.BAT"})
      EXPECT_TRUE(tool.exists(output)) << output;
  }
}

// The temporary folder reaches the tool in the ANSI code page, the encoding
// its file functions take, so the folder found is the folder opened.
TEST(CommandLine, TemporaryFolderWithAnAccentIsFound) {
  ToolRun tool("tmp\xC3\xA9");
  tool.write("QORConfiguration.json", "{\"SchoolName\":\"app\"}");
  tool.writeTemp("QORConfiguration.json", "{\"SchoolName\":\"copy\"}");
  ASSERT_EQ(0, tool.run({"{}"}));
  std::string tmpDir = tool.tmpDir();
  tmpDir.replace(tmpDir.find("\xC3\xA9"), 2, "\xE9");  // Windows-1252
  EXPECT_TRUE(
      contains(tool.read("fieldprep.log"), "TmpDir:\n" + tmpDir + "\n\n"));
  EXPECT_FALSE(tool.existsTemp("QORConfiguration.json"));
  EXPECT_TRUE(contains(tool.read("QORConfiguration.json"),
                       "\"SchoolName\" : \"copy\""));
}

// A folder name that the ANSI code page cannot hold exactly gives no
// temporary folder, and the tool's folder is read: neither the low byte of
// each character nor a best-fit lookalike may send the tool elsewhere.
TEST(CommandLine, TemporaryFolderThatTheCodePageCannotNameIsNotUsed) {
  struct Case {
    const char* folder;
    const char* lookalike;
  } cases[] = {
      {"tmp\xE4\xB8\xAD", "tmp-"},  // U+4E2D, whose low byte is '-'
      {"tmp\xC4\x81", "tmpa"},      // U+0101, best fit 'a'
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lookalike);
    ToolRun tool(c.folder);
    tool.write("QORConfiguration.json", "{\"SchoolName\":\"app\"}");
    tool.writeTemp("QORConfiguration.json", "{\"SchoolName\":\"copy\"}");
    std::string lookalike = tool.folder() + "../" + c.lookalike + "/";
    fs::create_directories(lookalike);
    writeFile(lookalike + "QORConfiguration.json",
              "{\"SchoolName\":\"lookalike\"}");
    ASSERT_EQ(0, tool.run({"{}"}));
    EXPECT_TRUE(contains(tool.read("fieldprep.log"), "TmpDir:\n\n\n"));
    EXPECT_TRUE(tool.existsTemp("QORConfiguration.json"));
    EXPECT_TRUE(fs::exists(lookalike + "QORConfiguration.json"));
    EXPECT_TRUE(contains(tool.read("QORConfiguration.json"),
                         "\"SchoolName\" : \"app\""));
  }
}

// The program path ends at the first blank outside quotes; its quotes are
// dropped and its backslashes kept, also one before a quote.
TEST(CommandLine, ProgramPathKeepsItsBackslashesAndDropsItsQuotes) {
  ToolRun tool;
  tool.makeFolder("sub dir");
  ASSERT_EQ(0, tool.runCommandLine(R"("sub dir\"fieldprep.exe {})"));
  std::string log = tool.read("sub dir/fieldprep.log");
  EXPECT_EQ(0u,
            log.find(commandLineEntries(R"(sub dir\fieldprep.exe)", {"{}"}) +
                     "AppDir:\nsub dir\\\n\n"))
      << log;
  EXPECT_TRUE(tool.exists("sub dir/SILENT_INSTALL.BAT"));
  EXPECT_FALSE(tool.exists("fieldprep.log"));
}

// Under a folder that the ANSI code page cannot name, the tool would find its
// files under a lookalike ("Lukasz" for "Łukasz"): it ends with 4 and reads,
// writes and deletes nothing, neither there nor in the temporary folder.
TEST(CommandLine, ProgramPathThatTheCodePageCannotNameEndsWithFour) {
  ToolRun tool;
  const std::string folders[] = {"\xC5\x81ukasz/", "Lukasz/"};
  for (const std::string& folder : folders) {
    tool.makeFolder(folder);
    tool.write(folder + "QORConfiguration.json", "{\"SchoolID\":\"1\"}");
  }
  fs::copy_file(tool.folder() + "fieldprep.exe",
                tool.folder() + folders[0] + "fieldprep.exe");
  tool.writeTemp("QORConfiguration.json", "{\"SchoolID\":\"2\"}");
  std::string programPath = tool.appdir() + folders[0] + "fieldprep.exe";
  programPath.replace(programPath.rfind('/'), 1, "\\");

  EXPECT_EQ(4,
            tool.launch(programPath, windowsCommandLine(programPath, {"{}"})));
  EXPECT_EQ(std::vector<std::string>({"QORConfiguration.json"}),
            filesIn(tool.folder() + folders[1]));
  EXPECT_EQ(
      std::vector<std::string>({"QORConfiguration.json", "fieldprep.exe"}),
      filesIn(tool.folder() + folders[0]));
  EXPECT_EQ("{\"SchoolID\":\"2\"}", tool.readTemp("QORConfiguration.json"));
}

// An argument that the ANSI code page cannot hold would reach the tool as a
// lookalike or "?": the log shows the arguments as converted, and the run
// ends as if the parameters did not parse, naming the argument. Nothing else
// is read, deleted or written.
TEST(CommandLine, ArgumentThatTheCodePageCannotHoldEndsWithTwo) {
  struct Case {
    std::vector<std::string> arguments;
    std::vector<std::string> converted;  // as the log shows them
    int refused;
  } cases[] = {
      {{"{\"updateurl\":\"http://h.example/\xE4\xB8\xAD\"}"},
       {"{\"updateurl\":\"http://h.example/?\"}"},
       1},
      {{"{\"schoolname\":",
        "\"\xC5\x81\xC3\xB3"
        "d\xC5\xBA\"}"},
       {"{\"schoolname\":",
        "\"L\xF3"
        "dz\"}"},
       2},
      {{"{\"a\":\"\xC3\xA9\"", "\xC4\x81", "\xE4\xB8\xAD}"},
       {"{\"a\":\"\xE9\"", "a", "?}"},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.converted.back());
    ToolRun tool;
    tool.write("QORConfiguration.json", "{\"SchoolID\":\"1\"}");
    tool.writeTemp("QORConfiguration.json", "{\"SchoolID\":\"2\"}");
    EXPECT_EQ(2, tool.run(c.arguments));
    EXPECT_EQ(commandLineEntries(tool.programPath(), c.converted) +
                  "\nFailed to parse parameters file: \n* Argument " +
                  std::to_string(c.refused) +
                  " holds a character that the ANSI code page cannot "
                  "represent.\n\n\n",
              tool.read("fieldprep.log"));
    EXPECT_EQ(std::vector<std::string>(
                  {"QORConfiguration.json", "fieldprep.exe", "fieldprep.log"}),
              tool.files());
    EXPECT_EQ("{\"SchoolID\":\"1\"}", tool.read("QORConfiguration.json"));
    EXPECT_EQ("{\"SchoolID\":\"2\"}", tool.readTemp("QORConfiguration.json"));
  }
}

}  // namespace
