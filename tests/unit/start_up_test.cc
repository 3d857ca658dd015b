// The tool's folder, the joined JSON text, and the log that start-up opens.
#include "start_up.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "expected_outputs.h"
#include "platform.h"
#include "run_log.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// An argument vector as main() receives it: the program path first, then the
// arguments, then a null pointer.
class Arguments {
 public:
  Arguments(const std::string& programPath,
            const std::vector<std::string>& arguments)
      : texts_(1, programPath) {
    texts_.insert(texts_.end(), arguments.begin(), arguments.end());
    for (std::string& text : texts_)
      pointers_.push_back(&text[0]);
    pointers_.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(texts_.size()); }
  char** argv() { return pointers_.data(); }

 private:
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;
};

#ifdef _WIN32
const bool kWindows = true;
#else
const bool kWindows = false;
#endif

// The tool's folder is the program path's folder, whatever the tool's file
// is called: renamed copies, a name without its extension, a short name.
TEST(ToolFolder, IsTheProgramPathUpToItsLastSeparator) {
  struct Case {
    std::string programPath;
    std::string posix;
    std::string windows;
  } cases[] = {
      {"/opt/app/fieldprep-v2", "/opt/app/", "/opt/app/"},
      {"a/fieldprep (1)", "a/", "a/"},
      {"./fp", "./", "./"},
      {"fieldprep", "", ""},
      {"", "", ""},
      {"C:\\App\\fieldprep", "", "C:\\App\\"},
      {"C:\\App/sub\\FIELDP~1.EXE", "C:\\App/", "C:\\App/sub\\"},
      {"X:fieldprep.exe", "", "X:"},
      {"X:sub\\fieldprep.exe", "", "X:sub\\"},
      {"\\\\server\\share\\fieldprep.exe", "", "\\\\server\\share\\"},
      {"1:fieldprep.exe", "", ""},  // no drive letter
  };
  for (const Case& c : cases)
    EXPECT_EQ(kWindows ? c.windows : c.posix, pathFolder(c.programPath))
        << c.programPath;
}

TEST(JoinArguments, AddsOnlyTheMissingBracesAndOneBlankBetweenArguments) {
  struct Case {
    std::vector<std::string> arguments;
    std::string text;
  } cases[] = {
      {{"{\"a\":\"b\"}"}, "{\"a\":\"b\"}"},
      {{"\"a\":\"b\""}, "{\"a\":\"b\"}"},
      {{"{\"a\":", "\"b", "c\"}"}, "{\"a\": \"b c\"}"},
      {{""}, "{}"},
      {{"{"}, "{}"},
      {{"}"}, "{}"},
      {{"{", "}"}, "{ }"},
      {{"{\"a\":\"b\"}", ""}, "{\"a\":\"b\"} }"},  // the blank is the last
      {{" {\"a\":\"b\"}"}, "{ {\"a\":\"b\"}"},     // only the first byte counts
      {{"{\"a\":\"b\"} "}, "{\"a\":\"b\"} }"},
      {{"--json-checker", "{\"a\":\"b\"}"}, "{--json-checker {\"a\":\"b\"}"},
  };
  for (const Case& c : cases) {
    Arguments args("fieldprep", c.arguments);
    EXPECT_EQ(c.text, joinArguments(args.argc(), args.argv()))
        << ::testing::PrintToString(c.arguments);
  }
}

TEST(LogCommandLine, WritesUsageEveryArgumentAndTheCount) {
  RunEndCatcher catcher;
  LogCapture log;
  // Arguments are values, never formats.
  std::vector<std::string> arguments = {"{\"a\":", "\"100%s %n\"}", ""};
  Arguments args("/opt/app/fieldprep", arguments);
  logCommandLine(args.argc(), args.argv());
  EXPECT_EQ(commandLineEntries("/opt/app/fieldprep", arguments), log.text());
}

