// The main window's share paths: the share window and its requests (ShareDelegate), the SDK
// layer's share result (0xC4B), the share start timer 0xD03, the composed frames of the share
// canvas, and the end of the share window and of the canvas engine's use.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "foundation/log.h"
#include "platform/trastor/trastor.h"
#include "sdk/interactive/sdk_interactive.h"
#include "share/sharing/share_frame.h"
#include "shell/mainframe/main_frame.h"
#include "shell/mainframe/main_frame_ids.h"

using namespace DuiLib;

namespace {

// The share canvas: only its frames are the share stream.
constexpr char kShareCanvasName[] = "CANVAS_AS";
// Visible pop-up with caption and system menu, clipping siblings and children (the layout
// draws the caption).
constexpr DWORD kShareFrameStyle = 0x96C80000;

std::wstring LanguageText(const wchar_t* id) {
  return std::wstring(CMutiLanSupport::Instance()->GetTextForId(id).c_str());
}

// The share window as the main window keeps it: when its window has ended (WM_CLOSE from the
// main window or the system), it tells its keeper and deletes itself, on the UI thread.
class CKeptShareFrame : public CShareFrame {
 public:
  CKeptShareFrame(CMainFrame* owner, std::function<void(CShareFrame*)> on_end)
      : CShareFrame(owner, owner), m_onEnd(std::move(on_end)) {}

  void OnFinalMessage(HWND hWnd) override {
    CShareFrame::OnFinalMessage(hWnd);
    if (m_onEnd) m_onEnd(this);
    delete this;
  }

