// The configuration file's layout: escapes, member order and line breaks.
#include "styled_text.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

namespace {

// Names and values alike.
TEST(StyledText, EscapesQuotesBackslashesAndControlsOnly) {
  struct Case {
    std::string text;
    std::string escaped;
  } cases[] = {
      {"say \"hi\"", "say \\\"hi\\\""},
      {"C:\\App\\", "C:\\\\App\\\\"},
      {"\b\f\n\r\t", "\\b\\f\\n\\r\\t"},
      {"\x01", "\\u0001"},
      {"\x0B", "\\u000B"},
      {"\x1A\x1B", "\\u001A\\u001B"},
      {"\x1F", "\\u001F"},
      {"\x7F", "\x7F"},
      {"\xC3\xA9\xE4\xB8\xAD", "\xC3\xA9\xE4\xB8\xAD"},  // UTF-8 as it is
      {"\x80\xFF", "\x80\xFF"},                          // and invalid bytes
      {"https://a/b", "https://a/b"},
      {" ~'", " ~'"},
      {std::string("ab\0\"c", 5), "ab"},  // NUL ends the text
      {"", ""},
  };
  for (const Case& c : cases) {
    Json::Value root;
    root[c.text] = c.text;
    EXPECT_EQ("{\n   \"" + c.escaped + "\" : \"" + c.escaped + "\"\n}\n",
              styledText(root))
        << c.text;
  }
}

TEST(StyledText, WritesOneMemberPerLineInUnsignedByteOrder) {
  Json::Value root;
  for (const char* name : {"b", "\xC3\xA9", "_x", "ContentCacheEnable", "a",
                           "ContentCache", "1st", "B"})
    root[name] = "v";
  root["flag"] = true;
  root["off"] = false;
  EXPECT_EQ(
      "{\n"
      "   \"1st\" : \"v\",\n"
      "   \"B\" : \"v\",\n"
      "   \"ContentCache\" : \"v\",\n"
      "   \"ContentCacheEnable\" : \"v\",\n"
      "   \"_x\" : \"v\",\n"
      "   \"a\" : \"v\",\n"
      "   \"b\" : \"v\",\n"
      "   \"flag\" : true,\n"
      "   \"off\" : false,\n"
      "   \"\xC3\xA9\" : \"v\"\n"
      "}\n",
      styledText(root));
}

TEST(StyledText, EscapesNamesAndValues) {
  Json::Value root;
  root["q\"k\x1F"] = std::string("v\\\n\0after", 9);
  root["t"] = "true";  // a string, not a boolean
  EXPECT_EQ(
      "{\n"
      "   \"q\\\"k\\u001F\" : \"v\\\\\\n\",\n"
      "   \"t\" : \"true\"\n"
      "}\n",
      styledText(root));
}

TEST(StyledText, WritesNullWithoutMembers) {
  EXPECT_EQ("null\n", styledText(Json::Value()));
  EXPECT_EQ("null\n", styledText(Json::Value(Json::objectValue)));
}

}  // namespace