TEST(PrepareRun, WithoutArgumentsLogsTheCommandLineAndEndsWithOne) {
  RunEndCatcher catcher;
  std::string folder = scratchFolder();
  std::string programPath = folder + "fieldprep";
  Arguments args(programPath, {});
  std::string argStr = "untouched";
  std::string appdir;

  EXPECT_EQ(1, exitCodeOf([&] {
              prepareRun(args.argc(), args.argv(), &argStr, &appdir);
            }));
  EXPECT_EQ(folder, appdir);
  EXPECT_EQ("untouched", argStr);
  EXPECT_EQ("", lastMessage);
  // The empty final entry makes three LF bytes in a row.
  EXPECT_EQ("Usage: " + programPath + " [--json-checker] {json}\n\n" +
                "argv[0]: " + programPath + "\nargc: 1\n\n\n",
            readFile(folder + "fieldprep.log"));
}

TEST(PrepareRun, FillsTheFolderAndTheTextAndKeepsTheLogOpen) {
  RunEndCatcher catcher;
  std::string folder = scratchFolder();
  writeFile(folder + "fieldprep.log", "an earlier run's log\n");
  std::string programPath = folder + "fieldprep";
  std::vector<std::string> arguments = {"\"a\":", "\"b\""};
  Arguments args(programPath, arguments);
  std::string argStr = "replaced";
  std::string appdir;

  EXPECT_EQ(0, prepareRun(args.argc(), args.argv(), &argStr, &appdir));
  EXPECT_EQ(folder, appdir);
  EXPECT_EQ("{\"a\": \"b\"}", argStr);
  ASSERT_NE(nullptr, logFile);
  std::fflush(logFile);
  EXPECT_EQ(commandLineEntries(programPath, arguments),
            readFile(folder + "fieldprep.log"));
}

TEST(PrepareRun, LogThatCannotBeOpenedEndsWithFourAndWritesNothing) {
  RunEndCatcher catcher;
  std::string folder = scratchFolder();
  fs::create_directory(folder + "fieldprep.log");
  struct Case {
    std::string programPath;
    std::string logPath;
  } cases[] = {
      {folder + "missing/fieldprep", folder + "missing/fieldprep.log"},
      {folder + "fieldprep", folder + "fieldprep.log"},  // a folder
  };
  for (const Case& c : cases) {
    Arguments args(c.programPath, {"{}"});
    std::string argStr;
    std::string appdir;
    EXPECT_EQ(4, exitCodeOf([&] {
                prepareRun(args.argc(), args.argv(), &argStr, &appdir);
              }))
        << c.programPath;
    EXPECT_EQ("", lastMessage);
    EXPECT_EQ("", argStr);
    EXPECT_EQ(nullptr, logFile);
  }
  EXPECT_FALSE(fileExists(folder + "missing"));
  EXPECT_TRUE(fs::is_directory(folder + "fieldprep.log"));
}

// An argument that the platform could not give exactly: the program path
// names no folder that is safe to use, so nothing at all is written; any other
// is logged as given and the run ends as if the parameters did not parse.
TEST(PrepareRun, ArgumentThatIsNotExactEndsTheRun) {
  struct Case {
    int inexactArgument;
    int exitCode;
    bool logged;
  } cases[] = {{0, 4, false}, {1, 2, true}, {2, 2, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.inexactArgument);
    RunEndCatcher catcher;
    std::string folder = scratchFolder();
    std::string programPath = folder + "fieldprep";
    std::vector<std::string> arguments = {"{\"a\":", "\"b?\"}"};
    Arguments args(programPath, arguments);
    std::string argStr;
    std::string appdir;

    EXPECT_EQ(c.exitCode, exitCodeOf([&] {
                prepareRun(args.argc(), args.argv(), &argStr, &appdir,
                           c.inexactArgument);
              }));
    EXPECT_EQ("", argStr);
    EXPECT_EQ(nullptr, logFile);
    if (!c.logged) {
      EXPECT_EQ("", lastMessage);
      EXPECT_FALSE(fileExists(folder + "fieldprep.log"));
      continue;
    }
    std::string message = "Failed to parse parameters file: \n* Argument " +
                          std::to_string(c.inexactArgument) +
                          " holds a character that the ANSI code page "
                          "cannot represent.\n\n";
    EXPECT_EQ(message, lastMessage);
    EXPECT_EQ(
        commandLineEntries(programPath, arguments) + "\n" + message + "\n",
        readFile(folder + "fieldprep.log"));
  }
}

}  // namespace
