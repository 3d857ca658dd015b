// SILENT_INSTALL.BAT run by cmd against a real installer engine: Wine's own
// msiexec installs a package (FIELDPREP_INSTALLER_PROBE, built by wixl from
// installer_probe.wxs) that records the installer properties it was given as
// registry values, which FIELDPREP_REGISTRY_VALUES reads back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "batch_run.h"
#include "file_bytes.h"
#include "text_checks.h"
#include "tool_run.h"

namespace fs = std::filesystem;

namespace {

const char kMsiexec[] = "C:\\windows\\system32\\msiexec.exe";

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The properties as the engine saw them, from its log: the evidence shown
// when the recorded values differ.
std::string loggedProperties(const std::string& log) {
  std::string shown;
  for (const std::string& line : lines(log)) {
    for (const char* name :
         {"AUTOUPDATEFLAG", "STARTUPURL", "BASEURL", "UPDATEURL"}) {
      if (line.rfind(std::string("Property(S): ") + name + " = ", 0) == 0)
        shown += line + "\n";
    }
  }
  return shown;
}

struct Case {
  const char* what;
  std::string startupurl;
  std::string baseurl;
  std::string updateurl;
  // Empty when the engine records the three addresses as given. Otherwise
  // the four values that Wine's chain (cmd's START, msiexec, msi.dll) makes
  // of a batch file written correctly, and why.
  std::vector<std::string> recorded;
  const char* deviation;
};

TEST(InstallerEngine, RecordsTheAddressesThatTheBatchFilePasses) {
  const std::string probe = environment("FIELDPREP_INSTALLER_PROBE");
  const std::string registryValues = environment("FIELDPREP_REGISTRY_VALUES");
  ASSERT_FALSE(probe.empty()) << "FIELDPREP_INSTALLER_PROBE is not set";
  ASSERT_FALSE(registryValues.empty())
      << "FIELDPREP_REGISTRY_VALUES is not set";
  const std::string plain = "https://h.example/";
  const std::string long2000 = "https://h.example/" + std::string(1982, 'x');
  // Known deviations of Wine's engine, measured with Wine 8: the stand-in
  // msiexec of BatchFile.ValuesReachTheInstallerExactlyAndRunNothing receives
  // both cases exactly from the same START line, and the engine's own log
  // ("Property(S): ...", shown on failure) already holds the changed value.
  const char* const blanksJoined =
      "Wine's msiexec hands msi.dll the properties with each run of blanks "
      "made one: the log shows \"STARTUPURL = https://h.example/a b\"";
  const char* const emptyTakesTheNext =
      "Wine's msi.dll reads STARTUPURL=\"\" as STARTUPURL= followed by a "
      "blank and takes the next property as its value: the log shows "
      "\"STARTUPURL = BASEURL=https://h.example/\" and BASEURL keeps its "
      "default";
  const Case cases[] = {
      {"plain",
       "https://s.example/start",
       "https://b.example/",
       "https://u.example/update?x=1",
       {},
       nullptr},
      {"a blank", "https://h.example/a b", plain, plain, {}, nullptr},
      {"a run of blanks",
       "https://h.example/a  b",
       plain,
       plain,
       {"AUTOUPDATEFLAG=true", "STARTUPURL=https://h.example/a b",
        "BASEURL=" + plain, "UPDATEURL=" + plain},
       blanksJoined},
      {"percent signs",
       "https://h.example/a%20b%PATH%%",
       plain,
       "https://h.example/%~dp0%1",
       {},
       nullptr},
      {"cmd's special characters",
       "https://h.example/?a=1&b=2|c<d>e",
       "https://h.example/^x(y)z!PATH!",
       plain,
       {},
       nullptr},
      {"a trailing backslash",
       plain,
       "https://h.example/a\\",
       plain,
       {},
       nullptr},
      {"2000 characters", long2000, long2000, long2000, {}, nullptr},
      {"an empty address",
       "",
       plain,
       plain,
       {"AUTOUPDATEFLAG=true", "STARTUPURL=BASEURL=" + plain, "BASEURL=unset",
        "UPDATEURL=" + plain},
       emptyTakesTheNext},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ToolRun tool;
    std::string settings = "{\"startupurl\":" + jsonString(c.startupurl) +
                           ",\"baseurl\":" + jsonString(c.baseurl) +
                           ",\"updateurl\":" + jsonString(c.updateurl) + "}";
    ASSERT_EQ(0, tool.run({settings}));
    fs::copy_file(probe, tool.folder() + "QOR_ORBELIX_Setup.msi");
    // A package left installed by an earlier case would not record again.
    tool.launch(kMsiexec, "msiexec /x QOR_ORBELIX_Setup.msi /qn");

    ASSERT_EQ(0, tool.launch("C:\\windows\\system32\\cmd.exe",
                             "cmd /c SILENT_INSTALL.BAT"));
    ASSERT_TRUE(waitUntil(
        [&] {
          return contains(tool.read("install.log"), "INSTALL. Return value");
        },
        60))
        << tool.read("install.log");
    ASSERT_EQ(0, tool.launch(windowsPath(registryValues),
                             "registry_values recorded.txt"));
    std::vector<std::string> expected = c.recorded;
    if (expected.empty())
      expected = {"AUTOUPDATEFLAG=true", "STARTUPURL=" + c.startupurl,
                  "BASEURL=" + c.baseurl, "UPDATEURL=" + c.updateurl};
    EXPECT_EQ(expected, lines(tool.read("recorded.txt")))
        << (c.deviation ? c.deviation : "") << "\n"
        << loggedProperties(tool.read("install.log"));
    EXPECT_EQ(0, tool.launch(kMsiexec, "msiexec /x QOR_ORBELIX_Setup.msi /qn"));
  }
}

}  // namespace
