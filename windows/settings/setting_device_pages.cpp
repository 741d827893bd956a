// The video and audio pages of the settings window: device lists, the camera and its size, the
// picture in place of the camera, the audio tests and meters, and devices that go away.

#include <cstdio>
#include <vector>

#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "foundation/log.h"
#include "foundation/text_convert.h"
#include "share/yuv/yuv_transform.h"
#include "share/video/video_render_ui.h"
#include "share/video/voice_progress_display_ui.h"
#include "shell/jsevents/js_event_sender.h"
#include "shell/login/skin_choice.h"
#include "windows/common/combo_helper.h"
#include "windows/common/device_texts.h"
#include "windows/common/picture_choice.h"
#include "windows/picture_file/picture_file.h"
#include "windows/settings/setting_frame.h"

namespace {

constexpr int kI420 = 12;

struct Size {
  int width;
  int height;
};
constexpr Size kResolutions[] = {{1920, 1080}, {1280, 720}, {640, 360}};

int IndexOfWidth(int width) {
  if (width == 1920) return 0;
  if (width == 1280) return 1;
  if (width == 640) return 2;
  return 0;
}

}  // namespace

void CSettingFrame::ThemeCombo(const wchar_t* name, bool usable) {
  combo_helper::ApplyTheme(Find<DuiLib::CComboUI>(name, L"Combo"), GetSkinIndex(), usable);
}

void CSettingFrame::LoadDeviceLists(bool video, bool audio, bool fireEvents) {
  StAppConfig* config = GetAppConfig();
  const int skin = GetSkinIndex();
  if (video) {
    if (preview) preview->SetInternVisible(true);
    SyncPreviewShown();
    std::vector<stDev_Info> cameras;
    CxBus::CallWithResult(GetMessageBus(), kTopicGetCamList, &cameras);
    auto* combo = Find<DuiLib::CComboUI>(L"camera_list_combo", L"Combo");
    if (combo) {
      combo->SetTag(0);
      combo_helper::FillDevices(combo, cameras, skin);
      int select = 0;
      for (size_t i = 0; i < cameras.size(); ++i) {
        if (cameras[i].id == config->camera_dev_id) select = static_cast<int>(i);
      }
      if (cameras.empty()) {
        if (DuiLib::CControlUI* tip = m_PaintManager.FindControl(L"dev_error_tips")) {
          tip->SetVisible(false);
        }
      } else {
        combo->SelectItem(select, false, fireEvents);
      }
    }
    const bool usable = !cameras.empty();
    for (const wchar_t* name : {L"resolution_combo", L"beauty_set_btn", L"v_prior_combo"}) {
      if (DuiLib::CControlUI* control = m_PaintManager.FindControl(name)) {
        control->SetEnabled(usable);
      }
    }
    ThemeCombo(L"resolution_combo", usable);
    ThemeCombo(L"v_prior_combo", usable);
    if (auto* resolution = Find<DuiLib::CComboUI>(L"resolution_combo", L"Combo")) {
      resolution->SelectItem(IndexOfWidth(config->video_width), false, false);
    }
    if (auto* prior = Find<DuiLib::CComboUI>(L"v_prior_combo", L"Combo")) {
      prior->SelectItem(config->prior == 1 ? 1 : 0, false, fireEvents);
    }
  }
  if (audio) {
    struct AudioList {
      const wchar_t* combo;
      const char* topic;
      std::string configured;
      const wchar_t* button;
      bool mic;
    } lists[] = {
        {L"mic_list_combo", kTopicGetMicList, config->GetMicDevId(), L"mic_test_btn", true},
        {L"speaker_list_combo", kTopicGetSpeakerList, config->GetSpeakerDevId(),
         L"speaker_test_btn", false},
    };
    for (const AudioList& list : lists) {
      std::vector<stDev_Info> devices;
      CxBus::CallWithResult(GetMessageBus(), list.topic, &devices);
      auto* combo = Find<DuiLib::CComboUI>(list.combo, L"Combo");
      if (combo) {
        combo_helper::FillDevices(combo, devices, skin);
        int select = -1;
        for (size_t i = 0; i < devices.size(); ++i) {
          if (!list.configured.empty() && devices[i].id == list.configured) {
            select = static_cast<int>(i);
          }
        }
        if (!devices.empty()) {
          // A microphone that is not configured or not there any more is opened and stored
          // through the selection event; the speaker is only shown.
          const bool fire = list.mic && select < 0 && fireEvents;
          combo->SelectItem(select < 0 ? 0 : select, false, fire);
        }
      }
      if (DuiLib::CControlUI* button = m_PaintManager.FindControl(list.button)) {
        button->SetEnabled(!devices.empty());
      }
    }
  }
  if (DuiLib::CControlUI* reset = m_PaintManager.FindControl(L"pic_default_btn")) {
    reset->SetEnabled(config->picture_path != device_texts::DefaultPicturePath());
  }
}

