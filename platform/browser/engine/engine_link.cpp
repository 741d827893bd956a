#include "platform/browser/engine/engine_link.h"

#include <windows.h>

#include <fstream>
#include <sstream>
#include <utility>

#include "platform/browser/engine/engine_keeper.h"
#include "platform/browser/engine/engine_paths.h"

namespace {

// How long the engine may take to open its port.
constexpr DWORD kStartLimitMs = 30000;
constexpr DWORD kPollMs = 50;
// How long Stop waits for the engine to end before removing its folder.
constexpr DWORD kEndWaitMs = 3000;

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// "DevToolsActivePort": the port on the first line, the browser endpoint's path on the second.
bool ReadPortFile(const std::wstring& path, int* port, std::string* endpoint) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::string first, second;
  if (!std::getline(in, first) || !std::getline(in, second)) return false;
  while (!second.empty() && (second.back() == '\r' || second.back() == ' ')) second.pop_back();
  *port = std::atoi(first.c_str());
  *endpoint = second;
  return *port > 0 && endpoint->compare(0, 10, "/devtools/") == 0;
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
          (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        RemoveTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

// Age in seconds of the file or folder |path|'s last write; -1 when it cannot be read.
long long AgeSeconds(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  auto ticks = [](const FILETIME& t) {
    return (static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return (ticks(now) - ticks(data.ftLastWriteTime)) / 10000000;
}

// Removes the profile folders of clients that ended without removing theirs (killed): a
// folder whose keeper has not been alive for a minute.
void RemoveStaleProfiles(const std::wstring& temp) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((temp + L"TarvoLive-web-*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
    const std::wstring folder = temp + entry.cFileName;
    long long age = AgeSeconds(folder + L"\\" + kKeeperAliveFile);
    if (age < 0) age = AgeSeconds(folder);
    if (age > 60) RemoveTree(folder);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
}

}  // namespace

EngineLink::~EngineLink() { Stop(); }

bool EngineLink::Start(const std::wstring& keeper, const std::string& locale,
                       const std::string& user_agent, Callbacks callbacks) {
  if (keeper_ != nullptr) return false;
  wchar_t temp[MAX_PATH];
  const DWORD n = GetTempPathW(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH) return false;
  RemoveStaleProfiles(std::wstring(temp, n));
  profile_ = std::wstring(temp, n) + L"TarvoLive-web-" + std::to_wstring(GetCurrentProcessId()) +
             L"-" + std::to_wstring(GetTickCount64());
  if (!CreateDirectoryW(profile_.c_str(), nullptr) ||
      !CreateDirectoryW((profile_ + L"\\" + kEngineDataFolder).c_str(), nullptr)) {
    return false;
  }
  {
    std::ofstream settings((profile_ + L"\\" + kEngineSettingsFile).c_str(), std::ios::binary);
    settings << locale << "\n" << user_agent << "\n";
    if (!settings) return false;
  }
  std::wstring command = L"\"" + keeper + L"\" " + kEngineKeeperType + L" \"" +
                         kEngineProfileArgument + profile_ + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    RemoveTree(profile_);
    return false;
  }
  CloseHandle(process.hThread);
  keeper_ = process.hProcess;
  stop_event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  callbacks_ = std::move(callbacks);
  waiter_ = std::thread([this] { Wait(); });
  return true;
}

void EngineLink::Wait() {
  const std::wstring port_file = profile_ + L"\\" + kEnginePortFile;
  const std::wstring ended_file = profile_ + L"\\" + kEngineEndedFile;
  HANDLE waits[2] = {stop_event_, keeper_};
  const ULONGLONG deadline = GetTickCount64() + kStartLimitMs;
  for (;;) {
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, kPollMs);
    if (woke == WAIT_OBJECT_0) return;  // Stop.
    int port = 0;
    std::string endpoint;
    if (ReadPortFile(port_file, &port, &endpoint)) {
      if (!socket_.Open(port, endpoint, callbacks_.message, callbacks_.ended)) {
        callbacks_.failed("no protocol connection to the web engine on port " +
                          std::to_string(port));
        return;
      }
      port_ = port;
      callbacks_.ready();
      return;
    }
    if (woke == WAIT_OBJECT_0 + 1) {
      DWORD code = 0;
      GetExitCodeProcess(keeper_, &code);
      callbacks_.failed("the render process ended at start with code " + std::to_string(code));
      return;
    }
    if (FileExists(ended_file)) {
      std::ifstream in(ended_file.c_str());
      std::string code;
      std::getline(in, code);
      callbacks_.failed("the web engine ended at start (code " + code + "); see " +
                        WideToUtf8(profile_) + "\\engine.log");
      return;
    }
    if (GetTickCount64() > deadline) {
      callbacks_.failed("the web engine did not open its port within 30 s");
      return;
    }
  }
}

void EngineLink::Stop() {
  if (keeper_ == nullptr) return;
  SetEvent(stop_event_);
  if (waiter_.joinable()) waiter_.join();
  const std::wstring ended_file = profile_ + L"\\" + kEngineEndedFile;
  // Asked to close, the engine ends at once; the keeper's end would end it within seconds.
  if (port_ != 0 && socket_.Send("{\"id\":0,\"method\":\"Browser.close\"}")) {
    const ULONGLONG deadline = GetTickCount64() + kEndWaitMs;
    while (RunningUnderWine() && !FileExists(ended_file) && GetTickCount64() < deadline) Sleep(20);
  }
  socket_.Close();
  TerminateProcess(keeper_, 0);
  WaitForSingleObject(keeper_, kEndWaitMs);
  CloseHandle(keeper_);
  keeper_ = nullptr;
  CloseHandle(stop_event_);
  stop_event_ = nullptr;
  RemoveTree(profile_);
  port_ = 0;
}
