#include "shell/updater/updater.h"

#include <windows.h>
#include <shellapi.h>

namespace {

constexpr wchar_t kUpdaterProgram[] = L"TarvoUpDate.exe";
constexpr wchar_t kProductId[] = L"TarvoZentavo.Windows";

// Starts the updater; returns its process handle (owned by the caller) or null.
HANDLE Launch(bool check, const UpdaterLaunch& launch) {
  const std::wstring program = launch.folder + kUpdaterProgram;
  const std::wstring arguments = UpdaterArguments(check, launch);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  // No error box when the updater is missing: the caller treats that as "no update", and a
  // modal box on a detached thread would hang the check.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = program.c_str();
  info.lpParameters = arguments.c_str();
  info.lpDirectory = launch.folder.c_str();
  info.nShow = SW_SHOW;
  if (!ShellExecuteExW(&info)) return nullptr;
  return info.hProcess;
}

}  // namespace

const wchar_t* UpdaterLanguageCode(uint16_t language_id) {
  if (language_id == 0x0804) return L"#533";
  if (language_id == 0x0404) return L"#534";
  return L"#532";
}

std::wstring UpdaterArguments(bool check, const UpdaterLaunch& launch) {
  std::wstring text =
      L"server=" + launch.server + L" dev=" + kProductId + L" version=" + launch.version;
  if (check) text += L" check=true";
  text += L" LANG=";
  text += UpdaterLanguageCode(launch.language_id);
  text += L" title=" + launch.title;
  return text;
}

int32_t RunUpdater(bool check, const UpdaterLaunch& launch) {
  HANDLE process = Launch(check, launch);
  if (!process) return kUpdaterNoExitCode;
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  const bool ok = GetExitCodeProcess(process, &code) != FALSE;
  CloseHandle(process);
  return ok ? static_cast<int32_t>(code) : kUpdaterNoExitCode;
}

bool StartUpdater(const UpdaterLaunch& launch) {
  HANDLE process = Launch(false, launch);
  if (!process) return false;
  CloseHandle(process);
  return true;
}

void UpdateCheckThread(const UpdaterLaunch& launch, std::atomic<bool>& running,
                       const std::function<void()>& end_client) {
  running = true;
  const int32_t answer = RunUpdater(true, launch);
  if (answer == kUpdateWhileRunning) {
    RunUpdater(false, launch);
  } else if (answer == kUpdateReplacesFiles) {
    if (RunUpdater(false, launch) == 0 && end_client) end_client();
  }
  running = false;
}
