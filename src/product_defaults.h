// The product's values that the README and the batch file both show: each
// read from the merged tree, or the product's default where it is absent.
#ifndef FIELDPREP_PRODUCT_DEFAULTS_H_
#define FIELDPREP_PRODUCT_DEFAULTS_H_

#include <json/json.h>

#include <string>

extern const char* const defaultProductName;
extern const char* const defaultStateBranding;
extern const char* const defaultVersion;
extern const char* const defaultBuildDate;

// A member of the merged tree as text, or `fallback` when it is absent.
std::string settingOr(const Json::Value& root, const char* key,
                      const char* fallback);

#endif  // FIELDPREP_PRODUCT_DEFAULTS_H_
