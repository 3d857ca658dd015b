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
// program sees, whatever the file is. The launcher removes the file before it
// starts the program, so a file still there tells the caller that nothing was
// started.
// The program inherits the current directory. Failures of the launcher itself
// end with 125 (usage, or a command-line file that cannot be taken) or 126
// (the program could not be started). A program that ends with an exception
// status, such as a crash or a Wine failure while it starts, ends with 124
// and the status shown: the low byte of such a status could read as one of
// the tool's own exit codes.
#include <cstdio>
#include <cwchar>
#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

// False when the file cannot be read: the program must not run with another
// command line than the one asked for.
bool readUtf8File(const wchar_t* path, std::wstring* wide) {
  std::string text;
  FILE* file = _wfopen(path, L"rb");
  if (!file)
    return false;
  char chunk[65536];
  size_t count;
  while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
    text.append(chunk, count);
  bool read = !std::ferror(file);
  std::fclose(file);
  wide->clear();
  if (!read || text.empty())
    return read;
  int length = static_cast<int>(text.size());
  int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  wide->assign(size > 0 ? size : 0, L'\0');
  if (size > 0)
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, &(*wide)[0], size);
  return true;
}

// Starts the program. Under load Wine now and then loses a new process while
// it starts it, before any of the program's code has run, and says
// ERROR_INTERNAL_ERROR: that start is tried again, a few times.
bool start(const wchar_t* application, const std::wstring& commandLine,
           PROCESS_INFORMATION* process) {
  for (int attempt = 1;; ++attempt) {
    // CreateProcessW may write into the command line.
    std::wstring line = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (CreateProcessW(application, &line[0], nullptr, nullptr, FALSE, 0,
                       nullptr, nullptr, &startup, process))
      return true;
    DWORD error = GetLastError();
    std::fwprintf(stderr, L"cannot start %ls: error %lu\n", application, error);
    if (error != ERROR_INTERNAL_ERROR || attempt == 3)
      return false;
  }
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
  std::wstring commandLine;
  if (!readUtf8File(argv[3], &commandLine) || _wremove(argv[3]) != 0) {
    std::fwprintf(stderr, L"cannot take the command line from %ls\n", argv[3]);
    return 125;
  }
  PROCESS_INFORMATION process = {};
  if (!start(argv[2], commandLine, &process))
    return 126;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 126;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (exitCode >= 0x80000000) {
    std::fwprintf(stderr, L"%ls ended with status 0x%08lX\n", argv[2],
                  exitCode);
    return 124;
  }
  return static_cast<int>(exitCode);
}
