#include "windows/beauty/beauty_setting_frame.h"

#include <memory>
#include <vector>

#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "foundation/log.h"
#include "foundation/text_convert.h"
#include "share/video/video_render_ui.h"
#include "shell/login/skin_choice.h"
#include "windows/common/combo_helper.h"
#include "windows/common/device_texts.h"

namespace {

constexpr int kLayoutNumber = 6;  // "beauty_set_frame.xml"
constexpr int kI420 = 12;

struct Size {
  int width;
  int height;
};
constexpr Size kResolutions[] = {{1920, 1080}, {1280, 720}, {640, 360}};

// The six beauty sliders, the overall one first, and their fields in the beauty block.
struct SliderField {
  const wchar_t* slider;
  const wchar_t* label;
  int32_t st_beauty::*field;
};
constexpr SliderField kSliders[] = {
    {L"comprehensive_level", L"comprehensive_text", &st_beauty::comprehensive},
    {L"thinface_level", L"thinface_text", &st_beauty::thin_face},
    {L"bigeyes_level", L"bigeyes_text", &st_beauty::big_eyes},
    {L"rhinoplasty_level", L"rhinoplasty_text", &st_beauty::rhinoplasty},
    {L"microdermabrasion_level", L"microdermabrasion_text", &st_beauty::microdermabrasion},
    {L"whitening_level", L"whitening_text", &st_beauty::whitening},
};

const wchar_t kScrollThumb[] =
    L"file='img\\orange\\scrollbar.png' source='36,0,48,60' corner='0,10,0,10'";
const wchar_t kScrollRail[] =
    L"file='img\\orange\\scrollbar.png' source='0,0,12,60' corner='0,10,0,10'";

}  // namespace

CBeautySettingFrame::CBeautySettingFrame(DevConsumerDelegate* owner) : owner(owner) {
  sdkLayer.Join(static_cast<DevConsumerDelegate*>(this));
  sdkLayer.Listen(kTopicYuvData, &CBeautySettingFrame::OnYuvData, this);
  sdkLayer.Listen(kTopicDevHotplug, &CBeautySettingFrame::OnDevHotPlug, this);
}

CBeautySettingFrame::~CBeautySettingFrame() {
  LeaveSdkLayer();
  StopPicking();
  RemoveThumbnails();
}

void CBeautySettingFrame::LeaveSdkLayer() {
  postTarget = nullptr;
  previewShown = false;
  // After this returns no SDK thread is inside this window (see SdkLayerAttachment::Leave).
  sdkLayer.Leave();
}

DuiLib::CDuiString CBeautySettingFrame::GetSkinFile() { return ::GetSkinFile(kLayoutNumber); }

void CBeautySettingFrame::InitWindow() {
  postTarget = m_hWnd;
  CenterWindow();
}

void CBeautySettingFrame::OnFinalMessage(HWND hWnd) {
  CSkinDialog::OnFinalMessage(hWnd);
  delete this;
}

DuiLib::CControlUI* CBeautySettingFrame::CreateControl(const wchar_t* pstrClass) {
  if (pstrClass && std::wstring(pstrClass) == L"VideoRender") {
    preview = new CVideoRenderUI(static_cast<VideoToolsDelegate*>(this), true, 1);
    return preview;
  }
  return nullptr;
}

LRESULT CBeautySettingFrame::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_WINDOWPOSCHANGING) {
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
    if (pos && (pos->flags & SWP_NOMOVE)) return 0;
    if (preview) preview->PlaceToolsFrame(0, 0);
  }
  return CSkinDialog::HandleMessage(uMsg, wParam, lParam);
}

LRESULT CBeautySettingFrame::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM, BOOL& bHandled) {
  bHandled = TRUE;
  switch (uMsg) {
    case kMsgVideoDevResult:
      // Whatever the outcome, the camera can be chosen again.
      SetCameraControlsEnabled(true);
      return 0;
    case WM_TIMER:
      if (wParam == kTimerFirstLoad) {
        KillTimer(m_hWnd, kTimerFirstLoad);
        OnFirstLoad();
        return 0;
      }
      break;
    case WM_CLOSE:
      OnClosing();
      break;
    case WM_DESTROY:
      // Every way out passes here, also a close that skipped WM_CLOSE.
      OnClosing();
      LeaveSdkLayer();
      RemoveThumbnails();
      break;
    default:
      break;
  }
  bHandled = FALSE;
  return 0;
}

