#include "platform/browser/engine/engine_keeper.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include <fstream>
#include <sstream>
#include <vector>

#include "platform/browser/engine/engine_paths.h"

namespace {

constexpr char kDefaultEngines[] = "/usr/bin/chromium-headless-shell /usr/bin/chromium";

// Switches every engine start gets: the protocol on a free loopback port only, no first-run
// work, no network traffic of the engine's own (this machine and many offices block it).
constexpr const char* kEngineSwitches[] = {
    "--remote-debugging-port=0",
    "--remote-debugging-address=127.0.0.1",
    "--no-first-run",
    "--no-default-browser-check",
    "--disable-gpu",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-default-apps",
    "--disable-quic",
};

bool WriteFileText(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == text.size();
}

std::string ReadFileText(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string EnvironmentText(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD n = GetEnvironmentVariableW(name, value, 1024);
  return n > 0 && n < 1024 ? WideToUtf8(std::wstring(value, n)) : std::string();
}

// Sets the file's modification time to now.
void Touch(HANDLE file) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  SetFileTime(file, nullptr, nullptr, &now);
}

// The keeper's heartbeat thread: touches keeper-alive twice a second until the process ends.
DWORD WINAPI Heartbeat(void* file) {
  for (;;) {
    Touch(static_cast<HANDLE>(file));
    Sleep(500);
  }
}

int Fail(const std::wstring& profile, int code) {
  WriteFileText(profile + L"\\" + kEngineEndedFile, std::to_string(code) + "\n");
  return code;
}

// Locale and user agent from the settings file.
void ReadSettings(const std::wstring& profile, std::string* locale, std::string* user_agent) {
  std::istringstream lines(ReadFileText(profile + L"\\" + kEngineSettingsFile));
  std::getline(lines, *locale);
  std::getline(lines, *user_agent);
}

std::string EngineArguments(const std::string& data, const std::string& locale,
                            const std::string& user_agent) {
  std::string args;
  for (const char* s : kEngineSwitches) args += std::string(" ") + s;
  args += " " + ShellQuote("--user-data-dir=" + data);
  if (!locale.empty()) args += " " + ShellQuote("--lang=" + locale);
  if (!user_agent.empty()) args += " " + ShellQuote("--user-agent=" + user_agent);
  return args + " about:blank";
}

int StartUnderWine(const std::wstring& profile) {
  const std::string unix_profile = EnginePath(profile);
  if (unix_profile.empty()) return Fail(profile, 2);
  std::string locale, user_agent;
  ReadSettings(profile, &locale, &user_agent);
  std::string candidates = EnvironmentText(L"TARVO_WEB_ENGINE");
  candidates = candidates.empty() ? kDefaultEngines : ShellQuote(candidates);

  const std::wstring alive_path = profile + L"\\" + kKeeperAliveFile;
  HANDLE alive = CreateFileW(alive_path.c_str(), GENERIC_WRITE | FILE_WRITE_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (alive == INVALID_HANDLE_VALUE) return Fail(profile, 3);

  const std::string script =
      "#!/bin/sh\n"
      "# Runs the web engine while the render process that started it is alive: that process\n"
      "# touches keeper-alive twice a second; when it has not for more than 3 s, the engine's\n"
      "# process group is ended.\n"
      "profile=" +
      ShellQuote(unix_profile) +
      "\n"
      "log=\"$profile/engine.log\"\n"
      "exec >>\"$log\" 2>&1\n"
      "alive=\"$profile/keeper-alive\"\n"
      "engine=''\n"
      "for candidate in " +
      candidates +
      "; do\n"
      "  if [ -x \"$candidate\" ]; then engine=$candidate; break; fi\n"
      "done\n"
      "if [ -z \"$engine\" ]; then\n"
      "  echo \"no web engine found\" >>\"$log\"; echo 127 >\"$profile/engine-ended\"; exit 127\n"
      "fi\n"
      "set --" +
      EngineArguments(unix_profile + "/data", locale, user_agent) +
      "\n"
      "case \"$engine\" in *headless-shell*) ;; *) set -- --headless \"$@\" ;; esac\n"
      "if [ \"$(id -u)\" = 0 ]; then set -- --no-sandbox \"$@\"; fi\n"
      "TARVO_ENGINE_PROFILE=\"$profile\" setsid \"$engine\" \"$@\" </dev/null >>\"$log\" 2>&1 &\n"
      "pid=$!\n"
      "{\n"
      "  while sleep 1; do\n"
      "    beat=$(stat -c %Y \"$alive\" 2>/dev/null || echo 0)\n"
      "    [ $(($(date +%s) - beat)) -le 3 ] || break\n"
      "  done\n"
      "  kill -TERM -\"$pid\" 2>/dev/null; sleep 2; kill -KILL -\"$pid\" 2>/dev/null\n"
      "} </dev/null >/dev/null 2>&1 &\n"
      "watcher=$!\n"
      "wait \"$pid\"\n"
      "code=$?\n"
      "kill \"$watcher\" 2>/dev/null\n"
      "kill -KILL -\"$pid\" 2>/dev/null\n"
      "echo \"$code\" >\"$profile/engine-ended\"\n";
  const std::wstring script_path = profile + L"\\engine-start.sh";
  if (!WriteFileText(script_path, script)) {
    CloseHandle(alive);
    return Fail(profile, 3);
  }
  Touch(alive);

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::wstring command = L"Z:\\bin\\sh \"" + Utf8ToWide(EnginePath(script_path)) + L"\"";
  // Wine starts a native program and gives back neither a process handle nor a usable id; the
  // engine's end is learnt from its protocol connection (and "engine-ended").
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &process)) {
    CloseHandle(alive);
    return Fail(profile, 5);
  }
  if (process.hProcess != nullptr) CloseHandle(process.hProcess);
  if (process.hThread != nullptr) CloseHandle(process.hThread);
  // The heartbeat runs for the rest of this process's life (the thread owns |alive|).
  HANDLE beat = CreateThread(nullptr, 0, &Heartbeat, alive, 0, nullptr);
  if (beat == nullptr) return Fail(profile, 6);
  CloseHandle(beat);
  return 0;
}

