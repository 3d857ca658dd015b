// SILENT_INSTALL.BAT run for real by cmd, with a stand-in msiexec.exe in its
// folder (FIELDPREP_FAKE_MSIEXEC) that records its arguments as the C runtime
// splits them: hostile values run no command of their own and reach the
// installer exactly as the settings gave them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "file_bytes.h"
#include "tool_run.h"

namespace fs = std::filesystem;

namespace {

std::string jsonString(const std::string& value) {
  std::string text = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\')
      text += '\\';
    text += c;
  }
  return text + "\"";
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    result.push_back(line);
  return result;
}

// cmd's START does not wait for the program it starts.
bool waitFor(const ToolRun& tool, const std::string& name) {
  for (int i = 0; i < 600; ++i) {
    if (tool.exists(name))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

struct Values {
  const char* productname;
  const char* baseurl;
  const char* startupurl;
  const char* updateurl;
};

TEST(BatchFile, ValuesReachTheInstallerExactlyAndRunNothing) {
  const Values cases[] = {
      {"QOR & echo injected > injected.txt",
       "https://h/a\" & echo injected > injected.txt & \"b",
       "x\"\" & echo injected > injected.txt & rem \"",
       "\" | echo injected > injected.txt"},
      {"%PATH% %1 %~x %%", "https://h/a%20b", "%PATH%;%1;%~x",
       "https://h/%~dp0%%"},
      {"a ^ b | c > d < e", "https://h/a ^& b | c > d < e (f) !PATH!",
       "  blanks  around  ", "https://h/a\\b"},
  };
  const char* fakeMsiexec = std::getenv("FIELDPREP_FAKE_MSIEXEC");
  ASSERT_TRUE(fakeMsiexec && *fakeMsiexec)
      << "FIELDPREP_FAKE_MSIEXEC is not set";
  for (const Values& v : cases) {
    SCOPED_TRACE(v.baseurl);
    ToolRun tool;
    std::string settings = "{\"productname\":" + jsonString(v.productname) +
                           ",\"baseurl\":" + jsonString(v.baseurl) +
                           ",\"startupurl\":" + jsonString(v.startupurl) +
                           ",\"updateurl\":" + jsonString(v.updateurl) + "}";
    ASSERT_EQ(0, tool.run({settings}));
    fs::copy_file(fakeMsiexec, tool.folder() + "msiexec.exe");

    EXPECT_EQ(0, tool.launch("C:\\windows\\system32\\cmd.exe",
                             "cmd /c SILENT_INSTALL.BAT"));
    ASSERT_TRUE(waitFor(tool, "msiexec-arguments.txt"));
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
    EXPECT_EQ(expected, lines(tool.read("msiexec-arguments.txt")));
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

}  // namespace