void CSettingFrame::LoadResolutionCombo(const std::string& deviceId, bool quiet) {
  auto* combo = Find<DuiLib::CComboUI>(L"resolution_combo", L"Combo");
  if (!combo) return;
  stDev_Info largest;
  CxBus::CallWithResult(GetMessageBus(), kTopicGetCamResolution, &largest, deviceId);
  StAppConfig* config = GetAppConfig();
  const int current = config->video_width == 1920 ? 0 : config->video_width == 1280 ? 1 : 2;
  int best = -1;
  for (int i = 0; i < 3 && i < combo->GetCount(); ++i) {
    const bool fits =
        largest.width >= kResolutions[i].width && largest.height >= kResolutions[i].height;
    combo->GetItemAt(i)->SetEnabled(fits);
    if (fits && best < 0) best = i;
  }
  combo->SetEnabled(best >= 0);
  ThemeCombo(L"resolution_combo", best >= 0);
  if (best < 0) best = 2;
  // Never a larger size than the camera offers.
  const int shown = best > current ? best : current;
  if (shown != current && !quiet) combo->SetTag(1);  // stored without a resolution call
  combo->SelectItem(0, false, false);
  combo->SelectItem(shown, false, true);
}

void CSettingFrame::SetVideoControlsEnabled(bool on) {
  for (const wchar_t* name :
       {L"use_mode_combo", L"camera_list_combo", L"resolution_combo", L"v_prior_combo"}) {
    if (DuiLib::CControlUI* combo = m_PaintManager.FindControl(name)) {
      combo->SetEnabled(on);
      ThemeCombo(name);
    }
  }
  if (DuiLib::CControlUI* beauty = m_PaintManager.FindControl(L"beauty_set_btn")) {
    beauty->SetEnabled(on);
  }
}

void CSettingFrame::RefreshVideoPage() {
  LoadDeviceLists(true, false, false);
  StAppConfig* config = GetAppConfig();
  LoadResolutionCombo(config->camera_dev_id, false);
  if (auto* combo = Find<DuiLib::CComboUI>(L"resolution_combo", L"Combo")) {
    combo->SelectItem(IndexOfWidth(config->video_width), false, false);
  }
  if (preview) preview->SetToolsState(config->mirror != 0, config->flip != 0);
}

void CSettingFrame::OnSelectItem(DuiLib::TNotifyUI& msg) {
  if (!msg.pSender) return;
  const std::wstring name = msg.pSender->GetName();
  const int index = static_cast<int>(msg.wParam);
  StAppConfig* config = GetAppConfig();
  if (name == L"use_mode_combo") {
    OnModeSelected(index);
  } else if (name == L"camera_list_combo") {
    if (msg.pSender->GetTag() != 1) OnCameraSelected();
  } else if (name == L"resolution_combo") {
    OnResolutionSelected(index);
  } else if (name == L"v_prior_combo") {
    const bool fluency = index != 0;
    config->prior = fluency ? 1 : 0;
    CxBus::Call(GetMessageBus(), kTopicSetPreference, fluency);
  } else if (name == L"mic_list_combo" || name == L"speaker_list_combo") {
    const bool mic = name == L"mic_list_combo";
    auto* combo = static_cast<DuiLib::CComboUI*>(msg.pSender->GetInterface(L"Combo"));
    DuiLib::CControlUI* item = combo ? combo->GetItemAt(index) : nullptr;
    if (!item) return;
    StopAudioTest(mic);
    std::string id = device_texts::EntryId(item);
    std::string device = device_texts::EntryName(item);
    if (mic) {
      config->SetMicDevice(id, device);
    } else {
      config->SetSpeakerDevice(id, device);
    }
    CxBus::Call(GetMessageBus(), kTopicOpenDevAudio, device, id, mic, false);
  } else if (name == L"language_mode_combo") {
    OnLanguageSelected(index);
  }
}

