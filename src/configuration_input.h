// Finding and reading the existing configuration.
#ifndef FIELDPREP_CONFIGURATION_INPUT_H_
#define FIELDPREP_CONFIGURATION_INPUT_H_

#include <string>

#include "staged_copy.h"

// The configuration's text, up to its first NUL byte: from a copy in the
// temporary folder, which `copy` then holds until the run consumes it, else
// from the tool's folder; "" when there is none. A configuration in the
// tool's folder that is there but is no readable regular file, or a file that
// cannot be read whole, ends the run with exit code 2 (a copy is then kept).
// Once the file is open, the log loses the group and other permissions that
// the file lacks, before any of its text reaches the log.
std::string readConfigurationText(const std::string& name,
                                  const std::string& tmpDir,
                                  const std::string& appdir, StagedCopy* copy);

#endif  // FIELDPREP_CONFIGURATION_INPUT_H_