void CBeautySettingFrame::Notify(DuiLib::TNotifyUI& msg) {
  const std::wstring& type = msg.sType;
  if (type == L"windowinit") {
    OnWindowInit();
  } else if (type == L"click") {
    OnClick(msg);
  } else if (type == L"selectchanged") {
    OnBackgroundSelect(msg);
  } else if (type == L"itemselect") {
    OnItemSelect(msg);
  } else if (type == L"valuechanged") {
    OnSliderChanged(msg);
  } else if (type == L"dropdown" || type == L"dropup") {
    combo_helper::OnDropNotify(msg, GetSkinIndex());
  } else if (type == L"mouseenter" || type == L"mouseleave") {
    OnHover(msg, type == L"mouseenter");
  }
}

void CBeautySettingFrame::OnWindowInit() {
  AttachShadow(m_hWnd);
  GetAppConfig()->GetBeauty(working);
  captureWidth = working.video_width;
  captureHeight = working.video_height;
  SetUsingCamera(working.camera_dev_id);
  beautyTab = Find<DuiLib::CTabLayoutUI>(L"beauty_tab", L"TabLayout");
  if (beautyTab) beautyTab->SelectItem(0);
  tileLayout = Find<DuiLib::CTileLayoutUI>(L"window_Layout", L"TileLayout");
  if (tileLayout && GetSkinIndex() == 1) {
    if (DuiLib::CScrollBarUI* bar = tileLayout->GetVerticalScrollBar()) {
      bar->SetThumbNormalImage(kScrollThumb);
      bar->SetThumbHotImage(kScrollThumb);
      bar->SetThumbPushedImage(kScrollThumb);
      bar->SetRailNormalImage(kScrollRail);
    }
  }
  if (auto* prior = Find<DuiLib::CComboUI>(L"v_prior_combo", L"Combo")) {
    prior->SelectItem(working.prior != 0 ? 1 : 0, false, true);
  }
  SetSlidersFromRecord(false);
  ::SetTimer(m_hWnd, kTimerFirstLoad, 30, nullptr);
}

void CBeautySettingFrame::OnFirstLoad() {
  LoadCameraList();
  InitBackgroundPage();
  if (preview) {
    preview->SetInternVisible(true);
    // The rotate, flip and mirror tools float over the preview while the window is open.
    preview->ShowTools(true);
  }
  previewShown = preview != nullptr;
  ApplyBeauty();
}

void CBeautySettingFrame::ApplyBeauty() {
  GetAppConfig()->SetBeauty(working);
  CxBus::Call(GetMessageBus(), kTopicSetBeautyDev, working.camera_dev_id, &working.beauty, true);
}

// ---- sliders ------------------------------------------------------------------------------------

void CBeautySettingFrame::SetSlidersFromRecord(bool skipOverallLabel) {
  for (const SliderField& entry : kSliders) {
    const int value = working.beauty.*entry.field;
    if (auto* slider = Find<DuiLib::CSliderUI>(entry.slider, L"Slider")) slider->SetValue(value);
    if (skipOverallLabel && entry.field == &st_beauty::comprehensive) continue;
    if (DuiLib::CControlUI* label = m_PaintManager.FindControl(entry.label)) {
      label->SetText(std::to_wstring(value).c_str());
    }
  }
}

