// addMissingParameters and mergeSetting: what reaches the tree, what the log
// shows, and that the captured settings stay as loaded.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <utility>
#include <vector>

#include "settings_document.h"
#include "styled_text.h"
#include "test_support.h"

namespace {

class SettingsMergeTest : public testing::Test {
 protected:
  void load(SettingsDocument& document, const std::string& text) {
    document.loadSettings("QORConfiguration.json", text, Json::Features());
  }

  RunEndCatcher catcher;
};

TEST_F(SettingsMergeTest, AddsEveryParameterAsTextInByteOrderAndLogsEach) {
  LogCapture log;
  SettingsDocument cfgFile;
  Json::Value parameters =
      objectOf({{"b", "x"}, {"a", true}, {"B", "y"}, {"c", false}});
  cfgFile.addMissingParameters(parameters);

  EXPECT_EQ(objectOf({{"B", "y"}, {"a", "true"}, {"b", "x"}, {"c", "false"}}),
            cfgFile.getRoot());
  EXPECT_EQ(
      "Adding root[B]: y\n"
      "Adding root[a]: true\n"
      "Adding root[b]: x\n"
      "Adding root[c]: false\n",
      log.text());
}

TEST_F(SettingsMergeTest, KeyAlreadyPresentKeepsItsValueAndTypeUnlogged) {
  LogCapture log;
  SettingsDocument cfgFile;
  load(cfgFile, R"({"SchoolID":"7","foo":true})");
  std::string loaded = log.text();
  cfgFile.addMissingParameters(objectOf({{"schoolid", "5"}, {"foo", "x"}}));

  EXPECT_EQ(objectOf({{"foo", true}, {"schoolid", "7"}}), cfgFile.getRoot());
  EXPECT_TRUE(cfgFile.getRoot()["foo"].isBool());
  EXPECT_EQ(loaded, log.text());
}

// The presence test is an exact comparison of whole keys: no prefix, no
// folding of case, no trimming.
TEST_F(SettingsMergeTest, PresenceComparesWholeKeysExactly) {
  SettingsDocument cfgFile;
  load(cfgFile, R"({"school":"c","schoolid":"c"})");
  cfgFile.addMissingParameters(objectOf({{"schoo", "p"},
                                         {"schoolidx", "p"},
                                         {"SchoolID", "p"},
                                         {"schoolid ", "p"},
                                         {"school", "p"}}));

  EXPECT_EQ(objectOf({{"SchoolID", "p"},
                      {"schoo", "p"},
                      {"school", "c"},
                      {"schoolid", "c"},
                      {"schoolid ", "p"},
                      {"schoolidx", "p"}}),
            cfgFile.getRoot());
}

TEST_F(SettingsMergeTest, ParametersWithoutMembersAddAndLogNothing) {
  LogCapture log;
  SettingsDocument cfgFile;
  cfgFile.addMissingParameters(Json::Value());
  cfgFile.addMissingParameters(Json::Value(Json::objectValue));

  EXPECT_TRUE(cfgFile.getRoot().isNull());
  EXPECT_EQ("", log.text());
}

// Half the parameters are present already. Looking each one up takes a
// fraction of a second here; a presence test that walked the tree once per
// parameter takes some 10^10 steps and fails on the test's time limit.
TEST_F(SettingsMergeTest, MergesLargeDocuments) {
  const int count = 100000;
  SettingsDocument cfgFile;
  Json::Value parameters(Json::objectValue);
  for (int i = 0; i < count; ++i) {
    cfgFile.setSetting("key" + std::to_string(2 * i), "c");
    parameters["key" + std::to_string(i)] = "p";
  }
  cfgFile.addMissingParameters(parameters);

  const Json::Value& root = cfgFile.getRoot();
  EXPECT_EQ(static_cast<Json::ArrayIndex>(count + count / 2), root.size());
  EXPECT_EQ("c", root["key0"].asString());
  EXPECT_EQ("p", root["key1"].asString());
  EXPECT_EQ("c", root["key99998"].asString());
  EXPECT_EQ("p", root["key99999"].asString());
  EXPECT_EQ("c", root["key199998"].asString());
}

struct MergeSettingCase {
  const char* what;
  std::string configuration;  // loaded text; "" for none
  std::string key;
  std::string value;
  std::string merged;  // the tree afterwards, in the configuration's layout
};

TEST_F(SettingsMergeTest, MergeSettingPrefersValueThenCapturedElseRemoves) {
  const std::vector<MergeSettingCase> cases = {
      {"value replaces a boolean", R"({"schoolid":true})", "schoolid", "5",
       "{\n   \"schoolid\" : \"5\"\n}\n"},
      {"value beats the captured text", R"({"schoolid":"7"})", "schoolid", "5",
       "{\n   \"schoolid\" : \"5\"\n}\n"},
      {"value on a null tree", "", "schoolid", "5",
       "{\n   \"schoolid\" : \"5\"\n}\n"},
      {"captured text", R"({"SchoolID":"7"})", "schoolid", "",
       "{\n   \"schoolid\" : \"7\"\n}\n"},
      {"captured boolean as text", R"({"baseurl":true})", "baseurl", "",
       "{\n   \"baseurl\" : \"true\"\n}\n"},
      {"captured switch lowered", R"({"contentcacheenable":"TRUE"})",
       "contentcacheenable", "",
       "{\n   \"contentcacheenable\" : \"true\"\n}\n"},
      {"switch not given reads false", R"({"x":"1"})", "loadsimulationenable",
       "",
       "{\n   \"loadsimulationenable\" : \"false\",\n   \"x\" : \"1\"\n}\n"},
      {"nothing captured removes", R"({"other":"x"})", "schoolid", "",
       "{\n   \"other\" : \"x\"\n}\n"},
      {"nothing captured on a null tree", "", "schoolid", "", "null\n"},
      {"captured \"?\" is a value", R"({"schoolid":"?","x":"1"})", "schoolid",
       "", "{\n   \"schoolid\" : \"?\",\n   \"x\" : \"1\"\n}\n"},
      {"key outside the captured ones removes", R"({"foo":"x","y":"1"})", "foo",
       "", "{\n   \"y\" : \"1\"\n}\n"},
  };
  for (const MergeSettingCase& c : cases) {
    SCOPED_TRACE(c.what);
    SettingsDocument cfgFile;
    load(cfgFile, c.configuration);
    cfgFile.mergeSetting(c.key, c.value);
    EXPECT_EQ(c.merged, styledText(cfgFile.getRoot()));
  }
}

// The captured value is the loaded one, not what the tree holds meanwhile.
TEST_F(SettingsMergeTest, MergeSettingFallsBackToTheLoadedValueNotTheTree) {
  SettingsDocument cfgFile;
  load(cfgFile, R"({"schoolid":"7"})");
  cfgFile.setSetting("schoolid", "9");
  cfgFile.setSetting("baseurl", "added");
  cfgFile.mergeSetting("schoolid", "");
  cfgFile.mergeSetting("baseurl", "");
  EXPECT_EQ("{\n   \"schoolid\" : \"7\"\n}\n", styledText(cfgFile.getRoot()));
}

TEST_F(SettingsMergeTest, CapturedSettingsStayAsLoaded) {
  SettingsDocument cfgFile;
  load(cfgFile, R"({"SchoolID":"7","AutoUpdateFlag":false,"lcs_url":"l",)"
                R"("contentcacheenable":"TRUE"})");
  const std::vector<std::string> loaded = capturedSettings(cfgFile);

  SettingsDocument params;
  params.loadSettings(
      "parameters",
      R"({"baseurl":"b","schoolid":"5","autoupdateflag":"true",)"
      R"("lcsurl":"p","loadsimulationenable":"true"})",
      Json::Features());
  cfgFile.addMissingParameters(params.getRoot());
  EXPECT_EQ(loaded, capturedSettings(cfgFile));

  cfgFile.mergeSetting("schoolid", "5");
  cfgFile.mergeSetting("contentcacheenable", "false");
  cfgFile.mergeSetting("adminid", "");
  EXPECT_EQ(loaded, capturedSettings(cfgFile));
}

}  // namespace
