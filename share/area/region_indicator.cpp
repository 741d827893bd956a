#include "share/area/region_indicator.h"

#include <windowsx.h>

#include "foundation/log.h"
#include "platform/duilib/UIlib.h"
#include "share/window/gdi_objects.h"

namespace {

constexpr COLORREF kFrameColour = RGB(234, 73, 75);
constexpr COLORREF kBarColour = RGB(73, 78, 87);
constexpr std::uint32_t kButtonTextColour = 0xCCFFFFFF;

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void CutRect(HRGN region, int left, int top, int right, int bottom) {
  if (right <= left || bottom <= top) return;
  share::ScopedRegion cut(CreateRectRgn(left, top, right, bottom));
  CombineRgn(region, region, cut.get(), RGN_DIFF);
}

void AddRect(HRGN region, int left, int top, int right, int bottom) {
  share::ScopedRegion add(CreateRectRgn(left, top, right, bottom));
  CombineRgn(region, region, add.get(), RGN_OR);
}

}  // namespace

CRegionIndicator::CRegionIndicator()
    : m_pBtn4x3(std::make_unique<CImageBtn>(this, L"4:3")),
      m_pBtn16x9(std::make_unique<CImageBtn>(this, L"16:9")),
      m_sCursorFolder(DuiLib::CPaintManagerUI::GetInstancePath() + L"cursor\\") {}

CRegionIndicator::~CRegionIndicator() {
  if (m_hWnd && IsWindow(m_hWnd)) {
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
  }
  m_pBtn4x3.reset();
  m_pBtn16x9.reset();
  if (m_hFont) DeleteObject(m_hFont);
}

