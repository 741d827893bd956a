#pragma once

#include <string>

// The engine's keeper: the render process (Sorvane) that the browser library starts with the
// keeper's arguments starts the web engine and ties the engine's life to its own. Under Wine
// the engine is a native program started through a small shell script. The keeper touches a
// file twice a second; when the keeper has ended, however it ended, the file goes stale and the
// script ends the engine's whole process group within about 5 s. (A pipe as the script's
// standard input would be quicker, but Wine hands a native program started by a GUI process
// /dev/null in its place.) On Windows the engine runs in a job object that ends it with the
// keeper (not built or tested here).
//
// The profile folder (a Windows path, one per client) holds what the client and the keeper
// share:
//   engine-settings   written by the client: the page locale ("zh-CN") and the user-agent
//                     text, one per line (either may be empty);
//   engine-start.sh   the start script, written by the keeper;
//   keeper-alive      touched by the keeper twice a second;
//   engine.log        the engine's own output;
//   engine-ended      the engine's exit code, written when the engine has ended;
//   data\             the engine's user-data folder, where it writes "DevToolsActivePort".
//
// The engine program is the one the environment variable TARVO_WEB_ENGINE names (a native
// path), else the first of /usr/bin/chromium-headless-shell and /usr/bin/chromium found.

// The argument that makes a render process the keeper, and the one that names the profile.
inline constexpr wchar_t kEngineKeeperType[] = L"--type=tarvo-engine";
inline constexpr wchar_t kEngineProfileArgument[] = L"--engine-profile=";

// File names inside the profile folder.
inline constexpr wchar_t kEngineSettingsFile[] = L"engine-settings";
inline constexpr wchar_t kEngineEndedFile[] = L"engine-ended";
inline constexpr wchar_t kKeeperAliveFile[] = L"keeper-alive";
inline constexpr wchar_t kEngineDataFolder[] = L"data";
inline constexpr wchar_t kEnginePortFile[] = L"data\\DevToolsActivePort";

// Reads the keeper's arguments from |command_line|; true and the profile folder when they are
// there.
bool ParseEngineKeeperCommandLine(const wchar_t* command_line, std::wstring* profile);

// Starts the engine for the profile folder |profile| and returns 0, or a non-zero code (after
// writing it to "engine-ended") when the engine could not be started. The engine then lives
// until this process ends.
int LaunchEngine(const std::wstring& profile);
