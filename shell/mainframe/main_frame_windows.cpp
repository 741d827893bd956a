// The main window's child windows and the reactions that open them: the settings, beauty
// settings and network signal windows, and the log upload with its wait window. UI thread,
// except where said.

#include <windows.h>

#include <string>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "foundation/log.h"
#include "foundation/text_convert.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/config/config_file.h"
#include "shell/mainframe/main_frame.h"
#include "share/sharing/share_frame.h"
#include "windows/av_test/av_test_frame.h"
#include "windows/beauty/beauty_setting_frame.h"
#include "windows/log_send_wait/log_send_wait_frame.h"
#include "windows/mask_layer/mask_layer_frame.h"
#include "windows/net_signal/net_singal_frame.h"
#include "windows/settings/setting_frame.h"

using namespace DuiLib;

const char kReportHost[] = "report.tarvolive.example";

namespace {

// The report upload's endpoints under the report service's address.
constexpr char kLogStoragePath[] = "/traupload";
constexpr char kReportInfoPath[] = "/clientapi/apichannel?sc=1";

std::wstring LanguageText(const wchar_t* id) {
  return std::wstring(CMutiLanSupport::Instance()->GetTextForId(id).c_str());
}

}  // namespace

void CMainFrame::ShowSettingFrame(int page) {
  if (m_pSettingFrame != nullptr) return;
  CJsEventSender::Instance()->NotifySettingsOpened();
  auto* frame = new CSettingFrame(this, m_joinInfo.role, page);
  if (frame->Create(m_hWnd, L"SettingFrame", 0x96C80000, 0) == nullptr) {
    delete frame;
    TVLOG_ERROR_THIS() << "the settings window was not created";
    return;
  }
  m_pSettingFrame = frame;
  const UINT result = frame->ShowModal();  // The window deletes itself.
  m_pSettingFrame = nullptr;
  if (result == CSettingFrame::kBeauty) ShowBeautySettingFrame();
  m_config->SaveConfig(*GetAppConfig());
}

void CMainFrame::ShowBeautySettingFrame() {
  if (m_pBeautyFrame != nullptr) return;
  if (!GetAppConfig()->use_mode.load()) {
    // The picture takes the camera's place: there is nothing to beautify.
    CJsEventSender::Instance()->NotifyStatus(LanguageText(L"s.pic.mat.error"), 0);
    return;
  }
  auto* frame = new CBeautySettingFrame(this);
  if (frame->Create(m_hWnd, L"BeautySettingFrame", 0x96C80000, 0) == nullptr) {
    delete frame;
    TVLOG_ERROR_THIS() << "the beauty settings window was not created";
    return;
  }
  m_pBeautyFrame = frame;
  frame->ShowModal();  // The window deletes itself.
  m_pBeautyFrame = nullptr;
}

void CMainFrame::ShowNetSignalFrame() {
  // The local-media figures start from this window's first second.
  if (m_pSdk != nullptr) m_pSdk->ResetLocalMediaNetStats();
  CNetSingalFrame frame(m_pSdk);
  if (frame.Create(m_hWnd, L"NetSingalFrame", 0x96C80000, 0) == nullptr) {
    TVLOG_ERROR_THIS() << "the network signal window was not created";
    return;
  }
  frame.ShowModal();
}

std::string CMainFrame::ReportServerBase() { return std::string("https://") + kReportHost; }

void CMainFrame::PlaceLogSendWait(const RECT& main) {
  if (m_pLogSendWait != nullptr && IsWindowVisible(m_pLogSendWait->GetHWND())) {
    m_pLogSendWait->ShowWait(main);
  }
}

void CMainFrame::DestroyLogSendWait() {
  CLogSendWaitFrame* wait = m_pLogSendWait;
  m_pLogSendWait = nullptr;
  if (wait == nullptr) return;
  if (wait->GetHWND() != nullptr && IsWindow(wait->GetHWND())) DestroyWindow(wait->GetHWND());
  delete wait;
}

