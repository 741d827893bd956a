#pragma once

#include <windows.h>

#include <string>

// The program's folders, version and UI language.

// The user's roaming application-data folder (created when missing), without a trailing
// backslash; empty when Windows does not name one.
std::string GetRoamingFolder();
// The program's application-data folder "<roaming>\TarvoLive", created when missing.
std::string GetAppDataFolder();

// The folder of the program file, with every "/" turned into "\" and ending in "\".
std::wstring GetModuleDirectory();

// Reads the program's own file version (version resource 1) into the settings record as
// "%d.%d.%d.%d"; four zeros without the resource.
void LoadFileVersion();
std::wstring GetAppVersion();
void SetAppVersion(const std::wstring& version);

// The UI language text for a Windows UI language: 0x0804 "zh_CN", 0x0404 "zh_TW", any other
// "en_US".
const wchar_t* LanguageForUiLanguage(LANGID language);
