// Writes what the installer probe package (installer_probe.wxs) recorded
// under HKCU\Software\fieldprep-installer-probe into FILE, in UTF-8:
//
//   registry_values FILE
//
// one line "NAME=VALUE" for each of AUTOUPDATEFLAG, STARTUPURL, BASEURL and
// UPDATEURL, or "NAME absent" for a value that is not there. Ends with 1
// when the key is missing (the package is not installed), 2 when FILE
// cannot be written.
#include <cstdio>
#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

std::string utf8(const std::wstring& text) {
  if (text.empty())
    return std::string();
  int length = static_cast<int>(text.size());
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0,
                                 nullptr, nullptr);
  std::string bytes(size > 0 ? size : 0, '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &bytes[0], size,
                        nullptr, nullptr);
  return bytes;
}

// The value's text, or false when the key has no such value.
bool readValue(HKEY key, const wchar_t* name, std::wstring* value) {
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size) !=
      ERROR_SUCCESS)
    return false;
  value->assign(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key, name, nullptr, nullptr,
                       reinterpret_cast<BYTE*>(&(*value)[0]),
                       &size) != ERROR_SUCCESS)
    return false;
  value->resize(size / sizeof(wchar_t));
  while (!value->empty() && value->back() == L'\0')
    value->pop_back();
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fwprintf(stderr, L"usage: registry_values FILE\n");
    return 2;
  }
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\fieldprep-installer-probe",
                    0, KEY_READ, &key) != ERROR_SUCCESS)
    return 1;
  const wchar_t* names[] = {L"AUTOUPDATEFLAG", L"STARTUPURL", L"BASEURL",
                            L"UPDATEURL"};
  std::string record;
  for (const wchar_t* name : names) {
    std::wstring value;
    if (readValue(key, name, &value))
      record += utf8(name) + "=" + utf8(value) + "\n";
    else
      record += utf8(name) + " absent\n";
  }
  RegCloseKey(key);
  FILE* file = _wfopen(argv[1], L"wb");
  if (!file)
    return 2;
  bool written =
      std::fwrite(record.data(), 1, record.size(), file) == record.size();
  return std::fclose(file) == 0 && written ? 0 : 2;
}
