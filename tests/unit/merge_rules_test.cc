// The rules of precedence: both documents loaded from small texts, the
// missing parameters added, the rules applied, and the whole merged tree
// compared. Each table holds the cases of one rule.
#include "merge_rules.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "settings_document.h"
#include "styled_text.h"
#include "test_support.h"

namespace {

struct MergeCase {
  const char* what;
  std::string configuration;  // the configuration file's text; "" for none
  std::string parameters;     // the command line's JSON text
  std::string merged;         // the whole tree afterwards, as JSON
};

// The three switches that every merged tree holds, when nothing turns them on.
const std::string switchesOff =
    R"("autoupdateflag":"false","contentcacheenable":"false",)"
    R"("loadsimulationenable":"false")";

void loadDocuments(SettingsDocument& cfgFile, SettingsDocument& params,
                   const std::string& configuration,
                   const std::string& parameters) {
  Json::Features features;
  cfgFile.loadSettings("QORConfiguration.json", configuration, features);
  params.loadSettings("parameters", parameters, features);
}

std::string mergedTree(const std::string& configuration,
                       const std::string& parameters) {
  SettingsDocument cfgFile;
  SettingsDocument params;
  loadDocuments(cfgFile, params, configuration, parameters);
  cfgFile.addMissingParameters(params.getRoot());
  applyMergeRules(cfgFile, params);
  return styledText(cfgFile.getRoot());
}

std::string styledJson(const std::string& json) {
  return styledText(parsed(json));
}

class MergeRulesTest : public testing::Test {
 protected:
  void expectMerged(const std::vector<MergeCase>& cases) {
    for (const MergeCase& c : cases) {
      SCOPED_TRACE(c.what);
      EXPECT_EQ(styledJson(c.merged), mergedTree(c.configuration, c.parameters))
          << "configuration: " << c.configuration
          << "\nparameters: " << c.parameters;
    }
  }

  RunEndCatcher catcher;
};

TEST_F(MergeRulesTest, LcsAddress) {
  expectMerged({
      {"parameters' address beats the configuration's", R"({"lcsurl":"r"})",
       R"({"lcsurl":"p"})", "{" + switchesOff + R"(,"lcsurl":"p"})"},
      {"parameters' address under lcs_url, none in the configuration", "",
       R"({"LCS_URL":"p"})",
       "{" + switchesOff + R"(,"lcs_url":"p","lcsurl":"p"})"},
      {"parameters' enablelcs false does not stop their address",
       R"({"lcsurl":"r"})", R"({"enablelcs":"false","lcsurl":"p"})",
       "{" + switchesOff + R"(,"enablelcs":"false","lcsurl":"p"})"},
      {"configuration's address under lcs_url gains lcsurl beside it",
       R"({"lcs_url":"r"})", "{}",
       "{" + switchesOff + R"(,"lcs_url":"r","lcsurl":"r"})"},
      {"configuration's boolean address written again as text",
       R"({"LcsUrl":true})", "{}", "{" + switchesOff + R"(,"lcsurl":"true"})"},
      {"an empty parameter does not clear the configuration's address",
       R"({"lcsurl":"r"})", R"({"lcsurl":"","lcs_url":null})",
       "{" + switchesOff + R"(,"lcsurl":"r"})"},
      {"both names in one text: lcsurl sorts last and supplies the address",
       R"({"lcsurl":"b","lcs_url":"a"})", "{}",
       "{" + switchesOff + R"(,"lcs_url":"a","lcsurl":"b"})"},
      {"enablelcs true without an address sets nothing", "",
       R"({"enablelcs":"true"})",
       "{" + switchesOff + R"(,"enablelcs":"true"})"},
      {"configuration's enablelcs without an address sets nothing",
       R"({"enablelcs":true})", R"({"lcsurl":""})",
       "{" + switchesOff + R"(,"enablelcs":true})"},
  });
}

// The rows hold only the three switches and the content-cache address, so
// the whole tree is those four members.
struct CacheCase {
  const char* what;
  std::string configuration;
  std::string parameters;
  const char* contentcache;  // null: absent
  const char* contentcacheenable;
  const char* loadsimulationenable;
};

std::string cacheTree(const CacheCase& c) {
  std::string tree = R"({"autoupdateflag":"false")";
  if (c.contentcache)
    tree += std::string(R"(,"contentcache":")") + c.contentcache + "\"";
  return tree + R"(,"contentcacheenable":")" + c.contentcacheenable +
         R"(","loadsimulationenable":")" + c.loadsimulationenable + "\"}";
}

