// Windows side of the platform layer. The tool works with 8-bit paths in the
// ANSI code page, the encoding that fopen and remove take.
#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <vector>

#include "command_line_split.h"
#include "platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

namespace {

// Puts `text` in the ANSI code page into `bytes`, as near as the code page
// allows, and tells whether that form is exact. Only a text that converts
// back unchanged counts: a default character, or a best-fit lookalike such
// as "a" for U+0101, would name another folder.
bool toAnsi(const std::wstring& text, std::string* bytes) {
  bytes->clear();
  if (text.empty())
    return true;
  int length = static_cast<int>(text.size());
  int size = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0,
                                 nullptr, nullptr);
  if (size <= 0)
    return false;
  bytes->assign(size, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), length, &(*bytes)[0], size,
                      nullptr, nullptr);
  int wideSize = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS,
                                     bytes->data(), size, nullptr, 0);
  std::wstring back(wideSize > 0 ? wideSize : 0, L'\0');
  if (wideSize > 0)
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes->data(), size,
                        &back[0], wideSize);
  return back == text;
}

}  // namespace

std::string pathFolder(const std::string& path) {
  bool drive = path.size() >= 2 && path[1] == ':' &&
               ((path[0] >= 'A' && path[0] <= 'Z') ||
                (path[0] >= 'a' && path[0] <= 'z'));
  size_t end = drive ? 2 : 0;
  for (size_t i = 0; i < path.size(); ++i) {
    // In a double-byte code page the second byte of a character may be
    // 0x5C, a backslash, without being one.
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size())
      ++i;
    else if (path[i] == '\\' || path[i] == '/')
      end = i + 1;
  }
  return path.substr(0, end);
}

int takeProgramArguments(int* argc, char*** argv) {
  static std::vector<std::string> texts;
  static std::vector<char*> pointers;
  int firstInexact = -1;
  for (const std::wstring& argument : splitCommandLine(GetCommandLineW())) {
    texts.emplace_back();
    if (!toAnsi(argument, &texts.back()) && firstInexact < 0)
      firstInexact = static_cast<int>(texts.size()) - 1;
  }
  for (std::string& text : texts)
    pointers.push_back(&text[0]);
  pointers.push_back(nullptr);
  *argc = static_cast<int>(texts.size());
  *argv = pointers.data();
  return firstInexact;
}

namespace {

using GetTempPathFunction = DWORD(WINAPI*)(DWORD, LPWSTR);

// GetTempPath2W where the system has it: for SYSTEM it gives a folder that
// only SYSTEM may write, where GetTempPathW gives one that every user may.
GetTempPathFunction tempPathFunction() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC newer = kernel ? GetProcAddress(kernel, "GetTempPath2W") : nullptr;
  if (!newer)
    return GetTempPathW;
  return reinterpret_cast<GetTempPathFunction>(
      reinterpret_cast<void (*)()>(newer));
}

}  // namespace

std::string getTempFolder() {
  GetTempPathFunction getTempPath = tempPathFunction();
  DWORD needed = getTempPath(0, nullptr);
  if (needed == 0)
    return std::string();
  std::vector<wchar_t> tempPath(needed);
  DWORD written = getTempPath(needed, tempPath.data());
  // An answer that does not fit below `needed` is the larger size the path
  // has grown to since the first call.
  if (written == 0 || written >= needed)
    return std::string();
  std::string folder;
  if (!toAnsi(std::wstring(tempPath.data(), written), &folder))
    return std::string();
  return folder;
}

namespace {

// The token's user and its default owner (for an elevated administrator
// usually the Administrators group), each as the token holds it.
struct TokenOwners {
  std::vector<BYTE> user;
  std::vector<BYTE> defaultOwner;
};

bool tokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind,
                      std::vector<BYTE>* bytes) {
  DWORD size = 0;
  GetTokenInformation(token, kind, nullptr, 0, &size);
  if (size == 0)
    return false;
  bytes->resize(size);
  return GetTokenInformation(token, kind, bytes->data(), size, &size) != 0;
}

// True when `owner` is the user running the tool or that user's default
// owner: the owners of the files that user creates.
bool isOwnOwner(PSID owner) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
    return false;
  TokenOwners owners;
  bool known = tokenInformation(token, TokenUser, &owners.user) &&
               tokenInformation(token, TokenOwner, &owners.defaultOwner);
  CloseHandle(token);
  if (!known)
    return false;
  PSID user = reinterpret_cast<TOKEN_USER*>(owners.user.data())->User.Sid;
  PSID defaultOwner =
      reinterpret_cast<TOKEN_OWNER*>(owners.defaultOwner.data())->Owner;
  return EqualSid(owner, user) || EqualSid(owner, defaultOwner);
}

// A temporary folder may be shared by all users (C:\Windows\Temp for
// SYSTEM): a copy counts only when the user running the tool owns it.
bool ownedByUser(HANDLE handle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                      &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS)
    return false;
  bool own = owner && isOwnOwner(owner);
  LocalFree(descriptor);
  return own;
}

}  // namespace

