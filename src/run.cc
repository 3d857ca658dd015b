#include "run.h"

#include <json/json.h>

#include <string>

#include "configuration_file.h"
#include "configuration_input.h"
#include "merge_rules.h"
#include "platform.h"
#include "run_log.h"
#include "settings_document.h"
#include "staged_copy.h"
#include "start_up.h"
#include "styled_text.h"

// The steps in their order, each one call; the values that pass from one
// step to the next are locals here.
void runTool(int argc, char** argv) {
  Json::Features features;
  std::string appdir;
  std::string argStr;
  SettingsDocument cfgFile;
  SettingsDocument params;
  std::string cfgFileName = configurationFileName;
  std::string tmpDir = getTempFolder();

  int inexactArgument = takeProgramArguments(&argc, &argv);
  int status = prepareRun(argc, argv, &argStr, &appdir, inexactArgument);

  logEntry("AppDir:\n%s\n\n", appdir.c_str());
  logEntry("TmpDir:\n%s\n\n", tmpDir.c_str());
  logEntry("Configfile name: %s\n\n", cfgFileName.c_str());

  // A copy from the temporary folder is removed once its settings are in the
  // tool's folder, or when its own text does not parse (it would stop every
  // later run); at any other end it stays for the run that follows.
  StagedCopy stagedCopy;
  std::string input =
      readConfigurationText(cfgFileName, tmpDir, appdir, &stagedCopy);

  cfgFile.loadSettings(cfgFileName, input, features,
                       [&stagedCopy] { stagedCopy.remove(); });
  params.loadSettings("parameters", argStr, features);

  cfgFile.addMissingParameters(params.getRoot());
  applyMergeRules(cfgFile, params);

  logEntry("Before Readme write:\n%s\n", styledText(cfgFile.getRoot()).c_str());

  cfgFile.writeReadme(appdir);
  cfgFile.writeSilentInstallBatch(appdir);
  cfgFile.writeConfigurationFile(appdir);
  stagedCopy.remove();

  finish(status, true);
}