HWND CRegionIndicator::CreateFrame() {
  HWND window = Create(nullptr, 0, 0, 0, 0, kClassName, L" ", WS_POPUP,
                       WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
  if (window && m_nPlacement != kPlacedMode) Place();
  return window;
}

void CRegionIndicator::Place() {
  RECT desktop{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  const int cx = (desktop.left + desktop.right) / 2;
  const int cy = (desktop.top + desktop.bottom) / 2;
  SetWindowPos(m_hWnd, nullptr, cx - 519, cy - 315, 1038, 631, SWP_NOZORDER | SWP_NOACTIVATE);
  m_nPlacement = kPlacedMode;
  StoreArea();
}

void CRegionIndicator::Show() {
  if (!m_hWnd) return;
  if (!IsWindowVisible(m_hWnd)) ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
  SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void CRegionIndicator::Hide() {
  if (m_hWnd && IsWindowVisible(m_hWnd)) ShowWindowAsync(m_hWnd, SW_HIDE);
}

RECT CRegionIndicator::GetAreaRect() const {
  std::lock_guard<std::mutex> lock(m_areaLock);
  return m_rcArea;
}

void CRegionIndicator::StoreArea() {
  RECT window{};
  if (m_hWnd) GetWindowRect(m_hWnd, &window);
  const RECT area = region::AreaOfWindow(window);
  std::lock_guard<std::mutex> lock(m_areaLock);
  m_rcArea = area;
}

LRESULT CRegionIndicator::OnDefaultMessage(UINT message, WPARAM, LPARAM, BOOL&) {
  if (message == WM_WINDOWPOSCHANGED) StoreArea();
  return 0;
}

LRESULT CRegionIndicator::OnCreate(UINT, WPARAM, LPARAM, BOOL& handled) {
  m_hMoveCursor = LoadCursorW(nullptr, IDC_SIZEALL);
  m_hSizeWE = LoadCursorW(nullptr, IDC_SIZEWE);
  m_hSizeNS = LoadCursorW(nullptr, IDC_SIZENS);
  m_hSizeNESW = LoadCursorW(nullptr, IDC_SIZENESW);
  m_hSizeNWSE = LoadCursorW(nullptr, IDC_SIZENWSE);
  SetLayeredWindowAttributes(m_hWnd, RGB(255, 255, 255), 0, LWA_COLORKEY);
  Layout();
  const DuiLib::CDuiString family =
      DuiLib::CMutiLanSupport::Instance()->GetTextForId(L"s.font.default");
  if (!m_hFont) {
    m_hFont = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                          DEFAULT_PITCH, family.empty() ? L"Tahoma" : family.c_str());
  }
  m_pBtn4x3->SetText(L"4:3");
  m_pBtn4x3->SetTextColour(kButtonTextColour);
  m_pBtn4x3->SetFont(m_hFont);
  m_pBtn4x3->LoadImage(m_sCursorFolder + L"rectunclicked.png", 1);
  m_pBtn16x9->SetText(L"16:9");
  m_pBtn16x9->SetTextColour(kButtonTextColour);
  m_pBtn16x9->SetFont(m_hFont);
  m_pBtn16x9->LoadImage(m_sCursorFolder + L"rectclicked.png", 1);
  m_nAspect = region::kAspect16x9;
  m_pBarImage = std::make_unique<Gdiplus::Image>((m_sCursorFolder + L"regionbk.png").c_str());
  if (m_pBarImage->GetLastStatus() != Gdiplus::Ok) {
    TVLOG_WARN_THIS() << "regionbk.png missing";
    m_pBarImage.reset();
  }
  handled = TRUE;
  return 0;
}

LRESULT CRegionIndicator::OnSize(UINT, WPARAM, LPARAM, BOOL& handled) {
  Layout();
  StoreArea();
  handled = TRUE;
  return 0;
}

void CRegionIndicator::Layout() {
  if (!m_hWnd) return;
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const int L = client.left, T = client.top, R = client.right, B = client.bottom;
  const RECT area{L + region::kLeftMargin, T + region::kTopMargin, R - region::kRightMargin,
                  B - region::kBottomMargin};
  if (R - L > 0 && B - T > 0) {
    share::ScopedRegion shape(CreateRectRgn(L, T, R, B));
    HRGN rgn = shape.get();
    CutRect(rgn, area.left, area.top, area.right, area.bottom);
    CutRect(rgn, L, T, R, T + 11);
    CutRect(rgn, L + 60, T, R - 60, T + 16);
    CutRect(rgn, L + 60, B - 35, R - 60, B - 30);
    CutRect(rgn, L, T + 71, L + 5, B - 90);
    CutRect(rgn, R - 5, T + 71, R, B - 90);
    CutRect(rgn, L, B - 30, R - 90, B);
    CutRect(rgn, R - 90, B - 30, R, B - 28);
    // The tab to drag the frame by, with rounded-off top corners and a grip of small holes.
    const int tab_left = (L + R) / 2 - 40;
    AddRect(rgn, tab_left, T, tab_left + 80, T + 18);
    CutRect(rgn, tab_left, T, tab_left + 1, T + 1);
    CutRect(rgn, tab_left + 79, T, tab_left + 80, T + 1);
    for (int row = 0; row < 2; ++row) {
      for (int column = 0; column < 9; ++column) {
        const int x = tab_left + 11 + 7 * column;
        const int y = T + 5 + 7 * row;
        CutRect(rgn, x, y, x + 2, y + 2);
      }
    }
    // The window owns the region from here on.
    if (SetWindowRgn(m_hWnd, shape.get(), TRUE)) shape.release();
  }
  m_rcButtonBar = RECT{R - 90, B - 28, R, B};
  m_rc16x9 = RECT{R - 45, B - 23, R - 5, B - 5};
  m_rc4x3 = RECT{R - 85, B - 23, R - 45, B - 5};
  m_rcSpare = RECT{R - 85, B - 23, R - 85, B - 5};
  region::HandleRects(area, m_rcHandles);
}

void CRegionIndicator::OnPaint(HDC dc) {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  FillSolid(dc, client, kFrameColour);
  FillSolid(dc, m_rcButtonBar, kBarColour);
  Gdiplus::Graphics graphics(dc);
  const int bar_width = m_rcButtonBar.right - m_rcButtonBar.left;
  if (m_pBarImage) {
    graphics.DrawImage(m_pBarImage.get(), static_cast<INT>(m_rcButtonBar.left),
                       static_cast<INT>(m_rcButtonBar.top), bar_width,
                       static_cast<INT>(m_rcButtonBar.bottom - m_rcButtonBar.top));
  }
  if (bar_width > 0) {
    m_pBtn4x3->SetRect(m_rc4x3.left, m_rc4x3.top, m_rc4x3.right - m_rc4x3.left,
                       m_rc4x3.bottom - m_rc4x3.top);
    m_pBtn16x9->SetRect(m_rc16x9.left, m_rc16x9.top, m_rc16x9.right - m_rc16x9.left,
                        m_rc16x9.bottom - m_rc16x9.top);
    m_pBtn4x3->Paint(graphics);
    m_pBtn16x9->Paint(graphics);
  }
}

LRESULT CRegionIndicator::OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = TRUE;
  return 1;
}

int CRegionIndicator::HandleAt(POINT point) const {
  for (int i = 0; i < region::kHandleCount; ++i) {
    if (PtInRect(&m_rcHandles[i], point)) return i;
  }
  return -1;
}

HCURSOR CRegionIndicator::CursorAt(POINT point) const {
  if (PtInRect(&m_rcButtonBar, point)) return LoadCursorW(nullptr, IDC_ARROW);
  if (m_nPlacement != kPlacedMode) return m_hMoveCursor;
  const int handle = HandleAt(point);
  if (handle >= 0 && handle <= 3) return m_hSizeNS;
  if (handle >= 4 && handle <= 7) return m_hSizeWE;
  if (handle == 8 || handle == 9) return m_hSizeNWSE;
  if (handle == 10 || handle == 11) return m_hSizeNESW;
  return m_hMoveCursor;
}

LRESULT CRegionIndicator::OnSetCursor(UINT, WPARAM, LPARAM, BOOL& handled) {
  POINT point{};
  GetCursorPos(&point);
  ScreenToClient(m_hWnd, &point);
  SetCursor(CursorAt(point));
  handled = TRUE;
  return TRUE;
}

LRESULT CRegionIndicator::OnLButtonDown(UINT, WPARAM, LPARAM lparam, BOOL& handled) {
  handled = TRUE;
  m_bDragging = true;
  SetCapture(m_hWnd);
  POINT client{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  POINT screen = client;
  ClientToScreen(m_hWnd, &screen);
  m_ptLast = screen;
  m_nHandle = region::kMoveHandle;
  if (m_nPlacement == kPlacedMode) {
    const int handle = HandleAt(client);
    if (handle >= 0) m_nHandle = handle;
    m_ptAnchor = screen;
  }
  return 0;
}

LRESULT CRegionIndicator::OnMouseMove(UINT, WPARAM, LPARAM lparam, BOOL& handled) {
  handled = TRUE;
  if (!m_bDragging) return 0;
  POINT cursor{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  ClientToScreen(m_hWnd, &cursor);
  const POINT delta{cursor.x - m_ptLast.x, cursor.y - m_ptLast.y};
  if (delta.x == 0 && delta.y == 0) return 0;
  RECT window{};
  GetWindowRect(m_hWnd, &window);
  const POINT moved{cursor.x - m_ptAnchor.x, cursor.y - m_ptAnchor.y};
  const RECT next = region::DragWindow(m_nHandle, window, cursor, delta, moved, m_nAspect);
  if (region::WithinLimits(next)) {
    MoveWindow(m_hWnd, next.left, next.top, next.right - next.left, next.bottom - next.top, TRUE);
    UpdateWindow(m_hWnd);
  }
  m_ptLast = cursor;
  return 0;
}

LRESULT CRegionIndicator::OnLButtonUp(UINT, WPARAM, LPARAM lparam, BOOL& handled) {
  handled = TRUE;
  const POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  const auto strictly_inside = [&point](const RECT& r) {
    return point.x > r.left && point.x < r.right && point.y > r.top && point.y < r.bottom;
  };
  if (strictly_inside(m_rc4x3)) {
    OnImageBtnNotify(m_pBtn4x3.get());
  } else if (strictly_inside(m_rc16x9)) {
    OnImageBtnNotify(m_pBtn16x9.get());
  }
  if (GetCapture() == m_hWnd) ReleaseCapture();
  m_bDragging = false;
  return 0;
}

void CRegionIndicator::OnImageBtnNotify(CImageBtn* button) {
  SetAspect(button == m_pBtn4x3.get() ? region::kAspect4x3 : region::kAspect16x9);
}

void CRegionIndicator::OnImageBtnChanged(CImageBtn*) {}

void CRegionIndicator::SetAspect(int aspect) {
  const bool four_three = aspect == region::kAspect4x3;
  m_pBtn4x3->LoadImage(m_sCursorFolder + (four_three ? L"rectclicked.png" : L"rectunclicked.png"),
                       1);
  m_pBtn16x9->LoadImage(
      m_sCursorFolder + (four_three ? L"rectunclicked.png" : L"rectclicked.png"), 1);
  if (m_hWnd) InvalidateRect(m_hWnd, &m_rcButtonBar, FALSE);
  if (aspect == m_nAspect) return;
  m_nAspect = aspect;
  if (!m_hWnd) return;
  RECT window{};
  GetWindowRect(m_hWnd, &window);
  RECT desktop{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  const RECT next = region::WindowForAspect(window, aspect, desktop);
  MoveWindow(m_hWnd, next.left, next.top, next.right - next.left, next.bottom - next.top, TRUE);
}
