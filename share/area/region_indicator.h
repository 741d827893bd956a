#pragma once

// CRegionIndicator: the area frame of an area share. A topmost layered frame around the shared
// area, with a tab to drag it by at the top, twelve resize handles that keep the aspect ratio
// (16:9 or 4:3) and a bar with the two aspect buttons below the area. The area itself is a hole
// in the window's region; pure white pixels are transparent (colour key).
//
// A new frame is 1038 x 631 centred on the desktop (a 1024 x 576 area, 16:9). Drags that would
// take the area outside 640 x 360 .. 1920 x 1080 change nothing.
//
// Threads: the window belongs to the UI thread. GetAreaRect may be called from any thread (the
// canvas engine's frame pull reads it).

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>

#include "share/area/image_btn.h"
#include "share/area/region_geometry.h"
#include "share/window/base_win_frame.h"

class CRegionIndicator : public CBaseWinFrame, public CImageBtnOwner {
 public:
  static constexpr const wchar_t* kClassName = L"CRegionIndicator";
  static constexpr int kPlacedMode = 2;

  CRegionIndicator();
  ~CRegionIndicator() override;

  // Creates the frame and places it centred on the desktop.
  HWND CreateFrame();
  void Show();
  void Hide();

  // The shared area (screen coordinates); empty while the window rectangle is.
  RECT GetAreaRect() const;
  int GetAspect() const { return m_nAspect; }
  // Turns the frame to `aspect` (region::kAspect4x3 or kAspect16x9) as the buttons do.
  void SetAspect(int aspect);
  // The handle under a client point (0..11), or -1.
  int HandleAt(POINT client_point) const;
  // The cursor the frame shows over a client point.
  HCURSOR CursorAt(POINT client_point) const;
  const RECT& GetButtonBar() const { return m_rcButtonBar; }
  const CImageBtn& Button4x3() const { return *m_pBtn4x3; }
  const CImageBtn& Button16x9() const { return *m_pBtn16x9; }

  // CImageBtnOwner.
  void OnImageBtnNotify(CImageBtn* button) override;
  void OnImageBtnChanged(CImageBtn* button) override;

 protected:
  void OnPaint(HDC dc) override;
  LRESULT OnDefaultMessage(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnCreate(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnSize(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnSetCursor(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnLButtonDown(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnMouseMove(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnLButtonUp(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnEraseBkgnd(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;

 private:
  void Layout();
  void Place();
  void StoreArea();

  bool m_bDragging = false;
  POINT m_ptLast{};
  HCURSOR m_hMoveCursor = nullptr;
  RECT m_rcHandles[region::kHandleCount]{};
  int m_nPlacement = -1;
  int m_nAspect = region::kAspect4x3;
  POINT m_ptAnchor{};
  int m_nHandle = region::kMoveHandle;
  HCURSOR m_hSizeWE = nullptr;
  HCURSOR m_hSizeNS = nullptr;
  HCURSOR m_hSizeNESW = nullptr;
  HCURSOR m_hSizeNWSE = nullptr;
  RECT m_rcButtonBar{};
  std::unique_ptr<CImageBtn> m_pBtn4x3;
  RECT m_rc4x3{};
  std::unique_ptr<CImageBtn> m_pBtn16x9;
  RECT m_rc16x9{};
  RECT m_rcSpare{};  // Left of the buttons; no width.
  std::wstring m_sCursorFolder;
  std::unique_ptr<Gdiplus::Image> m_pBarImage;
  HFONT m_hFont = nullptr;  // Owned.

  mutable std::mutex m_areaLock;  // Guards m_rcArea, the copy other threads read.
  RECT m_rcArea{};
};
