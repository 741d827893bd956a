// The main window object: construction, window behaviour (sizing, hit test, DPI, system
// commands, clicks) and the reports of the SDK layer and the page events.

#include "shell/mainframe/main_frame.h"

#include <cmath>
#include <utility>

#include "foundation/hub.h"
#include "foundation/log.h"
#include "foundation/text_convert.h"
#include "platform/browser/web_run.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/browser_control/cef_web_browser_ui.h"
#include "shell/config/config_file.h"
#include "shell/login/skin_choice.h"
#include "shell/mainframe/main_frame_ids.h"
#include "shell/startup/app_info.h"
#include "shell/system/cpu_usage.h"
#include "shell/system/dpi.h"
#include "shell/updater/updater.h"
#include "windows/lod_view/lod_view_frame.h"

using namespace DuiLib;

const char kDefaultWebHost[] = "live.tarvolive.example";
const char kUpdateHost[] = "update.tarvolive.example";
const char kTestUpdateHost[] = "update-test.tarvolive.example";

std::string DefaultPageUrl() { return std::string("https://") + kDefaultWebHost + "/cla/pc"; }

CMainFrame::CMainFrame()
    : m_strPageUrl(DefaultPageUrl()), m_shareCell(kInstanceCellSize, kInstanceCellName) {
  InitConfigPath();
  m_config = std::make_unique<CConfigFile>(AnsiToUnicode(m_strConfigPath));
  StFrameConfig frame;
  m_config->LoadConfig(*GetAppConfig(), frame);
  m_bTestUse = frame.test_use;
  if (!frame.page_url.empty()) m_strPageUrl = frame.page_url;
  CJsEventSender::Instance()->SetDelegate(this);
  // A second live subscribes the language topic again: the earlier subscription goes first.
  m_subscriptions.SetReplace(true);
}

CMainFrame::~CMainFrame() {
  m_alive.reset();
  if (m_hWnd != nullptr && IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
  StopForwarding();
  CloseShareAndCanvas();
  DestroyLodView();
  DestroySdk();
  if (CJsEventSender::Instance()->GetDelegate() == this) {
    CJsEventSender::Instance()->SetDelegate(nullptr);
  }
}

void CMainFrame::InitConfigPath() { m_strConfigPath = GetAppDataFolder() + "\\config.ini"; }

void CMainFrame::SetStartupCommand(const std::string& command) {
  if (command.size() >= 10) m_strStartupCommand = command;
}

void CMainFrame::EndClient(std::function<void()> before_close) {
  PostToUi([this, before_close = std::move(before_close)] {
    if (before_close) before_close();
    if (m_pBrowser != nullptr && m_pBrowser->IsUsable()) {
      m_pBrowser->CloseBrowser();
    } else if (m_hWnd != nullptr) {
      PostMessage(WM_CLOSE);
    }
  });
}

void CMainFrame::PostToUi(std::function<void()> work) {
  std::weak_ptr<int> alive = m_alive;
  CxAdapter::Instance().GetUiThread().PostTask([alive, work = std::move(work)] {
    if (alive.lock()) work();
  });
}

void CMainFrame::StopForwarding() {
  std::lock_guard<std::mutex> hold(m_jsLock);
  m_bForwardJs = false;
}

void CMainFrame::DestroySdk() {
  CSdkInterActive* sdk = m_pSdk;
  m_pSdk = nullptr;
  if (sdk != nullptr && m_pLodView != nullptr) {
    // The local media window outlives the layer only without it.
    sdk->SetLodView(nullptr);
    m_pLodView->SetSdk(nullptr);
  }
  delete sdk;  // Gives the SDK service back: every SDK thread has ended afterwards.
}

// ---- window behaviour ----

CDuiString CMainFrame::GetSkinFile() { return ::GetSkinFile(0); }

LRESULT CMainFrame::ResponseDefaultKeyEvent(WPARAM wParam) {
  return wParam == VK_RETURN || wParam == VK_ESCAPE ? TRUE : FALSE;
}

UILIB_RESOURCETYPE CMainFrame::GetResourceType() const { return UILIB_ZIPRESOURCE; }

UINT CMainFrame::GetResourceID() const { return 130; }

void CMainFrame::InitWindow() { CenterWindow(); }

CControlUI* CMainFrame::CreateControl(const wchar_t* pstrClass) {
  if (pstrClass != nullptr && wcscmp(pstrClass, L"CefWebkit") == 0) {
    return new CCefWebBrowserUI(this);
  }
  return nullptr;
}

void CMainFrame::Notify(TNotifyUI& msg) {
  if (msg.sType == L"windowinit") {
    SetWindowIcons();
    OnWindowInit();
    PostMessage(kMsgWindowReady);
    return;
  }
  if (msg.sType == L"click" && msg.pSender != nullptr) {
    const CDuiString name = msg.pSender->GetName();
    if (name == L"l_closebtn") {
      if (m_pBrowser != nullptr) m_pBrowser->CloseBrowser();
      return;
    }
    if (name == L"closebtn") {
      CJsEventSender::Instance()->NotifyCloseClicked();
      return;
    }
    if (name == L"logbtn") {
      msg.pSender->SetEnabled(false);
      SendLogToServer();
      return;
    }
  }
  WindowImplBase::Notify(msg);
}

void CMainFrame::SetWindowIcons() {
  HINSTANCE instance = CPaintManagerUI::GetInstance();
  HICON big = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kMainIconId), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXICON),
                                            GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
  HICON small = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kMainIconId),
                                              IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  // Icons loaded from a module's resources by size are not shared: the window keeps them for
  // its life, and a later call replaces them (the old ones are freed).
  if (big != nullptr) {
    HICON old = reinterpret_cast<HICON>(SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big)));
    if (old != nullptr && old != big) DestroyIcon(old);
  }
  if (small != nullptr) {
    HICON old =
        reinterpret_cast<HICON>(SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small)));
    if (old != nullptr && old != small) DestroyIcon(old);
  }
}

