#include "windows/beauty/tests/beauty_test_support.h"

#include <shellapi.h>

#include <cstdlib>

#include "foundation/app_config.h"
#include "platform/duilib/tests/test_support.h"
#include "share/video/video_render_ui.h"
#include "share/video/video_render_win.h"
#include "share/video/video_tools_frame.h"
#include "windows/common/tests/dialog_test_support.h"

namespace beauty_test {

void ResetConfig() {
  StAppConfig* config = GetAppConfig();
  config->camera_dev_id = "cam1";
  config->camera_dev_name = "Cam One";
  config->video_width = 1280;
  config->video_height = 720;
  config->rotation = 0;
  config->flip = 0;
  config->mirror = 0;
  config->prior = 0;
  config->beauty = st_beauty();
  config->custom_materials.clear();
  config->beauty_changed = false;
  config->beauty_suspended = false;
  config->language = L"zh_CN";
}

bool RunBeauty(HWND ownerWindow, DevConsumerDelegate* owner, const Script& script,
               DWORD timeout_ms) {
  // The client registers the shadow window class at start-up.
  static const bool shadows = DuiLib::CWndShadow::Initialize(GetModuleHandleW(nullptr));
  (void)shadows;
  auto* frame = new CBeautySettingFrame(owner);
  if (!dialog_test::CreateLikeTheClient(frame, ownerWindow, L"BeautySettingFrame")) {
    delete frame;
    return false;
  }
  bool timed_out = false;
  dialog_test::RunModal(
      frame,
      [&](HWND hwnd) {
        DuiLib::CPaintManagerUI* pm = frame->GetPaintManager();
        // The first load (timer 0xD75) has run when the blur strength shows.
        duilib_test::PumpUntil(
            [&] {
              DuiLib::CControlUI* blur = pm->FindControl(L"blur_text");
              return blur && !blur->GetText().empty();
            },
            3000);
        duilib_test::Pump(100);
        script(frame, hwnd, pm);
      },
      &timed_out, timeout_ms);
  return !timed_out;
}

bool DragSliderTo(HWND hwnd, DuiLib::CPaintManagerUI* pm, const wchar_t* name, int value) {
  auto* slider = static_cast<DuiLib::CSliderUI*>(pm->FindControl(name));
  if (!slider) return false;
  const RECT rc = slider->GetPos();
  const RECT thumb = slider->GetThumbRect();
  const int thumbWidth = thumb.right - thumb.left;
  const int free = (rc.right - rc.left) - thumbWidth;
  const int span = slider->GetMaxValue() - slider->GetMinValue();
  const int x =
      rc.left + thumbWidth / 2 + (free * (value - slider->GetMinValue()) + span / 2) / span;
  duilib_test::Click(hwnd, x, (rc.top + rc.bottom) / 2);
  duilib_test::Pump(20);
  return slider->GetValue() == value;
}

bool ClickTool(CBeautySettingFrame* frame, bool pickTools, const wchar_t* name) {
  CVideoRenderWin* render = frame->Preview() ? frame->Preview()->GetRenderWindow() : nullptr;
  if (!render) return false;
  DuiLib::WindowImplBase* tools =
      pickTools ? static_cast<DuiLib::WindowImplBase*>(render->GetPickTools())
                : static_cast<DuiLib::WindowImplBase*>(render->GetVideoTools());
  if (!tools || !IsWindowVisible(tools->GetHWND())) return false;
  dialog_test::LayOut(tools->GetPaintManager());
  return dialog_test::ClickOn(tools->GetHWND(), tools->GetPaintManager(), name);
}

void OpenBackgroundPage(HWND hwnd, DuiLib::CPaintManagerUI* pm) {
  dialog_test::ClickOn(hwnd, pm, L"backgroud_opt");
  duilib_test::Pump(30);
  dialog_test::LayOut(pm);
}

std::wstring ResFolder() { return DuiLib::CPaintManagerUI::GetInstancePath() + L"res\\"; }

std::wstring ScratchFolder(const std::wstring& name) {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring folder = std::wstring(temp) + name;
  // Emptied: the files of an earlier run go.
  std::wstring pattern = folder + L"\\*";
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW((folder + L"\\" + found.cFileName).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

}  // namespace beauty_test
