// Text formatted like printf, into a string of any length.
#ifndef FIELDPREP_TEXT_FORMAT_H_
#define FIELDPREP_TEXT_FORMAT_H_

#include <cstdarg>
#include <string>

std::string formatText(const char* format, ...);
std::string formatTextList(const char* format, va_list args);

#endif  // FIELDPREP_TEXT_FORMAT_H_