void CMainFrame::SendLogToServer() {
  if (m_pLogSendWait == nullptr) {
    auto* wait = new CLogSendWaitFrame;
    if (wait->Create(m_hWnd, L"LogSendWaitFrame", WS_POPUP, WS_EX_TOOLWINDOW) == nullptr) {
      delete wait;
      TVLOG_ERROR_THIS() << "the log-send wait window was not created";
    } else {
      m_pLogSendWait = wait;
    }
  }
  RECT main{};
  GetWindowRect(m_hWnd, &main);
  if (m_pLogSendWait != nullptr) m_pLogSendWait->ShowWait(main);

  const StAppConfig* config = GetAppConfig();
  const std::string confId = config->live_id.empty() ? m_joinInfo.confid : config->live_id;
  const std::string base = ReportServerBase();
  const std::string storage = base + kLogStoragePath;
  const std::string info = base + kReportInfoPath;
  const int result = ReportUploader()->SendReport("TarvoLive", confId, m_joinInfo.sid,
                                                  m_joinInfo.cid, m_joinInfo.username, storage,
                                                  info, this, "auto send crash log", 1, "", 0, 0);
  if (result != 0) {
    ApplyReportStatus(IBugReportSink::kFailed);
  } else if (CControlUI* button = m_PaintManager.FindControl(L"logbtn")) {
    button->SetEnabled(false);  // Until the upload reports its end.
  }
  TVLOG_INFO_THIS() << "strProcessName=TarvoLive"
                    << ",strFileStorageURL=" << storage << ",strFileInfoURL=" << info
                    << ",strErrReport=";
}

IBugReport* CMainFrame::ReportUploader() { return CBugReportImp::Instance(); }

void CMainFrame::OnReportStatus(int status) {
  // The uploader's callback thread: the windows change on the UI thread.
  PostToUi([this, status] { ApplyReportStatus(status); });
}

void CMainFrame::ApplyReportStatus(int status) {
  TVLOG_INFO_THIS() << "nStatus=" << status;
  if (m_pLogSendWait != nullptr && IsWindowVisible(m_pLogSendWait->GetHWND()) && status != 1) {
    m_pLogSendWait->StopWait();
  }
  if (CControlUI* button = m_PaintManager.FindControl(L"logbtn")) button->SetEnabled(true);
  if (status == IBugReportSink::kFailed) {
    CJsEventSender::Instance()->NotifyStatus(LanguageText(L"s.log.send.failed"), 0);
  } else if (status == IBugReportSink::kSent) {
    CJsEventSender::Instance()->NotifyStatus(LanguageText(L"s.log.send.sucess"), 1);
  }
}

void CMainFrame::ShowAvTestFrame() {
  auto* mask = new CMaskLayerFrame(true);
  if (mask->Create(m_hWnd, L"CMaskLayerFrame", 0x96C80000, 0) == nullptr) {
    delete mask;
    TVLOG_ERROR_THIS() << "the mask layer was not created";
    return;
  }
  auto* test = new CAVTestFrame(mask->GetHWND(), this);
  if (test->Create(mask->GetHWND(), L"AvTestFrame", 0x96C80000, 0) == nullptr) {
    delete test;
    TVLOG_ERROR_THIS() << "the device test window was not created";
  } else {
    mask->SetCompanion(test->GetHWND());
  }
  mask->ShowModal();  // Both windows delete themselves.
  m_config->SaveConfig(*GetAppConfig());
  if (m_pSdk != nullptr) {
    StAppConfig* config = GetAppConfig();
    const DWORD attributes = config->picture_path.empty()
                                 ? INVALID_FILE_ATTRIBUTES
                                 : GetFileAttributesA(config->picture_path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      config->picture_path =
          UnicodeToAnsi(CPaintManagerUI::GetInstancePath().c_str()) + "res\\defalutpic.jpg";
    }
    m_pSdk->Open_CurDev(true, true);
    m_pSdk->NotifyShareStreams();
  }
  // Replaces an earlier subscription: a second live does not hear the language twice.
  CxBus::Listen(m_subscriptions, GetMessageBus(), kTopicLanguage, &CMainFrame::OnLanguageChanged,
                this);
}

void CMainFrame::OnLanguageChanged(std::string& language) {
  CJsEventSender::Instance()->NotifyLanguageChanged(language);
  if (m_pShareFrame != nullptr) m_pShareFrame->UpdateShareTitle();
}
