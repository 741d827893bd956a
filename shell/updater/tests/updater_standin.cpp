// Stand-in for the outside updater in tests. Each run appends its argument text (UTF-8, one line)
// to "updater_runs.txt" beside itself and exits with the code on the matching line of
// "updater_codes.txt" (decimal or 0x hexadecimal; 0 when there is no such line).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path, n);
  return p.substr(0, p.find_last_of(L"\\/") + 1);
}

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  return out;
}

// The command line without the program name.
std::wstring Arguments() {
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ') ++p;
  }
  while (*p == L' ') ++p;
  return p;
}

}  // namespace

int wmain() {
  const std::wstring folder = OwnFolder();
  std::vector<std::string> runs;
  {
    std::ifstream in((folder + L"updater_runs.txt").c_str());
    for (std::string line; std::getline(in, line);) runs.push_back(line);
  }
  {
    std::ofstream out((folder + L"updater_runs.txt").c_str(), std::ios::app | std::ios::binary);
    out << Utf8(Arguments()) << "\n";
  }
  std::ifstream codes((folder + L"updater_codes.txt").c_str());
  std::string line;
  for (size_t i = 0; i <= runs.size(); ++i) {
    if (!std::getline(codes, line)) return 0;
  }
  return static_cast<int>(std::strtoul(line.c_str(), nullptr, 0));
}
