// SILENT_INSTALL.BAT run for real by cmd, with a stand-in msiexec.exe in its
// folder (FIELDPREP_FAKE_MSIEXEC) that records its arguments as the C runtime
// splits them: hostile values run no command of their own and reach the
// installer exactly as the settings gave them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "batch_run.h"
#include "file_bytes.h"
#include "tool_run.h"

namespace fs = std::filesystem;

namespace {

struct Values {
  const char* productname;
  const char* baseurl;
  const char* startupurl;
  const char* updateurl;
};

// Runs SILENT_INSTALL.BAT under cmd with the stand-in msiexec.exe beside it
// and returns the arguments that the stand-in received, one a line.
std::vector<std::string> installerArguments(ToolRun& tool) {
  const char* fakeMsiexec = std::getenv("FIELDPREP_FAKE_MSIEXEC");
  if (!fakeMsiexec || !*fakeMsiexec) {
    ADD_FAILURE() << "FIELDPREP_FAKE_MSIEXEC is not set";
    return {};
  }
  fs::copy_file(fakeMsiexec, tool.folder() + "msiexec.exe");
  EXPECT_EQ(0, tool.launch("C:\\windows\\system32\\cmd.exe",
                           "cmd /c SILENT_INSTALL.BAT"));
  if (!waitUntil([&] { return tool.exists("msiexec-arguments.txt"); })) {
    ADD_FAILURE() << "the stand-in msiexec.exe was not started";
    return {};
  }
  return lines(tool.read("msiexec-arguments.txt"));
}

TEST(BatchFile, ValuesReachTheInstallerExactlyAndRunNothing) {
  const Values cases[] = {
      {"QOR\" & echo injected > injected.txt & \"",
       "https://h/a & echo injected > injected.txt & b",
       "x) & echo injected > injected.txt & rem (",
       " | echo injected > injected.txt"},
      {"%PATH% %1 %~x %%", "https://h/a%20b", "%PATH%;%1;%~x",
       "https://h/%~dp0%%"},
      {"a ^ b | c > d < e", "https://h/a ^& b | c > d < e (f) !PATH!",
       "  blanks  around  ", "https://h/a\\b"},
  };
  for (const Values& v : cases) {
    SCOPED_TRACE(v.baseurl);
    ToolRun tool;
    std::string settings = "{\"productname\":" + jsonString(v.productname) +
                           ",\"baseurl\":" + jsonString(v.baseurl) +
                           ",\"startupurl\":" + jsonString(v.startupurl) +
                           ",\"updateurl\":" + jsonString(v.updateurl) + "}";
    ASSERT_EQ(0, tool.run({settings}));
    std::vector<std::string> expected = {
        "/i",
        "QOR_ORBELIX_Setup.msi",
        "/qr",
        "/lv",
        "install.log",
        "AUTOUPDATEFLAG=true",
        std::string("STARTUPURL=") + v.startupurl,
        std::string("BASEURL=") + v.baseurl,
        std::string("UPDATEURL=") + v.updateurl};
    EXPECT_EQ(expected, installerArguments(tool));
    std::vector<std::string> files = {"QORConfiguration.json",
                                      "README.txt",
                                      "SILENT_INSTALL.BAT",
                                      "fieldprep.exe",
                                      "fieldprep.log",
                                      "msiexec-arguments.txt",
                                      "msiexec.exe"};
    EXPECT_EQ(files, tool.files());
  }
}

// A double quote in an address would end its property wherever the command
// line is rebuilt, and the rest would reach the installer as properties and
// options of its own. Such a run is refused and leaves the previous batch
// file, which still starts the installer as before.
TEST(BatchFile, DoubleQuoteInAnAddressIsRefusedAndNothingOfItRuns) {
  struct Case {
    const char* key;
    const char* value;
  } cases[] = {
      {"baseurl", "https://h/x\" AUTOUPDATEFLAG=false \"y"},
      {"startupurl", "https://h/x\" /lv other.log \"y"},
      {"updateurl", "https://h/x\" /i other.msi \"y"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    ToolRun tool;
    ASSERT_EQ(0, tool.run({"{\"baseurl\":\"https://h/b\"}"}));
    std::string previous = tool.read("SILENT_INSTALL.BAT");

    std::string settings =
        std::string("{\"") + c.key + "\":" + jsonString(c.value) + "}";
    EXPECT_EQ(6, tool.run({settings}));
    std::string log = tool.read("fieldprep.log");
    std::string message = std::string(
                              "\nFailed to write SILENT_INSTALL.BAT "
                              "file: the value of ") +
                          c.key + " holds a double quote\n\n";
    EXPECT_EQ(message,
              log.substr(log.size() - std::min(log.size(), message.size())));
    EXPECT_EQ(previous, tool.read("SILENT_INSTALL.BAT"));

    std::vector<std::string> expected = {
        "/i",          "QOR_ORBELIX_Setup.msi", "/qr",
        "/lv",         "install.log",           "AUTOUPDATEFLAG=true",
        "STARTUPURL=", "BASEURL=https://h/b",   "UPDATEURL="};
    EXPECT_EQ(expected, installerArguments(tool));
  }
}

}  // namespace
