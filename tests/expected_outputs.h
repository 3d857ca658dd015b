// Texts the tool writes, shared by the unit and the end-to-end tests: the
// README and the batch file for a tree without values, the names of the
// outputs, and the command line's log entries.
#ifndef FIELDPREP_EXPECTED_OUTPUTS_H_
#define FIELDPREP_EXPECTED_OUTPUTS_H_

#include <cstddef>
#include <string>
#include <vector>

inline constexpr char kDefaultReadme[] =
    "QOR ORBELIX Online Learning System\n"
    "\n"
    "QOR Online Assessment System\n"
    "\n"
    "Secure Browser Version: 5.1.0.0001\n"
    "Installer Version:      5.1.0.0001\n"
    "ORBELIX Build Date:     01-Jan-1970 00:00:00\n"
    "Installation Date:      01-Jan-1970 00:00:00\n"
    "\n"
    "Qorvalent\n"
    "www.qorvalent.example\n"
    "support@qorvalent.example\n"
    "1-800-555-0199\n";

inline constexpr char kDefaultBatch[] =
    "@ECHO OFF\n"
    "REM  QOR ORBELIX Online Learning System\n"
    "REM  QOR Online Assessment System\n"
    "REM  Secure Browser Version: 5.1.0.0001\n"
    "REM  Installer Version:      5.1.0.0001\n"
    "REM  ORBELIX Build Date:     01-Jan-1970 00:00:00\n"
    "\n"
    "REM  NOTES:\n"
    "REM  1. Null or empty PROPERTY values will abort the install.\n"
    "REM     For example: HTTPPROXY=  will not work - just omit the property "
    "from the argument list\n"
    "REM  2. The \"START msiexec.exe ...\" commandline must all be on 1 line - "
    "no line breaks - no carraige returns or install will fail\n"
    "REM\n"
    "REM  Supported Properties:\n"
    "REM     AUTOUPDATEFLAG=\"true\" | \"false\"\n"
    "REM     BASEURL=\n"
    "REM     CONTENTCACHE=\"https://localhost:8443\"\n"
    "REM     CONTENTCACHEENABLE=\"true\" | \"false\"\n"
    "REM     DISTRICTID=\"<id number>\"\n"
    "REM     DISTRICT_NAME=\"\"\"<name>\"\"\"\n"
    "REM     ENABLELCS=\"true\" | \"false\"\n"
    "REM     HTTPSPROXY=\"<URL>\"\n"
    "REM     LCSURL=\"https://localhost:8443\"\n"
    "REM     LOADSIMULATIONENABLE=\"true\" | \"false\"\n"
    "REM     SCHOOLID=\"<id number>\"\n"
    "REM     SCHOOL_NAME=\"\"\"<name>\"\"\"\n"
    "REM     STARTUPURL=\n"
    "REM     UPDATEURL=\n"
    "\n"
    "START msiexec.exe /i QOR_ORBELIX_Setup.msi /qr /lv \"install.log\" "
    "AUTOUPDATEFLAG=\"true\" STARTUPURL=\"\" BASEURL=\"\" UPDATEURL=\"\"\n";

// The three outputs in the order the run writes them.
inline constexpr const char* kOutputs[] = {"README.txt", "SILENT_INSTALL.BAT",
                                           "QORConfiguration.json"};

// The log's first entries: the usage line, every argument and their count.
inline std::string commandLineEntries(
    const std::string& programPath, const std::vector<std::string>& arguments) {
  std::string log = "Usage: " + programPath + " [--json-checker] {json}\n\n";
  log += "argv[0]: " + programPath + "\n";
  for (std::size_t i = 0; i < arguments.size(); ++i)
    log += "argv[" + std::to_string(i + 1) + "]: " + arguments[i] + "\n";
  return log + "argc: " + std::to_string(arguments.size() + 1) + "\n";
}

#endif  // FIELDPREP_EXPECTED_OUTPUTS_H_
