// Parsing settings texts: number literals kept as written, the shapes that are
// refused with a report in the parser's style, and the parser's exception.
#include "settings_reader.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

namespace {

struct Reading {
  bool accepted;
  Json::Value raw;
  std::string report;
};

Reading read(const std::string& text) {
  Reading reading;
  reading.accepted =
      readSettingsText(text, Json::Features(), &reading.raw, &reading.report);
  return reading;
}

std::string valueRefusal(const char* where, const char* key, const char* kind) {
  return std::string("* ") + where + "\n  Value of \"" + key + "\" is " + kind +
         "; only strings, numbers, booleans and null are allowed.\n";
}

std::string rootRefusal(const char* where) {
  return std::string("* ") + where +
         "\n  The settings must be an object, not an array.\n";
}

TEST(MemberText, KeepsNumberLiteralsAsWritten) {
  const char* literals[] = {
      "7",         "1.50", "1e3",        "-0",
      "-12.5E-03", "0.10", "4294967296", "18446744073709551616"};
  for (const char* literal : literals) {
    std::string text = "{ \"v\" :  " + std::string(literal) + " , \"w\":1}";
    Reading reading = read(text);
    ASSERT_TRUE(reading.accepted) << text;
    EXPECT_EQ(literal, memberText(reading.raw["v"], text)) << text;
  }
}

TEST(MemberText, GivesOtherValuesTheirTextForm) {
  std::string text = "{\"n\":null, \"s\":\"a\\tb\", \"t\":true, \"f\":false}";
  Reading reading = read(text);
  ASSERT_TRUE(reading.accepted);
  EXPECT_EQ("", memberText(reading.raw["n"], text));
  EXPECT_EQ("a\tb", memberText(reading.raw["s"], text));
  EXPECT_EQ("true", memberText(reading.raw["t"], text));
  EXPECT_EQ("false", memberText(reading.raw["f"], text));
}

TEST(ReadSettingsText, RefusesArraysAndObjectsWithTheirPlace) {
  struct Case {
    std::string text;
    std::string report;
  } cases[] = {
      {"{\"list\":[1]}", valueRefusal("Line 1, Column 9", "list", "an array")},
      {"{\"Obj\":{}}", valueRefusal("Line 1, Column 8", "Obj", "an object")},
      {"{\"e\":[]}", valueRefusal("Line 1, Column 6", "e", "an array")},
      {"{\n\n\"k\" : [\"x\"]}",
       valueRefusal("Line 3, Column 7", "k", "an array")},
      {"{\r\n  \"a\": \"x\",\r\n  \"List\": []\r\n}",
       valueRefusal("Line 3, Column 11", "List", "an array")},
      {"{\r\"k\":\r\r  {}}",
       valueRefusal("Line 4, Column 3", "k", "an object")},
      // The first one in byte order of the names is reported.
      {"{\"b\":[], \"a\":{}}",
       valueRefusal("Line 1, Column 14", "a", "an object")},
      {"[\"a\"]", rootRefusal("Line 1, Column 1")},
      {" \r\n [{}, 1]", rootRefusal("Line 2, Column 2")},
  };
  for (const Case& c : cases) {
    Reading reading = read(c.text);
    EXPECT_FALSE(reading.accepted) << c.text;
    EXPECT_EQ(c.report, reading.report) << c.text;
  }
}

TEST(ReadSettingsText, RefusesTextAfterTheValueAtItsFirstByte) {
  const std::string refusal =
      "\n  Only whitespace and comments may follow the settings.\n";
  struct Case {
    std::string text;
    const char* where;
  } cases[] = {
      {"{\"a\":\"b\"}{\"c\":\"d\"}", "Line 1, Column 10"},
      {"{\"SchoolID\":\"NEW\"}, \"DistrictID\":\"2\"}", "Line 1, Column 19"},
      {"{}\n  /* c */ x", "Line 2, Column 11"},
      {"{}\r\n// c\r\n}", "Line 3, Column 1"},
      {"{} /* never closed", "Line 1, Column 4"},
      {"{} / ", "Line 1, Column 4"},
      {"{}\f", "Line 1, Column 3"},  // not whitespace to the parser
      {"7 8", "Line 1, Column 3"},
  };
  for (const Case& c : cases) {
    Reading reading = read(c.text);
    EXPECT_FALSE(reading.accepted) << c.text;
    EXPECT_EQ(std::string("* ") + c.where + refusal, reading.report) << c.text;
  }
}

TEST(ReadSettingsText, AcceptsRootsWithoutMembersToRefuse) {
  const char* texts[] = {"[]", " [ ] ", "{}", "null", "\"s\"", "7",
                         "{\"a\":\"x\", \"b\":null, \"c\":false, \"d\":1}",
                         // Whitespace and comments after the value.
                         "{} // note", "{}\r\n/* a\r\n b */\t\n// c\r\n",
                         "7/**/",
                         "{}/*/"};  // the parser ends a comment at a last "/"
  for (const char* text : texts) {
    Reading reading = read(text);
    EXPECT_TRUE(reading.accepted) << text;
    EXPECT_EQ("", reading.report) << text;
  }
}

TEST(ReadSettingsText, ReportsASyntaxErrorAsTheParserDoes) {
  Reading reading = read("{\"a\" 1}");
  EXPECT_FALSE(reading.accepted);
  EXPECT_EQ("* Line 1, Column 6\n  Missing ':' after object member name\n",
            reading.report);
}

TEST(ReadSettingsText, TurnsTheParsersExceptionIntoAReport) {
  for (const std::string& open : {std::string("["), std::string("{\"a\":")}) {
    std::string text;
    for (int i = 0; i < 5000; ++i)
      text += open;
    Reading reading = read(text);
    EXPECT_FALSE(reading.accepted) << open;
    EXPECT_EQ("Exceeded stackLimit in readValue().\n", reading.report) << open;
  }
}

}  // namespace
