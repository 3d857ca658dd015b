#include "settings_reader.h"

#include <exception>
#include <new>

namespace {

// "* Line L, Column C\n", counted from 1 as the parser counts them: CR LF, a
// lone CR and a lone LF each end a line.
std::string location(const std::string& text, ptrdiff_t offset) {
  int line = 1;
  size_t lineStart = 0;
  size_t end = static_cast<size_t>(offset);
  for (size_t i = 0; i < end && i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
    } else if (text[i] != '\n') {
      continue;
    }
    ++line;
    lineStart = i + 1;
  }
  return "* Line " + std::to_string(line) + ", Column " +
         std::to_string(end - lineStart + 1) + "\n";
}

// The first member, in the order the tool walks them, whose value has no text
// form; "" when there is none.
std::string unsupportedValue(const Json::Value& raw, const std::string& text) {
  if (raw.isArray() && raw.size() > 0) {
    return location(text, raw.getOffsetStart()) +
           "  The settings must be an object, not an array.\n";
  }
  if (!raw.isObject())
    return std::string();
  for (auto member = raw.begin(); member != raw.end(); ++member) {
    const char* kind = member->isArray()    ? "an array"
                       : member->isObject() ? "an object"
                                            : nullptr;
    if (kind) {
      return location(text, member->getOffsetStart()) + "  Value of \"" +
             member.name() + "\" is " + kind +
             "; only strings, numbers, booleans and null are allowed.\n";
    }
  }
  return std::string();
}

bool isJsonSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where the comment that starts at `at` ends, read as the parser reads it:
// "//" runs to the end of its line, "/*" to the next "*/" (or, as the parser
// has it, to a "/" that ends the text). npos when no comment starts there.
size_t commentEnd(const std::string& text, size_t at) {
  if (text.compare(at, 2, "//") == 0) {
    size_t end = text.find_first_of("\r\n", at + 2);
    if (end == std::string::npos)
      return text.size();
    return text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
  }
  if (text.compare(at, 2, "/*") != 0)
    return std::string::npos;
  size_t i = at + 2;
  while (i + 1 < text.size()) {
    if (text[i++] == '*' && text[i] == '/')
      break;
  }
  return i < text.size() && text[i] == '/' ? i + 1 : std::string::npos;
}

// The parser stops after the first value and skips what follows it. Only
// whitespace and comments may follow the settings: "" when that holds, else
// the report at the first other byte.
std::string textAfterTheValue(const std::string& text, const Json::Value& raw) {
  size_t at = static_cast<size_t>(raw.getOffsetLimit());
  while (at < text.size()) {
    size_t end = commentEnd(text, at);
    if (end != std::string::npos) {
      at = end;
    } else if (isJsonSpace(text[at])) {
      ++at;
    } else {
      return location(text, static_cast<ptrdiff_t>(at)) +
             "  Only whitespace and comments may follow the settings.\n";
    }
  }
  return std::string();
}

}  // namespace

bool readSettingsText(const std::string& text, const Json::Features& features,
                      Json::Value* raw, std::string* report) {
  Json::Reader reader(features);
  try {
    if (!reader.parse(text, *raw, true)) {
      *report = reader.getFormattedErrorMessages();
      return false;
    }
  } catch (const std::bad_alloc&) {
    throw;  // not the text's fault: the run ends with exit code 3
  } catch (const std::exception& error) {
    // The parser throws instead of reporting, for one, past 1000 levels of
    // nesting.
    *report = std::string(error.what()) + "\n";
    return false;
  }
  *report = unsupportedValue(*raw, text);
  if (report->empty())
    *report = textAfterTheValue(text, *raw);
  return report->empty();
}

std::string memberText(const Json::Value& value, const std::string& text) {
  switch (value.type()) {
    case Json::intValue:
    case Json::uintValue:
    case Json::realValue: {
      ptrdiff_t start = value.getOffsetStart();
      return text.substr(static_cast<size_t>(start),
                         static_cast<size_t>(value.getOffsetLimit() - start));
    }
    default:
      return value.asString();
  }
}
