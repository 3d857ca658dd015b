// "SILENT_INSTALL.BAT": starts the installer package with the merged
// addresses, after comment lines that name the product and its properties.
#ifndef FIELDPREP_SILENT_INSTALL_BATCH_H_
#define FIELDPREP_SILENT_INSTALL_BATCH_H_

#include <json/json.h>

#include <string>

// Why a value cannot go into the batch file.
struct BatchRefusal {
  std::string key;
  std::string reason;  // "holds a control character", ...
};

// The batch file's text with LF line ends. Values are escaped so that cmd
// hands them on unchanged; a value that no escape makes safe (a control
// byte; in an address a non-ASCII byte or a double quote; a value too long
// as written) is refused: the first such one is named in
// `refusal` and false is returned.
bool composeSilentInstallBatch(const Json::Value& root, std::string* text,
                               BatchRefusal* refusal);

#endif  // FIELDPREP_SILENT_INSTALL_BATCH_H_
