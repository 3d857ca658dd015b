#include "styled_text.h"

#include <cstdio>

namespace {

// Appends `text` escaped, up to its first NUL. Runs of bytes that need no
// escape are copied whole: values can be megabytes long.
void appendEscaped(std::string* out, std::string_view text) {
  size_t plain = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte != '"' && byte != '\\')
      continue;
    out->append(text.data() + plain, i - plain);
    plain = i + 1;
    switch (byte) {
      case 0x00:
        return;
      case '"':
        *out += "\\\"";
        break;
      case '\\':
        *out += "\\\\";
        break;
      case '\b':
        *out += "\\b";
        break;
      case '\f':
        *out += "\\f";
        break;
      case '\n':
        *out += "\\n";
        break;
      case '\r':
        *out += "\\r";
        break;
      case '\t':
        *out += "\\t";
        break;
      default: {
        char code[7];
        std::snprintf(code, sizeof code, "\\u%04X", byte);
        *out += code;
      }
    }
  }
  out->append(text.data() + plain, text.size() - plain);
}

void appendValue(std::string* out, const Json::Value& value) {
  if (value.isBool()) {
    *out += value.asBool() ? "true" : "false";
    return;
  }
  const char* begin = nullptr;
  const char* end = nullptr;
  *out += '"';
  if (value.isString() && value.getString(&begin, &end))
    appendEscaped(out, std::string_view(begin, end - begin));
  else
    appendEscaped(out, value.asString());
  *out += '"';
}

// The text's size when nothing needs an escape, so that it grows only then.
size_t textSizeHint(const std::vector<StyledMember>& members) {
  size_t size = 4;
  for (const StyledMember& member : members) {
    const char* begin = nullptr;
    const char* end = nullptr;
    size_t valueSize = 5;
    if (member.value->isString() && member.value->getString(&begin, &end))
      valueSize = static_cast<size_t>(end - begin) + 2;
    size += member.name.size() + valueSize + 10;
  }
  return size;
}

}  // namespace

std::string styledMembers(const std::vector<StyledMember>& members) {
  if (members.empty())
    return "null\n";
  std::string text = "{\n";
  text.reserve(textSizeHint(members));
  for (size_t i = 0; i < members.size(); ++i) {
    if (i > 0)
      text += ",\n";
    text += "   \"";
    appendEscaped(&text, members[i].name);
    text += "\" : ";
    appendValue(&text, *members[i].value);
  }
  text += "\n}\n";
  return text;
}

std::string styledText(const Json::Value& root) {
  std::vector<StyledMember> members;
  if (root.isObject()) {
    members.reserve(root.size());
    for (auto member = root.begin(); member != root.end(); ++member) {
      const char* end = nullptr;
      const char* begin = member.memberName(&end);
      members.push_back({std::string_view(begin, end - begin), &*member});
    }
  }
  return styledMembers(members);
}
