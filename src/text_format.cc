#include "text_format.h"

#include <cstdio>

std::string formatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = formatTextList(format, args);
  va_end(args);
  return text;
}

std::string formatTextList(const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0)
    return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(&text[0], text.size(), format, args);
  text.resize(static_cast<size_t>(length));
  return text;
}
