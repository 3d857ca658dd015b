#include "silent_install_batch.h"

#include "output_file.h"
#include "product_defaults.h"
#include "run_log.h"
#include "settings_document.h"
#include "text_format.h"

namespace {

const char* const batchFileName = "SILENT_INSTALL.BAT";
const size_t longestValue = 2000;

// The values that the file shows, each as written into it.
struct BatchValues {
  std::string productName;
  std::string stateBranding;
  std::string clientVersion;
  std::string productVersion;
  std::string buildDate;
  std::string baseURL;
  std::string startupURL;
  std::string updateURL;
};

struct BatchValue {
  const char* key;
  const char* fallback;
  bool isAddress;  // inside a quoted installer property
  std::string BatchValues::*written;
};

// In the order in which they are checked.
const BatchValue batchValues[] = {
    {"productname", defaultProductName, false, &BatchValues::productName},
    {"state_branding", defaultStateBranding, false,
     &BatchValues::stateBranding},
    {"clientversion", defaultVersion, false, &BatchValues::clientVersion},
    {"productversion", defaultVersion, false, &BatchValues::productVersion},
    {"builddate", defaultBuildDate, false, &BatchValues::buildDate},
    {"baseurl", "", true, &BatchValues::baseURL},
    {"startupurl", "", true, &BatchValues::startupURL},
    {"updateurl", "", true, &BatchValues::updateURL},
};

// cmd turns "%%" back into one "%".
std::string escapeForBatch(const std::string& value) {
  std::string escaped;
  for (char c : value) {
    if (c == '%')
      escaped += c;
    escaped += c;
  }
  return escaped;
}

bool holdsByte(const std::string& value, bool (*test)(unsigned char)) {
  for (char c : value) {
    if (test(static_cast<unsigned char>(c)))
      return true;
  }
  return false;
}

// Why cmd or the installer would not get the value as it stands; "" if none.
std::string unsafeBecause(const std::string& value, const std::string& escaped,
                          bool isAddress) {
  if (holdsByte(value, [](unsigned char c) { return c < 0x20 || c == 0x7F; }))
    return "holds a control character";
  // cmd reads the file in the OEM code page and would pass another text.
  if (isAddress && holdsByte(value, [](unsigned char c) { return c >= 0x80; }))
    return "holds a non-ASCII byte";
  // No escape keeps a double quote inside a property: cmd and the installer
  // may rebuild the command line and end the value there, letting the rest
  // through as further properties and options. An address writes it as %22.
  if (isAddress && value.find('"') != std::string::npos)
    return "holds a double quote";
  if (escaped.size() > longestValue)
    return "is longer than " + std::to_string(longestValue) + " characters";
  return std::string();
}

bool readBatchValues(const Json::Value& root, BatchValues* values,
                     BatchRefusal* refusal) {
  for (const BatchValue& item : batchValues) {
    std::string value = settingOr(root, item.key, item.fallback);
    std::string escaped = escapeForBatch(value);
    std::string reason = unsafeBecause(value, escaped, item.isAddress);
    if (!reason.empty()) {
      *refusal = BatchRefusal{item.key, reason};
      return false;
    }
    values->*item.written = escaped;
  }
  return true;
}

// "REM     NAME=" and, when the address is not empty, the quoted address.
std::string propertyLine(const char* name, const std::string& address) {
  std::string line = std::string("REM     ") + name + "=";
  if (!address.empty())
    line += "\"" + address + "\"";
  return line + "\n";
}

}  // namespace

bool composeSilentInstallBatch(const Json::Value& root, std::string* text,
                               BatchRefusal* refusal) {
  BatchValues v;
  if (!readBatchValues(root, &v, refusal))
    return false;

  std::string& t = *text;
  t = "@ECHO OFF\n";
  t += "REM  " + v.productName + "\n";
  t += "REM  " + v.stateBranding + "\n";
  t += "REM  Secure Browser Version: " + v.clientVersion + "\n";
  t += "REM  Installer Version:      " + v.productVersion + "\n";
  t += "REM  ORBELIX Build Date:     " + v.buildDate + "\n\n";
  t += "REM  NOTES:\n";
  t += "REM  1. Null or empty PROPERTY values will abort the install.\n";
  t +=
      "REM     For example: HTTPPROXY=  will not work - just omit the property "
      "from the argument list\n";
  t +=
      "REM  2. The \"START msiexec.exe ...\" commandline must all be on 1 line "
      "- no line breaks - no carraige returns or install will fail\n";
  t += "REM\nREM  Supported Properties:\n";
  // Escaping only doubles "%", so it neither makes nor breaks "TALO".
  if (v.baseURL.find("TALO") != std::string::npos) {
    t += "REM     ADMINID=\"<id number>\"\n";
    t += "REM     ADMINNAME=\"\"\"<name>\"\"\"\n";
  }
  t += "REM     AUTOUPDATEFLAG=\"true\" | \"false\"\n";
  t += propertyLine("BASEURL", v.baseURL);
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
  t += propertyLine("STARTUPURL", v.startupURL);
  t += propertyLine("UPDATEURL", v.updateURL) + "\n";
  t += "START msiexec.exe /i QOR_ORBELIX_Setup.msi /qr /lv \"install.log\" "
       "AUTOUPDATEFLAG=\"true\" STARTUPURL=\"" +
       v.startupURL + "\" BASEURL=\"" + v.baseURL + "\" UPDATEURL=\"" +
       v.updateURL + "\"\n";
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
