#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// Launching the outside updater program "TarvoUpDate.exe" that lies in the client's folder, and
// reacting to its exit code.

// Exit codes of the updater that the client knows.
constexpr int32_t kUpdateWhileRunning = 0xF008;   // run again without check to install
constexpr int32_t kUpdateReplacesFiles = 0xF009;  // run again; when that gives 0 the client ends
constexpr int32_t kUpdaterNoExitCode = -1;        // the updater could not be run or waited for

// Everything the updater's command line is made of.
struct UpdaterLaunch {
  std::wstring folder;       // the program folder, ending in "\"
  std::wstring server;       // update host and port
  std::wstring version;      // the client's file version "%d.%d.%d.%d"
  std::wstring title;        // the language table's "s.main.title"
  uint16_t language_id = 0;  // the UI language
};

// "#533" for 0x0804, "#534" for 0x0404, "#532" for any other language.
const wchar_t* UpdaterLanguageCode(uint16_t language_id);

// "server=%s dev=%s version=%s check=%s LANG=%s title=%s"; the "check=true" argument only when
// |check|.
std::wstring UpdaterArguments(bool check, const UpdaterLaunch& launch);

// Runs the updater and waits for it. Returns its exit code, or kUpdaterNoExitCode.
int32_t RunUpdater(bool check, const UpdaterLaunch& launch);

// Starts the updater without check and without waiting (the client keeps running); the process
// handle is not kept. Returns whether it started.
bool StartUpdater(const UpdaterLaunch& launch);

// The start-up update check, run on a detached thread: |running| is set while it works. When an
// update must replace the client's files and the install run answers 0, |end_client| is called
// (the main window then closes itself on the UI thread) instead of ending the process here.
void UpdateCheckThread(const UpdaterLaunch& launch, std::atomic<bool>& running,
                       const std::function<void()>& end_client);
