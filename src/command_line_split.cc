#include "command_line_split.h"

#include <cstddef>

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The program path: up to the first blank or tab outside double quotes, the
// quotes dropped, every backslash kept.
std::wstring programPath(const std::wstring& line, size_t* at) {
  std::wstring path;
  bool quoted = false;
  for (; *at < line.size() && (quoted || !isBlank(line[*at])); ++*at) {
    if (line[*at] == L'"')
      quoted = !quoted;
    else
      path += line[*at];
  }
  return path;
}

// One argument from `*at`, which is no blank. A double quote opens or closes
// a quoted stretch, in which blanks belong to the argument and two double
// quotes give one. Backslashes count only before a double quote: each pair
// gives one, and an odd one left makes the quote a literal one.
std::wstring nextArgument(const std::wstring& line, size_t* at) {
  std::wstring argument;
  bool quoted = false;
  while (*at < line.size() && (quoted || !isBlank(line[*at]))) {
    wchar_t c = line[*at];
    if (c == L'\\') {
      size_t backslashes = 0;
      for (; *at < line.size() && line[*at] == L'\\'; ++*at)
        ++backslashes;
      if (*at < line.size() && line[*at] == L'"') {
        argument.append(backslashes / 2, L'\\');
        if (backslashes % 2 == 1) {
          argument += L'"';
          ++*at;
        }
      } else {
        argument.append(backslashes, L'\\');
      }
    } else if (c == L'"' && quoted && *at + 1 < line.size() &&
               line[*at + 1] == L'"') {
      argument += L'"';
      *at += 2;
    } else if (c == L'"') {
      quoted = !quoted;
      ++*at;
    } else {
      argument += c;
      ++*at;
    }
  }
  return argument;
}

}  // namespace

std::vector<std::wstring> splitCommandLine(const std::wstring& line) {
  size_t at = 0;
  std::vector<std::wstring> arguments = {programPath(line, &at)};
  for (;;) {
    while (at < line.size() && isBlank(line[at]))
      ++at;
    if (at == line.size())
      return arguments;
    arguments.push_back(nextArgument(line, &at));
  }
}