void CSettingFrame::OnModeSelected(int index) {
  StAppConfig* config = GetAppConfig();
  const bool camera = index == 0;
  const bool wasCamera = config->use_mode;
  for (const wchar_t* name : {L"camera_config_layout", L"beauty_set_btn"}) {
    if (DuiLib::CControlUI* control = m_PaintManager.FindControl(name)) control->SetVisible(camera);
  }
  if (DuiLib::CControlUI* picture = m_PaintManager.FindControl(L"picture_config_layout")) {
    picture->SetVisible(!camera);
  }
  if (camera) PostMessage(kMsgLoadDevices, 0, 0);
  if (DuiLib::CControlUI* tip = m_PaintManager.FindControl(L"dev_error_tips")) {
    tip->SetVisible(false);
  }
  if (camera && !wasCamera) {
    CxBus::Call(GetMessageBus(), kTopicClosePicture);
  } else if (!camera && wasCamera) {
    selectedCameraId.clear();
    TVLOG_AT(CLogWrapper::kInfo, this) << "cur_devid set empty ";
    CxBus::Call(GetMessageBus(), kTopicCloseDevVideo, config->camera_dev_id,
                device_texts::ConfiguredCameraName(), true);
  }
  config->use_mode = camera;
  if (!camera) {
    if (preview) preview->SetInternVisible(true);
    SyncPreviewShown();
    ShowDefaultPicture(config->picture_path.empty());
  }
}

void CSettingFrame::OnCameraSelected() {
  auto* combo = Find<DuiLib::CComboUI>(L"camera_list_combo", L"Combo");
  DuiLib::CControlUI* item = combo ? combo->GetItemAt(combo->GetCurSel()) : nullptr;
  if (!item) return;
  StAppConfig* config = GetAppConfig();
  const std::string id = device_texts::EntryId(item);
  const std::string name = device_texts::EntryName(item);
  selectedCameraId = id;
  TVLOG_AT(CLogWrapper::kInfo, this) << "select dev is name = " << name;
  if (!config->camera_dev_id.empty() && config->camera_dev_id != id) {
    TVLOG_AT(CLogWrapper::kInfo, this) << "select camera close cur_id = " << config->camera_dev_id;
    CxBus::Call(GetMessageBus(), kTopicCloseDevVideo, config->camera_dev_id,
                device_texts::ConfiguredCameraName(), true);
  }
  LoadResolutionCombo(id, false);
  TVLOG_AT(CLogWrapper::kInfo, this) << "open select dev name =" << name;
  config->camera_dev_id = id;
  config->camera_dev_name = UnicodeToAnsi(Utf8ToUnicode(name));
  // True: a new camera stream was asked for; its result (OnVideoDevResult) enables the
  // controls again. False: the stream was reused (or there is no meeting): nothing to wait for.
  bool requested = false;
  const bool beauty = config->beauty_changed;
  CxBus::CallWithResult(GetMessageBus(), kTopicOpenDevVideo, &requested, id, name, true, beauty);
  if (DuiLib::CControlUI* tip = m_PaintManager.FindControl(L"dev_error_tips")) {
    tip->SetVisible(false);
  }
  SetVideoControlsEnabled(!requested);
}

