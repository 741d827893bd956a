#include "share/video/video_render_ui.h"

#include <cwchar>

#include "share/video/video_render_win.h"

CVideoRenderUI::CVideoRenderUI(VideoToolsDelegate* owner, bool tools_enabled, int mode)
    : m_pOwner(owner), m_bToolsEnabled(tools_enabled), m_nMode(mode) {}

CVideoRenderUI::~CVideoRenderUI() {
  m_pPushTarget = nullptr;
  m_pRenderWin.reset();
}

void* CVideoRenderUI::GetInterface(const wchar_t* name) {
  if (name && wcscmp(name, L"VideoRender") == 0) return this;
  return CControlUI::GetInterface(name);
}

void CVideoRenderUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CControlUI::SetPos(rc, bNeedInvalidate);
  if (!m_pManager) return;
  HWND host = m_pManager->GetPaintWindow();
  if (!m_pRenderWin && host) {
    m_pRenderWin = std::make_unique<CVideoRenderWin>(m_pOwner, m_bToolsEnabled);
    m_pRenderWin->Create(host, rc.left, rc.top, rc.right, rc.bottom, L"VideoRender",
                         GetName().c_str(), WS_CHILD | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW);
    m_pPushTarget = m_pRenderWin.get();
    m_pRenderWin->ShowWindow(m_bToolsShown);
    SyncRenderVisibility();
  }
  if (!m_pRenderWin || !m_pRenderWin->GetHWND()) return;
  SetWindowPos(m_pRenderWin->GetHWND(), nullptr, rc.left, rc.top, GetWidth(), GetHeight(),
               SWP_NOZORDER | SWP_NOACTIVATE);
  m_pRenderWin->SetViewSize(GetFixedWidth(), GetFixedHeight());
  if (GetWidth() == GetFixedWidth() && GetHeight() == GetFixedHeight() && !m_bCreatedSent) {
    m_bCreatedSent = true;
    m_pManager->SendNotify(this, L"rendercreate");
  }
}

void CVideoRenderUI::SyncRenderVisibility() {
  if (!m_pRenderWin || !m_pRenderWin->GetHWND()) return;
  // A child window does not follow a windowless control: hide it with the control, or the
  // video would stay over another tab page.
  ::ShowWindow(m_pRenderWin->GetHWND(), IsVisible() ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void CVideoRenderUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  if (!m_pRenderWin) return;
  m_pRenderWin->ShowWindow(visible && m_bToolsShown);
  SyncRenderVisibility();
}

void CVideoRenderUI::SetInternVisible(bool visible) {
  CControlUI::SetInternVisible(visible);
  if (!m_pRenderWin) return;
  m_pRenderWin->ShowWindow(visible && m_bToolsShown);
  SyncRenderVisibility();
}

void CVideoRenderUI::ShowTools(bool show) {
  if (!m_pRenderWin || show == m_bToolsShown) return;
  m_bToolsShown = show;
  m_pRenderWin->ShowWindow(IsVisible() && show);
}

void CVideoRenderUI::SetupCanvas(const char* name, int width, int height) {
  if (!m_pRenderWin || !m_pManager) return;
  m_pRenderWin->SetupVendraEngine(name ? name : "", width, height);
}

void CVideoRenderUI::AttachCanvas(bool on) {
  if (m_pRenderWin) m_pRenderWin->AttachCanvas(on);
}

void CVideoRenderUI::PushFrame(int width, int height, int format, const unsigned char* data,
                               int size) {
  if (CVideoRenderWin* target = m_pPushTarget.load()) {
    target->PushFrame(width, height, format, data, size);
  }
}

void CVideoRenderUI::SetRotation(int width, int height, int degrees) {
  if (m_pRenderWin) m_pRenderWin->SetRotation(width, height, degrees);
}

void CVideoRenderUI::PlaceToolsFrame(int, int) {
  if (m_pRenderWin) m_pRenderWin->PlaceToolsFrame();
}

void CVideoRenderUI::ShowDevBusy(bool show) {
  if (m_pRenderWin && show) m_pRenderWin->ShowPlaceholder(CVideoRenderWin::DevBusyPicturePath());
}

void CVideoRenderUI::ShowNoVideo(bool show) {
  if (m_pRenderWin && show) m_pRenderWin->ShowPlaceholder(CVideoRenderWin::NoVideoPicturePath());
}

void CVideoRenderUI::SetPickMode(bool enable, bool) {
  if (m_pRenderWin) m_pRenderWin->SetPickMode(enable);
}

void CVideoRenderUI::SetPickCursor(bool on) {
  if (m_pRenderWin) m_pRenderWin->SetPickCursor(on);
}

void CVideoRenderUI::SetToolsState(bool mirror, bool flip) {
  if (m_pRenderWin) m_pRenderWin->SetToolsState(mirror, flip);
}
