#include "windows/av_test/av_test_frame.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "foundation/log.h"
#include "foundation/text_convert.h"
#include "share/video/video_render_ui.h"
#include "share/video/voice_progress_display_ui.h"
#include "shell/login/skin_choice.h"
#include "windows/common/combo_helper.h"
#include "windows/common/device_texts.h"

namespace {

constexpr int kLayoutNumber = 5;  // "av_test_frame.xml"
constexpr int kI420 = 12;

struct StepLabel {
  const wchar_t* name;
  const wchar_t* picture;
  const wchar_t* testing;  // text while its step is current; null: the layout's text
  const wchar_t* idle;
};
constexpr StepLabel kStepLabels[] = {
    {L"video_test_logo", L"av_video_logo.png", L"s.av.vtest", L"s.av.carme"},
    {L"mic_test_logo", L"av_mic_logo.png", L"s.av.mictest", L"s.av.mic"},
    {L"audio_test_logo", L"av_audio_logo.png", L"s.av.speakertest", L"s.av.speaker"},
    {L"res_test_logo", L"av_res_logo.png", nullptr, nullptr},
};

}  // namespace

CAVTestFrame::CAVTestFrame(HWND maskWindow, DevConsumerDelegate* owner)
    : maskWindow(maskWindow), owner(owner) {
  sdkLayer.Join(static_cast<DevConsumerDelegate*>(this));
  sdkLayer.Listen(kTopicYuvData, &CAVTestFrame::OnYuvData, this);
}

CAVTestFrame::~CAVTestFrame() { LeaveSdkLayer(); }

void CAVTestFrame::LeaveSdkLayer() {
  postTarget = nullptr;
  previewShown = false;
  // After this returns no SDK thread is inside this window (see SdkLayerAttachment::Leave).
  sdkLayer.Leave();
}

DuiLib::CDuiString CAVTestFrame::GetSkinFile() { return ::GetSkinFile(kLayoutNumber); }

void CAVTestFrame::InitWindow() {
  postTarget = m_hWnd;
  CenterWindow();
}

void CAVTestFrame::OnFinalMessage(HWND hWnd) {
  CSkinDialog::OnFinalMessage(hWnd);
  delete this;
}

DuiLib::CControlUI* CAVTestFrame::CreateControl(const wchar_t* pstrClass) {
  const std::wstring cls = pstrClass ? pstrClass : L"";
  if (cls == L"VoiceProgressDisplay") {
    levelMeter = new CVoiceProgressDisplayUI(true);
    return levelMeter;
  }
  if (cls == L"VideoRender") {
    preview = new CVideoRenderUI(nullptr, false);
    return preview;
  }
  return nullptr;
}

int CAVTestFrame::GetResult(int which) const {
  switch (which) {
    case kVideo:
      return cameraResult;
    case kMic:
      return micResult;
    case kSpeaker:
      return speakerResult;
    default:
      return 0;
  }
}

LRESULT CAVTestFrame::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam,
                                          BOOL& bHandled) {
  bHandled = TRUE;
  switch (uMsg) {
    case kMsgLoadDevices:
      // Only the list of a device step; the flags of the others stay clear.
      if (wParam <= kSpeaker) Init_dev_list(wParam == kVideo, wParam == kMic, wParam == kSpeaker);
      return 0;
    case kMsgVideoDevResult: {
      std::unique_ptr<std::string> id(reinterpret_cast<std::string*>(lParam));
      if (id) OnVideoDevResultOnUi(*id, wParam != 0);
      return 0;
    }
    case kMsgSpeakerTestEnd:
      OnSpeakerTestEndOnUi();
      return 0;
    case WM_TIMER:
      if (wParam == kTimerMicLevel) {
        OnMicLevelTimer();
        return 0;
      }
      break;
    case WM_CLOSE:
      OnClosing();
      break;  // the default handling closes the window
    case WM_DESTROY:
      // A window that goes with its owner, without a close request, still lets go of the test
      // devices and gives the broadcast its microphone and speaker back.
      OnClosing();
      LeaveSdkLayer();
      break;
    default:
      break;
  }
  bHandled = FALSE;
  return 0;
}

