// Starts a Windows program with an exact command line, as a Windows caller
// does, and returns its exit code:
//
//   fieldprep_launcher TEMP APPLICATION COMMAND-LINE-FILE
//
// TEMP becomes the program's TMP and TEMP ("-" leaves them as they are).
// APPLICATION is the file to run. The command line, in UTF-8, is read from
// COMMAND-LINE-FILE (so that it may reach the Windows limit of 32,767
// characters, which the launcher's own command line then could not hold) and
// reaches the program unchanged: its first word is the program path the
// program sees, whatever the file is.
// The program inherits the current directory. Failures of the launcher itself
// end with 125 (usage) or 126 (the program could not be started).
#include <cstdio>
#include <cwchar>
#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

std::wstring readUtf8File(const wchar_t* path) {
  std::string text;
  if (FILE* file = _wfopen(path, L"rb")) {
    char chunk[65536];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
      text.append(chunk, count);
    std::fclose(file);
  }
  if (text.empty())
    return std::wstring();
  int length = static_cast<int>(text.size());
  int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  std::wstring wide(size > 0 ? size : 0, L'\0');
  if (size > 0)
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, &wide[0], size);
  return wide;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fwprintf(stderr, L"usage: %ls TEMP APPLICATION COMMAND-LINE-FILE\n",
                  argc > 0 ? argv[0] : L"fieldprep_launcher");
    return 125;
  }
  if (std::wcscmp(argv[1], L"-") != 0) {
    SetEnvironmentVariableW(L"TMP", argv[1]);
    SetEnvironmentVariableW(L"TEMP", argv[1]);
  }
  // CreateProcessW may write into the command line.
  std::wstring commandLine = readUtf8File(argv[3]);
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
