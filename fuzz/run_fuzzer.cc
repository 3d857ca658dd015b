// Whole runs of the tool, as main() runs it, in a scratch folder of the
// fuzzer's own. One input: the configuration text up to its first NUL byte,
// the command-line argument after it. On every input:
// - the run ends early only where a load refuses its text (exit code 2 with
//   the parse-failure message) or the batch file refuses a value (exit code
//   6); finish is made to throw, so the run comes back here instead of
//   ending the process;
// - a batch file that is written holds every address exactly as the
//   installer will read it back, and nothing cmd would run or expand;
// - when the run succeeds, a second run with the same argument on the
//   configuration file it wrote writes that file again byte for byte (or
//   refuses a value of the command line in the batch file).
#include <json/json.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "run.h"
#include "run_log.h"

namespace {

namespace fs = std::filesystem;

struct RunEnded {
  int exitCode;
};

void throwRunEnded(int exitCode) { throw RunEnded{exitCode}; }

// The scratch folder: the tool's folder "app/" and the temporary folder
// "tmp/" in it.
std::string scratch;

void removeScratch() { fs::remove_all(scratch); }

void check(bool holds, const char* what) {
  if (holds)
    return;
  std::fprintf(stderr, "broken: %s\n", what);
  std::abort();
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string appFile(const char* name) { return scratch + "app/" + name; }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Runs the tool on `argument`; returns its exit code.
int runOnce(std::string argument) {
  std::string program = appFile("fieldprep");
  char* argv[] = {&program[0], &argument[0], nullptr};
  lastMessage.clear();
  try {
    runTool(2, argv);
  } catch (const RunEnded& end) {
    return end.exitCode;
  }
  check(false, "the run came back without ending");
  return -1;
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

// The batch file as written: CR LF line ends, no other control byte.
void checkBatch(const std::string& batch, const std::string addresses[3]) {
  size_t lines = 0;
  size_t lineStart = 0;
  size_t lastLineStart = 0;
  for (size_t i = 0; i < batch.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(batch[i]);
    if (byte == '\r') {
      check(i + 1 < batch.size() && batch[i + 1] == '\n', "CR without LF");
      check(i - lineStart < 8191, "batch line too long for cmd");
      ++lines;
      lastLineStart = lineStart;
      lineStart = i + 2;
      ++i;
      continue;
    }
    check(byte >= 0x20 && byte != 0x7F, "control byte in the batch file");
    if (byte == '%') {
      size_t run = batch.find_first_not_of('%', i) - i;
      check(run % 2 == 0, "lone % in the batch file");
      i += run - 1;
    }
  }
  check(lines == 29 || lines == 31, "batch line count");
  check(lineStart == batch.size(), "batch file ends with a line end");
  checkStartLine(batch.substr(lastLineStart, lineStart - 2 - lastLineStart),
                 addresses);
}

// The merged addresses, as the written configuration file holds them.
void readAddresses(const std::string& configuration, std::string addresses[3]) {
  Json::Value root;
  Json::Reader reader;
  check(reader.parse(configuration, root, false),
        "the written configuration does not parse");
  const char* const keys[] = {"StartupURL", "BaseURL", "UpdateURL"};
  for (int i = 0; i < 3; ++i)
    addresses[i] = root.get(keys[i], "").asString();
}

void checkEarlyEnd(int exitCode) {
  if (exitCode == 6) {
    check(startsWith(lastMessage,
                     "Failed to write SILENT_INSTALL.BAT file: "
                     "the value of "),
          "exit code 6 without the refusal message");
    return;
  }
  check(exitCode == 2, "a run ended with a code other than 0, 2 or 6");
  check(startsWith(lastMessage,
                   "Failed to parse QORConfiguration.json file: \n") ||
            startsWith(lastMessage, "Failed to parse parameters file: \n"),
        "exit code 2 without the parse-failure message");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* parent = std::getenv("TMPDIR");
  std::string folder = std::string(parent && *parent ? parent : "/tmp") +
                       "/fieldprep-fuzz.XXXXXX";
  check(mkdtemp(&folder[0]) != nullptr, "no scratch folder");
  scratch = folder + "/";
  fs::create_directory(scratch + "app");
  fs::create_directory(scratch + "tmp");
  std::atexit(removeScratch);
  setenv("TMPDIR", (scratch + "tmp").c_str(), 1);
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

  for (const auto& entry : fs::directory_iterator(scratch + "app"))
    fs::remove_all(entry.path());
  std::ofstream(appFile("QORConfiguration.json"), std::ios::binary)
      << configText;

  int exitCode = runOnce(argument);
  if (exitCode != 0) {
    checkEarlyEnd(exitCode);
    return 0;
  }
  std::string configuration = readFile(appFile("QORConfiguration.json"));
  std::string addresses[3];
  readAddresses(configuration, addresses);
  checkBatch(readFile(appFile("SILENT_INSTALL.BAT")), addresses);

  // The written file holds none of the values that only the README and the
  // batch file show, so the second run may take the command line's and
  // refuse one of them in the batch file, before the configuration.
  exitCode = runOnce(argument);
  check(exitCode == 0 || exitCode == 6,
        "the written configuration does not load");
  if (exitCode == 6) {
    checkEarlyEnd(exitCode);
    return 0;
  }
  std::string again = readFile(appFile("QORConfiguration.json"));
  if (again != configuration) {
    std::fprintf(stderr, "first:\n%s\nsecond:\n%s\n", configuration.c_str(),
                 again.c_str());
    check(false, "the written configuration is not written again the same");
  }
  return 0;
}
