#include "windows/settings/setting_frame.h"

#include <shellapi.h>

#include <cstdio>
#include <mutex>

#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "foundation/log.h"
#include "foundation/text_convert.h"
#include "share/video/video_render_ui.h"
#include "share/video/voice_progress_display_ui.h"
#include "shell/jsevents/js_event_sender.h"
#include "shell/login/skin_choice.h"
#include "shell/system/system_info.h"
#include "windows/common/combo_helper.h"
#include "windows/common/picture_choice.h"
#include "windows/exit_meet/exit_meet_frame.h"
#include "windows/settings/version_check.h"

namespace {

constexpr int kLayoutNumber = 13;  // "setting_frame.xml"
constexpr UINT kLanguageResource = 130;
constexpr wchar_t kAgreementHost[] = L"www.tarvolive.com";

std::mutex g_seam_lock;
CSettingFrame::ShellOpenFunc g_shell_open;    // Guarded by g_seam_lock.

void OpenInBrowser(HWND window, const std::wstring& url) {
  CSettingFrame::ShellOpenFunc open;
  {
    std::lock_guard<std::mutex> guard(g_seam_lock);
    open = g_shell_open;
  }
  if (open) {
    open(window, url);
  } else {
    ShellExecuteW(window, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
}

const char* const kPageLocales[] = {"zh-CN", "zh-TW", "en-US"};
const wchar_t* const kLanguages[] = {L"zh_CN", L"zh_TW", L"en_US"};

}  // namespace

void CSettingFrame::SetFileDialogFunc(FileDialogFunc func) {
  picture_choice::SetFileDialogFunc(std::move(func));
}

void CSettingFrame::SetShellOpenFunc(ShellOpenFunc func) {
  std::lock_guard<std::mutex> guard(g_seam_lock);
  g_shell_open = std::move(func);
}

CSettingFrame::CSettingFrame(DevConsumerDelegate* owner, int role, int startPage)
    : owner(owner), role(role), startPage(startPage) {
  sdkLayer.Join(static_cast<DevConsumerDelegate*>(this));
  sdkLayer.Listen(kTopicYuvData, &CSettingFrame::OnYuvData, this);
  sdkLayer.Listen(kTopicDevHotplug, &CSettingFrame::OnDevHotPlug, this);
}

CSettingFrame::~CSettingFrame() { LeaveSdkLayer(); }

void CSettingFrame::LeaveSdkLayer() {
  postTarget = nullptr;
  previewShown = false;
  // After this returns no SDK thread is inside this window (see SdkLayerAttachment::Leave).
  sdkLayer.Leave();
  if (versionCheck) versionCheck->Detach();
}

DuiLib::CDuiString CSettingFrame::GetSkinFile() { return ::GetSkinFile(kLayoutNumber); }

void CSettingFrame::InitWindow() {
  postTarget = m_hWnd;
  CenterWindow();
}

void CSettingFrame::OnFinalMessage(HWND hWnd) {
  CSkinDialog::OnFinalMessage(hWnd);
  delete this;
}

DuiLib::CControlUI* CSettingFrame::CreateControl(const wchar_t* pstrClass) {
  const std::wstring cls = pstrClass ? pstrClass : L"";
  if (cls == L"VoiceProgressDisplay") return new CVoiceProgressDisplayUI(false);
  if (cls == L"VideoRender") {
    preview = new CVideoRenderUI(static_cast<VideoToolsDelegate*>(this), true, 1);
    return preview;
  }
  return nullptr;
}

LRESULT CSettingFrame::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_WINDOWPOSCHANGING) {
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
    if (pos && (pos->flags & SWP_NOMOVE)) return 0;
    if (preview) preview->PlaceToolsFrame(0, 0);
  }
  return CSkinDialog::HandleMessage(uMsg, wParam, lParam);
}

