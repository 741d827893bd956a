// The background page of the beauty settings window: no effect, blur, the built-in pictures and
// videos, the user's own materials (imported, shown as tiles, removed) and green-screen keying.

#include <windows.h>
#include <commdlg.h>

#include <cwctype>
#include <string>

#include "foundation/hub.h"
#include "foundation/log.h"
#include "foundation/text_convert.h"
#include "share/video/video_render_ui.h"
#include "shell/jsevents/js_event_sender.h"
#include "windows/beauty/beauty_setting_frame.h"
#include "windows/common/file_dialog.h"
#include "windows/picture_file/video_frame_ppm.h"

namespace {

constexpr uint32_t kDefaultKeyColor = 0xFF00FF00;
const wchar_t kTileGroup[] = L"beauty_pic_group";

struct BuiltIn {
  const wchar_t* tile;
  const wchar_t* file;
  bool video;
};
constexpr BuiltIn kBuiltIns[] = {
    {L"b_picture1_opt", L"sample1.png", false}, {L"b_picture2_opt", L"sample2.png", false},
    {L"b_picture3_opt", L"sample3.png", false}, {L"b_video1_opt", L"svideo1.mp4", true},
    {L"b_video2_opt", L"svideo2.mp4", true},
};

bool StartsWith(const std::wstring& text, const wchar_t* head) {
  return text.compare(0, wcslen(head), head) == 0;
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file's size in bytes, 64-bit; false when it cannot be opened for reading.
bool ReadableFileSize(const std::wstring& path, unsigned long long* bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  const bool ok = GetFileSizeEx(file, &size) && size.QuadPart >= 0;
  CloseHandle(file);
  if (ok) *bytes = static_cast<unsigned long long>(size.QuadPart);
  return ok;
}

// True when the file's first eight bytes could be read and are all zero: no video container
// starts so (an MP4 box starts with its length, whose first three bytes are zero in nearly
// every file, and then its type), but a zero-filled or sparse file does.
bool HeaderIsZero(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  unsigned char head[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  DWORD read = 0;
  const bool ok = ReadFile(file, head, sizeof(head), &read, nullptr) && read == sizeof(head);
  CloseHandle(file);
  if (!ok) return false;
  for (unsigned char byte : head) {
    if (byte != 0) return false;
  }
  return true;
}

}  // namespace

bool CBeautySettingFrame::IsVideoMaterial(const std::wstring& path) {
  if (path.size() < 4) return false;
  std::wstring tail = path.substr(path.size() - 4);
  for (wchar_t& c : tail) c = static_cast<wchar_t>(towlower(c));
  return tail == L".mp4" || tail == L".flv";
}

std::wstring CBeautySettingFrame::ThumbnailFileName(const std::wstring& path) {
  const size_t slash = path.rfind(L'\\');
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  for (const wchar_t* from : {L"mp4", L"MP4", L"FLV", L"flv"}) {
    for (size_t at = name.find(from); at != std::wstring::npos; at = name.find(from, at + 3)) {
      name.replace(at, 3, L"pnm");
    }
  }
  return name;
}

void CBeautySettingFrame::NotifyRefusal(const wchar_t* textId) {
  CJsEventSender::Instance()->NotifyStatus(
      DuiLib::CMutiLanSupport::Instance()->GetTextForId(textId), 0);
}

// ---- choices ------------------------------------------------------------------------------------

void CBeautySettingFrame::ResetBackgroundKeying() {
  st_beauty& beauty = working.beauty;
  beauty.material_path.clear();
  beauty.video_path.clear();
  beauty.green_screen = false;
  beauty.key_color = kDefaultKeyColor;
  if (preview) preview->SetPickMode(false, false);
  if (auto* keying = Find<DuiLib::CCheckBoxUI>(L"green_mat", L"CheckBox")) {
    keying->SetCheck(false, false);
    keying->SetEnabled(false);
  }
}

void CBeautySettingFrame::OnBackgroundSelect(DuiLib::TNotifyUI& msg) {
  if (!msg.pSender) return;
  const std::wstring name = msg.pSender->GetName();
  if (name == L"beauty_opt" || name == L"backgroud_opt") {
    if (beautyTab) beautyTab->SelectItem(name == L"beauty_opt" ? 0 : 1);
    return;
  }
  auto* option = static_cast<DuiLib::COptionUI*>(msg.pSender->GetInterface(L"Option"));
  if (!option) return;
  const bool on = option->IsSelected();
  st_beauty& beauty = working.beauty;
  const char* what = nullptr;
  if (name == L"green_mat") {
    beauty.green_screen = on;
    if (preview) preview->SetPickMode(on, false);
    what = "GenerateEffet green_mat";
  } else if (name == L"b_no_effect_opt") {
    beauty.no_effect = on;
    if (on) {
      beauty.background_blur = false;
      ResetBackgroundKeying();
    }
    what = "GenerateEffet no_effect_opt";
  } else if (name == L"b_bk_blur_opt") {
    beauty.background_blur = on;
    if (on) ResetBackgroundKeying();
    beauty.no_effect = false;
    what = "GenerateEffet bk_blur";
  } else if (StartsWith(name, L"b_picture") || StartsWith(name, L"custom_mat_imgbk") ||
             StartsWith(name, L"b_video") || StartsWith(name, L"custom_mat_videobk")) {
    const bool video = StartsWith(name, L"b_video") || StartsWith(name, L"custom_mat_videobk");
    // A tile that loses the selection changes nothing; the newly chosen one says what holds.
    if (!on) return;
    if (DuiLib::CControlUI* keying = m_PaintManager.FindControl(L"green_mat")) {
      keying->SetEnabled(true);
    }
    beauty.background_blur = false;
    beauty.no_effect = false;
    const std::wstring path = option->GetUserData();
    beauty.material_path = path;
    beauty.video_path = video ? path : std::wstring();
    what = video ? "GenerateEffet video" : "GenerateEffet picture";
  } else {
    return;
  }
  TVLOG_AT(CLogWrapper::kInfo, this) << what;
  ApplyBeauty();
}

// ---- the page -----------------------------------------------------------------------------------

void CBeautySettingFrame::InitBackgroundPage() {
  st_beauty& beauty = working.beauty;
  if (auto* blur = Find<DuiLib::CSliderUI>(L"blur_level", L"Slider")) {
    blur->SetValue(beauty.blur_level);
  }
  if (DuiLib::CControlUI* text = m_PaintManager.FindControl(L"blur_text")) {
    text->SetText(std::to_wstring(beauty.blur_level).c_str());
  }
  if (auto* keying = Find<DuiLib::CCheckBoxUI>(L"green_mat", L"CheckBox")) {
    keying->SetCheck(beauty.green_screen, true);
  }
  if (beauty.no_effect) {
    if (auto* none = Find<DuiLib::COptionUI>(L"b_no_effect_opt", L"Option")) {
      none->Selected(true, false);
    }
  }
  if (beauty.background_blur) {
    if (auto* blur = Find<DuiLib::COptionUI>(L"b_bk_blur_opt", L"Option")) {
      blur->Selected(true, false);
    }
  }
  const std::wstring folder = DuiLib::CPaintManagerUI::GetInstancePath() + L"res\\";
  bool chosen = false;
  for (const BuiltIn& entry : kBuiltIns) {
    auto* tile = Find<DuiLib::COptionUI>(entry.tile, L"Option");
    if (!tile) continue;
    const std::wstring path = folder + entry.file;
    if (!FileExists(path)) {
      tile->SetEnabled(false);
      continue;
    }
    const std::wstring image = entry.video ? MakeVideoThumbnail(path, false) : path;
    tile->SetBkImage(image.c_str());
    tile->SetUserData(path.c_str());
    const std::wstring& current = entry.video ? beauty.video_path : beauty.material_path;
    if (!current.empty() && current == path) {
      tile->Selected(true, false);
      chosen = true;
    }
  }
  if (chosen) {
    if (DuiLib::CControlUI* keying = m_PaintManager.FindControl(L"green_mat")) {
      keying->SetEnabled(true);
    }
  }
  for (const StCustomMaterial& material : working.custom_materials) {
    CreateCustomTile(material.path, material.is_video, true);
  }
  UpdateAddButton();
  if (beauty.green_screen && preview) preview->SetPickMode(true, false);
}

void CBeautySettingFrame::UpdateAddButton() {
  const bool room = working.CustomMaterialCount() < kMaxCustomMaterials;
  for (const wchar_t* name : {L"b_add_custom_btn", L"add_custom_comment"}) {
    if (DuiLib::CControlUI* control = m_PaintManager.FindControl(name)) control->SetVisible(room);
  }
}

void CBeautySettingFrame::PlaceAddTip() {
  DuiLib::CControlUI* help = m_PaintManager.FindControl(L"add_custom_comment");
  DuiLib::CControlUI* tip = m_PaintManager.FindControl(L"addcustom_tip_lab");
  if (!help || !tip) return;
  const RECT rc = help->GetPos();
  const int half = (rc.right - rc.left) / 2;
  RECT at{};
  if (GetAppConfig()->IsEnglish()) {
    at.left = rc.left + half - 216;
    at.top = rc.top - 136;
    at.right = at.left + 256;
    at.bottom = at.top + 86;
  } else {
    at.left = rc.left + half - 200;
    at.top = rc.top - 132;
    at.right = at.left + 240;
    at.bottom = at.top + 82;
  }
  // The tip floats in the root, which starts at the window's corner.
  if (DuiLib::CControlUI* parent = tip->GetParent()) {
    const RECT origin = parent->GetPos();
    OffsetRect(&at, -origin.left, -origin.top);
  }
  tip->SetFloatPos(at);
}

// ---- custom materials ---------------------------------------------------------------------------

void CBeautySettingFrame::ImportCustomMaterial() {
  wchar_t chosen[MAX_PATH] = {};
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = m_hWnd;
  ofn.lpstrFilter = L"Image File (*.jpg;*.jpeg;*.png;*.mp4)\0*.jpg;*.jpeg;*.png;*.mp4\0";
  ofn.lpstrFile = chosen;
  ofn.nMaxFile = MAX_PATH;
  ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (file_dialog::RunOpen(&ofn)) {
    std::wstring path = chosen;
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD length = GetShortPathNameW(chosen, shortPath, MAX_PATH);
    // Without a short form (no 8.3 names on the volume, or the call failed) the long path stays.
    if (length > 0 && length < MAX_PATH) path = shortPath;
    const bool video = IsVideoMaterial(path);
    unsigned long long bytes = 0;
    if (!ReadableFileSize(path, &bytes)) {
      TVLOG_AT(CLogWrapper::kWarn, this) << "material unreadable";
      NotifyRefusal(L"s.file.format.error");
    } else if (video && bytes > kMaxVideoBytes) {
      NotifyRefusal(L"s.video.file.max.error");
    } else if (!video && bytes > kMaxPictureBytes) {
      NotifyRefusal(L"s.filemax.tips");
    } else if (!working.FindCustomMaterial(StCustomMaterial{path, video})) {
      st_beauty& beauty = working.beauty;
      const std::wstring material = beauty.material_path;
      const std::wstring videoPath = beauty.video_path;
      (video ? beauty.video_path : beauty.material_path) = path;
      if (CreateCustomTile(path, video, false)) {
        working.custom_materials.push_back(StCustomMaterial{path, video});
        GetAppConfig()->SetBeauty(working);
      } else {
        beauty.material_path = material;
        beauty.video_path = videoPath;
      }
    }
  }
  UpdateAddButton();
}

bool CBeautySettingFrame::CreateCustomTile(const std::wstring& path, bool isVideo, bool quiet) {
  if (!FileExists(path) || !tileLayout) return false;
  std::wstring image = path;
  if (isVideo) {
    image = MakeVideoThumbnail(path, quiet);
    if (image.empty()) return false;
  } else if (!DuiLib::CRenderEngine::GetImage(path)) {
    // A picture that cannot be drawn would be no background either.
    if (!quiet) NotifyRefusal(L"s.file.format.error");
    return false;
  }
  const std::wstring suffix = L"_" + std::to_wstring(customTileCounter++);
  auto* tile = new DuiLib::CHorizontalLayoutUI;
  auto* option = new DuiLib::COptionUI;
  auto* close = new DuiLib::CButtonUI;
  if (const wchar_t* defaults =
          m_PaintManager.GetDefaultAttributeList(isVideo ? L"CustomVideo" : L"CustomImg")) {
    option->ApplyAttributeList(defaults);
  }
  option->SetName(((isVideo ? L"custom_mat_videobk" : L"custom_mat_imgbk") + suffix).c_str());
  if (option->GetGroup().empty()) option->SetGroup(kTileGroup);
  option->SetUserData(path.c_str());
  option->SetBkImage(image.c_str());
  if (const wchar_t* defaults = m_PaintManager.GetDefaultAttributeList(L"CustomClose")) {
    close->ApplyAttributeList(defaults);
  }
  close->SetName((L"custom_mat_close" + suffix).c_str());
  close->SetUserData(path.c_str());
  // Its click removes the tile that holds it: delivered after the input, not inside it.
  close->SetAsyncNotify(true);
  tile->Add(option);
  tile->Add(close);
  tileLayout->AddAt(tile, tileLayout->GetCount() - 1);
  const st_beauty& beauty = working.beauty;
  if ((!beauty.material_path.empty() && beauty.material_path == path) ||
      (!beauty.video_path.empty() && beauty.video_path == path)) {
    option->Selected(true, true);
  }
  return true;
}

void CBeautySettingFrame::RemoveCustomMaterial(DuiLib::CControlUI* closeButton) {
  if (!tileLayout || !closeButton) return;
  DuiLib::CControlUI* tile = closeButton->GetParent();
  if (!tile || tile->GetParent() != tileLayout) return;
  const std::wstring path = closeButton->GetUserData();
  auto* container = static_cast<DuiLib::CContainerUI*>(tile->GetInterface(L"Container"));
  auto* option =
      container && container->GetCount() > 0
          ? static_cast<DuiLib::COptionUI*>(container->GetItemAt(0)->GetInterface(L"Option"))
          : nullptr;
  const bool wasSelected = option && option->IsSelected();
  tileLayout->Remove(tile);  // deletes the tile and the button
  working.RemoveCustomMaterial(StCustomMaterial{path, false});
  if (wasSelected) {
    if (auto* none = Find<DuiLib::COptionUI>(L"b_no_effect_opt", L"Option"))
      none->Selected(true, true);
  } else {
    // Stored at once: the shortened list must not wait for the next change.
    GetAppConfig()->SetBeauty(working);
  }
  UpdateAddButton();
}

// ---- thumbnails ---------------------------------------------------------------------------------

std::wstring CBeautySettingFrame::MakeVideoThumbnail(const std::wstring& path, bool quiet) {
  if (!FileExists(path)) return std::wstring();
  if (!quiet && HeaderIsZero(path)) {
    NotifyRefusal(L"s.file.format.error");
    return std::wstring();
  }
  wchar_t folder[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, folder);
  const std::wstring name = ThumbnailFileName(path);
  unsigned tick = GetTickCount();
  std::wstring thumbnail;
  // Two videos of the same name within one tick get a thumbnail each.
  do {
    thumbnail = folder + std::to_wstring(tick++) + name;
  } while (FileExists(thumbnail));
  const std::string written =
      SaveVideoFirstFramePpm(UnicodeToUtf8(path), UnicodeToUtf8(thumbnail), 1);
  if (written.empty() || !FileExists(thumbnail)) {
    TVLOG_AT(CLogWrapper::kWarn, this) << "no thumbnail for a video";
    if (!quiet) NotifyRefusal(L"s.file.format.error");
    return std::wstring();
  }
  thumbnails.push_back(thumbnail);
  return thumbnail;
}

void CBeautySettingFrame::RemoveThumbnails() {
  for (const std::wstring& path : thumbnails) DeleteFileW(path.c_str());
  thumbnails.clear();
}
