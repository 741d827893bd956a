#pragma once

// Helpers of the web engine tests: the test page, files in a scratch folder, and the engine's
// processes as the host sees them (found by the profile folder in their environment).

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/browser/engine/engine_paths.h"

namespace engine_test {

// The test page: a green block at (40, 30) 120 x 80, a button at (200, 30) 100 x 60 that
// reports "clicked", a text field at (40, 150) 300 x 30 that reports its value on every change,
// a file input at (40, 220) 200 x 30 that reports "<name>:<content>", and nativeInvokeJS that
// sends its argument back as "invoke". On load it sends a page request ("jsEvent").
inline const char* TestPageHtml() {
  return R"page(<!DOCTYPE html><html><head><meta charset="utf-8"></head>
<body style="margin:0;background:#ffffff">
<div style="position:absolute;left:40px;top:30px;width:120px;height:80px;background:#00c800"></div>
<button id="b" style="position:absolute;left:200px;top:30px;width:100px;height:60px"
  onclick="tarvoPostMessage('clicked', 'b')">b</button>
<input id="t" style="position:absolute;left:40px;top:150px;width:300px;height:30px"
  oninput="tarvoPostMessage('text', this.value)">
<input id="f" type="file" style="position:absolute;left:40px;top:220px;width:200px;height:30px"
  onchange="var f=this.files[0];f.text().then(function(t){tarvoPostMessage('file',f.name+':'+t);})">
<script>
function nativeInvokeJS(o) { tarvoPostMessage('invoke', JSON.stringify(o)); }
window.addEventListener('load', function() {
  tarvoPostMessage('jsEvent', JSON.stringify({event: 2, lang: navigator.language,
                                              agent: navigator.userAgent}));
});
</script></body></html>)page";
}

inline bool WriteText(const std::wstring& path, const std::string& text) {
  std::ofstream out(path.c_str(), std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

inline std::string ReadText(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A fresh scratch folder under the temporary folder.
inline std::wstring ScratchFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder =
      std::wstring(temp) + name + L"-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

// The engine's address of a Windows file.
inline std::string FileUrl(const std::wstring& path) { return "file://" + EnginePath(path); }

// Host process ids whose environment carries the profile folder |unix_profile| (the engine's
// processes, see engine_keeper.h).
inline std::vector<int> EngineProcesses(const std::string& unix_profile) {
  std::vector<int> found;
  const std::string marker = "TARVO_ENGINE_PROFILE=" + unix_profile + std::string(1, '\0');
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(L"Z:\\proc\\*", &entry);
  if (find == INVALID_HANDLE_VALUE) return found;
  do {
    const int pid = _wtoi(entry.cFileName);
    if (pid <= 0) continue;
    const std::string environment =
        ReadText(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\environ") + std::string(1, '\0');
    if (environment.find(marker) != std::string::npos) found.push_back(pid);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return found;
}

// Waits up to |ms| for no engine process of |unix_profile| to be left.
inline bool NoEngineProcessWithin(const std::string& unix_profile, DWORD ms) {
  const ULONGLONG deadline = GetTickCount64() + ms;
  while (!EngineProcesses(unix_profile).empty()) {
    if (GetTickCount64() > deadline) return false;
    Sleep(100);
  }
  return true;
}

// Sends SIGKILL to host process |pid| (Wine runs the host's own kill).
inline void KillHostProcess(int pid) {
  std::wstring command = L"Z:\\bin\\kill -KILL " + std::to_wstring(pid);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                     nullptr, &startup, &process)) {
    if (process.hProcess != nullptr) CloseHandle(process.hProcess);
    if (process.hThread != nullptr) CloseHandle(process.hThread);
  }
}

}  // namespace engine_test
