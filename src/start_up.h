// Start of a run: the tool's folder, the log and the command line.
#ifndef FIELDPREP_START_UP_H_
#define FIELDPREP_START_UP_H_

#include <string>

// The arguments after the program path joined with single blanks, with an
// opening and a closing brace added where missing. Needs argc >= 2.
std::string joinArguments(int argc, char** argv);

// Writes the usage line and every argument to the log.
void logCommandLine(int argc, char** argv);

// Fills the tool's folder, opens the log there and records the command line;
// ends the run with 4 when the log cannot be opened and with 1 when no
// argument was given. Otherwise fills the JSON text and returns 0.
//
// `inexactArgument` is the index of an argument that the platform could not
// give exactly (-1 for none). Such a program path ends the run with 4 before
// the log is opened, as no folder can be named safely; any other such
// argument ends it with 2 once the command line is logged.
int prepareRun(int argc, char** argv, std::string* argStr, std::string* appdir,
               int inexactArgument = -1);

#endif  // FIELDPREP_START_UP_H_
