// One JSON document of settings being merged: its tree with lower-cased keys,
// and the known settings captured when it was loaded.
#ifndef FIELDPREP_SETTINGS_DOCUMENT_H_
#define FIELDPREP_SETTINGS_DOCUMENT_H_

#include <json/json.h>

#include <functional>
#include <string>
#include <string_view>

// A copy in which only the ASCII capitals A to Z are lowered.
std::string toLowerCopy(const std::string& text);

class SettingsDocument {
 public:
  SettingsDocument();
  SettingsDocument(const SettingsDocument&) = delete;
  SettingsDocument& operator=(const SettingsDocument&) = delete;

  // Logs the text under `name`, parses it and fills the tree and the captured
  // settings; a text that cannot be taken ends the run with exit code 2,
  // after calling `beforeRefusal` when one is given. Each document is loaded
  // once, while it is still empty.
  void loadSettings(const std::string& name, const std::string& text,
                    const Json::Features& features,
                    const std::function<void()>& beforeRefusal = nullptr);

  // The captured setting as text: tri-states read "true" only when true;
  // "?" for a key that is not captured.
  std::string getSetting(const std::string& key) const;
  // True for the keys whose settings are captured on loading.
  static bool capturesKey(const std::string& key);
  // -1 not given, 0 false, 1 true.
  int autoUpdateState() const;

  void setSetting(const std::string& key, const std::string& value);
  void removeSetting(const std::string& key);
  Json::Value& getRoot();

  // Adds, as text, every parameter whose key the tree lacks, logging each.
  void addMissingParameters(const Json::Value& parameters);
  // `value` when not empty, else the captured value, else no member at all.
  void mergeSetting(const std::string& key, const std::string& value);

  // The three outputs, written into `appdir`; each ends the run on failure.
  void writeReadme(const std::string& appdir);
  void writeSilentInstallBatch(const std::string& appdir);
  void writeConfigurationFile(const std::string& appdir);

 private:
  void capture(const std::string& key, const std::string& value);
  void takeMembers(Json::Value& raw, const std::string& text);

  Json::Value root;
  std::string adminid;
  std::string adminname;
  int autoupdateflag;
  std::string baseurl;
  std::string contentcache;
  int contentcacheenable;
  std::string districtid;
  std::string districtname;
  int enablelcs;
  std::string httpsproxy;
  std::string lcsurl;
  int loadsimulationenable;
  std::string schoolid;
  std::string schoolname;
  std::string startupurl;
  std::string updateurl;

  struct CapturedText {
    std::string_view key;
    std::string SettingsDocument::*member;
  };
  struct CapturedSwitch {
    std::string_view key;
    int SettingsDocument::*member;
  };
  static const CapturedText capturedTexts[];
  static const CapturedSwitch capturedSwitches[];
};

#endif  // FIELDPREP_SETTINGS_DOCUMENT_H_
