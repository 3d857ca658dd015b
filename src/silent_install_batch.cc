#include "silent_install_batch.h"

#include "output_file.h"
#include "product_defaults.h"
#include "run_log.h"
#include "settings_document.h"
#include "text_format.h"

namespace {

const char* const batchFileName = "SILENT_INSTALL.BAT";
const size_t longestValue = 2000;

struct BatchValue {
  const char* key;
  const char* fallback;
  bool isAddress;  // inside a quoted installer property
};

const BatchValue batchValues[] = {
    {"productname", defaultProductName, false},
    {"state_branding", defaultStateBranding, false},
    {"clientversion", defaultVersion, false},
    {"productversion", defaultVersion, false},
    {"builddate", defaultBuildDate, false},
    {"baseurl", "", true},
    {"startupurl", "", true},
    {"updateurl", "", true},
};

// cmd turns "%%" back into one "%"; inside a quoted property the installer
// reads "" as one double quote.
std::string escapeForBatch(const std::string& value, bool isAddress) {
  std::string escaped;
  for (char c : value) {
    if (c == '%' || (isAddress && c == '"'))
      escaped += c;
    escaped += c;
  }
  return escaped;
}

// Why cmd or the installer would not get the value as it stands; "" if none.
std::string unsafeBecause(const std::string& value, const std::string& escaped,
                          bool isAddress) {
  for (char c : value) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F)
      return "holds a control character";
  }
  if (isAddress) {
    // cmd reads the file in the OEM code page and would pass another text.
    for (char c : value) {
      if (static_cast<unsigned char>(c) >= 0x80)
        return "holds a non-ASCII byte";
    }
  }
  if (escaped.size() > longestValue)
    return "is longer than 2000 characters";
  return std::string();
}

// "REM     NAME=" and, when the address is not empty, the quoted address.
std::string propertyLine(const char* name, const std::string& raw,
                         const std::string& escaped) {
  std::string line = std::string("REM     ") + name + "=";
  if (!raw.empty())
    line += "\"" + escaped + "\"";
  return line + "\n";
}

}  // namespace

bool composeSilentInstallBatch(const Json::Value& root, std::string* text,
                               BatchRefusal* refusal) {
  std::string raw[8], value[8];
  for (int i = 0; i < 8; ++i) {
    const BatchValue& item = batchValues[i];
    raw[i] = settingOr(root, item.key, item.fallback);
    value[i] = escapeForBatch(raw[i], item.isAddress);
    std::string reason = unsafeBecause(raw[i], value[i], item.isAddress);
    if (!reason.empty()) {
      *refusal = BatchRefusal{item.key, reason};
      return false;
    }
  }
  const std::string& baseURLStr = value[5];
  const std::string& startupURLStr = value[6];
  const std::string& updateURLStr = value[7];

  std::string& t = *text;
  t = "@ECHO OFF\n";
  t += "REM  " + value[0] + "\n";
  t += "REM  " + value[1] + "\n";
  t += "REM  Secure Browser Version: " + value[2] + "\n";
  t += "REM  Installer Version:      " + value[3] + "\n";
  t += "REM  ORBELIX Build Date:     " + value[4] + "\n\n";
  t += "REM  NOTES:\n";
  t += "REM  1. Null or empty PROPERTY values will abort the install.\n";
  t +=
      "REM     For example: HTTPPROXY=  will not work - just omit the property "
      "from the argument list\n";
  t +=
      "REM  2. The \"START msiexec.exe ...\" commandline must all be on 1 line "
      "- no line breaks - no carraige returns or install will fail\n";
  t += "REM\nREM  Supported Properties:\n";
  if (raw[5].find("TALO") != std::string::npos) {
    t += "REM     ADMINID=\"<id number>\"\n";
    t += "REM     ADMINNAME=\"\"\"<name>\"\"\"\n";
  }
  t += "REM     AUTOUPDATEFLAG=\"true\" | \"false\"\n";
  t += propertyLine("BASEURL", raw[5], baseURLStr);
  t += "REM     CONTENTCACHE=\"https://localhost:8443\"\n";
  t += "REM     CONTENTCACHEENABLE=\"true\" | \"false\"\n";
  t += "REM     DISTRICTID=\"<id number>\"\n";
  t += "REM     DISTRICT_NAME=\"\"\"<name>\"\"\"\n";
  t += "REM     ENABLELCS=\"true\" | \"false\"\n";
  t += "REM     HTTPSPROXY=\"<URL>\"\n";
  t += "REM     LCSURL=\"https://localhost:8443\"\n";
  t += "REM     LOADSIMULATIONENABLE=\"true\" | \"false\"\n";
  t += "REM     SCHOOLID=\"<id number>\"\n";
  t += "REM     SCHOOL_NAME=\"\"\"<name>\"\"\"\n";
  t += propertyLine("STARTUPURL", raw[6], startupURLStr);
  t += propertyLine("UPDATEURL", raw[7], updateURLStr) + "\n";
  t += "START msiexec.exe /i QOR_ORBELIX_Setup.msi /qr /lv \"install.log\" "
       "AUTOUPDATEFLAG=\"true\" STARTUPURL=\"" +
       startupURLStr + "\" BASEURL=\"" + baseURLStr + "\" UPDATEURL=\"" +
       updateURLStr + "\"\n";
  return true;
}

void SettingsDocument::writeSilentInstallBatch(const std::string& appdir) {
  std::string path = appdir + batchFileName;
  std::string text;
  BatchRefusal refusal;
  if (!composeSilentInstallBatch(root, &text, &refusal)) {
    storeMessage("Failed to write %s file: the value of %s %s\n", batchFileName,
                 refusal.key.c_str(), refusal.reason.c_str());
    finish(6, true);
    return;
  }
  writeOutputOrFinish(
      path, text,
      {6,
       formatText("Failed to open %s file: %s\n", batchFileName, path.c_str()),
       formatText("Failed to write %s file: %s\n", batchFileName,
                  path.c_str())});
}
