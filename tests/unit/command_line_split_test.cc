// The Windows command line split into arguments: the program path, blanks
// and tabs, quoted stretches and backslashes before a double quote.
#include "command_line_split.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SplitCommandLine, FollowsTheWindowsRuntimesRules) {
  struct Case {
    std::wstring line;
    std::vector<std::wstring> arguments;  // the program path first
  } cases[] = {
      // The program path ends at the first blank or tab outside quotes; its
      // quotes are dropped and its backslashes kept as they are.
      {L"", {L""}},
      {L"C:\\App\\fieldprep.exe", {L"C:\\App\\fieldprep.exe"}},
      {L"\"C:\\My App\\fieldprep.exe\" {}",
       {L"C:\\My App\\fieldprep.exe", L"{}"}},
      {L"C:\\\"My App\"\\x.exe\t{}", {L"C:\\My App\\x.exe", L"{}"}},
      {L"C:\\App\\\\\"x y\" z", {L"C:\\App\\\\x y", L"z"}},
      // Runs of blanks and tabs separate; around the arguments they count
      // for nothing.
      {L"p \t a\t\tb  ", {L"p", L"a", L"b"}},
      // Escaped quotes open no stretch: the blanks split the text.
      {L"p {\\\"a\\\":\\\"b  c\\\"}", {L"p", L"{\"a\":\"b", L"c\"}"}},
      // Blanks and tabs inside a quoted stretch belong to the argument.
      {L"p \"{\\\"a\\\":\t\\\"b  c\\\"}\"", {L"p", L"{\"a\":\t\"b  c\"}"}},
      // Inside a stretch "" is one quote and the stretch goes on; outside,
      // "" opens and closes an empty one.
      {L"p \"{\"\"a\"\":\"\"b  c\"\"}\"", {L"p", L"{\"a\":\"b  c\"}"}},
      {L"p \"a\"\"b c\" d\"\"e \"\" \"x\"\"\"",
       {L"p", L"a\"b c", L"de", L"", L"x\""}},
      // Backslashes count only before a quote: pairs halve, an odd one
      // makes the quote literal.
      {L"p a\\\\\\\"b a\\\\\"b c\" a\\b",
       {L"p", L"a\\\"b", L"a\\b c", L"a\\b"}},
      {L"p \\\\\\\\\"x y\" \\\\", {L"p", L"\\\\x y", L"\\\\"}},
      // A stretch left open runs to the end of the line.
      {L"p \"a b", {L"p", L"a b"}},
      // No wildcard expansion; characters beyond ASCII pass unchanged.
      {L"p *.exe \u00e9\u4e2d", {L"p", L"*.exe", L"\u00e9\u4e2d"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.line));
    EXPECT_EQ(c.arguments, splitCommandLine(c.line));
  }
}

}  // namespace
