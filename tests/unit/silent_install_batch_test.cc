// SILENT_INSTALL.BAT: its text byte for byte, the escapes that keep cmd from
// changing or running a value, the values it refuses, and the writer.
#include "silent_install_batch.h"

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

const char* const defaultStart =
    "STARTUPURL=\"\" BASEURL=\"\" UPDATEURL=\"\"\n";

const std::string controlCharacter = "holds a control character";
const std::string nonAscii = "holds a non-ASCII byte";
const std::string doubleQuote = "holds a double quote";
const std::string tooLong = "is longer than 2000 characters";

using Replacements = std::vector<std::pair<std::string, std::string>>;

// The default text with each stretch replaced once, in turn.
std::string defaultWith(const Replacements& replacements) {
  std::string text = kDefaultBatch;
  for (const auto& replacement : replacements) {
    size_t at = text.find(replacement.first);
    EXPECT_NE(std::string::npos, at) << replacement.first;
    if (at != std::string::npos)
      text.replace(at, replacement.first.size(), replacement.second);
  }
  return text;
}

// The three address lines and the START line for the addresses as written
// to the file, already escaped.
Replacements addresses(const std::string& base, const std::string& startup,
                       const std::string& update) {
  auto property = [](const char* name, const std::string& value) {
    std::string line = std::string("REM     ") + name + "=";
    return value.empty() ? line + "\n" : line + "\"" + value + "\"\n";
  };
  return {{"REM     BASEURL=\n", property("BASEURL", base)},
          {"REM     STARTUPURL=\n", property("STARTUPURL", startup)},
          {"REM     UPDATEURL=\n", property("UPDATEURL", update)},
          {defaultStart, "STARTUPURL=\"" + startup + "\" BASEURL=\"" + base +
                             "\" UPDATEURL=\"" + update + "\"\n"}};
}

std::string composed(const Json::Value& root) {
  std::string text;
  BatchRefusal refusal;
  EXPECT_TRUE(composeSilentInstallBatch(root, &text, &refusal))
      << refusal.key << " " << refusal.reason;
  return text;
}

size_t lineCount(const std::string& text) {
  size_t lines = 0;
  for (char c : text)
    lines += c == '\n';
  return lines;
}

TEST(ComposeSilentInstallBatch, DefaultsWhateverTheOtherSettings) {
  EXPECT_EQ(kDefaultBatch, composed(Json::Value()));
  // The property lists are fixed text, and the installer is always told to
  // update itself.
  EXPECT_EQ(kDefaultBatch,
            composed(objectOf({{"autoupdateflag", "false"},
                               {"adminid", "1"},
                               {"adminname", "A"},
                               {"contentcache", "https://cache"},
                               {"contentcacheenable", "true"},
                               {"districtid", "2"},
                               {"districtname", "D"},
                               {"enablelcs", "true"},
                               {"httpsproxy", "https://proxy"},
                               {"lcsurl", "https://lcs"},
                               {"schoolid", "3"},
                               {"schoolname", "S"},
                               {"BaseURL", "https://ignored"}})));
}

TEST(ComposeSilentInstallBatch, EveryValueInItsPlace) {
  Replacements header = {
      {"REM  QOR ORBELIX Online Learning System\n", "REM  Product\n"},
      {"REM  QOR Online Assessment System\n", "REM  Branding\n"},
      {"Secure Browser Version: 5.1.0.0001\n", "Secure Browser Version: 1.2\n"},
      {"Installer Version:      5.1.0.0001\n", "Installer Version:      3.4\n"},
      {"Build Date:     01-Jan-1970 00:00:00\n", "Build Date:     Build\n"},
  };
  Replacements all = addresses("https://base", "https://start", "https://up");
  all.insert(all.begin(), header.begin(), header.end());
  EXPECT_EQ(defaultWith(all),
            composed(objectOf({{"productname", "Product"},
                               {"state_branding", "Branding"},
                               {"clientversion", "1.2"},
                               {"productversion", "3.4"},
                               {"builddate", "Build"},
                               {"baseurl", "https://base"},
                               {"startupurl", "https://start"},
                               {"updateurl", "https://up"}})));
}

TEST(ComposeSilentInstallBatch, AdministratorLinesOnlyForTaloInTheBaseAddress) {
  const std::string properties = "REM  Supported Properties:\n";
  const std::string administrator = properties +
                                    "REM     ADMINID=\"<id number>\"\n"
                                    "REM     ADMINNAME=\"\"\"<name>\"\"\"\n";
  struct Case {
    const char* baseurl;
    bool administrator;
  };
  const std::vector<Case> cases = {
      {"TALO", true},
      {"https://TALO.example", true},
      {"https://h.example/path/xTALOx", true},
      {"https://talo.example", false},
      {"https://Talo.example", false},
      {"https://TAL.O.example", false},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.baseurl);
    Replacements expected = addresses(c.baseurl, "", "");
    if (c.administrator)
      expected.push_back({properties, administrator});
    std::string text = composed(objectOf({{"baseurl", c.baseurl}}));
    EXPECT_EQ(defaultWith(expected), text);
    EXPECT_EQ(c.administrator ? 31u : 29u, lineCount(text));
  }
}

