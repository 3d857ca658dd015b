// Loading a settings text: lower-cased keys in the tree, the captured
// settings, the input entry in the log, and the end of a run on a bad text.
#include "settings_document.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "run_log.h"
#include "test_support.h"

namespace {

void load(SettingsDocument* document, const std::string& text,
          const std::string& name = "QORConfiguration.json") {
  document->loadSettings(name, text, Json::Features());
}

TEST(ToLowerCopy, LowersOnlyAsciiCapitals) {
  struct Case {
    std::string text;
    std::string lowered;
  } cases[] = {
      {"Mixed_Case-42", "mixed_case-42"},
      {"AZ@[`{az", "az@[`{az"},
      {"\xC3\x89\xC0\xDE\xFF", "\xC3\x89\xC0\xDE\xFF"},  // 0x80 and up stay
      {std::string("A\0B", 3), std::string("a\0b", 3)},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.lowered, toLowerCopy(c.text)) << c.text;
}

TEST(LoadSettings, CapturesEveryTextSettingWhateverTheCaseOfItsName) {
  RunEndCatcher catcher;
  SettingsDocument document;
  load(&document,
       "{\"AdminID\":\"a1\", \"ADMINNAME\":\"Ann Admin\", \"BaseURL\":\"b\","
       " \"ContentCache\":\"cc\", \"DistrictID\":\"d1\","
       " \"DistrictName\":\"North\", \"HTTPSProxy\":\"p\", \"LCSURL\":\"l\","
       " \"SchoolID\":\"s1\", \"schoolname\":\"Elm\", \"StartupURL\":\"su\","
       " \"UpdateURL\":\"u\"}");
  struct Case {
    const char* key;
    const char* value;
  } cases[] = {
      {"adminid", "a1"},     {"adminname", "Ann Admin"},
      {"baseurl", "b"},      {"contentcache", "cc"},
      {"districtid", "d1"},  {"districtname", "North"},
      {"httpsproxy", "p"},   {"lcsurl", "l"},
      {"schoolid", "s1"},    {"schoolname", "Elm"},
      {"startupurl", "su"},  {"updateurl", "u"},
      {"enablelcs", "true"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.value, document.getSetting(c.key)) << c.key;
}

TEST(LoadSettings, GetSettingReadsWhatTheTextSaid) {
  RunEndCatcher catcher;
  struct Case {
    std::string text;
    std::string key;
    std::string setting;
  } cases[] = {
      {"", "baseurl", ""},
      {"", "autoupdateflag", "false"},
      {"{}", "enablelcs", "false"},
      {"{\"SchoolID\":\"7\"}", "schoolid", "7"},
      {"{\"SchoolID\":\"7\"}", "SchoolID", "?"},  // getSetting is exact
      {"{\"Foo\":\"x\"}", "foo", "?"},
      {"{\"baseurl\":\"\"}", "baseurl", ""},
      {"{\"baseurl\":null}", "baseurl", ""},
      {"{\"baseurl\":true}", "baseurl", "true"},
      {"{\"schoolid\":7}", "schoolid", "7"},
      {"{\"AutoUpdateFlag\":\"TRUE\"}", "autoupdateflag", "true"},
      {"{\"autoupdateflag\":false}", "autoupdateflag", "false"},
      {"{\"autoupdateflag\":\"yes\"}", "autoupdateflag", "false"},
      {"{\"autoupdateflag\":\" true\"}", "autoupdateflag", "false"},
      {"{\"ContentCacheEnable\":true}", "contentcacheenable", "true"},
      {"{\"contentcacheenable\":\"1\"}", "contentcacheenable", "false"},
      {"{\"LoadSimulationEnable\":\"TrUe\"}", "loadsimulationenable", "true"},
      {"{\"LCS_URL\":\"https://l\"}", "lcsurl", "https://l"},
      {"{\"LCS_URL\":\"https://l\"}", "enablelcs", "true"},
      {"{\"lcsurl\":\"\"}", "enablelcs", "false"},
      {"{\"enablelcs\":\"true\"}", "enablelcs", "false"},  // never captured
      {"{\"enablelcs\":true}", "enablelcs", "false"},
      {"{\"lcs_url\":\"x\", \"lcsurl\":\"y\"}", "lcsurl", "y"},
      {"{\"lcsurl\":\"y\", \"LCS_URL\":\"x\"}", "lcsurl", "y"},
      {"{\"LCSURL\":\"y\", \"lcs_url\":\"x\"}", "lcsurl", "x"},  // byte order
      {"{\"BaseURL\":\"a\", \"baseurl\":\"b\"}", "baseurl", "b"},
      {"{\"baseurl\":\"b\", \"BaseURL\":\"a\"}", "baseurl", "b"},
      {"{\"BaseURL\":\"a\", \"baseurl\":\"\"}", "baseurl", "a"},
      {"{\"SchoolName\":\"Elm \\\"Kids\\\"\"}", "schoolname", "Elm \"Kids\""},
  };
  for (const Case& c : cases) {
    SettingsDocument document;
    load(&document, c.text);
    EXPECT_EQ(c.setting, document.getSetting(c.key)) << c.text;
  }
}

TEST(LoadSettings, AutoUpdateStateTellsTheThreeStatesApart) {
  RunEndCatcher catcher;
  struct Case {
    std::string text;
    int state;
  } cases[] = {
      {"", -1},
      {"{}", -1},
      {"{\"autoupdateflag\":\"\"}", -1},
      {"{\"autoupdateflag\":null}", -1},
      {"{\"autoupdateflag\":false}", 0},
      {"{\"autoupdateflag\":\"no\"}", 0},
      {"{\"autoupdateflag\":true}", 1},
      {"{\"AUTOUPDATEFLAG\":\"True\"}", 1},
  };
  for (const Case& c : cases) {
    SettingsDocument document;
    load(&document, c.text);
    EXPECT_EQ(c.state, document.autoUpdateState()) << c.text;
  }
}

TEST(LoadSettings, RootHoldsNonEmptyStringsAndBooleansUnderLowerCaseKeys) {
  RunEndCatcher catcher;
  struct Case {
    std::string text;
    std::string root;  // as JSON; null for no member
  } cases[] = {
      {"", "null"},
      {"{}", "null"},
      {"null", "null"},
      {"\"text\"", "null"},
      {"true", "null"},
      {"7", "null"},
      {"[]", "null"},
      {"{\"baseurl\":\"\", \"x\":null}", "null"},
      {"{\"SchoolID\":\"7\"}", "{\"schoolid\":\"7\"}"},
      {"{\"AutoUpdateFlag\":\"TRUE\"}", "{\"autoupdateflag\":\"TRUE\"}"},
      {"{\"autoupdateflag\":false}", "{\"autoupdateflag\":false}"},
      {"{\"LCS_URL\":\"u\"}", "{\"lcs_url\":\"u\"}"},
      {"{\"EnableLCS\":\"true\"}", "{\"enablelcs\":\"true\"}"},
      {"{\"Foo\":\"x\", \"Mixed_Case-42\":true}",
       "{\"foo\":\"x\", \"mixed_case-42\":true}"},
      {"{\"BaseURL\":\"a\", \"baseurl\":\"b\"}", "{\"baseurl\":\"b\"}"},
      {"{\"BaseURL\":\"a\", \"baseurl\":\"\"}", "{\"baseurl\":\"a\"}"},
      {"{\"lcs_url\":\"x\", \"lcsurl\":\"y\"}",
       "{\"lcs_url\":\"x\", \"lcsurl\":\"y\"}"},
      {"{\"n\":1.50, \"m\":-0}", "{\"n\":\"1.50\", \"m\":\"-0\"}"},
  };
  for (const Case& c : cases) {
    SettingsDocument document;
    load(&document, c.text);
    EXPECT_EQ(parsed(c.root), document.getRoot()) << c.text;
  }
}

TEST(LoadSettings, NoCommentReachesTheRoot) {
  RunEndCatcher catcher;
  const std::string text =
      "// before\n{\n  // line\n  \"a\" : \"1\", // same line\n"
      "  /* block */ \"B\" : true /* after */\n}\n";
  Json::Value raw;
  Json::Reader reader;
  ASSERT_TRUE(reader.parse(text, raw, true));
  // The parser does keep them.
  ASSERT_TRUE(raw["a"].hasComment(Json::commentBefore));

  SettingsDocument document;
  load(&document, text);
  Json::Value& root = document.getRoot();
  ASSERT_EQ(parsed("{\"a\":\"1\", \"b\":true}"), root);
  for (const Json::Value* value : {&root, &root["a"], &root["b"]}) {
    for (Json::CommentPlacement placement :
         {Json::commentBefore, Json::commentAfterOnSameLine,
          Json::commentAfter})
      EXPECT_FALSE(value->hasComment(placement));
  }
}

TEST(LoadSettings, LogsTheInputByteForByte) {
  RunEndCatcher catcher;
  struct Case {
    std::string name;
    std::string text;
    std::string entry;
  } cases[] = {
      {"QORConfiguration.json", "", "QORConfiguration.json Input: (null)\n\n"},
      {"QORConfiguration.json", "{\r\n  \"a\" : \"1\"\r\n}\r\n",
       "QORConfiguration.json Input:\n{\r\n  \"a\" : \"1\"\r\n}\r\n\n\n"},
      {"parameters", "{\"a\":\"100%s %n\"}",
       "parameters Input:\n{\"a\":\"100%s %n\"}\n\n"},
      {"parameters", "7", "parameters Input:\n7\n\n"},
  };
  for (const Case& c : cases) {
    LogCapture log;
    SettingsDocument document;
    load(&document, c.text, c.name);
    EXPECT_EQ(c.entry, log.text()) << c.text;
  }
}

TEST(LoadSettings, TextThatDoesNotParseEndsTheRunWithTwo) {
  struct Case {
    std::string name;
    std::string text;
    std::string report;
  } cases[] = {
      {"QORConfiguration.json", "   ",
       "* Line 1, Column 4\n"
       "  Syntax error: value, object or array expected.\n"},
      {"parameters", "{\"baseurl\":}",
       "* Line 1, Column 12\n"
       "  Syntax error: value, object or array expected.\n"},
      {"parameters", "{--json-checker {\"a\":\"b\"}",
       "* Line 1, Column 2\n  Missing '}' or object member name\n"},
      // Refused after a successful parse: nothing may reach the document.
      {"QORConfiguration.json", "{\"baseurl\":\"x\", \"list\":[1]}",
       "* Line 1, Column 24\n  Value of \"list\" is an array; only strings, "
       "numbers, booleans and null are allowed.\n"},
  };
  for (const Case& c : cases) {
    RunEndCatcher catcher;
    LogCapture log;
    SettingsDocument document;
    int exitCode = exitCodeOf([&] { load(&document, c.text, c.name); });
    std::string message =
        "Failed to parse " + c.name + " file: \n" + c.report + "\n";
    EXPECT_EQ(2, exitCode) << c.text;
    EXPECT_EQ(message, lastMessage);
    EXPECT_EQ(c.name + " Input:\n" + c.text + "\n\n" + "\n" + message + "\n",
              log.text());
    EXPECT_TRUE(document.getRoot().isNull());
    EXPECT_EQ("", document.getSetting("baseurl"));
  }
}

TEST(SetAndRemoveSetting, ChangeTheRootButNotTheCapturedSettings) {
  RunEndCatcher catcher;
  SettingsDocument document;
  load(&document, "{\"SchoolID\":\"7\", \"AutoUpdateFlag\":true, \"x\":\"1\"}");

  document.setSetting("schoolid", "8");
  document.setSetting("autoupdateflag", "false");  // a boolean becomes text
  document.setSetting("Added", "v");               // the key as passed
  document.removeSetting("x");
  document.removeSetting("absent");
  EXPECT_EQ(parsed("{\"schoolid\":\"8\", \"autoupdateflag\":\"false\","
                   " \"Added\":\"v\"}"),
            document.getRoot());
  EXPECT_EQ("7", document.getSetting("schoolid"));
  EXPECT_EQ("true", document.getSetting("autoupdateflag"));
  EXPECT_EQ(1, document.autoUpdateState());

  document.removeSetting("schoolid");
  EXPECT_FALSE(document.getRoot().isMember("schoolid"));
  EXPECT_EQ("7", document.getSetting("schoolid"));
}

TEST(SetAndRemoveSetting, WorkOnANullRoot) {
  SettingsDocument document;
  document.removeSetting("baseurl");
  EXPECT_TRUE(document.getRoot().isNull());
  document.setSetting("baseurl", "b");
  EXPECT_EQ(parsed("{\"baseurl\":\"b\"}"), document.getRoot());
  EXPECT_EQ("", document.getSetting("baseurl"));
}

}  // namespace
