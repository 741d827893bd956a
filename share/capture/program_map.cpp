#include "share/capture/program_map.h"

#include <tlhelp32.h>

#include <cwchar>
#include <cwctype>

#include "foundation/log.h"

namespace {

BOOL CALLBACK AddShareableWindow(HWND window, LPARAM context) {
  if (!IsShareableTopWindow(window)) return TRUE;
  auto* programs = reinterpret_cast<ProgramMap*>(context);
  DWORD process_id = 0;
  GetWindowThreadProcessId(window, &process_id);
  ProgramRecord& record = (*programs)[process_id];
  record.process_id = process_id;
  record.windows.push_back(window);
  return TRUE;
}

}  // namespace

std::wstring ReadWindowTitle(HWND window) {
  wchar_t title[260] = {};
  DWORD process_id = 0;
  const DWORD thread_id = GetWindowThreadProcessId(window, &process_id);
  if (process_id == GetCurrentProcessId() && thread_id != GetCurrentThreadId()) {
    InternalGetWindowText(window, title, 260);
  } else {
    GetWindowTextW(window, title, 260);
  }
  return title;
}

bool IsShareableTopWindow(HWND window) {
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  const LONG ex_style = GetWindowLongW(window, GWL_EXSTYLE);
  if (!(style & WS_VISIBLE) || (ex_style & WS_EX_TOOLWINDOW) || GetParent(window)) return false;
  wchar_t class_name[256] = {};
  GetClassNameW(window, class_name, 256);
  if (wcscmp(class_name, L"Windows.UI.Core.CoreWindow") == 0) return false;
  const std::wstring title = ReadWindowTitle(window);
  return !title.empty() && title != L"Microsoft Edge";
}

void CollectTopWindowAndProcess(ProgramMap* programs) {
  if (!EnumWindows(AddShareableWindow, reinterpret_cast<LPARAM>(programs))) {
    TVLOG_INFO() << "CollectTopWindowAndProcess EnumWindows err = " << GetLastError();
    return;
  }
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    TVLOG_INFO() << "CollectTopWindowAndProcess CreateToolhelp32Snapshot err = " << GetLastError();
    return;
  }
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    auto found = programs->find(entry.th32ProcessID);
    if (found == programs->end()) continue;
    found->second.exe_name = entry.szExeFile;
    found->second.process_id = entry.th32ProcessID;
    found->second.parent_process_id = entry.th32ParentProcessID;
  }
  CloseHandle(snapshot);
}

const ProgramRecord* FindProgramOf(const ProgramMap& programs, HWND window) {
  DWORD process_id = 0;
  if (!GetWindowThreadProcessId(window, &process_id)) return nullptr;
  auto found = programs.find(process_id);
  return found == programs.end() ? nullptr : &found->second;
}

bool SameExeName(const std::wstring& a, const wchar_t* b) { return _wcsicmp(a.c_str(), b) == 0; }

bool IsForceScreenProgram(const std::wstring& exe_name) {
  static const wchar_t* const kNames[] = {L"chrome.exe",
                                          L"Appium.exe",
                                          L"WINWORD.EXE",
                                          L"EXCEL.EXE",
                                          L"POWERPNT.EXE",
                                          L"OneNoteIm.exe",
                                          L"OneNote.exe",
                                          L"OneNotem.exe",
                                          L"vclass.exe",
                                          L"zclassbase.exe",
                                          L"ApplicationFrameHost.exe"};
  for (const wchar_t* name : kNames) {
    if (SameExeName(exe_name, name)) return true;
  }
  static const wchar_t kEdgePrefix[] = L"MICROSOFTEDGE";
  const std::size_t prefix_length = wcslen(kEdgePrefix);
  if (exe_name.size() < prefix_length) return false;
  for (std::size_t i = 0; i < prefix_length; ++i) {
    if (std::towupper(exe_name[i]) != static_cast<wint_t>(kEdgePrefix[i])) return false;
  }
  return true;
}