struct ValueCase {
  const char* what;
  Members members;
  Replacements expected;
};

// "%" is doubled everywhere, since cmd reads "%%" as one "%". Nothing else is
// changed.
TEST(ComposeSilentInstallBatch, ValuesEscapedForCmd) {
  const std::vector<ValueCase> cases = {
      {"boolean address", {{"baseurl", true}}, addresses("true", "", "")},
      {"boolean header value",
       {{"productname", false}},
       {{"REM  QOR ORBELIX Online Learning System\n", "REM  false\n"}}},
      {"address with percent, backslash and blank",
       {{"baseurl", "https://h/a%20b q c:\\d\\"}},
       addresses("https://h/a%%20b q c:\\d\\", "", "")},
      {"each address escaped in its own places",
       {{"startupurl", "%S"}, {"updateurl", "U%"}},
       addresses("", "%%S", "U%%")},
      {"header with percent, quote, backslash and blank",
       {{"state_branding", "50% \"off\" C:\\x %PATH%"}},
       {{"REM  QOR Online Assessment System\n",
         "REM  50%% \"off\" C:\\x %%PATH%%\n"}}},
      {"header bytes from 0x80 up are kept",
       {{"builddate", "f\xC3\xA9vrier \xFF"}},
       {{"Build Date:     01-Jan-1970 00:00:00\n",
         "Build Date:     f\xC3\xA9vrier \xFF\n"}}},
      {"values the file does not show are not checked",
       {{"schoolname", "a\tb\n"}, {"date", "\x01"}, {"lcsurl", "\xC3\xA9"}},
       {}},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(defaultWith(c.expected), composed(objectOf(c.members)));
  }
}

// The limit counts the value as written, escapes included.
TEST(ComposeSilentInstallBatch, ValuesUpToTwoThousandCharactersAsWritten) {
  const std::vector<ValueCase> cases = {
      {"plain header value",
       {{"productname", std::string(2000, 'a')}},
       {{"REM  QOR ORBELIX Online Learning System\n",
         "REM  " + std::string(2000, 'a') + "\n"}}},
      {"percent signs doubled to the limit",
       {{"clientversion", std::string(999, '%') + "ab"}},
       {{"Secure Browser Version: 5.1.0.0001\n",
         "Secure Browser Version: " + std::string(1998, '%') + "ab\n"}}},
      {"quotes in a header value are not doubled",
       {{"productversion", std::string(2000, '"')}},
       {{"Installer Version:      5.1.0.0001\n",
         "Installer Version:      " + std::string(2000, '"') + "\n"}}},
      {"percent signs in an address doubled to the limit",
       {{"updateurl", std::string(1000, '%')}},
       addresses("", "", std::string(2000, '%'))},
      {"plain address",
       {{"startupurl", std::string(2000, 's')}},
       addresses("", std::string(2000, 's'), "")},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(defaultWith(c.expected), composed(objectOf(c.members)));
  }
}

struct RefusalCase {
  const char* what;
  Members members;
  std::string key;
  std::string reason;
};

void expectRefusals(const std::vector<RefusalCase>& cases) {
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::string text;
    BatchRefusal refusal;
    EXPECT_FALSE(
        composeSilentInstallBatch(objectOf(c.members), &text, &refusal));
    EXPECT_EQ(c.key, refusal.key);
    EXPECT_EQ(c.reason, refusal.reason);
  }
}

TEST(ComposeSilentInstallBatch, RefusesValuesThatCmdWouldChange) {
  const std::string nul(1, '\0');
  expectRefusals({
      {"SOH in a header value",
       {{"productname", "a\x01"}},
       "productname",
       controlCharacter},
      {"DEL",
       {{"state_branding", "a\x7F"}},
       "state_branding",
       controlCharacter},
      {"tab", {{"clientversion", "5.1\t"}}, "clientversion", controlCharacter},
      {"CR", {{"productversion", "5.1\r"}}, "productversion", controlCharacter},
      {"LF in a header value",
       {{"builddate", "today\necho x"}},
       "builddate",
       controlCharacter},
      {"NUL in an address",
       {{"baseurl", "https://h" + nul + "x"}},
       "baseurl",
       controlCharacter},
      {"unit separator",
       {{"startupurl", "a\x1F"}},
       "startupurl",
       controlCharacter},
      {"LF in an address",
       {{"updateurl", "a\n& del x"}},
       "updateurl",
       controlCharacter},
      {"0x80 in an address",
       {{"baseurl", "https://h/\x80"}},
       "baseurl",
       nonAscii},
      {"UTF-8 in an address",
       {{"startupurl", "https://caf\xC3\xA9"}},
       "startupurl",
       nonAscii},
      {"0xFF in an address", {{"updateurl", "\xFF"}}, "updateurl", nonAscii},
      {"control byte is named before a non-ASCII byte ahead of it",
       {{"baseurl", "\xC3\xA9\t"}},
       "baseurl",
       controlCharacter},
      {"control byte is named before the length",
       {{"productname", std::string(2001, 'a') + "\t"}},
       "productname",
       controlCharacter},
      {"non-ASCII byte is named before the length",
       {{"updateurl", std::string(2001, 'a') + "\x80"}},
       "updateurl",
       nonAscii},
      {"header value of 2001",
       {{"builddate", std::string(2001, 'b')}},
       "builddate",
       tooLong},
      {"percent signs doubled past the limit",
       {{"state_branding", std::string(1000, '%') + "a"}},
       "state_branding",
       tooLong},
      {"address of 2001",
       {{"startupurl", std::string(2001, 's')}},
       "startupurl",
       tooLong},
      {"percent signs in an address doubled past the limit",
       {{"baseurl", std::string(1000, '%') + "a"}},
       "baseurl",
       tooLong},
  });
}