void expectCacheCases(const std::vector<CacheCase>& cases) {
  for (const CacheCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(styledJson(cacheTree(c)),
              mergedTree(c.configuration, c.parameters))
        << "configuration: " << c.configuration
        << "\nparameters: " << c.parameters;
  }
}

TEST_F(MergeRulesTest, ContentCache) {
  expectCacheCases({
      {"by parameters, over the configuration's cache",
       R"({"contentcache":"r","contentcacheenable":"true"})",
       R"({"ContentCacheEnable":"TRUE","contentcache":"p"})", "p", "true",
       "false"},
      {"by parameters, their switch a boolean", "",
       R"({"contentcacheenable":true,"contentcache":"p"})", "p", "true",
       "false"},
      {"by configuration: parameters enable without an address",
       R"({"contentcache":"r","contentcacheenable":"true"})",
       R"({"contentcacheenable":"true"})", "r", "true", "false"},
      {"by configuration: parameters' false does not turn the cache off",
       R"({"contentcache":"r","contentcacheenable":"true"})",
       R"({"contentcacheenable":"false","contentcache":"p"})", "r", "true",
       "false"},
      {"by configuration, its switch a boolean, rewritten as text",
       R"({"contentcache":"r","contentcacheenable":true})", "{}", "r", "true",
       "false"},
      {"by configuration, its switch in capitals",
       R"({"ContentCache":"r","ContentCacheEnable":"TRUE"})", "{}", "r", "true",
       "false"},
      {"off: configuration's address without its switch",
       R"({"contentcache":"r","contentcacheenable":"false"})", "{}", nullptr,
       "false", "false"},
      {"off: configuration's switch without an address",
       R"({"contentcacheenable":"true"})", "{}", nullptr, "false", "false"},
      {"off: a switch that is not exactly true",
       R"({"contentcache":"r","contentcacheenable":"yes"})",
       R"({"contentcacheenable":" true","contentcache":"p"})", nullptr, "false",
       "false"},
      {"off: parameters' address alone is removed again", "",
       R"({"contentcache":"p"})", nullptr, "false", "false"},
  });
}

TEST_F(MergeRulesTest, LoadSimulation) {
  expectCacheCases({
      {"by parameters: their address, the cache still off",
       R"({"loadsimulationenable":"false"})",
       R"({"LoadSimulationEnable":"True","contentcache":"p"})", "p", "false",
       "true"},
      {"by parameters, the cache set by configuration: address unchanged",
       R"({"contentcache":"r","contentcacheenable":"true"})",
       R"({"loadsimulationenable":true,"contentcache":"p"})", "r", "true",
       "true"},
      {"by configuration: its address, the cache still off",
       R"({"contentcache":"r","loadsimulationenable":true})", "{}", "r",
       "false", "true"},
      {"by configuration, the cache set by parameters: address unchanged",
       R"({"contentcache":"r","loadsimulationenable":"TRUE"})",
       R"({"contentcacheenable":"true","contentcache":"p"})", "p", "true",
       "true"},
      {"by configuration: parameters switch on without an address",
       R"({"contentcache":"r","loadsimulationenable":"true"})",
       R"({"loadsimulationenable":"true"})", "r", "false", "true"},
      {"by configuration: parameters' false does not turn it off",
       R"({"contentcache":"r","loadsimulationenable":"true"})",
       R"({"loadsimulationenable":"false","contentcache":"p"})", "r", "false",
       "true"},
      {"off: parameters switch on without an address",
       R"({"contentcache":"r"})", R"({"loadsimulationenable":"true"})", nullptr,
       "false", "false"},
      {"off: configuration switches on without an address",
       R"({"loadsimulationenable":"true"})", R"({"contentcacheenable":"x"})",
       nullptr, "false", "false"},
      {"off, the cache on: address as the cache left it",
       R"({"contentcache":"r","contentcacheenable":"true",)"
       R"("loadsimulationenable":"no"})",
       "{}", "r", "true", "false"},
  });
}

