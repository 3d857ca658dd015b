#include "text_mode.h"

#include <algorithm>

std::string textModeBytes(const std::string& text) {
  std::string bytes;
  bytes.reserve(textModeSize(text));
  for (char c : text) {
    if (c == '\n')
      bytes += '\r';
    bytes += c;
  }
  return bytes;
}

size_t textModeSize(const std::string& text) {
  return text.size() + std::count(text.begin(), text.end(), '\n');
}
