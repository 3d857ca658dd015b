#include "configuration_file.h"

#include "output_file.h"
#include "run_log.h"
#include "settings_document.h"
#include "styled_text.h"

const char* const configurationFileName = "QORConfiguration.json";

const char* const readmeOnlyKeys[10] = {
    "builddate",   "clientversion",  "date",           "enablelcs",
    "phonenumber", "productname",    "productversion", "state_branding",
    "supportemail", "time",
};

std::string camelCaseKey(const std::string& key) {
  static const struct {
    const char* key;
    const char* writtenName;
  } table[] = {
      {"adminid", "AdminID"},
      {"adminname", "AdminName"},
      {"autoupdateflag", "AutoUpdateFlag"},
      {"baseurl", "BaseURL"},
      {"contentcache", "ContentCache"},
      {"contentcacheenable", "ContentCacheEnable"},
      {"districtname", "DistrictName"},
      {"districtid", "DistrictID"},
      {"httpsproxy", "HTTPSProxy"},
      {"lcsurl", "LCSURL"},
      {"lcs_url", "LCSURL"},
      {"loadsimulationenable", "LoadSimulationEnable"},
      {"schoolid", "SchoolID"},
      {"schoolname", "SchoolName"},
      {"startupurl", "StartupURL"},
      {"updateurl", "UpdateURL"},
  };
  for (const auto& row : table) {
    if (key == row.key)
      return row.writtenName;
  }
  return "?";
}

std::string composeConfigurationText(const Json::Value& root) {
  // Walked in byte order, "lcs_url" comes before "lcsurl", so the value of
  // "lcsurl" is the one kept under "LCSURL".
  Json::Value json;
  for (auto member = root.begin(); member != root.end(); ++member) {
    std::string name = camelCaseKey(member.name());
    json[name == "?" ? member.name() : name] = *member;
  }
  return styledText(json);
}

void SettingsDocument::writeConfigurationFile(const std::string& appdir) {
  for (const char* key : readmeOnlyKeys)
    removeSetting(key);
  std::string str = composeConfigurationText(root);
  std::string path = appdir + configurationFileName;
  logEntry("\nOpen cgf file: %s\n", path.c_str());
  logEntry("write:\n%s\n", str.c_str());

  writeOutputOrFinish(
      path, str + "\n",
      {4, formatText("Failed to open output file: %s\n", path.c_str()),
       formatText("Failed to write output file: %s\n", path.c_str())});
  storeMessage("Successfully updated : %s\n", path.c_str());
}
