#pragma once

#include <windows.h>

#include <string>

// One pointer-size value stored under a name in a small named file mapping, so that another
// process can read it. The first instance of the client publishes its main window here.
//
// A mutex named <name>"_mtx" marks a writer at work. Readers only look for it, never create it
// (so that two readers never take each other for a writer); a reader that finds it tries again
// for up to 200 ms and then gives up (Read() returns 0) with a log line. An object is used by
// one thread at a time; writer and readers normally live in different processes.
class CxShareCell {
 public:
  CxShareCell(DWORD size, const std::wstring& name);
  ~CxShareCell();
  CxShareCell(const CxShareCell&) = delete;
  CxShareCell& operator=(const CxShareCell&) = delete;

  // Unmaps the view and closes the mapping and the busy marker.
  void Close();

  // Creates the busy marker. True when it did not exist before (kept open unless
  // |close_at_once|); false when another object holds it.
  bool TryMarkBusy(bool close_at_once);
  bool ReleaseBusy();

  // The whole mapping, created (CreateView) or opened (OpenView) on first use; null on failure.
  void* CreateView();
  void* OpenView();

  // Stores |value| in the first word of the cell (creating the mapping); false without one.
  bool Write(UINT_PTR value);
  // The stored value; 0 when a writer stays busy or no mapping exists.
  UINT_PTR Read();

 private:
  // True while a writer holds the busy marker.
  bool WriterBusy() const;

  DWORD size_;
  std::wstring name_;
  HANDLE mutex_ = nullptr;
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
};

// The name and size of the client's single-instance cell.
extern const wchar_t kInstanceCellName[];
constexpr DWORD kInstanceCellSize = 512;

// Second instance's side of the hand-off: reads the running main window from the cell, raises it
// when visible and sends it WM_COPYDATA (wParam 1000, dwData 0, the narrow command line without
// terminator). A hand-off given up (no usable window in the cell, or a first instance that does
// not answer within |timeout_ms|) is logged. Returns whether the command line was delivered.
bool ActivateRunningInstance(const std::string& command_line, UINT timeout_ms = 5000,
                             const wchar_t* cell_name = kInstanceCellName);

// WM_COPYDATA command number of the hand-off.
constexpr WPARAM kCopyDataCommandLine = 1000;
