// The main window's page side: window initialisation, loading the page, login data from a
// start link, the browser callbacks, the login and live looks, the join reactions and the end
// of a live. UI thread.

#include <cjson/cJSON.h>

#include <cstring>
#include <string>

#include "foundation/app_config.h"
#include "foundation/log.h"
#include "foundation/text_convert.h"
#include "platform/browser/web_run.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/browser_control/cef_web_browser_ui.h"
#include "shell/login/skin_choice.h"
#include "shell/mainframe/main_frame.h"
#include "shell/mainframe/main_frame_ids.h"
#include "shell/startup/app_info.h"
#include "shell/system/base64.h"
#include "shell/system/dpi.h"

using namespace DuiLib;

namespace {

// The login data of a start link.
struct StartLink {
  std::string liveId, serverAddress, guestId, passCode, nickName, thirdPartyId, remarksInfo;
  bool autoLogin = false;
  int type = 0;
};

std::string StringOf(const cJSON* object, const char* key) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, key);
  return cJSON_IsString(item) && item->valuestring != nullptr ? item->valuestring : "";
}

// scheme "://" Base64(JSON object); false (nothing read) when the rest is no Base64 of a JSON
// object.
bool ParseStartLink(const std::string& text, StartLink* link) {
  const size_t scheme = text.find("://");
  const std::string payload = scheme == std::string::npos ? text : text.substr(scheme + 3);
  const std::string json = Base64Decode(payload);
  cJSON* root = json.empty() ? nullptr : cJSON_ParseWithLength(json.data(), json.size());
  if (!cJSON_IsObject(root)) {
    cJSON_Delete(root);
    return false;
  }
  link->liveId = StringOf(root, "liveId");
  link->serverAddress = StringOf(root, "serverAddress");
  link->guestId = StringOf(root, "guestId");
  link->passCode = StringOf(root, "passCode");
  link->nickName = StringOf(root, "nickName");
  link->thirdPartyId = StringOf(root, "thirdPartyId");
  link->remarksInfo = StringOf(root, "remarksInfo");
  link->autoLogin = cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(root, "autoLogin"));
  const cJSON* type = cJSON_GetObjectItemCaseSensitive(root, "type");
  link->type = cJSON_IsNumber(type) ? type->valueint : 0;
  if (!link->serverAddress.empty()) link->serverAddress += "/cla/pc";
  cJSON_Delete(root);
  return true;
}

}  // namespace

void CMainFrame::BindControls() {
  m_pMaxBtn = m_PaintManager.FindControl(L"maxbtn");
  m_pRestoreBtn = m_PaintManager.FindControl(L"restorebtn");
  m_pTabLayout = dynamic_cast<CTabLayoutUI*>(m_PaintManager.FindControl(L"tab_layout"));
  auto* browser = dynamic_cast<CCefWebBrowserUI*>(m_PaintManager.FindControl(L"web_browser"));
  std::lock_guard<std::mutex> hold(m_jsLock);
  m_pBrowser = browser;
}

void CMainFrame::OnWindowInit() {
  m_bLiveMode = false;
  m_pSettingFrame = nullptr;
  // A wait window of an earlier start is not left behind.
  DestroyLogSendWait();
  BindControls();
  if (auto* logo = dynamic_cast<CAnimationUI*>(m_PaintManager.FindControl(L"logo_lab"))) {
    logo->PlayAnimation();
    logo->SetVisible(true);
  }
  if (CControlUI* logo2 = m_PaintManager.FindControl(L"logo2_lab")) logo2->SetVisible(false);
  if (CControlUI* title = m_PaintManager.FindControl(L"title_lab")) {
    title->SetText(CMutiLanSupport::Instance()->GetTextForId(L"s.main.title").c_str());
  }
  if (CControlUI* version = m_PaintManager.FindControl(L"version_lab")) {
    version->SetText((L"V" + GetAppVersion()).c_str());
  }
  ::SetTimer(m_hWnd, kTimerCpuUsage, kCpuUsageMs, nullptr);
}

void CMainFrame::LoadLoginWeb(bool reload) {
  ShowLiveMode(false);
  if (m_pBrowser != nullptr) {
    if (!m_strStartupCommand.empty()) NotifyWebLogin(m_strStartupCommand, true);
    if (!reload) {
      m_pBrowser->LoadUrl(m_strPageUrl + "?localDoc=true");
      TVLOG_INFO_THIS() << "load login web = " << m_strPageUrl;
    } else {
      m_pBrowser->Reload();
    }
  }
  ::SetTimer(m_hWnd, kTimerPageReady, kPageReadyMs, nullptr);
}

