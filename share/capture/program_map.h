#pragma once

// The programs whose windows can be shared: the visible, titled top-level windows of the
// desktop grouped by process, with each process's executable name from a process snapshot.

#include <windows.h>

#include <map>
#include <string>
#include <vector>

struct ProgramRecord {
  std::vector<HWND> windows;  // Its shareable top-level windows, in z-order from the top.
  DWORD process_id = 0;
  DWORD parent_process_id = 0;
  std::wstring exe_name;  // As the process snapshot gives it ("chrome.exe").
};

// By process id.
using ProgramMap = std::map<DWORD, ProgramRecord>;

// A window the user may share: visible, not a tool window, without parent, not of class
// "Windows.UI.Core.CoreWindow", titled, and not titled "Microsoft Edge".
bool IsShareableTopWindow(HWND window);

// The window's title (at most 259 characters). Windows of this process that belong to another
// thread are read with InternalGetWindowText, which sends no message: their thread may be
// waiting for the caller.
std::wstring ReadWindowTitle(HWND window);

// Adds every shareable top-level window to `programs` and fills in the executable names.
// Failures are logged; the map then stays partial.
void CollectTopWindowAndProcess(ProgramMap* programs);

// The record of the program that owns `window`, or null.
const ProgramRecord* FindProgramOf(const ProgramMap& programs, HWND window);

// True for programs whose windows do not draw into their own device context and are therefore
// always captured from the screen (compared ignoring case; "MICROSOFTEDGE..." by prefix).
bool IsForceScreenProgram(const std::wstring& exe_name);

// Equality of executable names, ignoring case.
bool SameExeName(const std::wstring& a, const wchar_t* b);
