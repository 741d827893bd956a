// The main window in process with the real web engine (Sorvane beside this test) and a local
// page: the first load fails (no page yet), the window's reload after 5 s loads it, the page is
// drawn in the main window, and the login parameters the window sends once the page is ready
// reach the page's nativeInvokeJS, which repaints its block.

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "foundation/app_config.h"
#include "foundation/hub.h"
#include "platform/browser/engine/engine_paths.h"
#include "platform/browser/web_run.h"
#include "platform/duilib/UIlib.h"
#include "shell/mainframe/tests/main_frame_test_support.h"
#include "tests/support/window_pixels.h"

namespace mainframe_test {
namespace {

class EngineEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    SetEnvironmentVariableW(L"TARVO_BROWSER_PAGE", nullptr);  // This test wants the engine.
    cef_run_settting settings;
    settings.background_color = 0xFF252A33;
    wcscpy(settings.sub_process, L"Sorvane.exe");
    ASSERT_LT(CWebRun::Instace()->init_cef(GetModuleHandleW(nullptr), settings,
                                           &CxAdapter::Instance()),
              0);
    ASSERT_TRUE(CWebRun::Instace()->uses_engine());
    DuiLib::CMutiLanSupport::Instance()->LoadFromResFile(130, L"xml\\language.xml", true,
                                                         L"en_US", L"xml");
  }
  void TearDown() override { CWebRun::Instace()->uninit_cef(); }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

// A green block at (20, 20) 160 x 100 that turns blue when the client's event 15 (the login
// parameters) arrives.
const char kPage[] = R"page(<!DOCTYPE html><html><body style="margin:0;background:#fff">
<div id="b" style="position:absolute;left:20px;top:20px;width:160px;height:100px;background:#00c800"></div>
<script>
function nativeInvokeJS(o) {
  if (o && o.event === 15) document.getElementById('b').style.background = '#0000c8';
}
</script></body></html>)page";

TEST(MainFrameEngineTest, ALocalPageLoadsAfterTheReloadIsDrawnAndGetsTheWindowsEvents) {
  GetAppConfig()->update_running = false;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring page = std::wstring(temp) + L"main-frame-engine-" +
                            std::to_wstring(GetCurrentProcessId()) + L".html";
  DeleteFileW(page.c_str());
  // A stored third-party id: the window sends it (event 15) once the page is up.
  ConfigFileScope config({"pageurl=file://" + EnginePath(page), "thirdpartyid=T1"});
  FrameScope frame(std::string(), false);
  ASSERT_NE(frame.hwnd(), nullptr);

  // No page yet: the engine's load error reaches the window, which tries again in 5 s.
  ASSERT_TRUE(PumpUntil([&] { return frame->m_bLoadError; }, 60000));
  EXPECT_TRUE(frame->m_bPagePending);
  std::ofstream(page.c_str(), std::ios::binary) << kPage;
  ASSERT_TRUE(PumpUntil([&] { return !frame->m_bPagePending; }, 30000));
  EXPECT_FALSE(frame->m_bLoadError);

  // Drawn in the main window, and the window's event 15 reached the page.
  HWND host = frame->GetBrowser()->GetHostWnd();
  ASSERT_TRUE(IsWindow(host));
  EXPECT_TRUE(IsChild(frame.hwnd(), host));
  tarvo_test::Pixels pixels;
  EXPECT_TRUE(PumpUntil(
      [&] {
        return tarvo_test::ReadWindowPixels(host, &pixels) && pixels.width > 180 &&
               pixels.height > 120 && tarvo_test::NearColour(pixels.At(100, 70), 0x0000C8, 24);
      },
      30000))
      << pixels.width << " x " << pixels.height << " " << std::hex
      << (pixels.width > 100 && pixels.height > 70 ? pixels.At(100, 70) : 0);
  DeleteFileW(page.c_str());
  GetAppConfig()->external_id.clear();
}

}  // namespace
}  // namespace mainframe_test