FILE* openTempCopy(const std::string& path) {
  // Only a plain file: not a folder, and not a link or junction that leads
  // elsewhere. The checks run on the opened handle itself. The handle is
  // opened with the rights that removing the copy takes, so that a copy the
  // tool could not remove is never taken, and shares nothing but reading:
  // the file read is the file that is later deleted.
  const DWORD access =
      GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES | READ_CONTROL;
  HANDLE handle =
      CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return nullptr;
  BY_HANDLE_FILE_INFORMATION info;
  const DWORD refused = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  if (GetFileType(handle) != FILE_TYPE_DISK ||
      !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & refused) != 0 || !ownedByUser(handle)) {
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

namespace {

// Sets the attributes of the file behind `handle`, leaving its times alone.
bool setAttributes(HANDLE handle, DWORD attributes) {
  FILE_BASIC_INFO basic = {};
  basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(handle, FileBasicInfo, &basic,
                                    sizeof basic) != 0;
}

}  // namespace

// The handle shares no deletion, so the path still names the file read; the
// file goes when the handle is closed.
bool removeTempCopy(FILE* file, const std::string&) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  FILE_BASIC_INFO basic;
  bool known = GetFileInformationByHandleEx(handle, FileBasicInfo, &basic,
                                            sizeof basic) != 0;
  // As "del /f" does: a copy from read-only media comes read-only.
  bool readOnly = known && (basic.FileAttributes & FILE_ATTRIBUTE_READONLY);
  if (readOnly)
    setAttributes(handle, basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY);
  FILE_DISPOSITION_INFO disposition = {TRUE};
  bool removed =
      SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                 sizeof disposition) != 0;
  if (!removed && readOnly)
    setAttributes(handle, basic.FileAttributes);
  std::fclose(file);
  return removed;
}

void narrowPermissionsTo(FILE*, FILE*) {}

namespace {

// `path` from the ANSI code page into UTF-16, for the calls that have no
// 8-bit form worth taking.
std::wstring toWide(const std::string& path) {
  int length = static_cast<int>(path.size());
  int size = MultiByteToWideChar(CP_ACP, 0, path.data(), length, nullptr, 0);
  std::wstring wide(size > 0 ? size : 0, L'\0');
  if (size > 0)
    MultiByteToWideChar(CP_ACP, 0, path.data(), length, &wide[0], size);
  return wide;
}

// ReplaceFileW wants full paths: a bare file name fails under Wine.
std::wstring fullPath(const std::string& path) {
  std::wstring wide = toWide(path);
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0)
    return wide;
  std::wstring full(size, L'\0');
  DWORD length = GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
  if (length == 0 || length >= size)
    return wide;
  full.resize(length);
  return full;
}

// `path` as a full path in the long form, `\\?\C:\...` or
// `\\?\UNC\server\share\...`, which the wide calls take beyond MAX_PATH:
// the temporary file beside an output has a name 21 characters longer than
// the output's own.
std::wstring longPath(const std::string& path) {
  std::wstring full = fullPath(path);
  if (full.compare(0, 4, L"\\\\?\\") == 0 ||
      full.compare(0, 4, L"\\\\.\\") == 0)
    return full;
  if (full.compare(0, 2, L"\\\\") == 0)
    return L"\\\\?\\UNC\\" + full.substr(2);
  if (full.size() > 2 && full[1] == L':' && full[2] == L'\\')
    return L"\\\\?\\" + full;
  return full;  // no full path to be had: as it is
}