void CMainFrame::NotifyWebLogin(const std::string& text, bool addressOnly) {
  if (text.empty()) return;
  StartLink link;
  if (!ParseStartLink(text, &link)) {
    TVLOG_WARN_THIS() << "the start link is no Base64 text of a JSON object; ignored";
    return;
  }
  if (addressOnly) {
    if (!link.serverAddress.empty() && !m_bTestUse) m_strPageUrl = link.serverAddress;
    return;
  }
  TVLOG_INFO() << "LiveId = " << link.liveId << "ServerAddress = " << link.serverAddress;
  CJsEventSender::Instance()->NotifyLoginParams(link.liveId, link.passCode, link.guestId,
                                                link.nickName, link.thirdPartyId,
                                                link.remarksInfo, link.autoLogin);
  if (link.type == 1) {
    StAppConfig* config = GetAppConfig();
    config->external_id = link.thirdPartyId;
    config->remarks = link.remarksInfo;
    config->external_data = true;
  }
}

void CMainFrame::SendStoredLoginParams() {
  const StAppConfig* config = GetAppConfig();
  if (config->external_id.empty()) return;
  CJsEventSender::Instance()->NotifyLoginParams("", "", "", "", config->external_id,
                                                config->remarks, false);
}

void CMainFrame::ApplyOrangeRestyle() {
  if (CControlUI* live = m_PaintManager.FindControl(L"live_title_layout")) {
    live->SetBkColor(0xFFF5F5F5);
  }
  const struct {
    const wchar_t* control;
    const wchar_t* file;
    const wchar_t* normal;
    const wchar_t* hot;
  } kButtons[] = {
      {L"logbtn", L"logbtn.png", L"0,0,20,20", L"20,0,40,20"},
      {L"minbtn", L"sysbtn.png", L"0,0,20,20", L"20,0,40,20"},
      {L"maxbtn", L"sysbtn.png", L"40,0,60,20", L"60,0,80,20"},
      {L"restorebtn", L"sysbtn.png", L"40,0,60,20", L"140,0,160,20"},
      {L"closebtn", L"sysbtn.png", L"80,0,100,20", L"100,0,120,20"},
  };
  for (const auto& button : kButtons) {
    auto* control = dynamic_cast<CButtonUI*>(m_PaintManager.FindControl(button.control));
    if (control == nullptr) continue;
    const std::wstring file = std::wstring(L"file='img\\orange\\") + button.file + L"' source='";
    control->SetNormalImage((file + button.normal + L"'").c_str());
    control->SetHotImage((file + button.hot + L"'").c_str());
    control->SetPushedImage((file + button.hot + L"'").c_str());
  }
  for (const wchar_t* line : {L"v_line", L"sep_line"}) {
    if (CControlUI* control = m_PaintManager.FindControl(line)) control->SetBkColor(0xFFE0E1E6);
  }
  if (m_pTabLayout != nullptr) m_pTabLayout->SetBkColor(0xFFF0F0F0);
}

