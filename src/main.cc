// fieldprep: merges the settings given on the command line into the
// product's configuration file and writes README.txt and SILENT_INSTALL.BAT
// beside it. The run log and the exit code are its only report.
#include <json/json.h>

#include <string>

#include "configuration_file.h"
#include "configuration_input.h"
#include "merge_rules.h"
#include "platform.h"
#include "run_guard.h"
#include "run_log.h"
#include "settings_document.h"
#include "start_up.h"
#include "styled_text.h"

namespace {

void run(int argc, char** argv) {
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

  std::string input = readConfigurationText(cfgFileName, tmpDir, appdir);

  cfgFile.loadSettings(cfgFileName, input, features);
  params.loadSettings("parameters", argStr, features);

  cfgFile.addMissingParameters(params.getRoot());
  applyMergeRules(cfgFile, params);

  logEntry("Before Readme write:\n%s\n", styledText(cfgFile.getRoot()).c_str());

  cfgFile.writeReadme(appdir);
  cfgFile.writeSilentInstallBatch(appdir);
  cfgFile.writeConfigurationFile(appdir);

  finish(status, true);
}

}  // namespace

int main(int argc, char** argv) {
  runGuarded([&] { run(argc, argv); });
}
