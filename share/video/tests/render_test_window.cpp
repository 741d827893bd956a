#include "share/video/tests/render_test_window.h"

#include <algorithm>
using std::max;
using std::min;
#include <objidl.h>
#include <gdiplus.h>

#include <cstdlib>
#include <cstring>

#include "share/video/video_render_win.h"
#include "tests/support/window_pixels.h"

namespace video_test {

DuiLib::CDuiString RenderTestWindow::GetSkinFile() {
  return LR"(<Window size="700,460">
  <Font id="0" name="Microsoft YaHei" size="12" default="true" />
  <VerticalLayout bkcolor="#FF303030" inset="10,10,10,10" childpadding="8">
    <TabLayout name="pages" height="360">
      <HorizontalLayout name="video_page">
        <VideoRender name="preview" width="640" height="360" />
      </HorizontalLayout>
      <HorizontalLayout name="other_page" bkcolor="#FF505050" />
    </TabLayout>
    <VoiceProgressDisplay name="mic_meter" width="200" height="20" />
  </VerticalLayout>
</Window>)";
}

DuiLib::CControlUI* RenderTestWindow::CreateControl(const wchar_t* cls) {
  if (wcscmp(cls, L"VideoRender") == 0) return video_ = new CVideoRenderUI(this, true, 1);
  if (wcscmp(cls, L"VoiceProgressDisplay") == 0) return meter_ = new CVoiceProgressDisplayUI;
  return nullptr;
}

void RenderTestWindow::Notify(DuiLib::TNotifyUI& msg) {
  if (msg.sType == L"rendercreate" && msg.pSender == video_) ++render_create_;
  WindowImplBase::Notify(msg);
}

HWND RenderTestWindow::CreateAt(int x, int y) {
  HWND window =
      Create(nullptr, L"Render test", WS_POPUP | WS_VISIBLE, WS_EX_TOPMOST, x, y, 700, 460);
  if (!window) return nullptr;
  tarvo_test::PumpUntil([&] { return RenderWindow() != nullptr; }, 3000);
  tarvo_test::PumpMessages(100);
  return window;
}

DuiLib::CTabLayoutUI* RenderTestWindow::Tabs() {
  return static_cast<DuiLib::CTabLayoutUI*>(m_PaintManager.FindControl(L"pages"));
}

HWND RenderTestWindow::RenderWindow() const {
  if (!video_ || !video_->GetRenderWindow()) return nullptr;
  return video_->GetRenderWindow()->GetHWND();
}

void StartGdiplus() {
  static const bool started = [] {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  }();
  (void)started;
}

bool SaveScreenPng(const RECT& rect, const std::wstring& name) {
  tarvo_test::Pixels pixels;
  if (!tarvo_test::ReadScreenPixels(rect, &pixels)) return false;
  Gdiplus::Bitmap bitmap(pixels.width, pixels.height, pixels.width * 4, PixelFormat32bppRGB,
                         reinterpret_cast<BYTE*>(pixels.rgb.data()));
  UINT count = 0;
  UINT size = 0;
  Gdiplus::GetImageEncodersSize(&count, &size);
  std::vector<char> buffer(size);
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  Gdiplus::GetImageEncoders(count, size, encoders);
  const char* folder = std::getenv("TARVO_TEST_DATA");
  const std::wstring directory =
      folder ? std::wstring(folder, folder + strlen(folder)) : std::wstring(L".");
  CreateDirectoryW(directory.c_str(), nullptr);
  const std::wstring path = directory + L"/" + name;
  for (UINT i = 0; i < count; ++i) {
    if (wcscmp(encoders[i].MimeType, L"image/png") == 0) {
      return bitmap.Save(path.c_str(), &encoders[i].Clsid, nullptr) == Gdiplus::Ok;
    }
  }
  return false;
}

}  // namespace video_test