 private:
  std::function<void(CShareFrame*)> m_onEnd;
};

// Centres |window| on the work area of the monitor it is on.
void CenterOnScreen(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  MONITORINFO monitor{sizeof(monitor)};
  if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  const RECT& area = monitor.rcWork;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

// ---- the share window ----

void CMainFrame::ShowShareFrame(bool show, bool /*unused*/) {
  if (m_pShareFrame == nullptr && show) {
    // A window that fails while being created may already have ended (and deleted itself).
    auto ended = std::make_shared<bool>(false);
    auto* frame = new CKeptShareFrame(this, [this, ended](CShareFrame* which) {
      *ended = true;
      OnShareFrameEnded(which);
    });
    if (frame->Create(m_hWnd, L"ShareFrame", kShareFrameStyle, 0) == nullptr) {
      if (!*ended) delete frame;
      TVLOG_ERROR_THIS() << "the share window was not created";
      return;
    }
    m_pShareFrame = frame;
  }
  if (m_pShareFrame == nullptr) return;
  if (m_pShareFrame->IsSharing()) {
    if (show) return;
    OnShareStopped();
  }
  if (show) m_pShareFrame->RefreshWindowList();
  m_pShareFrame->ShowWindow(show, true);
}

void CMainFrame::OnShareFrameEnded(CShareFrame* frame) {
  if (m_pShareFrame != frame) return;
  m_pShareFrame = nullptr;
  // Its canvas is gone: no frame can come for a start still waiting.
  if (m_hWnd != nullptr) ::KillTimer(m_hWnd, kTimerShareStart);
  m_bShareFrameArrived = false;
}

void CMainFrame::CloseShareAndCanvas() {
  if (CShareFrame* frame = m_pShareFrame) {
    const HWND window = frame->GetHWND();
    // Its window's end releases the canvas and deletes the object (OnShareFrameEnded).
    if (window != nullptr && IsWindow(window)) ::SendMessageW(window, WM_CLOSE, 0, 0);
    if (m_pShareFrame == frame && window != nullptr && IsWindow(window)) DestroyWindow(window);
    if (m_pShareFrame == frame) {  // It never had a window.
      m_pShareFrame = nullptr;
      delete frame;
    }
  }
  if (m_bCanvasEngineLoaded) {
    m_bCanvasEngineLoaded = false;
    Trastor_Free();
  }
}

// ---- ShareDelegate ----

void CMainFrame::OnShareStarted() {
  m_bShareFrameArrived = false;
  if (m_hWnd != nullptr) ::SetTimer(m_hWnd, kTimerShareStart, kShareStartMs, nullptr);
  if (m_pShareFrame != nullptr) m_pShareFrame->StartShare();
}

void CMainFrame::OnShareStopped() {
  m_bShareFrameArrived = false;
  if (OnUiThread()) {
    StopShareOnUi();
  } else {
    PostToUi([this] { StopShareOnUi(); });
  }
}

bool CMainFrame::OnUiThread() const {
  return m_hWnd != nullptr && GetWindowThreadProcessId(m_hWnd, nullptr) == GetCurrentThreadId();
}

void CMainFrame::StopShareOnUi() {
  ::KillTimer(m_hWnd, kTimerShareStart);  // No later frame may ask for the stream.
  m_bShareFrameArrived = false;
  // Only a share stream that is out ends with a share result that stops the share window. A
  // start that asked for nothing yet, or whose request made no stream (outside a meeting, while
  // local media plays, stopped before its sender came), stops the share window here.
  bool streamOut = false;
  if (m_pSdk != nullptr) {
    streamOut = !m_pSdk->GetMeetingIds().shareStreamId.empty();
    m_pSdk->Stop_Share_Stream();
  } else {
    TVLOG_WARN_THIS() << "no SDK layer: no share stream to stop";
  }
  if (!streamOut && m_pShareFrame != nullptr && m_pShareFrame->IsSharing()) {
    m_pShareFrame->StopShare();
    m_bShareFrameArrived = false;  // A frame of the tick that the stop waited for came after.
  }
}

void CMainFrame::OnShowShareFrame() {
  if (m_pShareFrame == nullptr) return;
  m_pShareFrame->RefreshWindowList();
  m_pShareFrame->ShowWindow(true, true);
  CenterOnScreen(m_pShareFrame->GetHWND());
}

// ---- the share stream ----

void CMainFrame::OnVideoFrameOut(TrastorCanvas* canvas, int /*format*/, int width, int height,
                                 const unsigned char* pixels, int length, int /*reserved1*/,
                                 int /*reserved2*/) {
  if (canvas == nullptr || canvas != Trastor_GetCanvas(kShareCanvasName)) return;
  m_bShareFrameArrived = true;
  // The share canvas stops before the SDK layer goes (CloseShareAndCanvas in WM_DESTROY).
  if (CSdkInterActive* sdk = m_pSdk) sdk->SendShareStreamData(pixels, length, width, height);
}

void CMainFrame::OnShareStartTick() {
  if (!m_bShareFrameArrived.load()) return;  // Nothing until the share canvas gave a frame.
  ::KillTimer(m_hWnd, kTimerShareStart);
  if (m_pSdk == nullptr) {
    TVLOG_WARN_THIS() << "no SDK layer: no share stream";
    return;
  }
  if (m_pSdk->Start_Share_Stream() == 1) PostMessage(WM_SYSCOMMAND, SC_MINIMIZE);
}

void CMainFrame::OnShareResult(int nres, bool stopped) {
  if (m_hWnd != nullptr) {
    ::PostMessageW(m_hWnd, kMsgShareResult, static_cast<WPARAM>(static_cast<INT_PTR>(nres)),
                   stopped ? 0 : 1);
  }
}

void CMainFrame::OnShareResultMessage(int result, bool stop) {
  TVLOG_INFO_THIS() << " CM_SHARE_RES_MSG nres = " << result << " ,bstop=" << stop;
  if (result > 0) {
    if (m_pShareFrame == nullptr) return;
    if (stop) {
      const bool wasSharing = m_pShareFrame->IsSharing();
      m_pShareFrame->StopShare();
      if (wasSharing && !IsZoomed(m_hWnd)) PostMessage(WM_SYSCOMMAND, SC_RESTORE);
    } else {
      if (!m_pShareFrame->IsSharing()) m_pShareFrame->StartShare();
      PostMessage(WM_SYSCOMMAND, SC_MINIMIZE);
    }
    return;
  }
  if (result == -1 || result == -2) {
    CJsEventSender::Instance()->NotifyStatus(
        LanguageText(stop ? L"s.stop.share.failed" : L"s.start.share.failed"), 0);
  }
  if (result == -2) {
    // The local media's stream is in the way: the local media stops.
    m_mediaInfo.status = 3;
    HandleLodStatus(m_mediaInfo);
  }
}
