// The main window's page requests: the numbered "jsEvent" messages of the page. The first half
// runs on the browser library's callback: it parses the request, does the work that needs no
// window (SDK calls, opening a web address, queues and records) and posts kMsgPageRequest with
// the request number and one value; the second half (HandleJsCallBack) runs from that message
// and does the window work. Both on the UI thread; the queues and records have no lock.

#include <windows.h>
#include <shellapi.h>

#include <cjson/cJSON.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/log.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/browser_control/cef_web_browser_ui.h"
#include "shell/config/config_file.h"
#include "shell/login/skin_choice.h"
#include "shell/mainframe/main_frame.h"
#include "shell/mainframe/main_frame_ids.h"
#include "shell/mainframe/page_request_parsers.h"
#include "share/sharing/share_frame.h"
#include "windows/lod_view/lod_view_frame.h"
#include "windows/settings/setting_frame.h"

using namespace DuiLib;
using namespace page_request;

namespace {

// Page messages are logged up to this many bytes (a page may send megabytes).
constexpr size_t kLoggedValueMax = 4096;

std::string LoggedValue(const char* value) {
  if (value == nullptr) return std::string();
  const size_t length = std::strlen(value);
  if (length <= kLoggedValueMax) return std::string(value, length);
  return std::string(value, kLoggedValueMax) + "... (" + std::to_string(length) + " bytes)";
}

}  // namespace

void CMainFrame::OnJsMessageCallBack(int browser_id, browser_msg_head head, const char* value,
                                     int) {
  if (m_pBrowser == nullptr || static_cast<unsigned>(browser_id) != m_pBrowser->GetBrowserId()) {
    return;
  }
  head.key[sizeof(head.key) - 1] = '\0';
  TVLOG_INFO_THIS() << " skey=" << head.key << " ,value=" << LoggedValue(value);
  if (std::strcmp(head.key, "jsEvent") != 0) return;

  int32_t number = 0;
  int32_t param = 0;
  bool post = true;
  cJSON* request = value != nullptr ? cJSON_Parse(value) : nullptr;
  if (cJSON_IsObject(request)) {
    number = RequestNumber(request);
    post = TakePageRequest(number, request, &param);
  }
  cJSON_Delete(request);
  if (post && m_hWnd != nullptr) {
    ::PostMessageW(m_hWnd, kMsgPageRequest, static_cast<WPARAM>(static_cast<intptr_t>(number)),
                   static_cast<LPARAM>(param));
  }
}

bool CMainFrame::TakePageRequest(int32_t number, const cJSON* request, int32_t* value) {
  switch (number) {
    case 1:
      return TakeLoginRequest(request);
    case 2:
    case 6:
    case 12:
    case 25:
    case 29:
      ReadInt(request, "opt", value);
      return true;
    case 5:
      ReadInt(request, "close", value);
      return true;
    case 7:
      ReadInt(request, "unreadMsgCount", value);
      return true;
    case 10:
    case 20:
    case 21:
    case 22:
    case 23:
    case 27:
    case 30:
      ReadInt(request, "status", value);
      return true;
    case 28:
      ReadInt(request, "role", value);
      return true;
    case 3:
    case 4:
    case 11:
      m_jsCommands.push_back(DeviceCommand(request, number));
      return true;
    case 13:
    case 24: {
      std::string url;
      ReadText(request, "url", &url);
      if (IsWebAddress(url)) {
        OpenWebAddress(url);
      } else {
        // Only web addresses go to the shell: a page must not start programs or open files.
        TVLOG_WARN_THIS() << "not a web address, not opened: " << LoggedValue(url.c_str());
      }
      return false;
    }
    case 14:
      if (m_pSdk != nullptr) m_pSdk->SetLive2Layout(m_strRoomId, LayoutData(request));
      return false;
    case 15:
      if (m_pSdk != nullptr) m_pSdk->GetLive2Layout(m_strRoomId);
      return false;
    case 16:
      m_mediaShares.push_back(MediaShareCommand(request));
      return true;
    case 17:
      if (m_pSdk != nullptr) {
        const SubscribeRequest subscribe = Subscribe(request);
        m_pSdk->Set_Subscribe_Resolution(subscribe.width, subscribe.height, subscribe.subscribe,
                                         subscribe.audio);
      }
      return false;
    case 18:
      m_pushResults.push_back(PushResultCommand(request));
      return true;
    case 19: {
      std::vector<StPushStreamInfo> list;
      if (PushList(request, &list)) {
        StAppConfig* config = GetAppConfig();
        config->push_streams.clear();
        for (const StPushStreamInfo& info : list) config->AddPushStream(info);
      }
      m_pushResults.push_back(PushListCommand(request));
      return true;
    }
    case 31:
      ReadMediaCommand(request, &m_mediaInfo);
      m_mediaInfo.url = CLocalFileList::Instance()->FindMedia(m_mediaInfo.md5);
      return true;
    case 32:
      if (!UpdateDocumentCommand(request, &m_docInfo)) return false;
      if (m_docInfo.status == 4 && m_pBrowser != nullptr) {
        m_pBrowser->SendMouseEvent(m_docInfo.x, m_docInfo.y);
      }
      return true;
    default:
      // 8, 9, 26, and numbers outside 1 to 32: nothing before the post.
      return true;
  }
}

