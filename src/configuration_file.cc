#include "configuration_file.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "output_file.h"
#include "run_log.h"
#include "settings_document.h"
#include "styled_text.h"
#include "text_format.h"

const char* const configurationFileName = "QORConfiguration.json";

const char* const readmeOnlyKeys[10] = {
    "builddate",    "clientversion", "date",           "enablelcs",
    "phonenumber",  "productname",   "productversion", "state_branding",
    "supportemail", "time",
};

namespace {

// The written name of a document key, or null for a key outside the table.
const char* writtenName(std::string_view key) {
  static const struct {
    std::string_view key;
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
  return nullptr;
}

bool byName(const StyledMember& a, const StyledMember& b) {
  return a.name < b.name;
}

}  // namespace

std::string composeConfigurationText(const Json::Value& root) {
  std::vector<StyledMember> members;
  if (root.isObject())
    members.reserve(root.size());
  for (auto member = root.begin(); member != root.end(); ++member) {
    const char* end = nullptr;
    const char* begin = member.memberName(&end);
    std::string_view key(begin, end - begin);
    const char* name = writtenName(key);
    members.push_back({name ? std::string_view(name) : key, &*member});
  }
  // In byte order of the written names. Of members that share a name, the
  // one walked later wins: "lcsurl" comes after "lcs_url".
  std::stable_sort(members.begin(), members.end(), byName);
  size_t kept = 0;
  for (size_t i = 0; i < members.size(); ++i) {
    if (i + 1 < members.size() && members[i + 1].name == members[i].name)
      continue;
    members[kept++] = members[i];
  }
  members.resize(kept);
  return styledMembers(members);
}

void SettingsDocument::writeConfigurationFile(const std::string& appdir) {
  for (const char* key : readmeOnlyKeys)
    removeSetting(key);
  std::string str = composeConfigurationText(root);
  std::string path = appdir + configurationFileName;
  logEntry("\nOpen cgf file: %s\n", path.c_str());
  logEntry("write:\n%s\n", str.c_str());

  str += '\n';
  writeOutputOrFinish(
      path, str,
      {4, formatText("Failed to open output file: %s\n", path.c_str()),
       formatText("Failed to write output file: %s\n", path.c_str())});
  storeMessage("Successfully updated : %s\n", path.c_str());
}