bool notFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A plain file on disk: not a folder, pipe or device.
bool isRegular(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileType(handle) == FILE_TYPE_DISK &&
         GetFileInformationByHandle(handle, &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

HANDLE openExisting(const std::string& path, DWORD access) {
  return CreateFileA(path.c_str(), access,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

FILE* streamOfHandle(HANDLE handle, int flags, const char* mode) {
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FILE* file = _fdopen(fd, mode);
  if (!file)
    _close(fd);
  return file;
}

}  // namespace

FILE* openRegularFile(const std::string& path, bool* missing) {
  HANDLE handle = openExisting(path, GENERIC_READ);
  *missing = handle == INVALID_HANDLE_VALUE && notFound(GetLastError());
  if (handle == INVALID_HANDLE_VALUE)
    return nullptr;
  if (!isRegular(handle)) {
    CloseHandle(handle);
    return nullptr;
  }
  return streamOfHandle(handle, _O_RDONLY | _O_BINARY, "rb");
}

bool sameFile(const std::string& first, const std::string& second) {
  BY_HANDLE_FILE_INFORMATION info[2];
  const std::string* paths[2] = {&first, &second};
  for (int i = 0; i < 2; ++i) {
    // No access asked: only the file's identity is read. A folder opens too.
    HANDLE handle = CreateFileA(
        paths[i]->c_str(), 0,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
      return false;
    BOOL known = GetFileInformationByHandle(handle, &info[i]);
    CloseHandle(handle);
    if (!known)
      return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}

namespace {

// The file that the link `path` leads to, or `path` when it is no link or
// its end cannot be named.
std::string finalPath(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
    return path;
  // Opening follows the link to its end; the handle then names that file.
  HANDLE handle = openExisting(path, 0);
  if (handle == INVALID_HANDLE_VALUE)
    return path;
  std::vector<wchar_t> name(32768);
  DWORD length = GetFinalPathNameByHandleW(
      handle, name.data(), static_cast<DWORD>(name.size()), VOLUME_NAME_DOS);
  CloseHandle(handle);
  if (length == 0 || length >= name.size())
    return path;
  std::wstring target(name.data(), length);
  const std::wstring longPrefix = L"\\\\?\\";
  bool onDrive = target.size() > 6 && target[5] == L':';
  if (onDrive && target.compare(0, longPrefix.size(), longPrefix) == 0)
    target.erase(0, longPrefix.size());
  std::string narrow;
  return toAnsi(target, &narrow) && !narrow.empty() ? narrow : path;
}

}  // namespace

// No rule on who placed a link applies here: every link is followed.
bool linkTarget(const std::string& path, std::string* target) {
  *target = finalPath(path);
  return true;
}

TargetState probeOutputTarget(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return notFound(GetLastError()) ? TargetState::missing
                                    : TargetState::refused;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    return TargetState::notRegular;
  HANDLE handle = openExisting(path, GENERIC_WRITE);
  if (handle == INVALID_HANDLE_VALUE)
    return TargetState::refused;
  bool regular = isRegular(handle);
  CloseHandle(handle);
  return regular ? TargetState::writable : TargetState::notRegular;
}

// Attributes and security come across in replaceFile.
FILE* createNewFile(const std::string& path, const std::string&,
                    CreateResult* result) {
  HANDLE handle = CreateFileW(longPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    *result = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS
                  ? CreateResult::exists
              : error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT
                  ? CreateResult::denied
                  : CreateResult::failed;
    return nullptr;
  }
  FILE* file = streamOfHandle(handle, _O_WRONLY | _O_BINARY, "wb");
  *result = file ? CreateResult::created : CreateResult::failed;
  if (!file)
    DeleteFileW(longPath(path).c_str());
  return file;
}

FILE* openForOverwrite(const std::string& path) {
  HANDLE handle = openExisting(path, GENERIC_WRITE);
  if (handle == INVALID_HANDLE_VALUE)
    return nullptr;
  if (!isRegular(handle)) {
    CloseHandle(handle);
    return nullptr;
  }
  return streamOfHandle(handle, _O_WRONLY | _O_BINARY, "wb");
}

FILE* openLogFile(const std::string& path) {
  return std::fopen(path.c_str(), "wb");
}

bool replaceFile(const std::string& from, const std::string& to) {
  std::wstring source = longPath(from);
  std::wstring target = longPath(to);
  // ReplaceFileW keeps the replaced file's attributes and security; a target
  // that does not exist yet is simply moved into place.
  if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
    if (ReplaceFileW(target.c_str(), source.c_str(), nullptr,
                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
      return true;
    // This failure, without a backup name, has already removed the old file
    // and left the new one under its temporary name: move it into place
    // rather than lose both.
    if (GetLastError() != ERROR_UNABLE_TO_MOVE_REPLACEMENT)
      return false;
  }
  return MoveFileExW(source.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

namespace {

HANDLE handleOf(FILE* file) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

bool setLength(HANDLE handle, long long size) {
  LARGE_INTEGER end;
  end.QuadPart = size;
  return SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) &&
         SetEndOfFile(handle);
}

}  // namespace

bool reserveRoom(FILE* file, unsigned long long size) {
  HANDLE handle = handleOf(file);
  LARGE_INTEGER oldSize;
  if (!GetFileSizeEx(handle, &oldSize))
    return false;
  // Extending the file allocates its room; the writing then starts over at
  // the beginning.
  bool reserved = static_cast<long long>(size) <= oldSize.QuadPart ||
                  setLength(handle, static_cast<long long>(size));
  if (!reserved)
    setLength(handle, oldSize.QuadPart);
  LARGE_INTEGER start = {};
  return SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) && reserved;
}

bool cutToLength(FILE* file, unsigned long long size) {
  return std::fflush(file) == 0 &&
         setLength(handleOf(file), static_cast<long long>(size));
}

// ReplaceFileW carries the ACL and the other attributes across.
bool copyAccessControl(FILE*, const std::string&) { return true; }

bool flushToDisk(FILE* file) {
  return std::fflush(file) == 0 && FlushFileBuffers(handleOf(file));
}

// replaceFile writes its move through to the disk.
bool flushFolderOf(const std::string&) { return true; }

// Windows ends no process for the size of a file.
void ignoreFileSizeSignal() {}

// A console interrupt is not handled: the temporary file is open without
// sharing until it is closed, so nothing else could remove it meanwhile.
void removeOnSignal(const std::string&) {}

bool removeFile(const std::string& path) {
  return DeleteFileW(longPath(path).c_str()) != 0;
}
