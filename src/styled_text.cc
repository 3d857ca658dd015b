#include "styled_text.h"

#include <cstdio>

std::string escapeJsonString(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    switch (byte) {
      case 0x00: return escaped;
      case '"': escaped += "\\\""; break;
      case '\\': escaped += "\\\\"; break;
      case '\b': escaped += "\\b"; break;
      case '\f': escaped += "\\f"; break;
      case '\n': escaped += "\\n"; break;
      case '\r': escaped += "\\r"; break;
      case '\t': escaped += "\\t"; break;
      default:
        if (byte < 0x20) {
          char code[7];
          std::snprintf(code, sizeof code, "\\u%04X", byte);
          escaped += code;
        } else {
          escaped += c;
        }
    }
  }
  return escaped;
}

std::string styledText(const Json::Value& root) {
  if (!root.isObject() || root.empty())
    return "null\n";
  std::string text = "{\n";
  for (auto member = root.begin(); member != root.end(); ++member) {
    if (member != root.begin())
      text += ",\n";
    text += "   \"" + escapeJsonString(member.name()) + "\" : ";
    if (member->isBool())
      text += member->asBool() ? "true" : "false";
    else
      text += "\"" + escapeJsonString(member->asString()) + "\"";
  }
  return text + "\n}\n";
}