LRESULT CSettingFrame::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam,
                                           BOOL& bHandled) {
  bHandled = TRUE;
  switch (uMsg) {
    case kMsgLoadDevices:
      if (wParam == 0 && lParam == 1) {
        if (auto* mode = Find<DuiLib::CComboUI>(L"use_mode_combo", L"Combo")) {
          mode->SelectItem(GetAppConfig()->use_mode ? 0 : 1, false, true);
          ThemeCombo(L"use_mode_combo");
        }
      } else {
        LoadDeviceLists(wParam == 0, wParam == 1, true);
      }
      return 0;
    case kMsgVersionResult:
      OnVersionResult(wParam);
      return 0;
    case kMsgVideoDevResult: {
      std::unique_ptr<std::string> id(reinterpret_cast<std::string*>(lParam));
      if (id) OnVideoDevResultOnUi(*id, wParam != 0);
      return 0;
    }
    case kMsgSpeakerTestEnd:
      SetTestIndicators(false, false, false);
      KillTimer(m_hWnd, kTimerSpeakerLevel);
      speakerTesting = false;
      return 0;
    case WM_TIMER:
      if (wParam >= kTimerMicTip && wParam <= kTimerStartPage) {
        OnTimer(wParam);
        return 0;
      }
      break;
    case WM_CLOSE:
      OnClosing();
      break;
    case WM_DESTROY:
      OnDestroyWindow();
      break;
    default:
      break;
  }
  bHandled = FALSE;
  return 0;
}

void CSettingFrame::Notify(DuiLib::TNotifyUI& msg) {
  const std::wstring& type = msg.sType;
  if (type == L"windowinit") {
    OnWindowInit();
  } else if (type == L"selectchanged") {
    OnSelectChanged(msg);
  } else if (type == L"click") {
    OnClickButton(msg);
  } else if (type == L"dropdown" || type == L"dropup") {
    combo_helper::OnDropNotify(msg, GetSkinIndex());
  } else if (type == L"itemselect") {
    OnSelectItem(msg);
  } else if (type == L"valuechanged") {
    OnSpeakerVolumeChanged(msg);
  } else if (type == L"mouseenter" || type == L"mouseleave") {
    if (msg.pSender && msg.pSender->GetName() == L"prior_comment") {
      const wchar_t* tips =
          GetAppConfig()->IsEnglish() ? L"prior_comment_en_tips" : L"prior_comment_tips";
      if (DuiLib::CControlUI* tip = m_PaintManager.FindControl(tips)) {
        tip->SetVisible(type == L"mouseenter");
      }
    }
  } else if (type == L"rendercreate") {
    OnRenderCreate();
  }
}

void CSettingFrame::OnWindowInit() {
  AttachShadow(m_hWnd);
  mainTab = Find<DuiLib::CTabLayoutUI>(L"main_tab", L"TabLayout");
  if (mainTab) mainTab->SelectItem(0);
  StAppConfig* config = GetAppConfig();
  if (auto* slider = Find<DuiLib::CSliderUI>(L"slider_speaker_level", L"Slider")) {
    slider->SetValue(config->speaker_volume);
  }
  if (DuiLib::CControlUI* value = m_PaintManager.FindControl(L"speaker_value_text")) {
    value->SetText(std::to_wstring(config->speaker_volume).c_str());
  }
  if (auto* guest = Find<DuiLib::CCheckBoxUI>(L"guest_user_list_check", L"CheckBox")) {
    guest->SetCheck(config->guest_list, false);
  }
  if (auto* viewer = Find<DuiLib::CCheckBoxUI>(L"viewer_check", L"CheckBox")) {
    viewer->SetCheck(config->viewer_option, false);
  }
  micMeter = Find<CVoiceProgressDisplayUI>(L"mic_level_display", L"VoiceProgressDisplay");
  speakerMeter = Find<CVoiceProgressDisplayUI>(L"speaker_level_display", L"VoiceProgressDisplay");
  pushTab = Find<DuiLib::CTabLayoutUI>(L"push_stream_tablayout", L"TabLayout");
  pushList = Find<DuiLib::CListUI>(L"push_stream_list", L"List");
  if (DuiLib::CControlUI* label = m_PaintManager.FindControl(L"version_lab")) {
    const FileVersionInfo info(GetModuleFilePath());
    label->SetText((L"V" + Utf8ToUnicode(info.Version())).c_str());
  }
  StartVersionCheck();
  if (role == 1) {
    LoadPushStreamList();
  } else {
    for (const wchar_t* name :
         {L"push_stream_opt", L"guest_layout", L"guest_user_text", L"guest_user_list_check"}) {
      if (DuiLib::CControlUI* control = m_PaintManager.FindControl(name)) {
        control->SetVisible(false);
      }
    }
  }
  if (startPage != 0) ::SetTimer(m_hWnd, kTimerStartPage, 50, nullptr);
  ShowBranding(config->show_logo);
  InitLanguageCombo();
  SyncPreviewShown();
}

