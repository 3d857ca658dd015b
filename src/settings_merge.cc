// The two operations that carry parameters into the configuration document.
#include "run_log.h"
#include "settings_document.h"

void SettingsDocument::addMissingParameters(const Json::Value& parameters) {
  for (auto member = parameters.begin(); member != parameters.end(); ++member) {
    std::string key = member.name();
    // One lookup by the whole key, bytes compared exactly, as a walk would:
    // a member that the tree holds is never null, so a null one is new.
    Json::Value& slot = root[key];
    if (!slot.isNull())
      continue;
    std::string value = member->asString();
    logEntry("Adding root[%s]: %s\n", key.c_str(), value.c_str());
    slot = Json::Value(value);
  }
}

void SettingsDocument::mergeSetting(const std::string& key,
                                    const std::string& value) {
  if (!value.empty()) {
    setSetting(key, value);
    return;
  }
  // Any captured text is a value, "?" too; only a key that is not captured
  // reads "?" without holding it.
  std::string rvalue = capturesKey(key) ? getSetting(key) : std::string();
  if (!rvalue.empty())
    setSetting(key, rvalue);
  else
    removeSetting(key);
}
