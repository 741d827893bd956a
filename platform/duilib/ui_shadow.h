#pragma once

// CWndShadow: a soft drop shadow drawn around a window. The shadow is a layered, click-through
// popup behind the window, painted from a nine-slice image with per-pixel alpha; it follows
// the window's moves, resizes, showing and hiding, and goes when the window is destroyed.
// UI thread only.

#include <windows.h>

#include <string>

namespace DuiLib {

class CWndShadow {
 public:
  // Registers the shadow window class in `instance`; call once before Create.
  static bool Initialize(HINSTANCE instance);

  CWndShadow();
  virtual ~CWndShadow();
  CWndShadow(const CWndShadow&) = delete;
  CWndShadow& operator=(const CWndShadow&) = delete;

  // The shadow image (a skin resource name), the sizes of its corners, and the hole: the
  // distances from the shadow's outer edge to the window's edge (left, top, right, bottom).
  bool SetImage(const wchar_t* image, RECT corner, RECT hole);
  // Attaches the shadow to `parent`. Returns false when not initialised, when already created
  // or when `parent` is not a window.
  bool Create(HWND parent);

  HWND GetHWND() const { return m_hWnd; }
  HWND GetParentWindow() const { return m_hParent; }

 private:
  static LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                     DWORD_PTR data);
  void Follow();
  void Repaint();
  void Detach();

  HWND m_hWnd = nullptr;
  HWND m_hParent = nullptr;
  std::wstring m_image;
  RECT m_corner{};
  RECT m_hole{};
  SIZE m_lastSize{};
};

}  // namespace DuiLib
