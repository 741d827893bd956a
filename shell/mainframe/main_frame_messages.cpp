// The main window's messages, timers and copy-data commands, all on the UI thread.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/app_config.h"
#include "foundation/log.h"
#include "platform/browser/web_run.h"
#include "platform/trastor/trastor.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/browser_control/cef_web_browser_ui.h"
#include "shell/config/config_file.h"
#include "shell/login/skin_choice.h"
#include "shell/mainframe/main_frame.h"
#include "shell/mainframe/main_frame_ids.h"
#include "shell/startup/app_info.h"
#include "shell/system/dpi.h"
#include "shell/system/system_info.h"
#include "windows/dev_tools/dev_tools_frame.h"
#include "windows/device_notify/device_notify.h"
#include "windows/lod_view/lod_view_frame.h"

using namespace DuiLib;

LRESULT CMainFrame::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  switch (uMsg) {
    case WM_CLOSE:
      if (!CWebRun::Instace()->check_terminate()) {
        // The browser still lives: the window stays until the browser has closed.
        ::KillTimer(m_hWnd, kTimerCpuUsage);
        ::KillTimer(m_hWnd, kTimerCpuSecondSample);
        if (m_pLodView != nullptr) {
          m_pLodView->DoStop();
          m_pLodView->DoClose();
        }
        if (m_pBrowser != nullptr && m_pBrowser->IsClosing()) m_pBrowser->CloseHostWindow();
        return 0;
      }
      break;
    case WM_KEYDOWN:
      if (wParam == VK_F11) OpenDevTools();
      break;
    case WM_TIMER:
      OnTimer(wParam);
      break;
    case WM_NCLBUTTONDBLCLK:
      if ((m_pTabLayout != nullptr && m_pTabLayout->GetCurSel() == 0) || !m_bLiveMode) return 0;
      break;
    case WM_COPYDATA:
      if (wParam >= kCopyDataFirst && wParam <= kCopyDataLast) {
        // Another process's data: at most kCopyDataBuffer - 1 bytes, read as text up to its
        // first NUL; a missing record or data is an empty text.
        char buffer[kCopyDataBuffer] = {};
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data != nullptr && data->lpData != nullptr && data->cbData > 0) {
          const size_t length = data->cbData < kCopyDataBuffer - 1 ? data->cbData
                                                                   : kCopyDataBuffer - 1;
          std::memcpy(buffer, data->lpData, length);
        }
        HandleCopyData(wParam, buffer);
      }
      break;
    case WM_WINDOWPOSCHANGING: {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
      if (pos != nullptr && (pos->flags & SWP_NOMOVE) != 0) return 0;
      if (pos != nullptr) {
        // The wait window follows the main window to where it goes.
        RECT main{};
        GetWindowRect(m_hWnd, &main);
        OffsetRect(&main, pos->x - main.left, pos->y - main.top);
        if ((pos->flags & SWP_NOSIZE) == 0) {
          main.right = main.left + pos->cx;
          main.bottom = main.top + pos->cy;
        }
        PlaceLogSendWait(main);
      }
      break;
    }
    case WM_DESTROY:
      // Before the window and its controls go: no page event reaches the browser control any
      // more, then the SDK layer ends (and with it every SDK thread that could send one).
      // The share canvas stops and the canvas engine is freed first: no composed frame reaches
      // the SDK layer while it goes.
      StopForwarding();
      CloseShareAndCanvas();
      DestroyLodView();
      DestroySdk();
      DestroyLogSendWait();
      break;
    case kMsgBackToStart:
      BackToStart();
      break;
    case WM_DEVICECHANGE:
      OnDeviceChange(wParam, lParam);
      break;
    case CM_DEVICE_UNPLUG_MSG:
      OnEndpointUnplugged(lParam);
      return 0;
    default:
      break;
  }
  return WindowImplBase::HandleMessage(uMsg, wParam, lParam);
}

void CMainFrame::OnFinalMessage(HWND hWnd) {
  DestroySdk();
  WindowImplBase::OnFinalMessage(hWnd);
  // The main window is the program: its end ends the UI loop.
  PostQuitMessage(0);
}

LRESULT CMainFrame::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&) {
  switch (uMsg) {
    case kMsgShareResult:
      OnShareResultMessage(static_cast<int>(static_cast<INT_PTR>(wParam)), lParam == 0);
      break;
    case kMsgPageRequest:
      HandleJsCallBack(static_cast<int>(static_cast<intptr_t>(wParam)), static_cast<int>(lParam));
      break;
    case kMsgUpdateNow:
      StartUpdater(true);
      break;
    case kMsgReloadLogin:
      LoadLoginWeb(true);
      break;
    case kMsgWindowReady:
      OnWindowReady();
      break;
    default:
      break;
  }
  return 0;
}