void CMainFrame::ToggleMaxRestore() {
  const bool zoomed = IsZoomed(m_hWnd) != FALSE;
  m_pMaxBtn->SetVisible(!zoomed);
  m_pRestoreBtn->SetVisible(zoomed);
}

LRESULT CMainFrame::OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
  if (!m_bPagePending && m_pMaxBtn != nullptr && m_pRestoreBtn != nullptr) ToggleMaxRestore();
  return WindowImplBase::OnSize(uMsg, wParam, lParam, bHandled);
}

LRESULT CMainFrame::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
  const LRESULT result = WindowImplBase::OnSysCommand(uMsg, wParam, lParam, bHandled);
  if (m_hWnd == nullptr || !IsWindow(m_hWnd)) return result;
  if (m_bPagePending || m_pMaxBtn == nullptr || m_pRestoreBtn == nullptr) return result;
  ToggleMaxRestore();
  if (m_bLiveMode) {
    const WPARAM command = wParam & 0xFFF0;
    if (command == SC_MINIMIZE) {
      CJsEventSender::Instance()->NotifyWindowZoomed(false, false);
    } else if (command == SC_RESTORE || command == SC_MAXIMIZE) {
      CJsEventSender::Instance()->NotifyWindowZoomed(false, true);
    }
  }
  return result;
}

LRESULT CMainFrame::OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
  // The layout's size box and caption decide: edges size the window (not while maximised), the
  // caption drags it except over buttons, options, texts and edits.
  return WindowImplBase::OnNcHitTest(uMsg, wParam, lParam, bHandled);
}

double CMainFrame::ReadMonitorDpi() { return GetDpi(); }

int CMainFrame::SampleCpuUsage() { return GetCpuUsage(GetCurrentProcessId()); }

void CMainFrame::SetBrowserZoom(unsigned browser_id, double ratio) {
  CWebRun::Instace()->SetZoomRatio(browser_id, ratio);
}

