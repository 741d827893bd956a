#include "shell/startup/app_info.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>

#include "foundation/app_config.h"

std::string GetRoamingFolder() {
  char folder[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, TRUE)) return std::string();
  return folder;
}

std::string GetAppDataFolder() {
  const std::string folder = GetRoamingFolder() + "\\TarvoLive";
  if (!PathFileExistsA(folder.c_str())) CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

std::wstring GetModuleDirectory() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  for (wchar_t& c : folder) {
    if (c == L'/') c = L'\\';
  }
  folder.erase(folder.find_last_of(L'\\') + 1);
  return folder;
}

void LoadFileVersion() {
  unsigned parts[4] = {0, 0, 0, 0};
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16) /* RT_VERSION */);
  const DWORD size = found != nullptr ? SizeofResource(module, found) : 0;
  HGLOBAL loaded = size != 0 ? LoadResource(module, found) : nullptr;
  const auto* data = loaded != nullptr ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  // VS_VERSIONINFO: the fixed file information starts 40 bytes in (after the header and the
  // key "VS_VERSION_INFO" with its padding).
  if (data != nullptr && size >= 40 + sizeof(VS_FIXEDFILEINFO)) {
    const auto* fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(data + 40);
    parts[0] = HIWORD(fixed->dwFileVersionMS);
    parts[1] = LOWORD(fixed->dwFileVersionMS);
    parts[2] = HIWORD(fixed->dwFileVersionLS);
    parts[3] = LOWORD(fixed->dwFileVersionLS);
  }
  wchar_t text[64];
  std::swprintf(text, 64, L"%d.%d.%d.%d", parts[0], parts[1], parts[2], parts[3]);
  SetAppVersion(text);
}

std::wstring GetAppVersion() { return GetAppConfig()->version; }

void SetAppVersion(const std::wstring& version) { GetAppConfig()->version = version; }

const wchar_t* LanguageForUiLanguage(LANGID language) {
  if (language == 0x0804) return L"zh_CN";
  if (language == 0x0404) return L"zh_TW";
  return L"en_US";
}
