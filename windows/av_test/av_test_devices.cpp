// The device test window's devices: the lists of the three device steps, the camera or a
// picture as video source with its rotation, flip and mirror, the video selectors that the
// mask layer follows, the microphone level and the speaker's test sound.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "foundation/log.h"
#include "foundation/text_convert.h"
#include "share/video/video_render_ui.h"
#include "share/video/voice_progress_display_ui.h"
#include "share/yuv/yuv_transform.h"
#include "shell/jsevents/js_event_sender.h"
#include "shell/login/skin_choice.h"
#include "windows/av_test/av_test_frame.h"
#include "windows/common/combo_helper.h"
#include "windows/common/device_texts.h"
#include "windows/common/picture_choice.h"
#include "windows/picture_file/picture_file.h"

namespace {

constexpr int kI420 = 12;
constexpr UINT kLevelInterval = 50;  // ms

bool FileExists(const std::string& ansiPath) {
  if (ansiPath.empty()) return false;
  const DWORD attributes = GetFileAttributesW(AnsiToUnicode(ansiPath).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The last entry whose identifier is `configured`, else the first.
int ConfiguredEntry(const std::vector<stDev_Info>& devices, const std::string& configured) {
  int select = 0;
  for (size_t i = 0; i < devices.size(); ++i) {
    if (devices[i].id == configured) select = static_cast<int>(i);
  }
  return select;
}

}  // namespace

// Rotation entries: 0 none, 1 90, 2 270, 3 180.
int CAVTestFrame::RotationToItem(int degrees) {
  switch (degrees) {
    case 0:
      return 0;
    case 90:
      return 1;
    case 180:
      return 3;
    default:
      return 2;
  }
}

int CAVTestFrame::ItemToRotation(int item) {
  switch (item) {
    case 0:
      return 0;
    case 1:
      return 90;
    case 3:
      return 180;
    default:
      return 270;
  }
}

void CAVTestFrame::Init_dev_list(bool camera, bool mic, bool speaker) {
  StAppConfig* config = GetAppConfig();
  const int skin = GetSkinIndex();
  if (camera) {
    if (auto* combo = Find<DuiLib::CComboUI>(L"video_dev_list", L"Combo")) {
      if (combo_helper::FillDevices(combo, cameras, skin) > 0) {
        // The event stores the choice (a configured camera that is gone gives the first) and
        // opens it in camera mode.
        combo->SelectItem(ConfiguredEntry(cameras, config->camera_dev_id), false, true);
      }
    }
    if (auto* rotate = Find<DuiLib::CComboUI>(L"v_rotate_combo", L"Combo")) {
      rotate->SelectItem(RotationToItem(config->rotation), false, true);
    }
    if (auto* flip = Find<DuiLib::CComboUI>(L"v_flip_combo", L"Combo")) {
      flip->SelectItem(config->flip != 0 ? 1 : 0, false, true);
    }
    if (auto* mirror = Find<DuiLib::CComboUI>(L"v_mirror_combo", L"Combo")) {
      mirror->SelectItem(config->mirror != 0 ? 1 : 0, false, true);
    }
    if (!config->use_mode) {
      if (auto* picture = Find<DuiLib::COptionUI>(L"v_picture_opt", L"Option")) {
        picture->Selected(true, true);
      }
    }
  }
  if (mic) {
    std::vector<stDev_Info> mics;
    CxBus::CallWithResult(GetMessageBus(), kTopicGetMicList, &mics);
    if (auto* combo = Find<DuiLib::CComboUI>(L"mic_dev_list", L"Combo")) {
      if (combo_helper::FillDevices(combo, mics, skin) > 0) {
        combo->SelectItem(ConfiguredEntry(mics, config->GetMicDevId()), false, true);
        ::SetTimer(m_hWnd, kTimerMicLevel, kLevelInterval, nullptr);
      }
    }
  }
  if (speaker) {
    if (speakerTesting) {
      // A test sound still playing is ended before the list (and so the speaker) changes.
      speakerTesting = false;
      CxBus::Call(GetMessageBus(), kTopicCloseDevAudio, config->GetSpeakerDevName(),
                  config->GetSpeakerDevId(), false, true);
      StopSpeakerWait();
    }
    std::vector<stDev_Info> speakers;
    CxBus::CallWithResult(GetMessageBus(), kTopicGetSpeakerList, &speakers);
    if (auto* combo = Find<DuiLib::CComboUI>(L"speaker_dev_list", L"Combo")) {
      if (combo_helper::FillDevices(combo, speakers, skin) > 0) {
        combo->SelectItem(ConfiguredEntry(speakers, config->GetSpeakerDevId()), false, true);
      }
    }
    if (DuiLib::CControlUI* play = m_PaintManager.FindControl(L"play_speaker_btn")) {
      play->SetEnabled(!speakers.empty());
    }
  }
}

void CAVTestFrame::OnSelectItem(DuiLib::TNotifyUI& msg) {
  if (!msg.pSender) return;
  auto* combo = static_cast<DuiLib::CComboUI*>(msg.pSender->GetInterface(L"Combo"));
  if (!combo) return;
  const std::wstring name = msg.pSender->GetName();
  const int index = static_cast<int>(msg.wParam);
  DuiLib::CControlUI* item = combo->GetItemAt(index);
  StAppConfig* config = GetAppConfig();
  if (name == L"video_dev_list") {
    OnCameraChosen(item);
  } else if (name == L"mic_dev_list") {
    if (!item) return;
    const std::string oldId = config->GetMicDevId();
    if (!oldId.empty()) {
      CxBus::Call(GetMessageBus(), kTopicCloseDevAudio, config->GetMicDevName(), oldId, true,
                  true);
    }
    const std::string id = device_texts::EntryId(item);
    const std::string device = device_texts::EntryName(item);
    config->SetMicDevice(id, device);
    CxBus::Call(GetMessageBus(), kTopicOpenDevAudio, device, id, true, true);
  } else if (name == L"speaker_dev_list") {
    if (!item) return;
    if (speakerTesting) {
      CxBus::Call(GetMessageBus(), kTopicCloseDevAudio, config->GetSpeakerDevName(),
                  config->GetSpeakerDevId(), false, false);
    }
    const std::string id = device_texts::EntryId(item);
    const std::string device = device_texts::EntryName(item);
    config->SetSpeakerDevice(id, device);
    CxBus::Call(GetMessageBus(), kTopicOpenDevAudio, device, id, false, false);
  } else if (name == L"v_rotate_combo") {
    config->rotation = ItemToRotation(index);
    if (!config->use_mode) PreviewPicture();
    if (preview) preview->SetRotation(config->video_width, config->video_height, config->rotation);
  } else if (name == L"v_flip_combo" || name == L"v_mirror_combo") {
    (name == L"v_flip_combo" ? config->flip : config->mirror) = index != 0 ? 1 : 0;
    if (!config->use_mode) PreviewPicture();
  }
}

void CAVTestFrame::OnCameraChosen(DuiLib::CControlUI* item) {
  if (!item) return;
  StAppConfig* config = GetAppConfig();
  cameraId = device_texts::EntryId(item);
  const std::string name = device_texts::EntryName(item);
  config->camera_dev_name = UnicodeToAnsi(Utf8ToUnicode(name));
  if (config->use_mode) {
    TVLOG_AT(CLogWrapper::kInfo, this) << "camera_name = " << name;
    if (DuiLib::CControlUI* tip = m_PaintManager.FindControl(L"v_dev_error_tips")) {
      tip->SetVisible(false);
    }
    CxBus::Call(GetMessageBus(), kTopicCloseDevVideo, config->camera_dev_id, name, false);
    // True: a new camera stream was asked for; its result (slot 0) unlocks the selectors.
    // False: the stream was reused, or there is no meeting: nothing to wait for.
    bool requested = false;
    CxBus::CallWithResult(GetMessageBus(), kTopicOpenDevVideo, &requested, cameraId, name, false,
                          false);
    if (requested) EnableVideoSelectors(false);
  }
  config->camera_dev_id = cameraId;
}

void CAVTestFrame::EnableVideoSelectors(bool on) {
  for (const wchar_t* name : {L"video_dev_list", L"v_picture_opt", L"v_camera_opt"}) {
    if (DuiLib::CControlUI* control = m_PaintManager.FindControl(name)) control->SetEnabled(on);
  }
  combo_helper::ApplyTheme(Find<DuiLib::CComboUI>(L"video_dev_list", L"Combo"), GetSkinIndex(),
                           on);
  if (maskWindow) ::PostMessageW(maskWindow, kMsgSelectorsToMask, on ? 1 : 0, 0);
}

void CAVTestFrame::OnSelectChange(DuiLib::TNotifyUI& msg) {
  if (!msg.pSender) return;
  const std::wstring name = msg.pSender->GetName();
  auto* option = static_cast<DuiLib::COptionUI*>(msg.pSender->GetInterface(L"Option"));
  if (!option) return;
  StAppConfig* config = GetAppConfig();
  if (name == L"v_camera_opt" && option->IsSelected()) {
    ShowVideoSource(true);
    config->use_mode = true;
    cameraId = config->camera_dev_id;
    TVLOG_AT(CLogWrapper::kInfo, this) << "- Camera Option - name is  " << config->camera_dev_name;
    if (DuiLib::CControlUI* tip = m_PaintManager.FindControl(L"v_dev_error_tips")) {
      tip->SetVisible(false);
    }
    // No camera at all: nothing to open.
    if (cameraId.empty()) return;
    bool requested = false;
    CxBus::CallWithResult(GetMessageBus(), kTopicOpenDevVideo, &requested, cameraId,
                          device_texts::ConfiguredCameraName(), false, false);
    if (requested) EnableVideoSelectors(false);
  } else if (name == L"v_picture_opt" && option->IsSelected()) {
    TVLOG_AT(CLogWrapper::kInfo, this) << "- Picture Option -";
    cameraId.clear();
    CxBus::Call(GetMessageBus(), kTopicCloseDevVideo, config->camera_dev_id,
                device_texts::ConfiguredCameraName(), false);
    ShowVideoSource(false);
    config->use_mode = false;
    PreviewPicture();
  } else if (name == L"open_camera" || name == L"open_mic") {
    (name == L"open_camera" ? config->camera_on : config->microphone_on) = option->IsSelected();
    option->SetTag(1);
  }
}

void CAVTestFrame::ShowVideoSource(bool camera) {
  if (DuiLib::CControlUI* chooser = m_PaintManager.FindControl(L"dev_tip_layout")) {
    chooser->SetVisible(camera);
  }
  if (DuiLib::CControlUI* pictures = m_PaintManager.FindControl(L"pic_tip_layout")) {
    pictures->SetVisible(!camera);
  }
  if (!camera && !FileExists(GetAppConfig()->picture_path)) OnResetDef();
}

// ---- pictures -----------------------------------------------------------------------------------

void CAVTestFrame::UpdateDefaultPictureButton() {
  if (DuiLib::CControlUI* reset = m_PaintManager.FindControl(L"pic_default_btn")) {
    reset->SetEnabled(GetAppConfig()->picture_path != device_texts::DefaultPicturePath());
  }
}

void CAVTestFrame::OnSelectPicture() {
  std::wstring path;
  if (!picture_choice::ChooseAndPreview(m_hWnd, [this] { return PreviewPicture(); }, &path)) {
    return;
  }
  if (DuiLib::CControlUI* reset = m_PaintManager.FindControl(L"pic_default_btn")) {
    reset->SetEnabled(true);
  }
  TVLOG_AT(CLogWrapper::kInfo, this) << " select file is " << UnicodeToUtf8(path);
}

void CAVTestFrame::OnResetDef() {
  GetAppConfig()->picture_path = device_texts::DefaultPicturePath();
  UpdateDefaultPictureButton();
  PreviewPicture();
}

int CAVTestFrame::PreviewPicture(bool show) {
  if (!show) return 0;
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
    if (shown && preview && preview->IsVisible()) {
      preview->PushFrame(width, height, kI420, shown, size);
    }
  }
  free(frame);
  return 0;
}

// ---- sound ------------------------------------------------------------------------------------

void CAVTestFrame::StartSpeakerTest() {
  if (auto* wait = Find<DuiLib::CAnimationUI>(L"play_speaker_wait", L"Animation")) {
    wait->SetVisible(true);
    wait->PlayAnimation();
  }
  if (DuiLib::CControlUI* play = m_PaintManager.FindControl(L"play_speaker_btn")) {
    play->SetEnabled(false);
  }
  StAppConfig* config = GetAppConfig();
  const std::string sound = device_texts::TestSoundPath();
  CxBus::Call(GetMessageBus(), kTopicPlayTestSpeaker, config->GetSpeakerDevName(),
              config->GetSpeakerDevId(), sound, true);
  speakerTesting = true;
}

void CAVTestFrame::StopSpeakerWait() {
  if (auto* wait = Find<DuiLib::CAnimationUI>(L"play_speaker_wait", L"Animation")) {
    wait->StopAnimation();
    wait->SetVisible(false);
  }
  if (DuiLib::CControlUI* play = m_PaintManager.FindControl(L"play_speaker_btn")) {
    play->SetEnabled(true);
  }
}

void CAVTestFrame::OnMicLevelTimer() {
  int level = 0;
  CxBus::CallWithResult(GetMessageBus(), kTopicGetMicValue, &level);
  if (levelMeter) levelMeter->SetValue(level);
}