void CAVTestFrame::Notify(DuiLib::TNotifyUI& msg) {
  const std::wstring& type = msg.sType;
  if (type == L"windowinit") {
    OnWindowInit();
  } else if (type == L"click") {
    OnClick(msg);
  } else if (type == L"selectchanged") {
    OnSelectChange(msg);
  } else if (type == L"dropdown" || type == L"dropup") {
    combo_helper::OnDropNotify(msg, GetSkinIndex());
  } else if (type == L"itemselect") {
    OnSelectItem(msg);
  } else if (type == L"rendercreate" && preview && !canvasReady) {
    // The render window came after "windowinit": its canvas is set up now.
    canvasReady = true;
    preview->SetupCanvas("PREVIEW_CANVAS", 640, 360);
    preview->AttachCanvas(true);
    preview->SetInternVisible(true);
    SyncPreviewShown();
    if (!GetAppConfig()->use_mode) PreviewPicture();
  }
}

void CAVTestFrame::OnWindowInit() {
  AttachShadow(m_hWnd);
  cameras.clear();
  CxBus::CallWithResult(GetMessageBus(), kTopicGetCamList, &cameras);
  UpdateStepHeader(kVideo);
  ShowVideoSource(true);
  if (preview && preview->GetRenderWindow()) {
    canvasReady = true;
    preview->SetupCanvas("PREVIEW_CANVAS", 640, 360);
    preview->AttachCanvas(true);
    preview->SetInternVisible(true);
  }
  SyncPreviewShown();
  for (const wchar_t* name : {L"video_dev_list", L"v_rotate_combo", L"v_flip_combo",
                              L"v_mirror_combo", L"mic_dev_list", L"speaker_dev_list"}) {
    combo_helper::ApplyTheme(Find<DuiLib::CComboUI>(name, L"Combo"), GetSkinIndex());
  }
  UpdateDefaultPictureButton();
}

void CAVTestFrame::SyncPreviewShown() { previewShown = preview && preview->IsVisible(); }

void CAVTestFrame::OnClick(DuiLib::TNotifyUI& msg) {
  if (!msg.pSender) return;
  const std::wstring name = msg.pSender->GetName();
  if (name == L"yes_btn" || name == L"no_btn") {
    NextStep(name == L"yes_btn");
  } else if (name == L"goto_live") {
    Close(1);
    if (maskWindow) ::PostMessageW(maskWindow, WM_CLOSE, 0, 0);
  } else if (name == L"pic_upload_btn") {
    OnSelectPicture();
  } else if (name == L"pic_default_btn") {
    msg.pSender->SetEnabled(false);
    OnResetDef();
  } else if (name == L"play_speaker_btn") {
    StartSpeakerTest();
  }
}

int CAVTestFrame::HeaderCell(bool current, int result) {
  if (result < 0) return 2;
  if (result > 0) return 3;
  return current ? 0 : 1;
}

void CAVTestFrame::UpdateStepHeader(int current) {
  const bool orange = GetSkinIndex() == kSkinOrange;
  const wchar_t* folder = orange ? L"orange" : L"blue";
  const DWORD currentColour = orange ? 0xFF3E3F41 : 0xFEFFFFFF;
  const DWORD otherColour = orange ? 0xFE7D7F8C : 0xFEACB2BF;
  const int results[] = {cameraResult, micResult, speakerResult, 0};
  for (int i = 0; i < 4; ++i) {
    DuiLib::CControlUI* label = m_PaintManager.FindControl(kStepLabels[i].name);
    if (!label) continue;
    const bool isCurrent = i == current;
    const int cell = HeaderCell(isCurrent, results[i]);
    wchar_t image[160] = {};
    swprintf(image, 160, L"file='img\\%ls\\%ls' source='%d,0,%d,60' dest='18,0,78,60'", folder,
             kStepLabels[i].picture, cell * 60, (cell + 1) * 60);
    label->SetBkImage(image);
    label->SetTextColor(isCurrent ? currentColour : otherColour);
    if (kStepLabels[i].testing) {
      label->SetTextId(isCurrent ? kStepLabels[i].testing : kStepLabels[i].idle);
    }
  }
  if (current >= kVideo && current <= kSpeaker) {
    PostMessage(kMsgLoadDevices, static_cast<WPARAM>(current), 0);
  } else if (current == kResults && speakerTesting) {
    StAppConfig* config = GetAppConfig();
    CxBus::Call(GetMessageBus(), kTopicCloseDevAudio, config->GetSpeakerDevName(),
                config->GetSpeakerDevId(), false, false);
  }
}