bool CMainFrame::TakeLoginRequest(const cJSON* request) {
  StAppConfig* config = GetAppConfig();
  // The parser chooses the orange skin for "hostSkin" "1".
  if (!ParseLoginData(request, m_joinInfo, *config)) {
    // Without login data there is nothing to log in with: the stored record (empty before the
    // first login) is not sent to the SDK layer.
    TVLOG_WARN_THIS() << "a login request without a \"data\" object: ignored";
    return false;
  }
  m_bAutoLogin = false;
  if (!config->resolution_chosen.load()) {
    // The capture size that the first login chose is kept from now on.
    m_config->SaveConfig(*config);
    config->resolution_chosen = true;
  }
  return true;
}

void CMainFrame::OpenWebAddress(const std::string& url) {
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED));
  if (result <= 32) TVLOG_WARN_THIS() << "the address did not open: " << result;
}

void CMainFrame::HandleJsCallBack(int number, int value) {
  StAppConfig* config = GetAppConfig();
  switch (number) {
    case 1:
      if (m_pSdk != nullptr) {
        m_pSdk->Login(m_joinInfo);
      } else {
        TVLOG_WARN_THIS() << "no SDK layer: login not made";
      }
      break;
    case 2:
      if (value == 1) {
        ShowSettingFrame(0);
      } else {
        ShowBeautySettingFrame();
      }
      break;
    case 3:
    case 4:
    case 11:
      RunDeviceCommand(number);
      break;
    case 5:
      CloseLive(value != 0);
      break;
    case 6:
      ShowShareFrame(value == 1, true);
      break;
    case 7:
      if (m_pShareFrame != nullptr) m_pShareFrame->SetUnreadChatCount(value);
      break;
    case 8:
      PasteInvitation();
      break;
    case 9:
      ShowNetSignalFrame();
      break;
    case 10:
      ShowLiveMode(true);
      break;
    case 12:
      if (m_pSdk != nullptr) m_pSdk->VideoWall_OnOff(value);
      break;
    case 16:
      while (!m_mediaShares.empty()) {
        const StJsMediaCommand command = m_mediaShares.front();
        m_mediaShares.pop_front();
        if (m_pSdk != nullptr) {
          m_pSdk->Start_MediaShare(command.audioSource, command.videoSource, command.url,
                                   command.opt, command.muted);
        }
      }
      break;
    case 19:
      RunPushStreamQueue();
      break;
    case 20:
      config->guest_list = value == 1;
      break;
    case 21:
      config->live_running = value == 1;
      if (m_pSettingFrame != nullptr) m_pSettingFrame->UpdatePushStreamState();
      if (!config->live_running) {
        if (m_pSdk != nullptr) m_pSdk->Stop_LocalMedia_Stream();
        if (m_pLodView != nullptr) m_pLodView->StopAndClose();
      }
      break;
    case 22:
      if (m_pSdk != nullptr) m_pSdk->CloseAllStreams();
      break;
    case 23:
      ShowLogo(value == 1);
      break;
    case 25:
      if (m_pSdk != nullptr) m_pSdk->SetInterCutVolume(value);
      break;
    case 26:
      if (m_pSdk != nullptr) m_pSdk->GetInterCutVolume();
      break;
    case 27:
      config->viewer_option = value == 1;
      break;
    case 28:
      ChangeRole(value);
      break;
    case 29:
      PickLocalFile(value);
      break;
    case 30:
      m_mediaInfo.local_playback = value == 1 ? 1 : 0;
      if (m_pLodView != nullptr) m_pLodView->SetLoop(m_mediaInfo.local_playback != 0);
      break;
    case 31:
      HandleLodStatus(m_mediaInfo);
      break;
    case 32:
      RunDocumentCommand();
      break;
    default:
      // 0 (no request object), 13 to 15, 17, 18, 24 and unknown numbers.
      break;
  }
}

