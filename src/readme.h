// "README.txt": the product, its versions and dates, and the maker's details.
#ifndef FIELDPREP_README_H_
#define FIELDPREP_README_H_

#include <json/json.h>

#include <string>

// The defaults of the values that the README and the batch file show.
extern const char* const defaultProductName;
extern const char* const defaultStateBranding;
extern const char* const defaultVersion;
extern const char* const defaultBuildDate;

// A member of the merged tree as text, or `fallback` when it is absent.
std::string settingOr(const Json::Value& root, const char* key,
                      const char* fallback);

// The README's text with LF line ends.
std::string composeReadme(const Json::Value& root);

#endif  // FIELDPREP_README_H_