void CMainFrame::ShowLiveMode(bool live) {
  if (CControlUI* login = m_PaintManager.FindControl(L"login_title_layout")) {
    login->SetVisible(!live);
  }
  if (CControlUI* title = m_PaintManager.FindControl(L"live_title_layout")) {
    title->SetVisible(live);
  }
  const bool orange = GetSkinIndex() == kSkinOrange;
  if (orange) ApplyOrangeRestyle();
  if (!live || m_bLiveMode) return;

  m_bLiveMode = true;
  if (m_pBrowser != nullptr) {
    m_pBrowser->SetPadding(RECT{3, 0, 3, 3});
    m_pBrowser->ShowBrowser(false);  // Timer kTimerLiveStart shows it again.
  }
  const float scale = GetDpiScale();
  const int width = static_cast<int>(kLiveMinWidth * scale);
  const int height = static_cast<int>(kLiveMinHeight * scale);
  m_PaintManager.SetMinInfo(width, height);
  m_PaintManager.SetLayered(false);
  m_PaintManager.SetCaptionRect(RECT{0, 0, 0, 30});
  m_PaintManager.SetSizeBox(RECT{3, 3, 3, 3});
  if (CControlUI* main = m_PaintManager.FindControl(L"main_layout")) {
    main->SetBkImage(L"");
    main->SetBkColor(0xFF1C1E38);
  }
  if (CControlUI* version = m_PaintManager.FindControl(L"version_lab")) version->SetVisible(false);
  if (CControlUI* logo = m_PaintManager.FindControl(L"title2_lab")) {
    if (orange) logo->SetBkImage(L"file='img\\orange\\mlogo.png'");
    logo->SetVisible(GetAppConfig()->show_logo);
  }
  // The minimum size, centred on the work area of the nearest monitor and kept inside it.
  MONITORINFO monitor{sizeof(monitor)};
  GetMonitorInfoW(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  int x = work.left + (work.right - work.left - width) / 2;
  int y = work.top + (work.bottom - work.top - height) / 2;
  if (x + width > work.right) x = work.right - width;
  if (y + height > work.bottom) y = work.bottom - height;
  if (x < work.left) x = work.left;
  if (y < work.top) y = work.top;
  SetWindowPos(m_hWnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  ::SetTimer(m_hWnd, kTimerLiveStart, kLiveStartMs, nullptr);
}

void CMainFrame::CloseLive(bool close) {
  if (m_pBrowser != nullptr) m_pBrowser->SendMsgToRender("live_share_stop", "live_begin", 10);
  Sleep(100);
  if (m_pSdk != nullptr) {
    m_pSdk->ExitRoom();
  } else {
    TVLOG_WARN_THIS() << "no SDK layer: nothing to leave";
  }
  if (m_hWnd != nullptr) ::KillTimer(m_hWnd, kTimerNetLevel);
  PruneLogs("Kelvarn");
  PruneLogs("TarvoLive");
  if (!close) {
    CloseShareAndCanvas();
    if (m_pBrowser != nullptr) m_pBrowser->CloseBrowser();
  }
}

void CMainFrame::OnJoinResult(int result, const std::string& roomId) {
  m_bAutoLogin = result < 0;
  m_strRoomId = roomId;
  TVLOG_INFO_THIS() << "sroomid =" << roomId << " ,nres = " << result
                    << " ,nReConnect = " << m_nLoginRetry;
  if (m_nLoginRetry >= 1 && result >= 0 && m_hWnd != nullptr) {
    ::KillTimer(m_hWnd, kTimerLoginRetry);  // The deferred leave notice is withdrawn.
  }
}

void CMainFrame::OnGroupJoined(const std::string& gid, const std::string& gcid) {
  CJsEventSender::Instance()->NotifyJoinGroup(gid, gcid);
  if (m_hWnd != nullptr) ::SetTimer(m_hWnd, kTimerNetLevel, kNetLevelMs, nullptr);
  if (m_nLoginRetry != 0) {
    // Back in the room after login retries: the devices are opened again.
    m_nLoginRetry = 0;
    if (m_pSdk != nullptr) {
      m_pSdk->Open_CurDev(true, false);
    } else {
      TVLOG_WARN_THIS() << "no SDK layer: devices not opened";
    }
  }
}

void CMainFrame::ApplyDeferExit(int, const std::string& origin, bool deferred) {
  if (deferred) {
    m_strExitOrigin = origin;
    m_nLoginRetry = 1;
    if (m_hWnd != nullptr) ::SetTimer(m_hWnd, kTimerLoginRetry, kLoginRetryMs, nullptr);
  }
  if (m_hWnd != nullptr) ::KillTimer(m_hWnd, kTimerNetLevel);
}

// ---- Browser_UI_Delegate ----

void CMainFrame::OnBrowserCreated(int, int) {
  if (m_pBrowser != nullptr) m_pBrowser->SetBrowserCreated(true);
}

void CMainFrame::OnBrowserClosing(int browser_id) {
  if (m_pBrowser != nullptr && static_cast<unsigned>(browser_id) == m_pBrowser->GetBrowserId()) {
    m_pBrowser->SetClosing(true);
  }
}

void CMainFrame::OnBrowserClosed(int) {
  CWebRun::Instace()->check_terminate();
  if (m_pBrowser != nullptr && m_pBrowser->IsClosed() && m_hWnd != nullptr) {
    PostMessage(WM_CLOSE);
  }
}

void CMainFrame::OnSetLoadingState(int, bool isLoading, bool canGoBack, bool canGoForward) {
  TVLOG_INFO_THIS() << " isLoading=" << static_cast<int>(isLoading)
                    << " canGoBack=" << static_cast<int>(canGoBack)
                    << " canGoForward=" << static_cast<int>(canGoForward);
  if (!m_bPagePending || isLoading || canGoBack || canGoForward || m_bLoadError) return;
  m_bPagePending = false;
  if (!m_strStartupCommand.empty()) {
    NotifyWebLogin(m_strStartupCommand, false);
    m_strStartupCommand.clear();
  } else {
    SendStoredLoginParams();
  }
}

void CMainFrame::OnLoadErrror(int nErrorCode, const wchar_t* error_text,
                              const wchar_t* failed_url) {
  // The foundation's conversion never throws, whatever the texts hold.
  const std::string text = UnicodeToAnsi(error_text != nullptr ? error_text : L"");
  const std::string url = UnicodeToAnsi(failed_url != nullptr ? failed_url : L"");
  TVLOG_INFO_THIS() << " nErrorCode=" << nErrorCode << ", errorText = " << text
                    << ", failedUrl = " << url;
  if (!m_bPagePending) return;
  m_bLoadError = true;
  ::KillTimer(m_hWnd, kTimerPageReady);
  ::SetTimer(m_hWnd, kTimerLoadRetry, kLoadRetryMs, nullptr);
}

void CMainFrame::OnNavigateNewUrl(int, const char* url) {
  TVLOG_INFO_THIS() << " OnNavigateNewUrl=" << (url != nullptr ? url : "");
}

bool CMainFrame::OnProcessTerminated(int, int status) {
  TVLOG_INFO_THIS() << " nstatus=" << status;
  return false;
}
