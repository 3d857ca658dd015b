// Hostile inputs, end to end: each run ends with a defined exit code and a log
// that says what happened; nothing aborts and nothing given is lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "expected_outputs.h"
#include "text_checks.h"
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

void expectSuccess(const ToolRun& tool) {
  expectFinalMessage(tool, "Successfully updated : " + tool.appdir() +
                               "QORConfiguration.json\n");
}

// The length of a Windows command line, its terminating NUL included.
const size_t kWindowsCommandLine = 32767;

// `wanted`; under Windows the largest size up to it for which `arguments`
// still fit into one command line. Linux takes the arguments in pieces.
template <typename Arguments>
size_t sizeThatFits(const ToolRun& tool, size_t wanted, Arguments arguments) {
  if (!ToolRun::windows())
    return wanted;
  size_t low = 0;
  size_t high = wanted;
  while (low < high) {
    size_t middle = (low + high + 1) / 2;
    if (windowsCommandLine(tool.programPath(), arguments(middle)).size() <
        kWindowsCommandLine)
      low = middle;
    else
      high = middle - 1;
  }
  return low;
}

// Under Windows an argument reaches the tool in the ANSI code page,
// Windows-1252 here: the character for each byte from 0x80 up goes on the
// command line, in UTF-8 like the rest of it.
std::string argumentBytes(const std::string& bytes) {
  if (!ToolRun::windows())
    return bytes;
  static const unsigned short high[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string text;
  for (char c : bytes) {
    unsigned byte = static_cast<unsigned char>(c);
    unsigned code = byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : byte;
    if (code < 0x80) {
      text += static_cast<char>(code);
    } else if (code < 0x800) {
      text += static_cast<char>(0xC0 | code >> 6);
      text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      text += static_cast<char>(0xE0 | code >> 12);
      text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      text += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return text;
}

std::string nested(const char* open, const char* close, size_t levels) {
  std::string text = "{\"a\":";
  for (size_t i = 0; i < levels; ++i)
    text += open;
  for (size_t i = 0; i < levels; ++i)
    text += close;
  return text + "}";
}

// jsoncpp gives up past 1000 levels by throwing; that is a parse failure.
// Under Windows the parameters nest as deep as one command line allows.
TEST(HostileInput, NestingAHundredThousandLevelsDeepEndsWithTwo) {
  const std::string previous = "{\"SchoolID\":\"1\"}";
  struct Case {
    const char* what;
    const char* open;
    const char* close;
    bool inConfiguration;
  } cases[] = {
      {"arrays in the configuration", "[", "]", true},
      {"objects in the configuration", "{\"a\":", "}", true},
      {"arrays in the parameters", "[", "]", false},
      {"objects in the parameters", "{\"a\":", "}", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ToolRun tool;
    std::vector<std::string> arguments = {"{}"};
    size_t levels = 100000;
    if (!c.inConfiguration)
      levels = sizeThatFits(tool, levels, [&](size_t n) {
        return inPieces(nested(c.open, c.close, n));
      });
    ASSERT_GT(levels, 3000u);
    const std::string text = nested(c.open, c.close, levels);
    if (c.inConfiguration)
      tool.writeTemp("QORConfiguration.json", text);
    else
      arguments = inPieces(text);
    tool.write("QORConfiguration.json", previous);
    ASSERT_EQ(2, tool.run(arguments));

    std::string name =
        c.inConfiguration ? "QORConfiguration.json" : "parameters";
    std::string input = c.inConfiguration ? text : joined(arguments);
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
  const std::string key = "k\xFF\xFE\xC0";
  const std::string value = "\xC3\x28\xED\xA0\x80\xF8\x88\x80\x80\x80\xC0\xAF";
  ToolRun tool;
  tool.write("QORConfiguration.json", "{\"" + key + "\":\"" + value + "\"}");
  ASSERT_EQ(0, tool.run({argumentBytes(
                   "{\"productname\":\"\xFF\x80\",\"p\xC3\":\"\xE2\x82\"}")}));
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

// Under Windows the parameter's key is as long as one command line allows.
TEST(HostileInput, KeysOfOneMegabyte) {
  const std::string configKey(1024 * 1024, 'c');
  ToolRun tool;
  auto parameters = [](size_t length) {
    return inPieces("{\"" + std::string(length, 'p') + "\":\"2\"}");
  };
  std::vector<std::string> arguments =
      parameters(sizeThatFits(tool, 1024 * 1024, parameters));
  std::string parameterKey = joined(arguments);
  parameterKey = parameterKey.substr(2, parameterKey.size() - 8);
  ASSERT_GT(parameterKey.size(), 30000u);

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
  auto address = [](size_t length) {
    return inPieces("{\"updateurl\":\"" + std::string(length, 'c') + "\"}");
  };
  ASSERT_EQ(6,
            refused.run(address(sizeThatFits(refused, 1024 * 1024, address))));
  expectFinalMessage(refused,
                     "Failed to write SILENT_INSTALL.BAT file: the value of "
                     "updateurl is longer than 2000 characters\n");
}

// Under Windows as many as one command line holds.
TEST(HostileInput, TenThousandArgumentsAreJoinedWhole) {
  auto memberArguments = [](size_t count) {
    std::vector<std::string> arguments;
    for (size_t i = 0; i < count; ++i) {
      std::string member = "\"key" + std::to_string(i) + "\":\"value\"";
      arguments.push_back((i == 0 ? "{" : "") + member +
                          (i == count - 1 ? "}" : ","));
    }
    return arguments;
  };
  ToolRun tool;
  size_t count = sizeThatFits(tool, 10000, memberArguments);
  ASSERT_GT(count, 1000u);
  std::vector<std::string> arguments = memberArguments(count);
  ASSERT_EQ(0, tool.run(arguments));
  expectSuccess(tool);
  EXPECT_EQ(0u, tool.read("fieldprep.log")
                    .find(commandLineEntries(tool.programPath(), arguments)));
  std::string written = tool.read("QORConfiguration.json");
  size_t members = 0;
  for (size_t at = 0;
       (at = written.find("\r\n   \"key", at)) != std::string::npos; ++at)
    ++members;
  EXPECT_EQ(count, members);
  // Written in byte order of the names, so "key999" may come last.
  std::string last;
  for (size_t i = 0; i < count; ++i)
    last = std::max(last, "key" + std::to_string(i));
  EXPECT_TRUE(
      contains(written, "   \"" + last + "\" : \"value\"\r\n}\r\n\r\n"));
}

// An empty program path gives an empty folder: the current directory.
TEST(HostileInput, EmptyProgramPathRunsInTheCurrentDirectory) {
  ToolRun tool;
  ASSERT_EQ(0, tool.runAs("", {"{}"}));
  std::string log = tool.read("fieldprep.log");
  EXPECT_EQ(0u, log.find(commandLineEntries("", {"{}"}) + "AppDir:\n\n\n"));
  EXPECT_TRUE(
      endsWith(log, "\nSuccessfully updated : QORConfiguration.json\n\n"));
  EXPECT_TRUE(tool.exists("README.txt"));
}

// With no argument vector at all the kernel may pass an empty program path
// (Linux does since 5.18); either way the run ends with exit code 1. Windows
// has no argument vector to leave empty; a command line of one blank has an
// empty program path (Wine puts the program's own path in place of an empty
// one).
TEST(HostileInput, EmptyArgumentVectorEndsWithOne) {
  ToolRun tool;
  ASSERT_EQ(1,
            ToolRun::windows() ? tool.runCommandLine(" ") : tool.runVector({}));
  std::string log = tool.read("fieldprep.log");
  const std::string usage = "Usage:  [--json-checker] {json}\n\n";
  EXPECT_TRUE(log == usage + "argc: 0\n\n\n" ||
              log == usage + "argv[0]: \nargc: 1\n\n\n")
      << log;
  const char* binary = std::getenv("FIELDPREP_BINARY");
  std::string toolName =
      std::filesystem::path(binary ? binary : "").filename().string();
  EXPECT_EQ(std::vector<std::string>({toolName, "fieldprep.log"}),
            tool.files());
}

}  // namespace
