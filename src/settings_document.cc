#include "settings_document.h"

#include "run_log.h"
#include "settings_reader.h"

const SettingsDocument::CapturedText SettingsDocument::capturedTexts[] = {
    {"adminid", &SettingsDocument::adminid},
    {"adminname", &SettingsDocument::adminname},
    {"baseurl", &SettingsDocument::baseurl},
    {"contentcache", &SettingsDocument::contentcache},
    {"districtid", &SettingsDocument::districtid},
    {"districtname", &SettingsDocument::districtname},
    {"httpsproxy", &SettingsDocument::httpsproxy},
    {"lcsurl", &SettingsDocument::lcsurl},
    {"schoolid", &SettingsDocument::schoolid},
    {"schoolname", &SettingsDocument::schoolname},
    {"startupurl", &SettingsDocument::startupurl},
    {"updateurl", &SettingsDocument::updateurl},
};

// "enablelcs" is read here but never loaded from a key of its own.
const SettingsDocument::CapturedSwitch SettingsDocument::capturedSwitches[] = {
    {"autoupdateflag", &SettingsDocument::autoupdateflag},
    {"contentcacheenable", &SettingsDocument::contentcacheenable},
    {"enablelcs", &SettingsDocument::enablelcs},
    {"loadsimulationenable", &SettingsDocument::loadsimulationenable},
};

std::string toLowerCopy(const std::string& text) {
  std::string result = text;
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

SettingsDocument::SettingsDocument()
    : root(Json::nullValue),
      autoupdateflag(-1),
      contentcacheenable(-1),
      enablelcs(-1),
      loadsimulationenable(-1) {}

void SettingsDocument::loadSettings(const std::string& name,
                                    const std::string& text,
                                    const Json::Features& features) {
  if (text.empty()) {
    logEntry("%s Input: (null)\n\n", name.c_str());
    return;
  }
  logEntry("%s Input:\n%s\n\n", name.c_str(), text.c_str());

  Json::Value raw;
  std::string report;
  if (!readSettingsText(text, features, &raw, &report)) {
    storeMessage("Failed to parse %s file: \n%s\n", name.c_str(),
                 report.c_str());
    finish(2, true);
    return;
  }
  for (auto member = raw.begin(); member != raw.end(); ++member) {
    std::string value = memberText(*member, text);
    if (value.empty())
      continue;
    std::string key = toLowerCopy(member.name());
    // A fresh value, so that no comment collected by the parser comes along.
    root[key] = member->isBool() ? Json::Value(member->asBool())
                                 : Json::Value(value);
    capture(key, value);
  }
}

void SettingsDocument::capture(const std::string& key,
                               const std::string& value) {
  if (key == "lcs_url" || key == "lcsurl") {
    lcsurl = value;
    enablelcs = 1;
    return;
  }
  for (const CapturedText& text : capturedTexts) {
    if (key == text.key) {
      this->*text.member = value;
      return;
    }
  }
  for (const CapturedSwitch& setting : capturedSwitches) {
    if (key == setting.key && key != "enablelcs") {
      this->*setting.member = toLowerCopy(value) == "true" ? 1 : 0;
      return;
    }
  }
}

std::string SettingsDocument::getSetting(const std::string& key) const {
  for (const CapturedText& text : capturedTexts) {
    if (key == text.key)
      return this->*text.member;
  }
  for (const CapturedSwitch& setting : capturedSwitches) {
    if (key == setting.key)
      return this->*setting.member == 1 ? "true" : "false";
  }
  return "?";
}

int SettingsDocument::autoUpdateState() const { return autoupdateflag; }

void SettingsDocument::setSetting(const std::string& key,
                                  const std::string& value) {
  root[key] = Json::Value(value);
}

void SettingsDocument::removeSetting(const std::string& key) {
  if (root.isObject())
    root.removeMember(key);
}

Json::Value& SettingsDocument::getRoot() { return root; }