void CSettingFrame::OnResolutionSelected(int index) {
  auto* combo = Find<DuiLib::CComboUI>(L"resolution_combo", L"Combo");
  if (index < 0 || index > 2 || !combo) return;
  StAppConfig* config = GetAppConfig();
  const Size size = kResolutions[index];
  if (config->video_width != size.width && config->video_height != size.height) {
    config->video_width = size.width;
    config->video_height = size.height;
    if (combo->GetTag() != 1) {
      TVLOG_AT(CLogWrapper::kInfo, this) << "resolution combo dev_name=" << config->camera_dev_name;
      // As with opening: true means the camera stream is made anew and its result follows.
      bool recreated = false;
      CxBus::CallWithResult(GetMessageBus(), kTopicSetResolution, &recreated, config->camera_dev_id,
                            device_texts::ConfiguredCameraName(), size.width, size.height);
      SetVideoControlsEnabled(!recreated);
    }
  }
  combo->SetTag(0);
}

// ---- devices that go away -----------------------------------------------------------------------

int CSettingFrame::FindUnpluggedEntry(const std::wstring* ids, int count,
                                      const std::wstring& deviceText) {
  return combo_helper::FindUnpluggedEntry(ids, count, deviceText);
}

void CSettingFrame::OnDevHotPlug(bool isMic, const std::string& deviceText) {
  auto* combo = Find<DuiLib::CComboUI>(isMic ? L"mic_list_combo" : L"camera_list_combo", L"Combo");
  if (!combo) return;
  const int gone = combo_helper::FindUnpluggedEntry(combo, Utf8ToUnicode(deviceText));
  if (gone < 0) return;
  const int selected = combo->GetCurSel();
  combo->RemoveAt(gone);
  if (gone < selected) combo->SelectItem(selected - 1, false, false);
  if (gone == selected && !isMic && preview) preview->ShowNoVideo(true);
  if (combo->GetCount() == 0) combo_helper::FillDevices(combo, {}, GetSkinIndex());
}

// ---- audio tests ----------------------------------------------------------------------------

void CSettingFrame::StartMicTest() {
  StAppConfig* config = GetAppConfig();
  if (speakerTesting) StopAudioTest(false);
  if (micTesting) {
    StopAudioTest(true);
    return;
  }
  ::SetTimer(m_hWnd, kTimerMicLevel, 50, nullptr);
  ::SetTimer(m_hWnd, kTimerMicTip, 3000, nullptr);
  micTesting = true;
  SetTestIndicators(false, false, false);
  SetTestIndicators(true, true, false);
  CxBus::Call(GetMessageBus(), kTopicOpenDevAudio, config->GetMicDevName(), config->GetMicDevId(),
              true, true);
}

void CSettingFrame::StartSpeakerTest() {
  StAppConfig* config = GetAppConfig();
  if (micTesting) StopAudioTest(true);
  if (speakerTesting) {
    StopAudioTest(false);
    return;
  }
  ::SetTimer(m_hWnd, kTimerSpeakerLevel, 50, nullptr);
  ::SetTimer(m_hWnd, kTimerSpeakerTip, 3000, nullptr);
  speakerTesting = true;
  SetTestIndicators(false, true, false);
  SetTestIndicators(true, false, false);
  std::string sound = device_texts::TestSoundPath();
  CxBus::Call(GetMessageBus(), kTopicPlayTestSpeaker, config->GetSpeakerDevName(),
              config->GetSpeakerDevId(), sound, true);
}

void CSettingFrame::StopAudioTest(bool mic) {
  SetTestIndicators(false, mic, false);
  bool& testing = mic ? micTesting : speakerTesting;
  if (!testing) return;
  KillTimer(m_hWnd, mic ? kTimerMicLevel : kTimerSpeakerLevel);
  testing = false;
  StAppConfig* config = GetAppConfig();
  if (mic) {
    CxBus::Call(GetMessageBus(), kTopicCloseDevAudio, config->GetMicDevName(),
                config->GetMicDevId(), true, true);
  } else {
    CxBus::Call(GetMessageBus(), kTopicCloseDevAudio, config->GetSpeakerDevName(),
                config->GetSpeakerDevId(), false, true);
  }
}