// Windows: an installed browser of the same family, in a job object that ends it with this
// process.
int StartOnWindows(const std::wstring& profile) {
  std::wstring program = Utf8ToWide(EnvironmentText(L"TARVO_WEB_ENGINE"));
  if (program.empty()) {
    wchar_t base[MAX_PATH];
    const wchar_t* known[][2] = {
        {L"ProgramFiles(x86)", L"\\Microsoft\\Edge\\Application\\msedge.exe"},
        {L"ProgramFiles", L"\\Microsoft\\Edge\\Application\\msedge.exe"},
        {L"ProgramFiles", L"\\Google\\Chrome\\Application\\chrome.exe"},
        {L"ProgramFiles(x86)", L"\\Google\\Chrome\\Application\\chrome.exe"}};
    for (const auto& entry : known) {
      const DWORD n = GetEnvironmentVariableW(entry[0], base, MAX_PATH);
      if (n == 0 || n >= MAX_PATH) continue;
      const std::wstring candidate = std::wstring(base, n) + entry[1];
      if (GetFileAttributesW(candidate.c_str()) != INVALID_FILE_ATTRIBUTES) {
        program = candidate;
        break;
      }
    }
  }
  if (program.empty()) return Fail(profile, 127);
  std::string locale, user_agent;
  ReadSettings(profile, &locale, &user_agent);
  std::wstring command = L"\"" + program + L"\" --headless";
  for (const char* s : kEngineSwitches) command += L" " + Utf8ToWide(s);
  command += L" \"--user-data-dir=" + profile + L"\\data\"";
  if (!locale.empty()) command += L" \"--lang=" + Utf8ToWide(locale) + L"\"";
  if (!user_agent.empty()) {
    std::wstring quoted;
    for (wchar_t c : Utf8ToWide(user_agent))
      quoted += c == L'"' ? std::wstring(L"\\\"") : std::wstring(1, c);
    command += L" \"--user-agent=" + quoted + L"\"";
  }
  command += L" about:blank";
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return Fail(profile, 4);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE,
                      CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
    CloseHandle(job);
    return Fail(profile, 5);
  }
  AssignProcessToJobObject(job, process.hProcess);
  ResumeThread(process.hThread);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // |job| stays open for the rest of this process's life: its end ends the engine.
  return 0;
}

}  // namespace

bool ParseEngineKeeperCommandLine(const wchar_t* command_line, std::wstring* profile) {
  if (command_line == nullptr) return false;
  int count = 0;
  wchar_t** args = CommandLineToArgvW(command_line, &count);
  if (args == nullptr) return false;
  bool keeper = false;
  std::wstring found;
  const size_t prefix = std::wcslen(kEngineProfileArgument);
  for (int i = 1; i < count; ++i) {
    const std::wstring arg = args[i];
    if (arg == kEngineKeeperType) keeper = true;
    if (arg.compare(0, prefix, kEngineProfileArgument) == 0) found = arg.substr(prefix);
  }
  LocalFree(args);
  if (!keeper || found.empty()) return false;
  *profile = found;
  return true;
}

int LaunchEngine(const std::wstring& profile) {
  return RunningUnderWine() ? StartUnderWine(profile) : StartOnWindows(profile);
}