// A double quote would end the quoted property wherever cmd or the installer
// rebuilds the command line, and let the rest through as further properties
// and options; no escape is safe, so an address with one is refused.
TEST(ComposeSilentInstallBatch, RefusesDoubleQuotesInAddresses) {
  expectRefusals({
      {"property injected",
       {{"baseurl", "https://h/x\" AUTOUPDATEFLAG=false \"y"}},
       "baseurl",
       doubleQuote},
      {"log moved",
       {{"startupurl", "https://h/x\" /lv other.log \"y"}},
       "startupurl",
       doubleQuote},
      {"other package",
       {{"updateurl", "https://h/x\" /i other.msi \"y"}},
       "updateurl",
       doubleQuote},
      {"lone quote", {{"updateurl", "\""}}, "updateurl", doubleQuote},
      {"control byte is named before a quote ahead of it",
       {{"baseurl", "\"\t"}},
       "baseurl",
       controlCharacter},
      {"non-ASCII byte is named before a quote ahead of it",
       {{"startupurl", "\"\xC3\xA9"}},
       "startupurl",
       nonAscii},
      {"quote is named before the length",
       {{"updateurl", std::string(2001, 'a') + "\""}},
       "updateurl",
       doubleQuote},
  });
}

// With every value bad, each in its own way, the first key in the order of
// the check is named; dropping it names the next.
TEST(ComposeSilentInstallBatch, NamesTheFirstBadValueInKeyOrder) {
  const Members bad = {
      {"productname", std::string(2001, 'p')},
      {"state_branding", "\x7F"},
      {"clientversion", std::string(2001, 'c')},
      {"productversion", "\t"},
      {"builddate", std::string(1001, '%')},
      {"baseurl", std::string(2001, 'b')},
      {"startupurl", "\xC3\xA9"},
      {"updateurl", "\""},
  };
  const std::string reasons[] = {tooLong,          controlCharacter, tooLong,
                                 controlCharacter, tooLong,          tooLong,
                                 nonAscii,         doubleQuote};
  for (size_t first = 0; first < bad.size(); ++first) {
    SCOPED_TRACE(bad[first].first);
    expectRefusals({{"", Members(bad.begin() + first, bad.end()),
                     bad[first].first, reasons[first]}});
  }
}

class WriteSilentInstallBatchTest : public testing::Test {
 protected:
  RunEndCatcher catcher;
};

TEST_F(WriteSilentInstallBatchTest, WritesTheTextWithCrLfIntoTheFolder) {
  std::string folder = scratchFolder();
  writeFile(folder + "SILENT_INSTALL.BAT", std::string(5000, 'x'));
  SettingsDocument document;
  document.setSetting("baseurl", "https://TALO/%");
  EXPECT_EQ(-1, exitCodeOf([&] { document.writeSilentInstallBatch(folder); }));
  EXPECT_EQ(textModeBytes(composed(document.getRoot())),
            readFile(folder + "SILENT_INSTALL.BAT"));
}

TEST_F(WriteSilentInstallBatchTest, RefusedValueEndsWithSixAndKeepsTheOldFile) {
  std::string folder = scratchFolder();
  writeFile(folder + "SILENT_INSTALL.BAT", "old\r\n");
  SettingsDocument document;
  document.setSetting("startupurl", "https://ok");
  document.setSetting("updateurl", "https://h/\xC3\xA9");
  EXPECT_EQ(6, exitCodeOf([&] { document.writeSilentInstallBatch(folder); }));
  EXPECT_EQ(
      "Failed to write SILENT_INSTALL.BAT file: the value of updateurl holds "
      "a non-ASCII byte\n",
      lastMessage);
  EXPECT_EQ("old\r\n", readFile(folder + "SILENT_INSTALL.BAT"));
  EXPECT_EQ(std::vector<std::string>{"SILENT_INSTALL.BAT"}, filesIn(folder));
}

}  // namespace
