// Whole runs of the tool in memory, from one input: the configuration text up
// to its first NUL byte, the command-line argument after it. On every input:
// - the run ends early only where a load refuses its text: exit code 2 with
//   the parse-failure message (finish is made to throw, so the run comes back
//   here instead of ending the process);
// - a batch file that is composed holds every address exactly as the
//   installer will read it back, and nothing cmd would run or expand;
// - when the run succeeds, the configuration text parses again and, loaded
//   and merged with the same parameters, gives the same text.
#include <json/json.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "configuration_file.h"
#include "merge_rules.h"
#include "readme.h"
#include "run_log.h"
#include "settings_document.h"
#include "silent_install_batch.h"
#include "start_up.h"
#include "styled_text.h"
#include "text_mode.h"

namespace {

struct RunEnded {
  int exitCode;
};

void throwRunEnded(int exitCode) { throw RunEnded{exitCode}; }

void check(bool holds, const char* what) {
  if (holds)
    return;
  std::fprintf(stderr, "broken: %s\n", what);
  std::abort();
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

struct RunOutputs {
  std::string dump;
  std::string readme;
  std::string batch;
  bool batchComposed = false;
  std::string configuration;
  std::string addresses[3];  // startupurl, baseurl, updateurl as merged
};

// Steps 5 to 13 of a run, each output composed instead of written.
RunOutputs runInMemory(const std::string& configText,
                       const std::string& argStr) {
  Json::Features features;
  SettingsDocument cfgFile;
  SettingsDocument params;
  cfgFile.loadSettings(configurationFileName, configText, features);
  params.loadSettings("parameters", argStr, features);
  cfgFile.addMissingParameters(params.getRoot());
  applyMergeRules(cfgFile, params);

  const Json::Value& root = cfgFile.getRoot();
  RunOutputs out;
  out.dump = styledText(root);
  logEntry("Before Readme write:\n%s\n", out.dump.c_str());
  out.readme = composeReadme(root);
  BatchRefusal refusal;
  out.batchComposed = composeSilentInstallBatch(root, &out.batch, &refusal);
  out.addresses[0] = settingOr(root, "startupurl", "");
  out.addresses[1] = settingOr(root, "baseurl", "");
  out.addresses[2] = settingOr(root, "updateurl", "");
  for (const char* key : readmeOnlyKeys)
    cfgFile.removeSetting(key);
  out.configuration = composeConfigurationText(cfgFile.getRoot());
  return out;
}

// Reads a quoted installer property value that begins at `at`, just after its
// opening quote: the next quote ends it, since an address never holds one.
// cmd turns %% into %. Returns the position after the closing quote, or npos.
size_t readPropertyValue(const std::string& line, size_t at,
                         std::string* value) {
  while (at < line.size()) {
    char c = line[at];
    if (c == '"')
      return at + 1;
    if (c == '%') {
      check(at + 1 < line.size() && line[at + 1] == c, "lone % in START line");
      ++at;
    }
    *value += c;
    ++at;
  }
  return std::string::npos;
}

void checkStartLine(const std::string& line, const std::string addresses[3]) {
  static const char startOfLine[] =
      "START msiexec.exe /i QOR_ORBELIX_Setup.msi /qr /lv \"install.log\" "
      "AUTOUPDATEFLAG=\"true\" STARTUPURL=\"";
  static const char* const before[] = {startOfLine, " BASEURL=\"",
                                       " UPDATEURL=\""};
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    check(line.compare(at, std::string(before[i]).size(), before[i]) == 0,
          "START line layout");
    at += std::string(before[i]).size();
    std::string value;
    at = readPropertyValue(line, at, &value);
    check(at != std::string::npos, "unterminated property in START line");
    check(value == addresses[i], "address not read back as merged");
  }
  check(at == line.size(), "text after the last property");
}

void checkBatch(const RunOutputs& out) {
  size_t lines = 0;
  size_t lineStart = 0;
  for (size_t i = 0; i < out.batch.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(out.batch[i]);
    if (byte == '\n') {
      check(i - lineStart < 8191, "batch line too long for cmd");
      ++lines;
      lineStart = i + 1;
      continue;
    }
    check(byte >= 0x20 && byte != 0x7F, "control byte in the batch file");
    if (byte == '%') {
      size_t run = out.batch.find_first_not_of('%', i) - i;
      check(run % 2 == 0, "lone % in the batch file");
      i += run - 1;
    }
  }
  check(lines == 29 || lines == 31, "batch line count");
  check(lineStart == out.batch.size(), "batch file ends with a line end");
  size_t start = out.batch.rfind('\n', out.batch.size() - 2) + 1;
  checkStartLine(out.batch.substr(start, out.batch.size() - 1 - start),
                 out.addresses);
}

void checkRunEnd(const RunEnded& end) {
  check(end.exitCode == 2, "a load ended the run with a code other than 2");
  check(startsWith(lastMessage,
                   "Failed to parse QORConfiguration.json file: "
                   "\n") ||
            startsWith(lastMessage, "Failed to parse parameters file: \n"),
        "exit code 2 without the parse-failure message");
}

// A fresh log for each run; finish() closes it.
void openLog() {
  if (!logFile)
    logFile = std::fopen("/dev/null", "wb");
  lastMessage.clear();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setExitFunction(throwRunEnded);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t split = input.find('\0');
  std::string configText = input.substr(0, split);
  // An argument never holds a NUL byte.
  std::string argument =
      split == std::string::npos ? "" : input.substr(split + 1);
  argument = argument.substr(0, argument.find('\0'));
  char program[] = "fieldprep";
  char* argv[] = {program, &argument[0], nullptr};
  std::string argStr = joinArguments(2, argv);

  openLog();
  RunOutputs first;
  try {
    first = runInMemory(configText, argStr);
  } catch (const RunEnded& end) {
    checkRunEnd(end);
    return 0;
  }
  if (!first.batchComposed)
    return 0;  // the run ends with exit code 6, before the configuration
  checkBatch(first);

  // The next run reads the file as written, with CR LF line ends.
  openLog();
  RunOutputs second;
  try {
    second = runInMemory(textModeBytes(first.configuration + "\n"), argStr);
  } catch (const RunEnded&) {
    check(false, "the written configuration does not load again");
  }
  if (second.configuration != first.configuration) {
    std::fprintf(stderr, "first:\n%s\nsecond:\n%s\n",
                 first.configuration.c_str(), second.configuration.c_str());
    check(false, "the written configuration is not written again the same");
  }
  if (logFile)
    std::fclose(logFile);
  logFile = nullptr;
  return 0;
}