void CSettingFrame::SetTestIndicators(bool on, bool mic, bool tipOnly) {
  const wchar_t* tipName = L"speaker_tip_lab";
  const wchar_t* buttonName = L"speaker_test_btn";
  const wchar_t* idleText = L"s.test.speaker";
  CVoiceProgressDisplayUI* meter = speakerMeter;
  if (mic) {
    tipName = GetAppConfig()->IsEnglish() ? L"mic_tip_en_lab" : L"mic_tip_lab";
    buttonName = L"mic_test_btn";
    idleText = L"s.test.mic";
    meter = micMeter;
  }
  if (DuiLib::CControlUI* tip = m_PaintManager.FindControl(tipName)) tip->SetVisible(on);
  if (tipOnly) return;
  if (DuiLib::CControlUI* button = m_PaintManager.FindControl(buttonName)) {
    button->SetTextId(on ? L"s.stop.test" : idleText);
  }
  if (!on && meter) meter->SetValue(0);
}

void CSettingFrame::OnSpeakerVolumeChanged(DuiLib::TNotifyUI& msg) {
  if (!msg.pSender || msg.pSender->GetName() != L"slider_speaker_level") return;
  auto* slider = static_cast<DuiLib::CSliderUI*>(msg.pSender->GetInterface(L"Slider"));
  if (!slider) return;
  const int volume = slider->GetValue();
  if (DuiLib::CControlUI* text = m_PaintManager.FindControl(L"speaker_value_text")) {
    text->SetText(std::to_wstring(volume).c_str());
  }
  GetAppConfig()->speaker_volume = volume;
  CxBus::Call(GetMessageBus(), kTopicSetSpeakerValue, volume);
}

// ---- preview and pictures -------------------------------------------------------------------

void CSettingFrame::OnRenderCreate() {
  if (!preview) return;
  StAppConfig* config = GetAppConfig();
  preview->SetupCanvas("VIDEO_CANVAS", 640, 360);
  preview->AttachCanvas(true);
  preview->SetRotation(config->video_width, config->video_height, config->rotation);
  if (!config->use_mode) ShowDefaultPicture(false);
}

void CSettingFrame::ShowDefaultPicture(bool reset) {
  StAppConfig* config = GetAppConfig();
  const std::string fallback = device_texts::DefaultPicturePath();
  if (reset) config->picture_path = fallback;
  if (DuiLib::CControlUI* button = m_PaintManager.FindControl(L"pic_default_btn")) {
    button->SetEnabled(config->picture_path != fallback);
  }
  PreviewPicture();
}

void CSettingFrame::OnUploadPicture() {
  std::wstring path;
  if (!picture_choice::ChooseAndPreview(m_hWnd, [this] { return PreviewPicture(); }, &path)) {
    return;
  }
  if (DuiLib::CControlUI* button = m_PaintManager.FindControl(L"pic_default_btn")) {
    button->SetEnabled(true);
  }
}

int CSettingFrame::PreviewPicture() {
  StAppConfig* config = GetAppConfig();
  static const PictureFile reader;
  uint8_t* frame = nullptr;
  int size = 0;
  int width = 0;
  int height = 0;
  if (!reader.LoadPictureAsBitmap(AnsiToUnicode(config->picture_path).c_str(), &frame, &size,
                                  &width, &height)) {
    TVLOG_AT(CLogWrapper::kError, this) << "Image Failed";
    return -1;
  }
  {
    CxYuvTransform transform;
    uint8_t* shown = transform.Transform(frame, &size, &width, &height, config->rotation,
                                         config->mirror != 0, config->flip != 0, false);
    if (preview && preview->IsVisible()) preview->PushFrame(width, height, kI420, shown, size);
  }
  free(frame);
  CxBus::Call(GetMessageBus(), kTopicOpenPicture);
  return 0;
}
