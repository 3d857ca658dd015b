// README.txt: its text byte for byte from the merged tree, and the writer's
// file and its failure.
#include "readme.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <utility>
#include <vector>

#include "expected_outputs.h"
#include "run_log.h"
#include "settings_document.h"
#include "test_support.h"
#include "text_mode.h"

namespace {

// The default text with one stretch of it replaced.
std::string defaultWith(const std::string& from, const std::string& to) {
  std::string text = kDefaultReadme;
  size_t at = text.find(from);
  EXPECT_NE(std::string::npos, at) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(ComposeReadme, DefaultsForAnEmptyOrNullTree) {
  EXPECT_EQ(kDefaultReadme, composeReadme(Json::Value()));
  EXPECT_EQ(kDefaultReadme, composeReadme(Json::Value(Json::objectValue)));
  EXPECT_EQ(kDefaultReadme, composeReadme(objectOf({{"schoolname", "x"},
                                                    {"baseurl", "b"},
                                                    {"ProductName", "p"}})));
}

TEST(ComposeReadme, EveryValueInItsRow) {
  Json::Value root = objectOf({{"productname", "Product"},
                               {"state_branding", "Branding"},
                               {"clientversion", "1.2"},
                               {"productversion", "3.4"},
                               {"builddate", "Build"},
                               {"date", "Day"},
                               {"time", "Hour"},
                               {"supportemail", "help@x"},
                               {"phonenumber", "555"}});
  EXPECT_EQ(
      "Product\n"
      "\n"
      "Branding\n"
      "\n"
      "Secure Browser Version: 1.2\n"
      "Installer Version:      3.4\n"
      "ORBELIX Build Date:     Build\n"
      "Installation Date:      Day Hour\n"
      "\n"
      "Qorvalent\n"
      "www.qorvalent.example\n"
      "help@x\n"
      "555\n",
      composeReadme(root));
}

struct ReadmeCase {
  const char* what;
  Members members;
  std::string from;  // what the value changes in the default text
  std::string to;
};

TEST(ComposeReadme, ValuesAreWrittenAsTheyAre) {
  const std::string installed =
      "Installation Date:      01-Jan-1970 00:00:00\n";
  const std::vector<ReadmeCase> cases = {
      {"date without time",
       {{"date", "24-Dec-2024"}},
       installed,
       "Installation Date:      24-Dec-2024 00:00:00\n"},
      {"time without date",
       {{"time", "12:34:56"}},
       installed,
       "Installation Date:      01-Jan-1970 12:34:56\n"},
      {"boolean true",
       {{"productname", true}},
       "QOR ORBELIX Online Learning System\n",
       "true\n"},
      {"boolean false",
       {{"phonenumber", false}},
       "1-800-555-0199\n",
       "false\n"},
      {"percent sign, quote, backslash",
       {{"state_branding", "100% \"Q\" C:\\x %s %d"}},
       "QOR Online Assessment System\n",
       "100% \"Q\" C:\\x %s %d\n"},
      {"line end inside a value",
       {{"clientversion", "5.1\nline two"}},
       "Secure Browser Version: 5.1.0.0001\n",
       "Secure Browser Version: 5.1\nline two\n"},
      {"bytes from 0x80 up",
       {{"supportemail", "caf\xC3\xA9@x"}},
       "support@qorvalent.example\n",
       "caf\xC3\xA9@x\n"},
  };
  for (const ReadmeCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(defaultWith(c.from, c.to), composeReadme(objectOf(c.members)));
  }
}

class WriteReadmeTest : public testing::Test {
 protected:
  RunEndCatcher catcher;
};

TEST_F(WriteReadmeTest, WritesTheTextWithCrLfIntoTheFolder) {
  std::string folder = scratchFolder();
  writeFile(folder + "README.txt", "an older and longer README\n\n\n\n");
  SettingsDocument document;
  document.setSetting("productname", "P\nQ");
  document.writeReadme(folder);
  EXPECT_EQ(textModeBytes(
                defaultWith("QOR ORBELIX Online Learning System\n", "P\nQ\n")),
            readFile(folder + "README.txt"));
}

}  // namespace