LRESULT CMainFrame::OnDpiChanged(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  if (m_pBrowser == nullptr) {
    bHandled = TRUE;
    return 0;
  }
  const int level = static_cast<int>((ReadMonitorDpi() - 96.0) / 24.0);
  if (level > 0) {
    const double ratio = level == 5 ? std::log(std::trunc(level * 25.0 + 100.0)) * 5.2 - 25.12
                                    : std::pow(1.2, level);
    SetBrowserZoom(m_pBrowser->GetBrowserId(), ratio);
  }
  bHandled = FALSE;
  return 1;
}

// ---- DevConsumerDelegate ----

void CMainFrame::OnVideoDevResult(const std::string& deviceId, bool ok) {
  if (deviceId == GetAppConfig()->camera_dev_id) {
    CJsEventSender::Instance()->NotifyDeviceResult(ok ? 1 : 0);
  }
}

bool CMainFrame::IsUsingVideoDev(const std::string& deviceId) {
  return deviceId == GetAppConfig()->camera_dev_id;
}

int CMainFrame::GetCaptureWidth() { return GetAppConfig()->video_width; }

int CMainFrame::GetCaptureHeight() { return GetAppConfig()->video_height; }

void CMainFrame::OnJoinRoom(int nres, const std::string& roomId) {
  PostToUi([this, nres, roomId] { OnJoinResult(nres, roomId); });
}

void CMainFrame::OnJoinGroup(const std::string& groupId, const std::string& groupConfId) {
  PostToUi([this, groupId, groupConfId] { OnGroupJoined(groupId, groupConfId); });
}

void CMainFrame::OnPublishSuccess() {
  PostToUi([this] {
    if (m_hWnd != nullptr) ::SetTimer(m_hWnd, kTimerPublishReady, kPublishReadyMs, nullptr);
  });
}

void CMainFrame::IceReConnectPub(bool bStart) {
  PostToUi([this, bStart] { StartReconnect(true, bStart); });
}

void CMainFrame::IceReConnectSub(bool bStart) {
  PostToUi([this, bStart] { StartReconnect(false, bStart); });
}

void CMainFrame::StartUpdater(bool run) {
  if (!run) {
    if (m_hWnd != nullptr) ::PostMessageW(m_hWnd, kMsgUpdateNow, 0, 0);
    return;
  }
  CloseLive(false);
  UpdaterLaunch launch;
  launch.folder = CPaintManagerUI::GetInstancePath();
  launch.server = Utf8ToUnicode(GetUpdateServer());
  launch.version = GetAppVersion();
  launch.title = CMutiLanSupport::Instance()->GetTextForId(L"s.main.title");
  launch.language_id = GetUserDefaultUILanguage();
  if (!::StartUpdater(launch)) TVLOG_WARN_THIS() << "the updater did not start";
}

void CMainFrame::OnPictureStream(bool on) {
  PostToUi([this, on] {
    if (m_hWnd == nullptr) return;
    if (on) {
      ::SetTimer(m_hWnd, kTimerResendFrame, kResendFrameMs, nullptr);
    } else {
      ::KillTimer(m_hWnd, kTimerResendFrame);
    }
  });
}

std::string CMainFrame::GetUpdateServer() {
  return std::string(m_bTestUse ? kTestUpdateHost : kUpdateHost) + ":6010";
}

void CMainFrame::OnVideoDevOpened() {
  m_config->SaveConfig(*GetAppConfig());  // Serialised by the file object.
}

// ---- JsEventDelegate ----

void CMainFrame::OnNativeInvokeJS(const std::string& json, bool log) {
  {
    std::lock_guard<std::mutex> hold(m_jsLock);
    if (m_bForwardJs && m_pBrowser != nullptr) m_pBrowser->ExecJs(BuildNativeInvokeScript(json));
  }
  if (log) TVLOG_INFO_THIS() << "[" << json << "]";
}

void CMainFrame::DeferExitNotify(int reason, const std::string& origin, bool deferred) {
  PostToUi([this, reason, origin, deferred] { ApplyDeferExit(reason, origin, deferred); });
}

void CMainFrame::RestoreIfNotMaximized() {
  if (m_hWnd != nullptr && !IsZoomed(m_hWnd)) {
    ::PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
  }
}