void CSettingFrame::OnSelectChanged(DuiLib::TNotifyUI& msg) {
  if (!msg.pSender) return;
  const std::wstring name = msg.pSender->GetName();
  StAppConfig* config = GetAppConfig();
  if (name == L"fun_set_opt") {
    SelectPage(0);
  } else if (name == L"push_stream_opt") {
    SelectPage(1);
  } else if (name == L"video_set_opt" || name == L"audio_set_opt") {
    const bool video = name == L"video_set_opt";
    SelectPage(video ? 2 : 3);
    // The device lists load on the first visit only.
    if (msg.pSender->GetTag() == 0) {
      msg.pSender->SetTag(1);
      PostMessage(kMsgLoadDevices, video ? 0 : 1, video ? 1 : 0);
    }
  } else if (name == L"about_opt") {
    SelectPage(4);
  } else if (name == L"guest_user_list_check" || name == L"viewer_check") {
    auto* check = static_cast<DuiLib::CCheckBoxUI*>(msg.pSender->GetInterface(L"CheckBox"));
    if (!check) return;
    const bool on = check->GetCheck();
    if (name == L"guest_user_list_check") {
      config->guest_list = on;
      CJsEventSender::Instance()->NotifyGuestListOption(on ? 1 : 0);
    } else {
      config->viewer_option = on;
      CJsEventSender::Instance()->NotifyViewerOption(on ? 1 : 0);
    }
  }
}

void CSettingFrame::SelectPage(int index) {
  if (mainTab) mainTab->SelectItem(index);
  if (index != 3) {
    // Leaving the audio page hides the test tips; running tests go on.
    SetTestIndicators(false, false, true);
    SetTestIndicators(false, true, true);
  }
  SyncPreviewShown();
}

void CSettingFrame::SyncPreviewShown() {
  previewShown = preview && preview->IsVisible() && !previewPaused;
}

void CSettingFrame::OnClickButton(DuiLib::TNotifyUI& msg) {
  if (!msg.pSender) return;
  const DuiLib::CDuiString name = msg.pSender->GetName();
  if (name == L"beauty_set_btn") {
    previewPaused = !previewPaused;
    if (preview) {
      preview->AttachCanvas(false);
      preview->SetVisible(false);
    }
    SyncPreviewShown();
    Close(kBeauty);
  } else if (name == L"pic_upload_btn") {
    OnUploadPicture();
  } else if (name == L"pic_default_btn") {
    msg.pSender->SetEnabled(false);
    ShowDefaultPicture(true);
  } else if (name == L"mic_test_btn") {
    StartMicTest();
  } else if (name == L"speaker_test_btn") {
    StartSpeakerTest();
  } else if (name == L"update_version_btn") {
    auto* dialog = new CExitMeetFrame(false);
    if (!dialog->Create(m_hWnd, L"ExitMeetFrame", 0x96C80000, 0)) {
      delete dialog;
      return;
    }
    const HWND self = m_hWnd;
    const UINT consent = dialog->ShowModal();
    if (consent != 0 && IsWindow(self)) {
      Close(kUpdate);
      if (owner) owner->StartUpdater(false);
    }
  } else if (name == L"version_check_btn") {
    StartVersionCheck();
  } else if (name == L"privacy_btn") {
    OpenInBrowser(m_hWnd,
                  std::wstring(L"https://") + kAgreementHost + L"/Tarvo/agreement/policy-live/");
  } else if (name == L"user_agreement_btn") {
    OpenInBrowser(m_hWnd,
                  std::wstring(L"https://") + kAgreementHost + L"/Tarvo/agreement/terms-live/");
  } else if (OnPushStreamClick(name, msg.pSender)) {
    // a push-stream button
  } else if (name == L"closebtn") {
    selectedCameraId.clear();
    Close(kClosed);
  }
}

void CSettingFrame::CloseFrame() { Close(kClosed); }

