#pragma once

// CmIconOption: one application in the share window's list: an option that shows a snapshot of
// the application's window, its icon and its title. UI thread only.

#include <windows.h>

#include "platform/duilib/UIlib.h"

class CmIconOption : public DuiLib::COptionUI {
 public:
  CmIconOption() = default;
  ~CmIconOption() override;
  const wchar_t* GetClass() const override { return L"CmIconOption"; }

  // Takes a snapshot of the whole of `window` now; `icon` is not owned.
  void SetWindowAndIcon(HWND window, HICON icon);
  HWND GetSourceWindow() const { return m_hSource; }
  bool HasSnapshot() const { return m_hSnapshot != nullptr; }

  void PaintStatusImage(HDC hdc) override;

 private:
  HWND m_hSource = nullptr;
  HBITMAP m_hSnapshot = nullptr;  // Owned 24-bit top-down DIB section.
  int m_nSnapWidth = 0;
  int m_nSnapHeight = 0;
  HICON m_hIcon = nullptr;
};
