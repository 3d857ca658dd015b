// A Windows command line split into its arguments, as plain text handling,
// so that both builds compile it and the native tests can check its rules.
#ifndef FIELDPREP_COMMAND_LINE_SPLIT_H_
#define FIELDPREP_COMMAND_LINE_SPLIT_H_

#include <string>
#include <vector>

// The command line split into arguments as the Windows runtime's standard
// rules split it, done here so that the result does not depend on the
// runtime the tool is linked with. The program path comes first.
std::vector<std::wstring> splitCommandLine(const std::wstring& line);

#endif  // FIELDPREP_COMMAND_LINE_SPLIT_H_
