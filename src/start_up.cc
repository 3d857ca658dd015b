#include "start_up.h"

#include "platform.h"
#include "run_log.h"
#include "text_format.h"

namespace {

// An empty argument vector (argc 0) has no program path at all.
const char* argumentAt(char** argv, int i) {
  return argv && argv[i] ? argv[i] : "";
}

}  // namespace

std::string joinArguments(int argc, char** argv) {
  std::string text = argv[1][0] == '{' ? "" : "{";
  for (int i = 1; i < argc; ++i) {
    text += argv[i];
    if (i < argc - 1)
      text += ' ';
  }
  if (text.back() != '}')
    text += '}';
  return text;
}

void logCommandLine(int argc, char** argv) {
  if (!logFile)
    return;
  logEntry("Usage: %s [--json-checker] {json}\n\n", argumentAt(argv, 0));
  for (int i = 0; i < argc; ++i)
    logEntry("argv[%d]: %s\n", i, argumentAt(argv, i));
  logEntry("argc: %d\n", argc);
}

int prepareRun(int argc, char** argv, std::string* argStr, std::string* appdir,
               int inexactArgument) {
  if (inexactArgument == 0) {
    finish(4, true);
    return 4;
  }
  // The folder of the program path as the caller wrote it, whatever the
  // tool's file is called.
  *appdir = pathFolder(argc > 0 ? argumentAt(argv, 0) : "");
  if (!openLog(*appdir + "fieldprep.log")) {
    finish(4, true);
    return 4;
  }
  logCommandLine(argc, argv);
  if (inexactArgument > 0) {
    storeMessage("Failed to parse %s file: \n%s\n", "parameters",
                 formatText("* Argument %d holds a character that the ANSI "
                            "code page cannot represent.\n",
                            inexactArgument)
                     .c_str());
    finish(2, true);
    return 2;
  }
  if (argc < 2) {
    finish(1, true);
    return 1;
  }
  *argStr = joinArguments(argc, argv);
  return 0;
}
