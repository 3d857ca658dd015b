// Windows side of the platform layer. The tool works with 8-bit paths in the
// ANSI code page, the encoding that fopen and remove take.
#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <vector>

#include "platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

// `text` in the ANSI code page, or "" when it has no exact form there. Only
// a text that converts back unchanged counts: a default character, or a
// best-fit lookalike such as "a" for U+0101, would name another folder.
std::string toAnsi(const std::wstring& text) {
  int length = static_cast<int>(text.size());
  int size = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0,
                                 nullptr, nullptr);
  if (size <= 0)
    return std::string();
  std::string bytes(size, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), length, &bytes[0], size, nullptr,
                      nullptr);
  int wideSize = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(),
                                     size, nullptr, 0);
  std::wstring back(wideSize > 0 ? wideSize : 0, L'\0');
  if (wideSize > 0)
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), size,
                        &back[0], wideSize);
  return back == text ? bytes : std::string();
}

}  // namespace

const char* toolFileName() { return "fieldprep.exe"; }

std::string getTempFolder() {
  DWORD needed = GetTempPathW(0, nullptr);
  if (needed == 0)
    return std::string();
  std::vector<wchar_t> tempPath(needed);
  DWORD written = GetTempPathW(needed, tempPath.data());
  // An answer that does not fit below `needed` is the larger size the path
  // has grown to since the first call.
  if (written == 0 || written >= needed)
    return std::string();
  return toAnsi(std::wstring(tempPath.data(), written));
}

FILE* openTempCopy(const std::string& path) {
  // Only a plain file: not a folder, and not a link or junction that leads
  // elsewhere. The checks run on the opened handle itself.
  HANDLE handle = CreateFileA(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return nullptr;
  BY_HANDLE_FILE_INFORMATION info;
  const DWORD refused = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  if (GetFileType(handle) != FILE_TYPE_DISK ||
      !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & refused) != 0) {
    CloseHandle(handle);
    return nullptr;
  }
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                           _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FILE* file = _fdopen(fd, "rb");
  if (!file)
    _close(fd);
  return file;
}

bool replaceFile(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}
