#include "share/capture/win_dc_cap_source.h"

#include "foundation/log.h"
#include "share/capture/win_capture.h"

namespace {

constexpr COLORREF kProbeGreen = RGB(0, 255, 0);
constexpr int kMaxChildDepth = 64;

// The deepest visible child at the centre of each client area, from `window` down.
HWND DeepestChildAtCentre(HWND window) {
  for (int depth = 0; depth < kMaxChildDepth; ++depth) {
    RECT client{};
    GetClientRect(window, &client);
    const POINT centre{client.right / 2, client.bottom / 2};
    HWND child = ChildWindowFromPointEx(window, centre, CWP_SKIPINVISIBLE);
    if (!child || child == window) break;
    window = child;
  }
  return window;
}

bool ProbeWindow(HWND window) {
  share::WindowDc dc(window);
  if (!dc) return false;
  RECT client{};
  GetClientRect(window, &client);
  const int x = client.right / 2;
  const int y = client.bottom / 2;
  bool ok = false;
  if (SetPixel(dc.get(), x, y, kProbeGreen) == kProbeGreen) {
    share::ScopedMemoryDc memory(CreateCompatibleDC(dc.get()));
    share::ScopedBitmap bitmap(CreateCompatibleBitmap(dc.get(), client.right, client.bottom));
    if (memory && bitmap) {
      share::SelectedObject selected(memory.get(), bitmap.get());
      if (BitBlt(memory.get(), 0, 0, client.right, client.bottom, dc.get(), 0, 0,
                 SRCCOPY | CAPTUREBLT)) {
        ok = GetPixel(dc.get(), x, y) == kProbeGreen;
      }
    }
  }
  InvalidateRect(window, nullptr, TRUE);
  return ok;
}

}  // namespace

bool WinDCCapTest(HWND window) {
  bool ok = false;
  if (window && IsWindow(window) && IsWindowVisible(window)) {
    ok = ProbeWindow(DeepestChildAtCentre(window));
  }
  TVLOG_INFO() << "WinDCCapTest bRet = " << (ok ? 1 : 0);
  return ok;
}

CWinDCCapSource::CWinDCCapSource(CWinCapture* owner)
    : owner_(owner), white_brush_(CreateSolidBrush(RGB(255, 255, 255))) {}

CWinDCCapSource::~CWinDCCapSource() = default;

bool CWinDCCapSource::GetWindowImageData(const std::vector<HWND>& windows, unsigned char** pixels,
                                         int* width, int* height, int* size) {
  HWND window = windows.empty() ? nullptr : windows.front();
  if (!window || !IsWindow(window)) return false;
  RECT rect{};
  if (!GetWindowRect(window, &rect)) return false;
  const int captured_width = rect.right - rect.left;
  const int captured_height = rect.bottom - rect.top;
  share::WindowDc window_dc(window, share::WindowDc::kWholeWindow);
  if (!window_dc || !image_.Prepare(window_dc.get(), captured_width, captured_height)) {
    return false;
  }
  {
    share::ScopedMemoryDc memory(CreateCompatibleDC(window_dc.get()));
    if (!memory) return false;
    share::SelectedObject selected(memory.get(), image_.bitmap());
    if (!selected) return false;
    image_.Clear(memory.get(), white_brush_.get());
    BitBlt(memory.get(), 0, 0, captured_width, captured_height, window_dc.get(), 0, 0, SRCCOPY);
    if (IWinCaptureSink* sink = owner_->GetSink()) {
      sink->OnWinCaptureDraw(memory.get(), rect.left, rect.top, captured_width, captured_height);
    }
  }
  if (!image_.Read(window_dc.get())) return false;
  *pixels = image_.pixels();
  *width = image_.width();
  *height = image_.height();
  *size = image_.size();
  return true;
}
