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
  // The picture handed to the shadow window by its last repaint: top-down 32-bit premultiplied
  // BGRA pixels of the shadow's size (null before the first repaint). Layered windows are not
  // always blended on screen (no compositor), so this is what shows what the shadow draws.
  const DWORD* GetPictureBits(SIZE* size) const;

 private:
  static LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                     DWORD_PTR data);
  void Follow();
  void Repaint();
  void Detach();
  void FreePicture();

  HWND m_hWnd = nullptr;
  HWND m_hParent = nullptr;
  std::wstring m_image;
  RECT m_corner{};
  RECT m_hole{};
  SIZE m_lastSize{};
  HBITMAP m_hbmpPicture = nullptr;  // owned; the last repaint's picture
  DWORD* m_pPictureBits = nullptr;  // pixels of m_hbmpPicture
  SIZE m_szPicture{};
};

}  // namespace DuiLib