void CAVTestFrame::NextStep(bool ok) {
  if (step >= kResults) return;  // the results step has no answer
  ++step;
  const int answer = ok ? 1 : -1;
  if (step == kMic) cameraResult = answer;
  if (step == kSpeaker) micResult = answer;
  if (step == kResults) speakerResult = answer;
  UpdateStepHeader(step);
  if (auto* tab = Find<DuiLib::CTabLayoutUI>(L"check_tab", L"TabLayout")) tab->SelectItem(step);
  SyncPreviewShown();
  if (step == kResults) {
    if (DuiLib::CControlUI* answers = m_PaintManager.FindControl(L"skiplayout")) {
      answers->SetVisible(false);
    }
    ShowTestResults();
  }
}

void CAVTestFrame::ShowTestResults() {
  struct Row {
    const wchar_t* label;
    int result;
  } rows[] = {{L"camera_res_lab", cameraResult},
              {L"mic_res_lab", micResult},
              {L"speaker_res_lab", speakerResult}};
  for (const Row& row : rows) {
    if (DuiLib::CControlUI* label = m_PaintManager.FindControl(row.label)) {
      label->SetTextId(row.result == 1 ? L"s.normal" : L"s.abnormal");
      label->SetEnabled(row.result == 1);
    }
  }
  StAppConfig* config = GetAppConfig();
  const bool defaultOn = config->guest_mic_default;
  const bool camera = cameraResult == 1 && defaultOn;
  const bool mic = micResult == 1 && defaultOn;
  config->camera_on = camera;
  config->microphone_on = mic;
  // The boxes now show what the results decided; that decision stands at closing as a choice
  // of the user's would, also where a box kept its state (an unchecked box would otherwise be
  // switched on by the default-on switch when the window closes).
  for (const auto& box : {std::make_pair(L"open_camera", camera), std::make_pair(L"open_mic", mic)}) {
    if (auto* check = Find<DuiLib::CCheckBoxUI>(box.first, L"CheckBox")) {
      check->SetCheck(box.second, true);
      check->SetTag(1);
    }
  }
}

