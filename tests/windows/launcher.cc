// Starts a Windows program with an exact command line, as a Windows caller
// does, and returns its exit code:
//
//   fieldprep_launcher TEMP APPLICATION COMMAND-LINE
//
// TEMP becomes the program's TMP and TEMP ("-" leaves them as they are).
// APPLICATION is the file to run; COMMAND-LINE reaches it unchanged, so its
// first word is the program path the program sees, whatever the file is.
// The program inherits the current directory. Failures of the launcher itself
// end with 125 (usage) or 126 (the program could not be started).
#include <cstdio>
#include <cwchar>
#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fwprintf(stderr, L"usage: %ls TEMP APPLICATION COMMAND-LINE\n",
                  argc > 0 ? argv[0] : L"fieldprep_launcher");
    return 125;
  }
  if (std::wcscmp(argv[1], L"-") != 0) {
    SetEnvironmentVariableW(L"TMP", argv[1]);
    SetEnvironmentVariableW(L"TEMP", argv[1]);
  }
  std::wstring commandLine = argv[3];  // CreateProcessW may write into it
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(argv[2], &commandLine[0], nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process)) {
    std::fwprintf(stderr, L"cannot start %ls: error %lu\n", argv[2],
                  GetLastError());
    return 126;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 126;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(exitCode);
}