void CSettingFrame::OnClosing() {
  // Every way out passes here: no test outlives the window, and the canvas is let go.
  StopAudioTest(true);
  StopAudioTest(false);
  if (preview) preview->AttachCanvas(false);
  for (UINT_PTR id : {kTimerMicTip, kTimerMicLevel, kTimerSpeakerTip, kTimerSpeakerLevel,
                      kTimerStartPage}) {
    KillTimer(m_hWnd, id);
  }
}

void CSettingFrame::OnDestroyWindow() {
  OnClosing();
  LeaveSdkLayer();
}

void CSettingFrame::OnTimer(UINT_PTR id) {
  switch (id) {
    case kTimerMicTip:
      KillTimer(m_hWnd, id);
      SetTestIndicators(false, true, true);
      break;
    case kTimerSpeakerTip:
      KillTimer(m_hWnd, id);
      SetTestIndicators(false, false, true);
      break;
    case kTimerMicLevel:
    case kTimerSpeakerLevel: {
      int level = 0;
      const bool mic = id == kTimerMicLevel;
      CxBus::CallWithResult(GetMessageBus(), mic ? kTopicGetMicValue : kTopicGetSpeakerValue,
                            &level);
      if (CVoiceProgressDisplayUI* meter = mic ? micMeter : speakerMeter) meter->SetValue(level);
      break;
    }
    case kTimerStartPage: {
      KillTimer(m_hWnd, id);
      const wchar_t* option = startPage == 3 ? L"audio_set_opt" : L"video_set_opt";
      if (auto* opt = Find<DuiLib::COptionUI>(option, L"Option")) opt->Selected(true, true);
      break;
    }
    default:
      break;
  }
}

// ---- language ---------------------------------------------------------------------------------

void CSettingFrame::InitLanguageCombo() {
  auto* combo = Find<DuiLib::CComboUI>(L"language_mode_combo", L"Combo");
  if (!combo) return;
  ThemeCombo(L"language_mode_combo");
  const std::wstring& language = GetAppConfig()->language;
  int index = 0;
  if (language == L"zh_TW") index = 1;
  if (language == L"en_US") index = 2;
  combo->SelectItem(index, false, false);
}

void CSettingFrame::OnLanguageSelected(int index) {
  if (index < 0 || index > 2) return;
  DuiLib::CMutiLanSupport::Instance()->LoadFromResFile(kLanguageResource, L"xml\\language.xml",
                                                       true, kLanguages[index], L"xml");
  DuiLib::CPaintManagerUI::InvalidateAll();
  GetAppConfig()->language = kLanguages[index];
  std::string locale = kPageLocales[index];
  CxBus::Call(GetMessageBus(), kTopicLanguage, locale);
}

// ---- about page and update check ----------------------------------------------------------------

void CSettingFrame::ShowBranding(bool show) {
  if (DuiLib::CControlUI* logo = m_PaintManager.FindControl(L"logo_lab")) {
    logo->SetTextId(show ? L"s.main.title" : L"s.zentavo");
  }
  for (const wchar_t* name :
       {L"service_hotline_lab", L"company_info", L"copyright_info", L"protect_layout"}) {
    if (DuiLib::CControlUI* control = m_PaintManager.FindControl(name)) control->SetVisible(show);
  }
}

void CSettingFrame::StartVersionCheck() {
  if (checkThreadId != 0) return;
  const FileVersionInfo info(GetModuleFilePath());
  for (int i = 0; i < 4; ++i) version[i] = info.Numbers()[i];
  const std::string server = owner ? UnicodeToAnsi(Utf8ToUnicode(owner->GetUpdateServer())) : "";
  auto check = std::make_shared<CVersionCheck>(m_hWnd, kMsgVersionResult, server, version);
  unsigned id = 0;
  if (!check->Start(&id)) {
    TVLOG_ERROR_THIS() << "the update check thread did not start";
    return;
  }
  versionCheck = check;
  checkThreadId = id;
}

