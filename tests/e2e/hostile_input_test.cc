// Hostile inputs, end to end: each run ends with a defined exit code and a log
// that says what happened; nothing aborts and nothing given is lost.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "expected_outputs.h"
#include "text_mode.h"
#include "tool_run.h"

namespace {

// One argument holds at most 128 KiB on Linux; longer texts are passed in
// pieces, which the tool joins with one blank each.
const size_t kPiece = 100 * 1024;

std::vector<std::string> inPieces(const std::string& text) {
  std::vector<std::string> pieces;
  for (size_t at = 0; at < text.size(); at += kPiece)
    pieces.push_back(text.substr(at, kPiece));
  return pieces;
}

std::string joined(const std::vector<std::string>& pieces) {
  std::string text;
  for (const std::string& piece : pieces)
    text += (text.empty() ? "" : " ") + piece;
  return text;
}

bool endsWith(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() &&
         text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

// The log ends with the stored message, written as "\n%s\n".
void expectFinalMessage(const ToolRun& tool, const std::string& message) {
  std::string log = tool.read("fieldprep.log");
  EXPECT_TRUE(endsWith(log, "\n" + message + "\n"))
      << "log ends with: "
      << log.substr(log.size() > 300 ? log.size() - 300 : 0);
}

void expectSuccess(const ToolRun& tool) {
  expectFinalMessage(tool, "Successfully updated : " + tool.appdir() +
                               "QORConfiguration.json\n");
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// These runs need the host's own argument vector and limits.
const char kHostOnly[] = "a run of the host's own tool";

std::string nested(const char* open, const char* close, int levels) {
  std::string text = "{\"a\":";
  for (int i = 0; i < levels; ++i)
    text += open;
  for (int i = 0; i < levels; ++i)
    text += close;
  return text + "}";
}

// jsoncpp gives up past 1000 levels by throwing; that is a parse failure.
TEST(HostileInput, NestingAHundredThousandLevelsDeepEndsWithTwo) {
  if (ToolRun::windows())
    GTEST_SKIP() << kHostOnly;
  const std::string previous = "{\"SchoolID\":\"1\"}";
  struct Case {
    const char* what;
    std::string text;
    bool inConfiguration;
  } cases[] = {
      {"arrays in the configuration", nested("[", "]", 100000), true},
      {"objects in the configuration", nested("{\"a\":", "}", 100000), true},
      {"arrays in the parameters", nested("[", "]", 100000), false},
      {"objects in the parameters", nested("{\"a\":", "}", 100000), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ToolRun tool;
    std::vector<std::string> arguments = {"{}"};
    if (c.inConfiguration)
      tool.writeTemp("QORConfiguration.json", c.text);
    else
      arguments = inPieces(c.text);
    tool.write("QORConfiguration.json", previous);
    ASSERT_EQ(2, tool.run(arguments));

    std::string name =
        c.inConfiguration ? "QORConfiguration.json" : "parameters";
    std::string input = c.inConfiguration ? c.text : joined(arguments);
    EXPECT_TRUE(contains(tool.read("fieldprep.log"),
                         name + " Input:\n" + input + "\n\n"));
    expectFinalMessage(tool, "Failed to parse " + name +
                                 " file: \nExceeded stackLimit in "
                                 "readValue().\n\n");
    EXPECT_EQ(previous, tool.read("QORConfiguration.json"));
    EXPECT_FALSE(tool.exists("README.txt"));
  }
}

// 90 MB of comment and a value of 10 MB: read, logged and written whole.
TEST(HostileInput, ConfigurationOfAHundredMegabytesIsTakenWhole) {
  if (ToolRun::windows())
    GTEST_SKIP() << kHostOnly;
  const std::string value(10 * 1024 * 1024, 'v');
  std::string configuration = "{\"SchoolID\":\"7\", /*";
  configuration.reserve(101 * 1024 * 1024);
  configuration.append(90 * 1024 * 1024, 'c');
  configuration += "*/ \"big\":\"" + value + "\"}";
  ToolRun tool;
  tool.write("QORConfiguration.json", configuration);
  ASSERT_EQ(0, tool.run({"{\"baseurl\":\"https://h/\"}"}));

  std::string log = tool.read("fieldprep.log");
  const std::string entry = "QORConfiguration.json Input:\n";
  size_t at = log.find(entry);
  ASSERT_NE(std::string::npos, at);
  EXPECT_EQ(
      0, log.compare(at + entry.size(), configuration.size(), configuration));
  EXPECT_TRUE(endsWith(log, "\nSuccessfully updated : " + tool.appdir() +
                                "QORConfiguration.json\n\n"));
  log.clear();
  EXPECT_EQ(textModeBytes("{\n"
                          "   \"AutoUpdateFlag\" : \"false\",\n"
                          "   \"BaseURL\" : \"https://h/\",\n"
                          "   \"ContentCacheEnable\" : \"false\",\n"
                          "   \"LoadSimulationEnable\" : \"false\",\n"
                          "   \"SchoolID\" : \"7\",\n"
                          "   \"big\" : \"" +
                          value + "\"\n}\n\n"),
            tool.read("QORConfiguration.json"));
}

// Every text ends at its first NUL. A name that differs from a known key only
// after a NUL is that key: here the parameters' automatic-update switch does
// not beat the configuration's, on this run or the next, and no name is
// written twice.
TEST(HostileInput, NulBytesEndKeysAndValues) {
  if (ToolRun::windows())
    GTEST_SKIP() << kHostOnly;
  ToolRun tool;
  tool.write("QORConfiguration.json",
             "{\"AutoUpdateFlag\":\"false\",\"School\\u0000Name\":\"kept\","
             "\"\\u0000\":\"empty name\",\"x\":\"\\u0000not given\"}");
  std::vector<std::string> arguments = {
      "{\"autoupdateflag\\u0000\":\"true\",\"school\\u0000\":\"param\"}"};
  const std::string written = textModeBytes(
      "{\n"
      "   \"\" : \"empty name\",\n"
      "   \"AutoUpdateFlag\" : \"false\",\n"
      "   \"ContentCacheEnable\" : \"false\",\n"
      "   \"LoadSimulationEnable\" : \"false\",\n"
      "   \"school\" : \"kept\"\n"
      "}\n\n");
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    ASSERT_EQ(0, tool.run(arguments));
    expectSuccess(tool);
    EXPECT_EQ(written, tool.read("QORConfiguration.json"));
  }
}

// Values bound for the batch file are cut at the NUL too, so nothing of them
// after it reaches any file.
TEST(HostileInput, NulBytesEndValuesOfTheBatchFile) {
  if (ToolRun::windows())
    GTEST_SKIP() << kHostOnly;
  ToolRun tool;
  ASSERT_EQ(0, tool.run({"{\"productname\":\"Q\\u0000R\","
                         "\"baseurl\":\"https://h/\\u0000x\"}"}));
  expectSuccess(tool);
  EXPECT_EQ("Q\r\n", tool.read("README.txt").substr(0, 3));
  std::string batch = tool.read("SILENT_INSTALL.BAT");
  EXPECT_TRUE(contains(batch, "\r\nREM  Q\r\n"));
  EXPECT_TRUE(
      contains(batch, "STARTUPURL=\"\" BASEURL=\"https://h/\" UPDATEURL"));
  EXPECT_TRUE(contains(tool.read("QORConfiguration.json"),
                       "\"BaseURL\" : \"https://h/\",\r\n"));
}

// Bytes from 0x80 up are kept as they are, valid UTF-8 or not.
TEST(HostileInput, InvalidUtf8IsKeptByteForByte) {
  if (ToolRun::windows())
    GTEST_SKIP() << kHostOnly;
  const std::string key = "k\xFF\xFE\xC0";
  const std::string value = "\xC3\x28\xED\xA0\x80\xF8\x88\x80\x80\x80\xC0\xAF";
  ToolRun tool;
  tool.write("QORConfiguration.json", "{\"" + key + "\":\"" + value + "\"}");
  ASSERT_EQ(
      0, tool.run({"{\"productname\":\"\xFF\x80\",\"p\xC3\":\"\xE2\x82\"}"}));
  expectSuccess(tool);
  EXPECT_EQ(textModeBytes("{\n"
                          "   \"AutoUpdateFlag\" : \"false\",\n"
                          "   \"ContentCacheEnable\" : \"false\",\n"
                          "   \"LoadSimulationEnable\" : \"false\",\n"
                          "   \"" +
                          key + "\" : \"" + value +
                          "\",\n"
                          "   \"p\xC3\" : \"\xE2\x82\"\n"
                          "}\n\n"),
            tool.read("QORConfiguration.json"));
  EXPECT_EQ("\xFF\x80\r\n", tool.read("README.txt").substr(0, 4));
  const std::string batchStart = "@ECHO OFF\r\nREM  \xFF\x80\r\n";
  EXPECT_EQ(batchStart,
            tool.read("SILENT_INSTALL.BAT").substr(0, batchStart.size()));
}

// Raw in the configuration file, escaped on the command line: every control
// byte is written escaped into the configuration; in a value bound for the
// batch file it is refused there.
TEST(HostileInput, EveryControlByteInKeysAndValues) {
  if (ToolRun::windows())
    GTEST_SKIP() << kHostOnly;
  std::string raw;
  std::string escapedInArgument;
  for (int byte = 1; byte < 0x20; ++byte) {
    raw += static_cast<char>(byte);
    char code[7];
    std::snprintf(code, sizeof code, "\\u%04x", byte);
    escapedInArgument += code;
  }
  raw += '\x7F';
  escapedInArgument += '\x7F';
  const std::string written =
      "\\u0001\\u0002\\u0003\\u0004\\u0005\\u0006\\u0007\\b\\t\\n\\u000B\\f"
      "\\r\\u000E\\u000F\\u0010\\u0011\\u0012\\u0013\\u0014\\u0015\\u0016"
      "\\u0017\\u0018\\u0019\\u001A\\u001B\\u001C\\u001D\\u001E\\u001F\x7F";

  ToolRun tool;
  tool.write("QORConfiguration.json", "{\"c" + raw + "\":\"v" + raw + "\"}");
  ASSERT_EQ(0, tool.run({"{\"p" + escapedInArgument + "\":\"w" +
                         escapedInArgument + "\"}"}));
  expectSuccess(tool);
  EXPECT_EQ(textModeBytes("{\n"
                          "   \"AutoUpdateFlag\" : \"false\",\n"
                          "   \"ContentCacheEnable\" : \"false\",\n"
                          "   \"LoadSimulationEnable\" : \"false\",\n"
                          "   \"c" +
                          written + "\" : \"v" + written +
                          "\",\n"
                          "   \"p" +
                          written + "\" : \"w" + written +
                          "\"\n"
                          "}\n\n"),
            tool.read("QORConfiguration.json"));

  ToolRun refused;
  ASSERT_EQ(6,
            refused.run({"{\"productname\":\"a" + escapedInArgument + "\"}"}));
  expectFinalMessage(refused,
                     "Failed to write SILENT_INSTALL.BAT file: the value of "
                     "productname holds a control character\n");
  std::string readmeStart = textModeBytes("a" + raw + "\n\n");
  EXPECT_EQ(readmeStart,
            refused.read("README.txt").substr(0, readmeStart.size()));
  EXPECT_FALSE(refused.exists("QORConfiguration.json"));
}

TEST(HostileInput, KeysOfOneMegabyte) {
  if (ToolRun::windows())
    GTEST_SKIP() << kHostOnly;
  const std::string configKey(1024 * 1024, 'c');
  std::vector<std::string> arguments =
      inPieces("{\"" + std::string(1024 * 1024, 'p') + "\":\"2\"}");
  std::string parameterKey = joined(arguments);
  parameterKey = parameterKey.substr(2, parameterKey.size() - 8);

  ToolRun tool;
  tool.write("QORConfiguration.json", "{\"" + configKey + "\":\"1\"}");
  ASSERT_EQ(0, tool.run(arguments));
  expectSuccess(tool);
  EXPECT_TRUE(contains(tool.read("fieldprep.log"),
                       "Adding root[" + parameterKey + "]: 2\n"));
  EXPECT_EQ(textModeBytes("{\n"
                          "   \"AutoUpdateFlag\" : \"false\",\n"
                          "   \"ContentCacheEnable\" : \"false\",\n"
                          "   \"LoadSimulationEnable\" : \"false\",\n"
                          "   \"" +
                          configKey +
                          "\" : \"1\",\n"
                          "   \"" +
                          parameterKey +
                          "\" : \"2\"\n"
                          "}\n\n"),
            tool.read("QORConfiguration.json"));

  // As the value of an address it is refused for the batch file.
  ToolRun refused;
  ASSERT_EQ(6, refused.run(inPieces("{\"updateurl\":\"" + configKey + "\"}")));
  expectFinalMessage(refused,
                     "Failed to write SILENT_INSTALL.BAT file: the value of "
                     "updateurl is longer than 2000 characters\n");
}

TEST(HostileInput, TenThousandArgumentsAreJoinedWhole) {
  if (ToolRun::windows())
    GTEST_SKIP() << kHostOnly;
  std::vector<std::string> arguments;
  for (int i = 0; i < 10000; ++i) {
    std::string member = "\"key" + std::to_string(i) + "\":\"value\"";
    arguments.push_back((i == 0 ? "{" : "") + member + (i == 9999 ? "}" : ","));
  }
  ToolRun tool;
  ASSERT_EQ(0, tool.run(arguments));
  expectSuccess(tool);
  EXPECT_EQ(0u, tool.read("fieldprep.log")
                    .find(commandLineEntries(tool.programPath(), arguments)));
  std::string written = tool.read("QORConfiguration.json");
  size_t members = 0;
  for (size_t at = 0;
       (at = written.find("\r\n   \"key", at)) != std::string::npos; ++at)
    ++members;
  EXPECT_EQ(10000u, members);
  EXPECT_TRUE(contains(written, "   \"key9999\" : \"value\"\r\n}\r\n\r\n"));
}

// An empty program path gives an empty folder: the current directory.
TEST(HostileInput, EmptyProgramPathRunsInTheCurrentDirectory) {
  if (ToolRun::windows())
    GTEST_SKIP() << kHostOnly;
  ToolRun tool;
  ASSERT_EQ(0, tool.runAs("", {"{}"}));
  std::string log = tool.read("fieldprep.log");
  EXPECT_EQ(0u, log.find(commandLineEntries("", {"{}"}) + "AppDir:\n\n\n"));
  EXPECT_TRUE(
      endsWith(log, "\nSuccessfully updated : QORConfiguration.json\n\n"));
  EXPECT_TRUE(tool.exists("README.txt"));
}

// With no argument vector at all the kernel may pass an empty program path
// (Linux does since 5.18); either way the run ends with exit code 1.
TEST(HostileInput, EmptyArgumentVectorEndsWithOne) {
  if (ToolRun::windows())
    GTEST_SKIP() << kHostOnly;
  ToolRun tool;
  ASSERT_EQ(1, tool.runVector({}));
  std::string log = tool.read("fieldprep.log");
  const std::string usage = "Usage:  [--json-checker] {json}\n\n";
  EXPECT_TRUE(log == usage + "argc: 0\n\n\n" ||
              log == usage + "argv[0]: \nargc: 1\n\n\n")
      << log;
  EXPECT_EQ(std::vector<std::string>({"fieldprep", "fieldprep.log"}),
            tool.files());
}

}  // namespace
