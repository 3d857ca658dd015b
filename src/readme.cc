#include "readme.h"

#include "output_file.h"
#include "product_defaults.h"
#include "settings_document.h"
#include "text_format.h"

std::string composeReadme(const Json::Value& root) {
  auto value = [&root](const char* key, const char* fallback) {
    return settingOr(root, key, fallback);
  };
  // Each value goes through "%s", so it ends at its first NUL byte.
  return formatText("%s\n\n",
                    value("productname", defaultProductName).c_str()) +
         formatText("%s\n\n",
                    value("state_branding", defaultStateBranding).c_str()) +
         formatText("Secure Browser Version: %s\n",
                    value("clientversion", defaultVersion).c_str()) +
         formatText("Installer Version:      %s\n",
                    value("productversion", defaultVersion).c_str()) +
         formatText("ORBELIX Build Date:     %s\n",
                    value("builddate", defaultBuildDate).c_str()) +
         formatText("Installation Date:      %s ",
                    value("date", "01-Jan-1970").c_str()) +
         formatText("%s\n\n", value("time", "00:00:00").c_str()) +
         "Qorvalent\n" + "www.qorvalent.example\n" +
         formatText(
             "%s\n",
             value("supportemail", "support@qorvalent.example").c_str()) +
         formatText("%s\n", value("phonenumber", "1-800-555-0199").c_str());
}

void SettingsDocument::writeReadme(const std::string& appdir) {
  std::string path = appdir + "README.txt";
  writeOutputOrFinish(
      path, composeReadme(root),
      {5, formatText("Failed to open output file: %s\n", path.c_str()),
       formatText("Failed to write output file: %s\n", path.c_str())});
}
