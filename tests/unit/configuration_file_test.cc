// The configuration file: written names, the text in its order, and writing
// it into the tool's folder with its log entries and messages.
#include "configuration_file.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <string>

#include "expected_outputs.h"
#include "run_log.h"
#include "settings_document.h"
#include "test_support.h"
#include "text_mode.h"

namespace {

namespace fs = std::filesystem;

TEST(ComposeConfigurationText, OrdersByWrittenNames) {
  struct Case {
    std::string root;
    std::string text;
  } cases[] = {
      {"{\"updateurl\":\"u\", \"startupurl\":\"su\", \"schoolname\":\"sn\","
       " \"schoolid\":\"s\", \"loadsimulationenable\":\"false\","
       " \"lcsurl\":\"l\", \"httpsproxy\":\"p\", \"districtname\":\"dn\","
       " \"districtid\":\"d\", \"contentcacheenable\":\"true\","
       " \"contentcache\":\"cc\", \"baseurl\":\"b\","
       " \"autoupdateflag\":\"true\", \"adminname\":\"an\", \"adminid\":\"a\"}",
       "{\n"
       "   \"AdminID\" : \"a\",\n"
       "   \"AdminName\" : \"an\",\n"
       "   \"AutoUpdateFlag\" : \"true\",\n"
       "   \"BaseURL\" : \"b\",\n"
       "   \"ContentCache\" : \"cc\",\n"
       "   \"ContentCacheEnable\" : \"true\",\n"
       "   \"DistrictID\" : \"d\",\n"
       "   \"DistrictName\" : \"dn\",\n"
       "   \"HTTPSProxy\" : \"p\",\n"
       "   \"LCSURL\" : \"l\",\n"
       "   \"LoadSimulationEnable\" : \"false\",\n"
       "   \"SchoolID\" : \"s\",\n"
       "   \"SchoolName\" : \"sn\",\n"
       "   \"StartupURL\" : \"su\",\n"
       "   \"UpdateURL\" : \"u\"\n"
       "}\n"},
      // Kept keys: a digit first sorts before every written name, a letter
      // or an underscore after them all.
      {"{\"zeta\":\"z\", \"foo\":true, \"_x\":\"y\", \"updateurl\":\"u\","
       " \"adminid\":\"1\", \"9lives\":\"n\"}",
       "{\n"
       "   \"9lives\" : \"n\",\n"
       "   \"AdminID\" : \"1\",\n"
       "   \"UpdateURL\" : \"u\",\n"
       "   \"_x\" : \"y\",\n"
       "   \"foo\" : true,\n"
       "   \"zeta\" : \"z\"\n"
       "}\n"},
      {"{\"lcs_url\":\"a\", \"lcsurl\":\"b\"}",
       "{\n   \"LCSURL\" : \"b\"\n}\n"},
      {"{\"lcsurl\":\"b\", \"lcs_url\":\"a\"}",
       "{\n   \"LCSURL\" : \"b\"\n}\n"},
      {"{\"lcs_url\":\"a\"}", "{\n   \"LCSURL\" : \"a\"\n}\n"},
      // Only the exact bytes of a key in the table are renamed.
      {"{\"AdminID\":\"1\", \"enablelcs\":\"true\", \"productname\":\"p\","
       " \"lcs-url\":\"l\", \"\":\"e\"}",
       "{\n"
       "   \"\" : \"e\",\n"
       "   \"AdminID\" : \"1\",\n"
       "   \"enablelcs\" : \"true\",\n"
       "   \"lcs-url\" : \"l\",\n"
       "   \"productname\" : \"p\"\n"
       "}\n"},
      {"{\"keep\":\"true\", \"flag\":false}",
       "{\n   \"flag\" : false,\n   \"keep\" : \"true\"\n}\n"},
      {"{\"baseurl\":\"https://x/\\\"q\\\"\\t\\u001f\\u007f\\u00e9\"}",
       "{\n   \"BaseURL\" : "
       "\"https://x/\\\"q\\\"\\t\\u001F\x7F\xC3\xA9\"\n}\n"},
      {"null", "null\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.text, composeConfigurationText(parsed(c.root))) << c.root;
}

class WriteConfigurationFile : public ::testing::Test {
 protected:
  void SetUp() override {
    document.loadSettings("QORConfiguration.json", kConfiguration,
                          Json::Features());
    path = folder + "QORConfiguration.json";
  }

  // Every README-only key, spelt as an input may spell it, and two others.
  static constexpr const char* kConfiguration =
      "{\"BuildDate\":\"b\", \"clientversion\":\"c\", \"Date\":\"d\","
      " \"EnableLCS\":\"true\", \"phonenumber\":\"p\","
      " \"ProductName\":\"n\", \"productversion\":\"v\","
      " \"State_Branding\":\"s\", \"supportemail\":\"e\", \"TIME\":\"t\","
      " \"SchoolID\":\"7\", \"Foo\":true}";
  static constexpr const char* kText =
      "{\n   \"SchoolID\" : \"7\",\n   \"foo\" : true\n}\n";

  std::string logEntries() const {
    return "\nOpen cgf file: " + path + "\nwrite:\n" + kText + "\n";
  }

  RunEndCatcher catcher;
  SettingsDocument document;
  std::string folder = scratchFolder();
  std::string path;
};

TEST_F(WriteConfigurationFile, LeavesOutReadmeOnlyKeysAndStoresSuccess) {
  writeFile(path, "an older configuration, longer than the new one\n");
  LogCapture log;
  EXPECT_EQ(-1, exitCodeOf([&] { document.writeConfigurationFile(folder); }));

  EXPECT_EQ(textModeBytes(std::string(kText) + "\n"), readFile(path));
  EXPECT_EQ(parsed("{\"schoolid\":\"7\", \"foo\":true}"), document.getRoot());
  EXPECT_EQ(logEntries(), log.text());
  EXPECT_EQ("Successfully updated : " + path + "\n", lastMessage);
}

}  // namespace