void CMainFrame::OnWindowReady() {
  m_shareCell.Write(reinterpret_cast<UINT_PTR>(m_hWnd));
  Trastor_SetMainWnd(m_hWnd);
  if (!m_bCanvasEngineLoaded) {  // Once per window: the window's end frees it once.
    Trastor_Load();
    m_bCanvasEngineLoaded = true;
  }
  if (m_pSdk == nullptr) {
    m_pSdk = new CSdkInterActive(this);
    if (m_pLodView != nullptr) {
      // A local media window made before the layer: the layer gets it now.
      m_pLodView->SetSdk(m_pSdk);
      m_pSdk->SetLodView(m_pLodView);
    }
  }
  m_pSdk->InitSDK();
  WriteBaseInfoToLog(m_hWnd);
  LoadLoginWeb(false);
}

void CMainFrame::BackToStart() {
  CloseLive(true);
  SetWindowIcons();
  OnWindowInit();
  PostMessage(kMsgWindowReady);
  if (m_pBrowser != nullptr) m_pBrowser->SetPadding(RECT{0, 0, 0, 10});
  ShowWindow(true, true);
  const float scale = GetDpiScale();
  const int width = static_cast<int>(scale * kLoginWidth);
  const int height = static_cast<int>(scale * kLoginHeight);
  m_PaintManager.SetMinInfo(width, height);
  SetWindowPos(m_hWnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
  CenterWindow();
}

void CMainFrame::OnTimer(UINT_PTR id) {
  switch (id) {
    case kTimerPageReady:
      OnPageReadyTick();
      break;
    case kTimerLoadRetry:
      ::KillTimer(m_hWnd, kTimerLoadRetry);
      m_bLoadError = false;
      PostMessage(kMsgReloadLogin);
      break;
    case kTimerLoginRetry:
      OnLoginRetryTick();
      break;
    case kTimerLiveStart:
      ::KillTimer(m_hWnd, kTimerLiveStart);
      if (m_pBrowser != nullptr) m_pBrowser->ShowBrowser(true);
      ShowAvTestFrame();
      CDeviceNotify::Instance().Register(m_hWnd);
      FetchDeviceLists();
      break;
    case kTimerNetLevel:
      UpdateNetLevel();
      break;
    case kTimerPublishReady:
      ::KillTimer(m_hWnd, kTimerPublishReady);
      if (m_pSdk != nullptr) {
        m_pSdk->SetAvSetStatus();
      } else {
        TVLOG_WARN_THIS() << "no SDK layer: own mutes not applied";
      }
      break;
    case kTimerShareStart:
      OnShareStartTick();
      break;
    case kTimerResendFrame:
      // The picture stream: the stored frame again, except while the publish stream reconnects.
      if (m_nIceReConnectPub.load() == 0 && m_pSdk != nullptr) m_pSdk->ResendLastLocalFrame();
      break;
    case kTimerDocPacing:
      OnDocumentPacingTick();
      break;
    case kTimerPubReconnect:
      OnReconnectTick(true);
      break;
    case kTimerSubReconnect:
      OnReconnectTick(false);
      break;
    case kTimerCpuUsage:
      OnCpuUsageTick(false);
      break;
    case kTimerCpuSecondSample:
      OnCpuUsageTick(true);
      break;
    case kTimerUnlayer:
      m_PaintManager.SetLayered(false);
      break;
    default:
      break;
  }
}

void CMainFrame::OnPageReadyTick() {
  if (m_bPagePending || GetAppConfig()->update_running.load()) return;
  for (const wchar_t* name : {L"logo_lab", L"logo2_lab"}) {
    auto* animation = dynamic_cast<CAnimationUI*>(m_PaintManager.FindControl(name));
    if (animation != nullptr) animation->StopAnimation();
  }
  ::KillTimer(m_hWnd, kTimerPageReady);
  if (CControlUI* main = m_PaintManager.FindControl(L"main_layout")) {
    main->SetBkImage(GetSkinIndex() == kSkinOrange ? L"file='img\\orange\\loginbk2.png'"
                                                   : L"file='img\\blue\\loginbk2.png'");
  }
  if (m_pTabLayout != nullptr) m_pTabLayout->SelectItem(1);
  ::SetTimer(m_hWnd, kTimerUnlayer, kUnlayerMs, nullptr);
}

void CMainFrame::OnLoginRetryTick() {
  if (m_nLoginRetry >= kLoginRetryLimit) {
    ::KillTimer(m_hWnd, kTimerLoginRetry);
    m_nLoginRetry = 0;
    CJsEventSender::Instance()->NotifyLeaveRoom(0, m_strExitOrigin, false);
    return;
  }
  ++m_nLoginRetry;
  if (m_pSdk != nullptr) {
    m_pSdk->Login(m_joinInfo);
  } else {
    TVLOG_WARN_THIS() << "no SDK layer: login retry " << m_nLoginRetry << " not made";
  }
}

void CMainFrame::StartReconnect(bool publish, bool start) {
  std::atomic<int>& count = publish ? m_nIceReConnectPub : m_nIceReConnectSub;
  if (publish) {
    TVLOG_INFO_THIS() << " bStart=" << static_cast<int>(start)
                      << " ,m_nIceReConnectPub=" << count.load();
  } else {
    TVLOG_INFO_THIS() << " bStart=" << static_cast<int>(start)
                      << " ,m_nIceReConnectSub=" << count.load();
  }
  const UINT_PTR timer = publish ? kTimerPubReconnect : kTimerSubReconnect;
  if (!start) {
    if (m_hWnd != nullptr) ::KillTimer(m_hWnd, timer);
    count = 0;
    return;
  }
  CJsEventSender::Instance()->NotifyConnectionStatus(1);
  if (m_hWnd != nullptr) ::SetTimer(m_hWnd, timer, kReconnectMs, nullptr);
  count = 1;
}

void CMainFrame::OnReconnectTick(bool publish) {
  std::atomic<int>& count = publish ? m_nIceReConnectPub : m_nIceReConnectSub;
  const char* side = publish ? "PUB" : "SUB";
  const char* lower = publish ? "pub" : "sub";
  if (count.load() >= kReconnectLastTick) {
    TVLOG_INFO_THIS() << "CM_ICECONNECT_" << side << "_TIMER stoped " << lower
                      << " count = " << count.load();
    count = 0;
    ::KillTimer(m_hWnd, publish ? kTimerPubReconnect : kTimerSubReconnect);
    CJsEventSender::Instance()->NotifyConnectionStatus(3);
    if (!publish) CJsEventSender::Instance()->NotifyEvent37();
    return;
  }
  if (count.load() == kReconnectNoticeTick) {
    CJsEventSender::Instance()->NotifyConnectionStatus(3);
    if (!publish) CJsEventSender::Instance()->NotifyEvent37();
  }
  TVLOG_INFO_THIS() << "CM_ICECONNECT_" << side << "_TIMER " << lower
                    << " count = " << count.load();
  ++count;
  if (m_pSdk == nullptr) {
    TVLOG_WARN_THIS() << "no SDK layer: reconnect not made";
  } else if (publish) {
    m_pSdk->IceReConnectPub();
  } else {
    m_pSdk->IceReConnectSub();
  }
}

void CMainFrame::OnCpuUsageTick(bool second) {
  if (!second) {
    // The second sample comes from a one-shot timer 500 ms later, so the loop never stalls.
    m_nFirstCpuSample = SampleCpuUsage();
    ::SetTimer(m_hWnd, kTimerCpuSecondSample, kCpuSecondSampleMs, nullptr);
    return;
  }
  ::KillTimer(m_hWnd, kTimerCpuSecondSample);
  const int usage = SampleCpuUsage();
  if (usage > kCpuUsageWarning) CJsEventSender::Instance()->NotifyCpuUsage(usage);
}

void CMainFrame::HandleCopyData(WPARAM command, const std::string& text) {
  TVLOG_INFO_THIS() << "copydata wparam = " << static_cast<unsigned>(command)
                    << " ,content=" << text;
  switch (command) {
    case kCopyDataLaunch:
      break;
    case kCopyDataConverterWindow:
      m_hConverterWnd = reinterpret_cast<HWND>(
          static_cast<uintptr_t>(std::strtoull(text.c_str(), nullptr, 10)));
      return;
    case kCopyDataConverterReport:
      OnConverterReport(text);
      return;
    case kCopyDataConverterRetry:
      OnConverterRetry(text);
      return;
    default:
      return;
  }
  TVLOG_INFO_THIS() << "info is len =" << static_cast<unsigned>(text.size())
                    << " ,autologin = " << static_cast<int>(m_bAutoLogin);
  if (text.find("-web_debug") != std::string::npos) {
    CJsEventSender::Instance()->NotifyCopyDataShow(true);
    return;
  }
  if (text.find("-web_nodebug") != std::string::npos) {
    CJsEventSender::Instance()->NotifyCopyDataShow(false);
    return;
  }
  if (text.size() >= 6 && m_bAutoLogin) {
    if (m_bPagePending) {
      m_strStartupCommand = text;  // The login page picks it up when it has loaded.
    } else {
      NotifyWebLogin(text, false);
    }
    return;
  }
  if (IsIconic(m_hWnd)) PostMessage(WM_SYSCOMMAND, SC_RESTORE);
  SetForegroundWindow(m_hWnd);
}

void CMainFrame::OpenDevTools() {
  StAppConfig* config = GetAppConfig();
  if (m_config->ReadConfigInt("dev_tools_enable") != 1 || !config->canOpenDevTools) return;
  // The window deletes itself when it ends and allows the next one then: one at a time.
  auto* tools = new CDevToolsFrame();
  if (tools->Create(nullptr, L"CDevToolsFrame", 0x96C80000, 0) == nullptr) {
    delete tools;
    TVLOG_ERROR_THIS() << "the developer tools window was not created";
    return;
  }
  tools->ShowWindow(true);
  if (m_pBrowser != nullptr) {
    m_pBrowser->ShowDevTools(tools->GetBrowserId(), tools->GetHWND(), 0, 40);
  }
  config->canOpenDevTools = false;
}