// Every pairing of the cache's case with the load simulation's. The
// configuration's own switches say the opposite where the rule must
// overwrite them, so that no row holds by the added parameters alone.
TEST_F(MergeRulesTest, ContentCacheWithLoadSimulation) {
  expectCacheCases({
      {"parameters, parameters",
       R"({"contentcache":"r","contentcacheenable":"false",)"
       R"("loadsimulationenable":"false"})",
       R"({"contentcacheenable":"true","contentcache":"p",)"
       R"("loadsimulationenable":"true"})",
       "p", "true", "true"},
      {"parameters, configuration",
       R"({"contentcache":"r","loadsimulationenable":"true"})",
       R"({"contentcacheenable":"true","contentcache":"p"})", "p", "true",
       "true"},
      {"parameters, off", R"({"contentcache":"r"})",
       R"({"contentcacheenable":"true","contentcache":"p"})", "p", "true",
       "false"},
      {"configuration, parameters",
       R"({"contentcache":"r","contentcacheenable":"true"})",
       R"({"contentcache":"p","loadsimulationenable":"true"})", "r", "true",
       "true"},
      {"configuration, configuration",
       R"({"contentcache":"r","contentcacheenable":"true",)"
       R"("loadsimulationenable":"true"})",
       R"({"contentcacheenable":"false","loadsimulationenable":"false"})", "r",
       "true", "true"},
      {"configuration, off",
       R"({"contentcache":"r","contentcacheenable":"true"})",
       R"({"loadsimulationenable":"true"})", "r", "true", "false"},
      {"off, parameters", R"({"contentcacheenable":"false"})",
       R"({"contentcache":"p","loadsimulationenable":"true"})", "p", "false",
       "true"},
      {"off, configuration",
       R"({"contentcache":"r","loadsimulationenable":"true"})",
       R"({"contentcache":"p"})", "r", "false", "true"},
      {"off, off", R"({"contentcache":"r"})", R"({"contentcache":"p"})",
       nullptr, "false", "false"},
  });
}

TEST_F(MergeRulesTest, AutomaticUpdate) {
  const std::string others =
      R"(,"contentcacheenable":"false","loadsimulationenable":"false"})";
  const std::string on = R"({"autoupdateflag":"true")" + others;
  const std::string off = R"({"autoupdateflag":"false")" + others;
  expectMerged({
      {"configuration true in mixed case beats parameters' false",
       R"({"AutoUpdateFlag":"TrUe"})", R"({"autoupdateflag":"false"})", on},
      {"configuration's boolean true, written as text",
       R"({"autoupdateflag":true})", "{}", on},
      {"configuration false beats parameters' true",
       R"({"autoupdateflag":"false"})", R"({"autoupdateflag":"true"})", off},
      {"configuration's other text counts as false",
       R"({"autoupdateflag":"yes"})", R"({"autoupdateflag":true})", off},
      {"configuration's boolean false, written as text",
       R"({"autoupdateflag":false})", "{}", off},
      {"no configuration value: parameters' TRUE", "",
       R"({"AUTOUPDATEFLAG":"TRUE"})", on},
      {"an empty configuration value counts as none",
       R"({"autoupdateflag":""})", R"({"autoupdateflag":true})", on},
      {"no configuration value: parameters' other text", "",
       R"({"autoupdateflag":"yes"})", off},
      {"neither gives one", R"({})", "{}", off},
  });
}

// Each of the ten keys through the same cases, the value in the
// configuration and the parameters given as JSON, or absent.
struct PlainCase {
  const char* what;
  const char* configuration;  // null: the key is absent
  const char* parameters;     // null: the key is absent
  const char* merged;         // null: the key is absent
};

