#include "platform/duilib/ui_shadow.h"

#include <commctrl.h>

#include "platform/duilib/ui_base.h"
#include "platform/duilib/ui_render.h"

namespace DuiLib {

namespace {

constexpr wchar_t kShadowClass[] = L"DuiWndShadow";
constexpr UINT_PTR kSubclassId = 0x5AD0;
HINSTANCE g_shadow_instance = nullptr;

}  // namespace

bool CWndShadow::Initialize(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (GetClassInfoExW(instance, kShadowClass, &wc)) {
    g_shadow_instance = instance;
    return true;
  }
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kShadowClass;
  if (!RegisterClassExW(&wc)) return false;
  g_shadow_instance = instance;
  return true;
}

CWndShadow::CWndShadow() = default;

CWndShadow::~CWndShadow() {
  Detach();
  FreePicture();
}

const DWORD* CWndShadow::GetPictureBits(SIZE* size) const {
  if (size) *size = m_szPicture;
  return m_pPictureBits;
}

void CWndShadow::FreePicture() {
  if (m_hbmpPicture) DeleteObject(m_hbmpPicture);
  m_hbmpPicture = nullptr;
  m_pPictureBits = nullptr;
  m_szPicture = SIZE{};
}

bool CWndShadow::SetImage(const wchar_t* image, RECT corner, RECT hole) {
  m_image = image ? image : L"";
  m_corner = corner;
  m_hole = hole;
  m_lastSize = SIZE{};
  if (m_hWnd) Follow();
  return CRenderEngine::GetImage(m_image) != nullptr;
}

bool CWndShadow::Create(HWND parent) {
  if (!g_shadow_instance || m_hWnd || !IsWindow(parent)) return false;
  // Owned by the window's owner, so that it stays just behind the window in the z-order.
  m_hWnd = CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
                           kShadowClass, L"", WS_POPUP, 0, 0, 0, 0, GetWindow(parent, GW_OWNER),
                           nullptr, g_shadow_instance, nullptr);
  if (!m_hWnd) return false;
  m_hParent = parent;
  if (!SetWindowSubclass(parent, ParentProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
    DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    m_hParent = nullptr;
    return false;
  }
  Follow();
  return true;
}

void CWndShadow::Detach() {
  if (m_hParent) RemoveWindowSubclass(m_hParent, ParentProc, kSubclassId);
  if (m_hWnd) DestroyWindow(m_hWnd);
  m_hWnd = nullptr;
  m_hParent = nullptr;
}

void CWndShadow::Follow() {
  if (!m_hWnd || !m_hParent) return;
  const bool visible = IsWindowVisible(m_hParent) && !IsIconic(m_hParent) && !IsZoomed(m_hParent);
  if (!visible) {
    ShowWindow(m_hWnd, SW_HIDE);
    return;
  }
  RECT rc;
  GetWindowRect(m_hParent, &rc);
  const int x = rc.left - m_hole.left;
  const int y = rc.top - m_hole.top;
  const int cx = rc.right - rc.left + m_hole.left + m_hole.right;
  const int cy = rc.bottom - rc.top + m_hole.top + m_hole.bottom;
  SetWindowPos(m_hWnd, m_hParent, x, y, cx, cy, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  if (cx != m_lastSize.cx || cy != m_lastSize.cy) {
    m_lastSize = SIZE{cx, cy};
    Repaint();
  }
}

void CWndShadow::Repaint() {
  const int cx = m_lastSize.cx;
  const int cy = m_lastSize.cy;
  if (cx <= 0 || cy <= 0) return;
  void* bits = nullptr;
  HBITMAP dib = CRenderEngine::CreateDib32(cx, cy, &bits);
  if (!dib) return;
  FreePicture();
  m_hbmpPicture = dib;
  m_pPictureBits = static_cast<DWORD*>(bits);
  m_szPicture = SIZE{cx, cy};
  HDC mem = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mem, dib);
  // The nine-slice image without its centre: the window itself covers the hole.
  TImageDesc desc;
  desc.file = m_image;
  desc.corner = m_corner;
  desc.hole = true;
  RECT all{0, 0, cx, cy};
  if (!m_image.empty()) CRenderEngine::DrawImage(mem, all, all, desc);
  POINT src{0, 0};
  SIZE size{cx, cy};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UpdateLayeredWindow(m_hWnd, nullptr, nullptr, &size, mem, &src, 0, &blend, ULW_ALPHA);
  SelectObject(mem, old);
  DeleteDC(mem);
}

LRESULT CALLBACK CWndShadow::ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                        DWORD_PTR data) {
  auto* self = reinterpret_cast<CWndShadow*>(data);
  switch (msg) {
    case WM_WINDOWPOSCHANGED:
    case WM_MOVE:
    case WM_SIZE:
    case WM_SHOWWINDOW: {
      LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
      if (msg == WM_SHOWWINDOW && !wp) {
        ShowWindow(self->m_hWnd, SW_HIDE);
      } else {
        self->Follow();
      }
      return result;
    }
    case WM_NCDESTROY: {
      // The window goes: so does its shadow.
      RemoveWindowSubclass(hwnd, ParentProc, kSubclassId);
      if (self->m_hWnd) DestroyWindow(self->m_hWnd);
      self->m_hWnd = nullptr;
      self->m_hParent = nullptr;
      return DefSubclassProc(hwnd, msg, wp, lp);
    }
    default:
      return DefSubclassProc(hwnd, msg, wp, lp);
  }
}

}  // namespace DuiLib