void CBeautySettingFrame::OnSliderChanged(DuiLib::TNotifyUI& msg) {
  if (!msg.pSender) return;
  auto* slider = static_cast<DuiLib::CSliderUI*>(msg.pSender->GetInterface(L"Slider"));
  if (!slider) return;
  const std::wstring name = msg.pSender->GetName();
  const int value = slider->GetValue();
  const std::wstring labelName = name.substr(0, name.rfind(L'_')) + L"_text";
  if (DuiLib::CControlUI* label = m_PaintManager.FindControl(labelName.c_str())) {
    label->SetText(std::to_wstring(value).c_str());
  }
  if (name == L"blur_level") {
    working.beauty.blur_level = value;
    ApplyBeauty();
    return;
  }
  const SliderField* entry = nullptr;
  for (const SliderField& candidate : kSliders) {
    if (name == candidate.slider) entry = &candidate;
  }
  if (!entry) return;
  working.beauty.*entry->field = value;
  if (entry->field == &st_beauty::comprehensive) {
    for (const SliderField& other : kSliders) working.beauty.*other.field = value;
    SetSlidersFromRecord(true);
  }
  ApplyBeauty();
}

// ---- camera -------------------------------------------------------------------------------------

void CBeautySettingFrame::LoadCameraList() {
  auto* combo = Find<DuiLib::CComboUI>(L"camera_list_combo", L"Combo");
  const int skin = GetSkinIndex();
  std::vector<stDev_Info> cameras;
  CxBus::CallWithResult(GetMessageBus(), kTopicGetCamList, &cameras);
  const std::string configured = GetAppConfig()->camera_dev_id;
  int remembered = -1;
  for (size_t i = 0; i < cameras.size(); ++i) {
    if (remembered < 0 && cameras[i].id == configured) remembered = static_cast<int>(i);
  }
  if (combo) {
    combo_helper::FillDevices(combo, cameras, skin);
    if (remembered >= 0) combo->SelectItem(remembered, false, true);
  }
  if (DuiLib::CControlUI* sizes = m_PaintManager.FindControl(L"resolution_combo")) {
    sizes->SetEnabled(!cameras.empty());
  }
  if (preview) {
    StAppConfig* config = GetAppConfig();
    preview->SetupCanvas("PREVIEW_CANVAS", 640, 360);
    preview->AttachCanvas(true);
    preview->SetRotation(config->video_width, config->video_height, config->rotation);
  }
}

void CBeautySettingFrame::OnItemSelect(DuiLib::TNotifyUI& msg) {
  if (!msg.pSender) return;
  const std::wstring name = msg.pSender->GetName();
  const int index = static_cast<int>(msg.wParam);
  if (name == L"camera_list_combo") {
    OnCameraSelected();
  } else if (name == L"resolution_combo") {
    if (index < 0 || index > 2) return;
    working.video_width = kResolutions[index].width;
    working.video_height = kResolutions[index].height;
    captureWidth = working.video_width;
    captureHeight = working.video_height;
  } else if (name == L"v_prior_combo") {
    working.prior = index != 0 ? 1 : 0;
  }
}

void CBeautySettingFrame::OnCameraSelected() {
  auto* combo = Find<DuiLib::CComboUI>(L"camera_list_combo", L"Combo");
  DuiLib::CControlUI* item = combo ? combo->GetItemAt(combo->GetCurSel()) : nullptr;
  if (!item || item->GetUserData().empty()) return;
  const std::string id = device_texts::EntryId(item);
  const std::string name = device_texts::EntryName(item);
  TVLOG_AT(CLogWrapper::kInfo, this) << "select devname=" << name;
  if (!working.camera_dev_id.empty()) {
    // The record keeps the name in the system code page; the bus carries UTF-8.
    CxBus::Call(GetMessageBus(), kTopicCloseDevVideo, working.camera_dev_id,
                UnicodeToUtf8(AnsiToUnicode(working.camera_dev_name)), true);
  }
  working.camera_dev_id = id;
  working.camera_dev_name = UnicodeToAnsi(Utf8ToUnicode(name));
  SetUsingCamera(id);
  ChooseCaptureSize(id);
  GetAppConfig()->SetBeauty(working);
  // True: a new camera stream was asked for and its result (OnVideoDevResult) follows; false:
  // a stream was reused, or there is no meeting, and nothing follows.
  bool requested = false;
  CxBus::CallWithResult(GetMessageBus(), kTopicOpenDevVideo, &requested, id, name, true, true);
  if (requested) SetCameraControlsEnabled(false);
  TVLOG_AT(CLogWrapper::kInfo, this) << "camera combo GenerateEffet";
}

