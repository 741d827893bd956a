#include "share/video/video_render_win.h"

#include <windows.h>
#include <windowsx.h>

#include <algorithm>
// GDI+'s headers use min and max unqualified.
using std::max;
using std::min;
#include <objidl.h>
#include <gdiplus.h>

#include "foundation/log.h"
#include "platform/duilib/UIlib.h"
#include "share/video/video_frame_format.h"
#include "share/video/video_tools_frame.h"
#include "shell/login/skin_choice.h"

namespace {

std::wstring InstanceFolder() { return DuiLib::CPaintManagerUI::GetInstancePath(); }

// The no-video picture painted under the video: loaded once, at the first render window, for
// the skin of that moment, and kept for the whole run. Null when it cannot be read.
Gdiplus::Image* PaintPlaceholder() {
  static Gdiplus::Image* picture = [] {
    auto* image = new Gdiplus::Image(CVideoRenderWin::NoVideoPicturePath().c_str());
    if (image->GetLastStatus() != Gdiplus::Ok || image->GetWidth() == 0) {
      TVLOG_WARN() << "no placeholder picture to paint";
      delete image;
      return static_cast<Gdiplus::Image*>(nullptr);
    }
    return image;
  }();
  return picture;
}

HBRUSH BlackBrush() {
  static HBRUSH brush = CreateSolidBrush(RGB(0, 0, 0));
  return brush;
}

}  // namespace

std::wstring CVideoRenderWin::NoVideoPicturePath() {
  return InstanceFolder() +
         (GetSkinIndex() == kSkinOrange ? L"res\\orange\\novideo.png" : L"res\\blue\\novideo.png");
}

std::wstring CVideoRenderWin::DevBusyPicturePath() {
  return InstanceFolder() + L"res\\devbusy.png";
}

CVideoRenderWin::CVideoRenderWin(VideoToolsDelegate* owner, bool tools_enabled)
    : m_bToolsEnabled(tools_enabled),
      m_pOwner(owner),
      m_hPickCursor(LoadCursorFromFileW((InstanceFolder() + L"cursor\\pick.cur").c_str())) {
  PaintPlaceholder();
}

CVideoRenderWin::~CVideoRenderWin() {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    ReleaseCanvas();
  }
  for (DuiLib::CWindowWnd* tools : {static_cast<DuiLib::CWindowWnd*>(m_pVideoTools.get()),
                                    static_cast<DuiLib::CWindowWnd*>(m_pPickTools.get())}) {
    if (tools && tools->GetHWND()) DestroyWindow(tools->GetHWND());
  }
  m_pVideoTools.reset();
  m_pPickTools.reset();
  if (m_hPickCursor) DestroyCursor(m_hPickCursor);
}

void CVideoRenderWin::ReleaseCanvas() {
  if (!m_pCanvas) return;
  m_pCanvas->Stop();
  m_pCanvas->Close();
  Trastor_DestroyCanvas(m_pCanvas);
  m_pCanvas = nullptr;
  m_pSource = nullptr;
}

void CVideoRenderWin::SetupVendraEngine(const std::string& name, int width, int height) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (name == m_canvasName) return;
  ReleaseCanvas();
  m_canvasName = name;
  if (name.empty()) return;
  m_pCanvas = Trastor_CreateCanvas(name.c_str());
  if (m_pCanvas) {
    m_pCanvas->SetBackground(0xFF000000);
    m_pCanvas->SetSize(width, height);
    m_pCanvas->SetFrameRate(15.0f);
    m_pCanvas->SetOutputMode(trastor::kOutputWindow);
    m_pSource = m_pCanvas->CreateSource(trastor::kSourcePush, "SOURCE_VIDEO_SRC", 0);
    if (m_pSource) {
      m_pSource->SetPosition(0, 0);
      m_pSource->SetSize(width, height);
    }
  }
  if (m_pSource) {
    m_pSource->SetPlaceholderImage(NoVideoPicturePath().c_str());
  } else {
    (TVLOG_INFO_THIS() << " m_pVendraVideoSource=").AppendPointer(m_pSource);
  }
}

void CVideoRenderWin::BindCanvas() {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  m_pCanvas->SetWindow(m_hWnd);
  m_pCanvas->SetViewSize(client.right, client.bottom);
  m_pCanvas->Start();
}

void CVideoRenderWin::AttachCanvas(bool on) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_pCanvas) return;
  if (on) {
    BindCanvas();
  } else {
    m_pCanvas->Stop();
  }
}

void CVideoRenderWin::SetViewSize(int width, int height) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_pCanvas) m_pCanvas->SetViewSize(width, height);
}

void CVideoRenderWin::PushFrame(int width, int height, int code, const unsigned char* data,
                                int size) {
  EngineFrame frame;
  if (!data || !MapVideoFrameCode(code, width, height, &frame) || size < frame.length ||
      frame.length > 0x7FFFFFFF) {
    return;
  }
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_pCanvas || !m_pSource || !m_pCanvas->IsRunning()) return;
  if (width != m_lastWidth || height != m_lastHeight) {
    m_lastWidth = width;
    m_lastHeight = height;
  }
  m_pSource->PushFrame(frame.format, width, height, data, static_cast<int>(frame.length));
}

