#include "settings_document.h"

#include <vector>

#include "run_log.h"
#include "settings_reader.h"

namespace {

// Every file and log entry ends a text at its first NUL byte. The document
// holds texts so cut as well: two names that differ only after a NUL are one
// key, as they are in every file written, and a value that is empty up to
// its NUL counts as not given.
void cutAtNul(std::string* text) {
  size_t nul = text->find('\0');
  if (nul != std::string::npos)
    text->resize(nul);
}

}  // namespace

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

void SettingsDocument::loadSettings(
    const std::string& name, const std::string& text,
    const Json::Features& features,
    const std::function<void()>& beforeRefusal) {
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
    if (beforeRefusal)
      beforeRefusal();
    finish(2, true);
    return;
  }
  takeMembers(raw, text);
}

// Makes the parsed members the document's: each key lower-cased, each value
// as text (a boolean stays one) and a fresh value, so that no comment
// collected by the parser comes along; members whose text is empty are left
// out. Of members that come to share a key, the one whose name is later in
// byte order wins, as it would in a walk that stores them one by one. The
// members are changed where they stand, so that a large text is not copied
// member by member into a second tree.
void SettingsDocument::takeMembers(Json::Value& raw, const std::string& text) {
  if (!raw.isObject())
    return;
  struct Renamed {
    std::string name;
    std::string key;
    Json::Value value;
    bool shadowed;
  };
  std::vector<std::string> dropped;
  std::vector<Renamed> renamed;
  for (auto member = raw.begin(); member != raw.end(); ++member) {
    std::string value = memberText(*member, text);
    cutAtNul(&value);
    std::string name = member.name();
    if (value.empty()) {
      dropped.push_back(name);
      continue;
    }
    std::string key = name;
    cutAtNul(&key);
    key = toLowerCopy(key);
    Json::Value fresh =
        member->isBool() ? Json::Value(member->asBool()) : Json::Value(value);
    capture(key, value);
    if (key == name) {
      *member = fresh;
    } else {
      dropped.push_back(name);
      renamed.push_back({name, key, fresh, false});
    }
  }
  for (const std::string& name : dropped)  // names may hold a NUL byte
    raw.removeMember(name.data(), name.data() + name.size(), nullptr);
  // A member already under its own key beats a renamed one before it.
  for (Renamed& member : renamed)
    member.shadowed = raw.isMember(member.key) && member.key > member.name;
  for (Renamed& member : renamed) {
    if (!member.shadowed)
      raw[member.key] = member.value;
  }

  // The members only: comments around the whole text stay with `raw`.
  if (!raw.empty())
    root.swapPayload(raw);
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

bool SettingsDocument::capturesKey(const std::string& key) {
  for (const CapturedText& text : capturedTexts) {
    if (key == text.key)
      return true;
  }
  for (const CapturedSwitch& setting : capturedSwitches) {
    if (key == setting.key)
      return true;
  }
  return false;
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