void CBeautySettingFrame::ChooseCaptureSize(const std::string& deviceId) {
  stDev_Info largest;
  CxBus::CallWithResult(GetMessageBus(), kTopicGetCamResolution, &largest, deviceId);
  const int wanted = working.video_width == 1920 ? 0 : working.video_width == 1280 ? 1 : 2;
  int possible = 2;
  if (largest.width >= 1920 && largest.height >= 1080) {
    possible = 0;
  } else if (largest.width >= 1280 && largest.height >= 720) {
    possible = 1;
  }
  const int index = wanted > possible ? wanted : possible;
  working.video_width = kResolutions[index].width;
  working.video_height = kResolutions[index].height;
  captureWidth = working.video_width;
  captureHeight = working.video_height;
  if (auto* sizes = Find<DuiLib::CComboUI>(L"resolution_combo", L"Combo")) {
    sizes->SelectItem(index, false, false);
  }
}

void CBeautySettingFrame::SetCameraControlsEnabled(bool on) {
  for (const wchar_t* name : {L"camera_list_combo", L"save_set_btn"}) {
    if (DuiLib::CControlUI* control = m_PaintManager.FindControl(name)) control->SetEnabled(on);
  }
}

void CBeautySettingFrame::SetUsingCamera(const std::string& id) {
  std::lock_guard<std::mutex> guard(usingLock);
  usingCameraId = id;
}

bool CBeautySettingFrame::IsUsingVideoDev(const std::string& deviceId) {
  std::lock_guard<std::mutex> guard(usingLock);
  return deviceId == usingCameraId;
}

void CBeautySettingFrame::OnVideoDevResult(const std::string&, bool) {
  // SDK thread, under the consumer-list lock: hand over to the UI thread.
  const HWND target = postTarget.load();
  if (target) ::PostMessageW(target, kMsgVideoDevResult, 0, 0);
}

void CBeautySettingFrame::OnPreviewFrame(const unsigned char* data, int size, int width,
                                         int height) {
  if (preview) preview->PushFrame(width, height, kI420, data, size);
}

void CBeautySettingFrame::OnYuvData(const StYuvImage& image) {
  // The publisher's thread, under the bus lock: the atomic flag and the push only.
  if (previewShown && preview) {
    preview->PushFrame(image.width, image.height, kI420, image.data, image.size);
  }
}

void CBeautySettingFrame::OnDevHotPlug(bool isMic, const std::string& deviceText) {
  if (isMic) return;
  auto* combo = Find<DuiLib::CComboUI>(L"camera_list_combo", L"Combo");
  if (!combo) return;
  const int selected = combo->GetCurSel();
  const int gone = combo_helper::FindUnpluggedEntry(combo, Utf8ToUnicode(deviceText));
  if (gone < 0) return;
  combo->RemoveAt(gone);
  if (gone < selected) combo->SelectItem(selected - 1, false, false);
  if (gone == selected && preview) preview->ShowNoVideo(true);
  if (combo->GetCount() == 0) combo_helper::FillDevices(combo, {}, GetSkinIndex());
}

// ---- hover help ---------------------------------------------------------------------------------

