// Checks on texts that tests compare in part, shared by every test
// executable.
#ifndef FIELDPREP_TEXT_CHECKS_H_
#define FIELDPREP_TEXT_CHECKS_H_

#include <string>

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

inline bool endsWith(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() &&
         text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

#endif  // FIELDPREP_TEXT_CHECKS_H_