void CAVTestFrame::OnClosing() {
  if (closed) return;
  closed = true;
  StAppConfig* config = GetAppConfig();
  // Boxes the user did not touch take the default-on switch.
  if (auto* box = Find<DuiLib::CCheckBoxUI>(L"open_mic", L"CheckBox")) {
    if (box->GetTag() != 1) config->microphone_on = config->guest_mic_default;
  }
  if (auto* box = Find<DuiLib::CCheckBoxUI>(L"open_camera", L"CheckBox")) {
    if (box->GetTag() != 1) config->camera_on = config->guest_mic_default;
  }
  KillTimer(m_hWnd, kTimerMicLevel);
  if (!config->camera_dev_id.empty()) {
    cameraId.clear();
    CxBus::Call(GetMessageBus(), kTopicCloseDevVideo, config->camera_dev_id,
                device_texts::ConfiguredCameraName(), false);
  }
  const std::string micId = config->GetMicDevId();
  if (!micId.empty()) {
    CxBus::Call(GetMessageBus(), kTopicCloseDevAudio, config->GetMicDevName(), micId, true, true);
  }
  if (speakerTesting) {
    speakerTesting = false;
    CxBus::Call(GetMessageBus(), kTopicCloseDevAudio, config->GetSpeakerDevName(),
                config->GetSpeakerDevId(), false, true);
  }
  // The broadcast microphone: the configured one, or the first there is when it went away.
  std::vector<stDev_Info> mics;
  CxBus::CallWithResult(GetMessageBus(), kTopicGetMicList, &mics);
  const stDev_Info* broadcastMic = nullptr;
  for (const stDev_Info& mic : mics) {
    if (mic.id == config->GetMicDevId()) broadcastMic = &mic;
  }
  if (!broadcastMic && !mics.empty()) {
    broadcastMic = &mics.front();
    config->SetMicDevice(broadcastMic->id, broadcastMic->name);
    TVLOG_AT(CLogWrapper::kInfo, this) << " next not fond, use default mic dev!";
  }
  if (broadcastMic) {
    CxBus::Call(GetMessageBus(), kTopicOpenDevAudio, broadcastMic->name, broadcastMic->id, true,
                false);
  }
  const std::string speakerId = config->GetSpeakerDevId();
  if (!speakerId.empty()) {
    std::vector<stDev_Info> speakers;
    CxBus::CallWithResult(GetMessageBus(), kTopicGetSpeakerList, &speakers);
    for (const stDev_Info& speaker : speakers) {
      if (speaker.id == speakerId) {
        CxBus::Call(GetMessageBus(), kTopicOpenDevAudio, speaker.name, speaker.id, false, false);
        break;
      }
    }
  }
  if (preview) preview->AttachCanvas(false);
  previewShown = false;
  TVLOG_AT(CLogWrapper::kInfo, this) << "AvTestFrame Close End:";
}

// ---- device consumer ----------------------------------------------------------------------------

void CAVTestFrame::OnVideoDevResult(const std::string& deviceId, bool ok) {
  // SDK thread, under the consumer-list lock: hand the result to the UI thread.
  const HWND target = postTarget.load();
  if (!target) return;
  auto* id = new std::string(deviceId);
  if (!::PostMessageW(target, kMsgVideoDevResult, ok ? 1 : 0, reinterpret_cast<LPARAM>(id))) {
    delete id;
  }
}

void CAVTestFrame::OnVideoDevResultOnUi(const std::string& deviceId, bool ok) {
  // Only the stream of this window's camera: another window's camera, or one this window has
  // since let go, says nothing about the selectors here.
  if (cameraId.empty() || deviceId != cameraId) return;
  if (!ok) {
    if (DuiLib::CControlUI* tip = m_PaintManager.FindControl(L"v_dev_error_tips")) {
      tip->SetVisible(true);
    }
    if (preview) preview->ShowDevBusy(true);
  }
  EnableVideoSelectors(true);
}

void CAVTestFrame::OnSpeakerTestEnd() {
  const HWND target = postTarget.load();
  if (target) ::PostMessageW(target, kMsgSpeakerTestEnd, 0, 0);
}

void CAVTestFrame::OnSpeakerTestEndOnUi() {
  speakerTesting = false;
  StopSpeakerWait();
}

void CAVTestFrame::OnPreviewFrame(const unsigned char* data, int size, int width, int height) {
  if (previewShown && preview) preview->PushFrame(width, height, kI420, data, size);
}

void CAVTestFrame::OnYuvData(const StYuvImage& image) {
  // The publisher's thread, under the bus lock: the atomic flag and the push only.
  if (previewShown && preview) {
    preview->PushFrame(image.width, image.height, kI420, image.data, image.size);
  }
}

bool CAVTestFrame::IsUsingVideoDev(const std::string& deviceId) {
  // Called on the thread that publishes the close request: the UI thread.
  return !cameraId.empty() && deviceId == cameraId;
}

int CAVTestFrame::GetCaptureWidth() { return GetAppConfig()->video_width; }

int CAVTestFrame::GetCaptureHeight() { return GetAppConfig()->video_height; }