void CBeautySettingFrame::OnHover(DuiLib::TNotifyUI& msg, bool enter) {
  if (!msg.pSender) return;
  const std::wstring name = msg.pSender->GetName();
  const bool english = GetAppConfig()->IsEnglish();
  auto show = [&](const wchar_t* control, bool visible) {
    if (DuiLib::CControlUI* tip = m_PaintManager.FindControl(control)) tip->SetVisible(visible);
  };
  if (name == L"prior_comment") {
    show(L"prior_comment_tips", enter);
  } else if (name == L"green_mat_comment") {
    show(english ? L"greenmat_tip_en_lab" : L"greenmat_tip_lab", enter);
  } else if (name == L"add_custom_comment") {
    PlaceAddTip();
    show(L"addcustom_tip_lab", enter);
  } else if (name.compare(0, 18, L"custom_mat_videobk") == 0 ||
             name.compare(0, 16, L"custom_mat_imgbk") == 0) {
    const std::wstring suffix = name.substr(name.rfind(L'_'));
    DuiLib::CControlUI* close = m_PaintManager.FindControl((L"custom_mat_close" + suffix).c_str());
    if (!close) return;
    if (enter) {
      close->SetVisible(true);
    } else {
      POINT cursor{};
      GetCursorPos(&cursor);
      ScreenToClient(m_hWnd, &cursor);
      const RECT rc = close->GetPos();
      if (!PtInRect(&rc, cursor)) close->SetVisible(false);
    }
  } else if (name.compare(0, 16, L"custom_mat_close") == 0) {
    if (!enter) msg.pSender->SetVisible(false);
  } else if (name == L"b_bk_blur_opt") {
    show(L"blur_layout", false);
  }
}

// ---- video tools --------------------------------------------------------------------------------

void CBeautySettingFrame::OnVideo_Rotate(bool clockwise) {
  StAppConfig* config = GetAppConfig();
  const int rotation = (config->rotation + (clockwise ? 90 : 270)) % 360;
  config->rotation = rotation;
  config->beauty.rotation = rotation;
  working.beauty.rotation = rotation;
  TVLOG_AT(CLogWrapper::kInfo, this) << "rotate = " << rotation;
  if (preview) preview->SetRotation(working.video_width, working.video_height, rotation);
}

void CBeautySettingFrame::OnVideo_Flip(bool flipped) {
  StAppConfig* config = GetAppConfig();
  const int flip = flipped ? 1 : 0;
  config->flip = flip;
  config->beauty.flip = flip;
  working.beauty.flip = flip;
  TVLOG_AT(CLogWrapper::kInfo, this) << "bFlip =" << flip;
}

void CBeautySettingFrame::OnVideo_Mirror(bool mirrored) {
  StAppConfig* config = GetAppConfig();
  const int mirror = mirrored ? 1 : 0;
  config->mirror = mirror;
  config->beauty.mirror = mirror;
  working.beauty.mirror = mirror;
}

void CBeautySettingFrame::OnVideo_StartPick(bool on) {
  picking = on;
  GetAppConfig()->beauty_suspended = on;
  if (preview) preview->SetPickCursor(on);
}

void CBeautySettingFrame::OnVideo_PickColor(uint32_t colorref) {
  StopPicking();
  const uint32_t r = colorref & 0xFF;
  const uint32_t g = (colorref >> 8) & 0xFF;
  const uint32_t b = (colorref >> 16) & 0xFF;
  working.beauty.key_color = 0xFF000000u | (r << 16) | (g << 8) | b;
  ApplyBeauty();
}

void CBeautySettingFrame::StopPicking() {
  // Only this window raises the process-wide flag, and only while it picks.
  if (picking.exchange(false)) GetAppConfig()->beauty_suspended = false;
}

// ---- closing ------------------------------------------------------------------------------------

void CBeautySettingFrame::OnClick(DuiLib::TNotifyUI& msg) {
  if (!msg.pSender) return;
  const std::wstring name = msg.pSender->GetName();
  if (name == L"closebtn" || name == L"save_set_btn") {
    TVLOG_AT(CLogWrapper::kInfo, this) << "click close dev_id=" << working.camera_dev_id;
    if (preview) preview->AttachCanvas(false);
    GetAppConfig()->beauty_suspended = false;
    picking = false;
    Close(0);
  } else if (name == L"b_add_custom_btn") {
    ImportCustomMaterial();
  } else if (name.compare(0, 16, L"custom_mat_close") == 0) {
    RemoveCustomMaterial(msg.pSender);
  }
}

void CBeautySettingFrame::OnClosing() {
  // A close by any path: picking ends (face beauty goes on), the canvas is let go.
  KillTimer(m_hWnd, kTimerFirstLoad);
  StopPicking();
  previewShown = false;
  if (preview) preview->AttachCanvas(false);
}