void CSettingFrame::OnVersionResult(WPARAM failed) {
  checkThreadId = 0;
  std::shared_ptr<CVersionCheck> check = std::move(versionCheck);
  // A failed check changes nothing on the page.
  if (failed != 0 || !check || !check->GetResult().answered) return;
  const CVersionCheck::Result& result = check->GetResult();
  for (int i = 0; i < 4; ++i) version[i] = result.version[i];
  updateStatus = result.status;
  DuiLib::CControlUI* label = m_PaintManager.FindControl(L"version_check_lab");
  DuiLib::CControlUI* update = m_PaintManager.FindControl(L"update_version_btn");
  DuiLib::CControlUI* recheck = m_PaintManager.FindControl(L"version_check_btn");
  if (updateStatus == 2) {
    if (label) {
      label->SetTextId(L"");
      const std::wstring format =
          DuiLib::CMutiLanSupport::Instance()->GetTextForId(L"s.have.new.ver");
      wchar_t text[256] = {};
      swprintf(text, 256, format.c_str(), version[0], version[1], version[2], version[3]);
      label->SetText(text);
    }
    if (update) update->SetVisible(true);
    if (recheck) recheck->SetVisible(false);
  } else if (updateStatus == 0) {
    if (label) label->SetTextId(L"s.new.ver");
    if (update) update->SetVisible(false);
    if (recheck) recheck->SetVisible(true);
  }
}

// ---- device consumer ----------------------------------------------------------------------------

void CSettingFrame::OnVideoDevResult(const std::string& deviceId, bool ok) {
  // SDK thread, under the consumer-list lock: hand the result to the UI thread.
  const HWND target = postTarget.load();
  if (!target) return;
  auto* id = new std::string(deviceId);
  if (!::PostMessageW(target, kMsgVideoDevResult, ok ? 1 : 0, reinterpret_cast<LPARAM>(id))) {
    delete id;
  }
}

void CSettingFrame::OnVideoDevResultOnUi(const std::string& deviceId, bool ok) {
  StAppConfig* config = GetAppConfig();
  if (deviceId == config->camera_dev_id && config->use_mode) {
    if (DuiLib::CControlUI* tip = m_PaintManager.FindControl(L"dev_error_tips")) {
      tip->SetVisible(!ok);
    }
    if (!ok && preview) preview->ShowDevBusy(true);
  }
  SetVideoControlsEnabled(true);
}

void CSettingFrame::OnSpeakerTestEnd() {
  const HWND target = postTarget.load();
  if (target) ::PostMessageW(target, kMsgSpeakerTestEnd, 0, 0);
}

void CSettingFrame::OnPreviewFrame(const unsigned char* data, int size, int width, int height) {
  if (previewShown && preview) preview->PushFrame(width, height, 12, data, size);
}

void CSettingFrame::OnYuvData(const StYuvImage& image) {
  // The publisher's thread, under the bus lock: atomic flags and the push only.
  if (previewShown && !previewPaused && preview) {
    preview->PushFrame(image.width, image.height, 12, image.data, image.size);
  }
}

bool CSettingFrame::IsUsingVideoDev(const std::string& deviceId) {
  return deviceId == GetAppConfig()->camera_dev_id;
}

int CSettingFrame::GetCaptureWidth() { return GetAppConfig()->video_width; }

int CSettingFrame::GetCaptureHeight() { return GetAppConfig()->video_height; }

// ---- video tools --------------------------------------------------------------------------------

void CSettingFrame::OnVideo_Rotate(bool clockwise) {
  StAppConfig* config = GetAppConfig();
  config->rotation = (config->rotation + (clockwise ? 90 : 270)) % 360;
  TVLOG_AT(CLogWrapper::kInfo, this) << "rotate = " << config->rotation;
  if (!config->use_mode) PreviewPicture();
  if (preview) preview->SetRotation(config->video_width, config->video_height, config->rotation);
}

void CSettingFrame::OnVideo_Flip(bool flipped) {
  StAppConfig* config = GetAppConfig();
  config->flip = flipped ? 1 : 0;
  TVLOG_AT(CLogWrapper::kInfo, this) << "bFlip = " << config->flip;
  if (!config->use_mode) PreviewPicture();
}

void CSettingFrame::OnVideo_Mirror(bool mirrored) {
  StAppConfig* config = GetAppConfig();
  config->mirror = mirrored ? 1 : 0;
  TVLOG_AT(CLogWrapper::kInfo, this) << "bMirror = " << config->mirror;
  if (!config->use_mode) PreviewPicture();
}