TEST_F(MergeRulesTest, PlainSettings) {
  const char* const plainKeys[] = {
      "adminid",    "adminname", "baseurl",    "districtid", "districtname",
      "httpsproxy", "schoolid",  "schoolname", "startupurl", "updateurl",
  };
  const std::vector<PlainCase> cases = {
      {"parameters' text beats the configuration's", R"("c")", R"("p")",
       R"("p")"},
      {"parameters' text beats a boolean", "true", R"("p")", R"("p")"},
      {"parameters' boolean as text", R"("c")", "false", R"("false")"},
      {"parameters alone", nullptr, R"("p")", R"("p")"},
      {"configuration's text written again", R"("c")", nullptr, R"("c")"},
      {"configuration's boolean becomes text", "true", nullptr, R"("true")"},
      {"an empty parameter does not clear", R"("c")", R"("")", R"("c")"},
      {"a null parameter does not clear", "false", "null", R"("false")"},
      {"neither gives it", nullptr, R"("")", nullptr},
  };
  auto member = [](const char* key, const char* value) {
    return value ? std::string("\"") + key + "\":" + value : std::string();
  };
  for (const char* key : plainKeys) {
    for (const PlainCase& c : cases) {
      SCOPED_TRACE(std::string(key) + ": " + c.what);
      std::string merged = "{" + switchesOff;
      if (c.merged)
        merged += "," + member(key, c.merged);
      EXPECT_EQ(styledJson(merged + "}"),
                mergedTree("{" + member(key, c.configuration) + "}",
                           "{" + member(key, c.parameters) + "}"));
    }
  }
}

TEST_F(MergeRulesTest, EndState) {
  expectMerged({
      {"no configuration, no parameters", "", "{}", "{" + switchesOff + "}"},
      {"no configuration, one plain parameter", "", R"({"schoolid":"5"})",
       "{" + switchesOff + R"(,"schoolid":"5"})"},
      {"keys no rule names: configuration's value keeps its type",
       R"({"foo":true,"EnableLCS":true,"productname":"c","lcs_url":false})",
       R"({"foo":"x","enablelcs":"false","productname":"p","date":false})",
       "{" + switchesOff +
           R"(,"date":"false","enablelcs":true,"foo":true,"lcs_url":false,)"
           R"("lcsurl":"false","productname":"c"})"},
      {"every rule at once",
       R"({"SchoolID":"7","SchoolName":"Old","lcs_url":"r",)"
       R"("ContentCache":"r","ContentCacheEnable":true,)"
       R"("AutoUpdateFlag":"false","BaseURL":"https://old","Extra":"e",)"
       R"("state_branding":"c"})",
       R"({"schoolid":"5","districtid":"9","lcsurl":"p",)"
       R"("contentcache":"p","loadsimulationenable":"true",)"
       R"("autoupdateflag":"true","baseurl":"","phonenumber":"1",)"
       R"("state_branding":"p"})",
       R"({"autoupdateflag":"false","baseurl":"https://old",)"
       R"("contentcache":"r","contentcacheenable":"true","districtid":"9",)"
       R"("extra":"e","lcs_url":"r","lcsurl":"p",)"
       R"("loadsimulationenable":"true","phonenumber":"1","schoolid":"5",)"
       R"("schoolname":"Old","state_branding":"c"})"},
  });
}

// The rules test what each text said when it was loaded; neither the
// parameters added to the configuration nor the rules' own writes change
// that.
TEST_F(MergeRulesTest, CapturedSettingsStayAsLoaded) {
  SettingsDocument cfgFile;
  SettingsDocument params;
  loadDocuments(cfgFile, params, R"({"SchoolID":"7","contentcache":"r"})",
                R"({"schoolid":"5","baseurl":"b","lcs_url":"l",)"
                R"("contentcacheenable":"true","contentcache":"p",)"
                R"("autoupdateflag":"TRUE","loadsimulationenable":true})");
  const std::vector<std::string> configuration = capturedSettings(cfgFile);
  const std::vector<std::string> parameters = capturedSettings(params);

  cfgFile.addMissingParameters(params.getRoot());
  applyMergeRules(cfgFile, params);

  EXPECT_EQ(configuration, capturedSettings(cfgFile));
  EXPECT_EQ(parameters, capturedSettings(params));
}

}  // namespace
