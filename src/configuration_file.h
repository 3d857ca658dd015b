// The configuration file "QORConfiguration.json": its name, the names its
// members are written under, and the keys it never holds.
#ifndef FIELDPREP_CONFIGURATION_FILE_H_
#define FIELDPREP_CONFIGURATION_FILE_H_

#include <json/json.h>

#include <string>

extern const char* const configurationFileName;

// The keys the file never holds: the values that only the README and the
// batch file show, and "enablelcs", which no output shows.
extern const char* const readmeOnlyKeys[10];

// The file's text (LF line ends) for a merged tree without its README-only
// keys: known keys under their written names, every other one as it is.
std::string composeConfigurationText(const Json::Value& root);

#endif  // FIELDPREP_CONFIGURATION_FILE_H_
