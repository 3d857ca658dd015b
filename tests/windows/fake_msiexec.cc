// Stands in for msiexec.exe in the folder of a batch file under test: writes
// the arguments it was given, as the C runtime splits its command line, into
// msiexec-arguments.txt in the current directory, each in UTF-8 followed by a
// line end. The file appears whole or not at all, so a caller that did not
// wait for the program (cmd's START does not) can poll for it.
#include <cstdio>
#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

std::string utf8(const wchar_t* text) {
  int size =
      WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(size > 0 ? size : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &bytes[0], size, nullptr, nullptr);
  bytes.resize(bytes.size() - 1);
  return bytes;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::string record;
  for (int i = 1; i < argc; ++i)
    record += utf8(argv[i]) + "\n";
  const char* partial = "msiexec-arguments.part";
  FILE* file = std::fopen(partial, "wb");
  if (!file)
    return 1;
  bool written =
      std::fwrite(record.data(), 1, record.size(), file) == record.size();
  written = std::fclose(file) == 0 && written;
  if (!written ||
      !MoveFileExA(partial, "msiexec-arguments.txt", MOVEFILE_REPLACE_EXISTING))
    return 1;
  return 0;
}
