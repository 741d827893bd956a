// The main window's local media: the hidden local media window that plays a file into the
// broadcast, the page's play, pause, stop and seek commands, and the playback reports for the
// page. UI thread.

#include <windows.h>

#include <string>

#include "devices/av_file_decode_engine.h"
#include "foundation/log.h"
#include "foundation/text_convert.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/mainframe/main_frame.h"
#include "windows/lod_view/lod_view_frame.h"

namespace {

// Local media commands of the page (the command's status) and the statuses of page event 35.
enum LodCommand { kLodPlay = 1, kLodPause = 2, kLodStop = 3, kLodSeek = 4 };
enum LodReport { kLodFailed = 0, kLodPaused = 2, kLodStopped = 3 };

// After a running local-media stream was stopped, before the next file opens.
constexpr DWORD kRestartPauseMs = 200;

// The picture box's width for the page's height class; 0 for any other height.
int WidthForHeight(int height) {
  switch (height) {
    case 1080:
      return 1920;
    case 720:
      return 1280;
    case 360:
      return 640;
    default:
      return 0;
  }
}

void Report(const std::string& md5, int status) {
  CJsEventSender::Instance()->NotifyLocalPlayback(md5, status, 0, 0);
}

}  // namespace

void CMainFrame::OnLocalPlayback(const std::string& md5, int status, int total_time,
                                 int current_time) {
  CJsEventSender::Instance()->NotifyLocalPlayback(md5, status, total_time, current_time);
}

CLodViewFrame* CMainFrame::LocalMediaWindow() {
  if (m_pLodView != nullptr) return m_pLodView;
  auto* view = new CLodViewFrame(this);
  // Hidden, owned by the main window; it never shows.
  if (view->Create(m_hWnd, L"CLodViewFrame", WS_POPUP, 0) == nullptr) {
    delete view;
    TVLOG_ERROR_THIS() << "the local media window was not created";
    return nullptr;
  }
  view->SetSdk(m_pSdk);
  if (m_pSdk != nullptr) m_pSdk->SetLodView(view);
  m_pLodView = view;
  return view;
}

void CMainFrame::DestroyLodView() {
  CLodViewFrame* view = m_pLodView;
  m_pLodView = nullptr;
  if (view == nullptr) return;
  // Once SetLodView returns, no sound pull of the SDK's audio thread is inside the window.
  if (m_pSdk != nullptr) m_pSdk->SetLodView(nullptr);
  view->SetSdk(nullptr);
  if (view->GetHWND() != nullptr && IsWindow(view->GetHWND())) DestroyWindow(view->GetHWND());
  delete view;
}

void CMainFrame::HandleLodStatus(const LocalMediaInfo& command) {
  switch (command.status) {
    case kLodPlay: {
      CLodViewFrame* view = LocalMediaWindow();
      if (view == nullptr) {
        Report(command.md5, kLodFailed);
        return;
      }
      if (view->IsPaused()) {
        const bool resumed = view->DoRun(true);
        if (!resumed) {
          Report(command.md5, kLodFailed);
          TVLOG_INFO_THIS() << "lod_play error, bRet = " << static_cast<int>(resumed);
        }
        return;
      }
      TVLOG_INFO_THIS() << "lod_play start";
      if (m_pSdk != nullptr && m_pSdk->IsLocalMediaPlaying()) {
        m_pSdk->Stop_LocalMedia_Stream();
        view->StopAndClose();
        Sleep(kRestartPauseMs);
      }
      const int width = WidthForHeight(command.height);
      view->SetMaxVideoSize(width, command.height);
      const bool opened = view->DoOpenFile(Utf8ToUnicode(command.url), command.local_playback != 0,
                                           100, command.md5);
      if (!opened) {
        Report(command.md5, kLodFailed);
        TVLOG_INFO_THIS() << "lod_play live error, bRet = " << static_cast<int>(opened);
        return;
      }
      // Without an SDK layer there is no stream to play into.
      const int started = m_pSdk != nullptr
                              ? m_pSdk->Start_LocalMedia_Stream(view->GetEngine(), width,
                                                                command.height, command.muted != 0)
                              : -1;
      if (started != 0) {
        // The open's position report (playing at 0) is still queued: it would tell the page
        // that the file plays. It goes with the file.
        view->GetEngine()->SetSink(nullptr);
        view->DoClose();
        Report(command.md5, kLodFailed);
        TVLOG_INFO_THIS() << "lod_play live error, iRet = " << started;
        return;
      }
      // A start that fails from here is reported by the window (status 0).
      view->DoRun(false);
      return;
    }
    case kLodPause: {
      if (m_pLodView == nullptr) return;
      AvFileDecodeEngine* engine = m_pLodView->GetEngine();
      if (engine == nullptr || !engine->HasFile()) {
        Report(command.md5, kLodFailed);
        return;
      }
      const bool paused = m_pLodView->DoPause();
      if (!paused) TVLOG_INFO_THIS() << "lod_play error, bRet = " << static_cast<int>(paused);
      Report(command.md5, paused ? kLodPaused : kLodFailed);
      return;
    }
    case kLodStop: {
      if (m_pLodView == nullptr) return;
      if (m_pSdk != nullptr) m_pSdk->Stop_LocalMedia_Stream();
      AvFileDecodeEngine* engine = m_pLodView->GetEngine();
      if (engine == nullptr || !engine->HasFile()) {
        Report(command.md5, kLodStopped);
        return;
      }
      // A running playback reports its end itself (status 3); a file that never ran would not.
      const bool running = engine->IsActive();
      m_pLodView->StopAndClose();
      if (!running) Report(command.md5, kLodStopped);
      return;
    }
    case kLodSeek:
      if (m_pLodView != nullptr && m_pLodView->GetEngine() != nullptr) {
        m_pLodView->GetEngine()->Seek(command.pos);
      }
      return;
    default:
      return;
  }
}