void CVideoRenderWin::SetRotation(int width, int height, int degrees) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_pCanvas) return;
  const bool turned = degrees == 90 || degrees == 270;
  const int canvas_width = turned ? height : width;
  const int canvas_height = turned ? width : height;
  m_pCanvas->SetSize(canvas_width, canvas_height);
  if (m_pSource) {
    m_pSource->SetPosition(0, 0);
    m_pSource->SetSize(canvas_width, canvas_height);
  }
}

void CVideoRenderWin::ShowPlaceholder(const std::wstring& path) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_pCanvas) return;
  m_pCanvas->Stop();
  if (m_pSource) {
    m_pSource->ClearFrame();
    m_pSource->SetPlaceholderImage(path.c_str());
  }
  BindCanvas();
}

void CVideoRenderWin::ShowVideoTools(bool show) {
  if (!m_pVideoTools) return;
  if (show) {
    RECT rect{};
    GetWindowRect(m_hWnd, &rect);
    m_pVideoTools->Place(rect);
  } else {
    m_pVideoTools->Hide();
  }
}

void CVideoRenderWin::ShowPickTools(bool show) {
  if (!m_pPickTools) return;
  if (show && m_bPickToolsEnabled) {
    RECT rect{};
    GetWindowRect(m_hWnd, &rect);
    m_pPickTools->Place(rect);
  } else {
    m_pPickTools->Hide();
  }
}

void CVideoRenderWin::ShowWindow(bool show) {
  if (!m_pVideoTools) return;
  ShowVideoTools(show);
  ShowPickTools(show);
}

void CVideoRenderWin::PlaceToolsFrame() {
  if (!m_hWnd || !IsWindowVisible(m_hWnd)) return;
  ShowVideoTools(true);
  if (m_bPickToolsEnabled) ShowPickTools(true);
}

void CVideoRenderWin::SetPickMode(bool enable) {
  m_bPickToolsEnabled = enable;
  if (!m_pPickTools && m_hWnd) {
    m_pPickTools = std::make_unique<CPickToolsFrame>(m_pOwner);
    m_pPickTools->Create(m_hWnd, L"CVideoToolsFrame", WS_POPUP, WS_EX_TOOLWINDOW);
  }
  ShowPickTools(enable);
}

void CVideoRenderWin::SetToolsState(bool mirror, bool flip) {
  if (m_pVideoTools) m_pVideoTools->SetToolsState(mirror, flip);
}

HCURSOR CVideoRenderWin::CurrentCursor() const {
  if (m_bPicking && m_hPickCursor) return m_hPickCursor;
  return LoadCursorW(nullptr, IDC_ARROW);
}

void CVideoRenderWin::OnPaint(HDC dc) {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  if (Gdiplus::Image* placeholder = PaintPlaceholder()) {
    Gdiplus::Graphics graphics(dc);
    graphics.DrawImage(placeholder, Gdiplus::Rect(0, 0, client.right, client.bottom));
  } else {
    FillRect(dc, &client, BlackBrush());
  }
}

LRESULT CVideoRenderWin::OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL& handled) {
  // Painting covers the whole window; erasing first would only flash.
  handled = TRUE;
  return 1;
}

LRESULT CVideoRenderWin::OnSetCursor(UINT, WPARAM, LPARAM lparam, BOOL& handled) {
  if (LOWORD(lparam) != HTCLIENT || !m_bPicking) return 0;
  SetCursor(CurrentCursor());
  handled = TRUE;
  return TRUE;
}

LRESULT CVideoRenderWin::OnMouseMove(UINT, WPARAM, LPARAM lparam, BOOL&) {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  if (PtInRect(&client, point) && !m_bTracking) {
    m_bTracking = true;
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_HOVER | TME_LEAVE;
    track.hwndTrack = m_hWnd;
    track.dwHoverTime = 400;
    TrackMouseEvent(&track);
  }
  SetCursor(CurrentCursor());
  return 0;
}

LRESULT CVideoRenderWin::OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&) {
  m_bTracking = false;
  return 0;
}

LRESULT CVideoRenderWin::OnLButtonDown(UINT, WPARAM, LPARAM lparam, BOOL&) {
  SetCursor(CurrentCursor());
  if (!m_bPicking) return 0;
  POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  ClientToScreen(m_hWnd, &point);
  HDC screen = GetDC(nullptr);
  if (screen) {
    const COLORREF colour = GetPixel(screen, point.x, point.y);
    if (colour != CLR_INVALID) m_pickedColour = colour;
    ReleaseDC(nullptr, screen);
  }
  return 0;
}

LRESULT CVideoRenderWin::OnLButtonUp(UINT, WPARAM, LPARAM, BOOL&) {
  if (!m_bPicking) {
    SetCursor(CurrentCursor());
    return 0;
  }
  m_bPicking = false;
  if (m_hPickCursor) SetCursor(m_hPickCursor);
  if (m_pOwner) m_pOwner->OnVideo_PickColor(m_pickedColour);
  return 0;
}

LRESULT CVideoRenderWin::OnSize(UINT, WPARAM, LPARAM, BOOL&) {
  if (m_bToolsEnabled && !m_pVideoTools) {
    m_pVideoTools = std::make_unique<CVideoToolsFrame>(m_pOwner);
    m_pVideoTools->Create(m_hWnd, L"CVideoToolsFrame", WS_POPUP, WS_EX_TOOLWINDOW);
  }
  ShowVideoTools(true);
  ShowPickTools(true);
  return 0;
}