void CMainFrame::RunDeviceCommand(int kind) {
  if (m_jsCommands.empty() || m_jsCommands.front().kind != kind) return;
  const StJsCommand command = m_jsCommands.front();
  m_jsCommands.pop_front();
  if (m_pSdk == nullptr) {
    TVLOG_WARN_THIS() << "no SDK layer: device command " << kind << " dropped";
    return;
  }
  if (kind == 3) {
    m_pSdk->OnVideo_OnOff(command.id, command.opt);
  } else if (kind == 4) {
    m_pSdk->OnMic_OnOff(command.id, command.opt);
  } else {
    m_pSdk->OnSpeaker_OnOff(command, command.opt);
  }
}

void CMainFrame::RunPushStreamQueue() {
  while (!m_pushResults.empty()) {
    const int32_t kind = m_pushResults.front().kind;
    m_pushResults.pop_front();
    if (kind == 19 && m_pSettingFrame != nullptr) m_pSettingFrame->LoadPushStreamList();
  }
}

void CMainFrame::ShowLogo(bool show) {
  GetAppConfig()->show_logo = show;
  if (CControlUI* title = m_PaintManager.FindControl(L"title_lab")) {
    title->SetText(
        CMutiLanSupport::Instance()->GetTextForId(show ? L"s.main.title" : L"s.zentavo").c_str());
  }
  if (CControlUI* logo = m_PaintManager.FindControl(L"title2_lab")) {
    if (GetSkinIndex() == kSkinOrange) logo->SetBkImage(L"file='img\\orange\\mlogo.png'");
    logo->SetVisible(show);
  }
}

void CMainFrame::ChangeRole(int role) {
  if (role == m_joinInfo.role) return;
  m_joinInfo.role = role;
  if (m_pSettingFrame != nullptr) m_pSettingFrame->CloseFrame();
  if (m_pShareFrame != nullptr) m_pShareFrame->ShowWindow(false, false);
  StAppConfig* config = GetAppConfig();
  const bool host = role == 1;
  config->host = host;
  if (!config->video_source_ratio || m_pSdk == nullptr) return;
  if (!config->use_mode.load()) {
    m_pSdk->Close_Picture_Stream();
    if (host) m_pSdk->Open_Picture_Stream();
  } else {
    m_pSdk->StopLocalPublish();
    if (host) {
      m_pSdk->Open_CurDevEx(true);
    } else {
      m_pSdk->CreateDefaultPublishStream();
    }
  }
}

void CMainFrame::RunDocumentCommand() {
  switch (m_docInfo.status) {
    case 1:
    case 4: {
      const std::string next = CLocalFileList::Instance()->FindWaitingDocument();
      if (next.empty()) break;
      HandleDocTrans(next);
      TVLOG_INFO_THIS() << "next trans file = " << next;
      break;
    }
    case 2:
      CancelDocument(m_docInfo.md5);
      break;
    case 3:
      // Only an id of the registry's form names a page folder (RemoveTempFolder checks).
      RemoveTempFolder(m_docInfo.md5);
      break;
    default:
      break;
  }
}
