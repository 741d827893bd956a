#include "shell/startup/startup.h"

#include <objbase.h>
#include <ole2.h>
// gdiplus.h needs min and max and the COM types.
#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <string>
#include <thread>

#include "foundation/app_config.h"
#include "foundation/hub.h"
#include "foundation/log.h"
#include "foundation/system_info.h"
#include "foundation/text_convert.h"
#include "platform/browser/web_run.h"
#include "platform/duilib/UIlib.h"
#include "shell/instance/share_cell.h"
#include "shell/mainframe/main_frame.h"
#include "shell/startup/app_info.h"
#include "shell/startup/crash_dump.h"
#include "shell/startup/singleton.h"
#include "shell/startup/start_record.h"
#include "shell/system/dpi.h"
#include "shell/updater/updater.h"

namespace {

HINSTANCE g_instance = nullptr;
HANDLE g_instance_mutex = nullptr;  // UI thread.

constexpr wchar_t kInstanceMutexName[] = L"tarvolive_zentavo";
constexpr UINT kSkinZipResource = 130;

void Uninitialize() {
  OleUninitialize();
  CoUninitialize();
}

// The window style of the main window: visible, clipping siblings and children, overlapped.
constexpr DWORD kMainStyle = 0x16CF0000;
constexpr DWORD kMainExStyle = 0x40000;  // WS_EX_APPWINDOW

}  // namespace

bool CreateInstanceMutex(const wchar_t* name) {
  CloseInstanceMutex();
  SetLastError(ERROR_SUCCESS);
  g_instance_mutex = CreateMutexW(nullptr, FALSE, name);
  return g_instance_mutex != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
}

void CloseInstanceMutex() {
  if (g_instance_mutex != nullptr) {
    CloseHandle(g_instance_mutex);
    g_instance_mutex = nullptr;
  }
}

std::function<void()> EndClientForUpdater(CMainFrame* frame) {
  return [frame] { frame->EndClient([] { CloseInstanceMutex(); }); };
}

int RunClient(HINSTANCE instance, const wchar_t* command_line) {
  // 1 to 5: the process.
  g_instance = instance;
  CoInitialize(nullptr);
  OleInitialize(nullptr);
  SetUnhandledExceptionFilter(&UnhandledFilter);
  ChangeWindowMessageFilter(WM_COPYDATA, MSGFLT_ADD);
  SetDpiAware();
  DuiLib::CPaintManagerUI::SetDpiScale(GetDpiScale());
  Gdiplus::GdiplusStartupInput gdiplus_input;
  ULONG_PTR gdiplus_token = 0;
  Gdiplus::GdiplusStartup(&gdiplus_token, &gdiplus_input, nullptr);

  // 6 to 8: the folder, the command line, the version.
  const std::string app_folder = GetAppDataFolder();
  const std::string command = UnicodeToAnsi(command_line != nullptr ? command_line : L"");
  TVLOG_INFO() << "lpCmdLine = " << command;
  LoadFileVersion();

  // 9: the main window object (its window comes later).
  CMainFrame* frame = Singleton<CMainFrame>::Instance();
  if (frame == nullptr) return 0;

  // 10: the language.
  const LANGID language_id = GetUserDefaultUILanguage();
  const std::wstring language = LanguageForUiLanguage(language_id);
  DuiLib::CMutiLanSupport::Instance()->LoadFromResFile(kSkinZipResource, L"xml\\language.xml",
                                                       true, language.c_str(), L"xml");
  TVLOG_INFO() << "Program Begin-----";

  // 11: one instance.
  if (!CreateInstanceMutex(kInstanceMutexName)) {
    CloseInstanceMutex();
    ActivateRunningInstance(command);
    CloseInstanceMutex();  // Closed above: nothing left to close.
    Uninitialize();
    return 0;
  }

  // 12 and 13: the browser library, with the hub's queued UI tasks as its idle work.
  unsigned long major = 0;
  unsigned long minor = 0;
  unsigned long build = 0;
  GetNtVersionNumbers(major, minor, build);
  cef_run_settting settings;
  FillStartRecord(settings, language, Is64BitWindows(), major, minor, app_folder);
  CxAdapter& hub = CxAdapter::Instance();
  if (CWebRun::Instace()->init_cef(instance, settings, &hub) >= 0) {
    CloseInstanceMutex();
    Uninitialize();
    return 0;
  }
  // Modal loops of the UI library run the same idle work, woken by the hub's task event.
  DuiLib::CWindowWnd::SetIdleHook([&hub] { hub.OnIdle(); }, hub.GetUiThread().GetTaskEvent());

  // 14: settings and UI library.
  GetAppConfig()->language = language;
  DuiLib::CWndShadow::Initialize(instance);
  DuiLib::CPaintManagerUI::SetInstance(instance);
  DuiLib::CPaintManagerUI::SetCurrentPath(DuiLib::CPaintManagerUI::GetInstancePath().c_str());
  DuiLib::CPaintManagerUI::SetResourcePath(DuiLib::CPaintManagerUI::GetInstancePath().c_str());

  // 15: the window.
  const std::wstring title = DuiLib::CMutiLanSupport::Instance()->GetTextForId(L"s.main.title");
  frame->SetStartupCommand(command);
  if (frame->Create(nullptr, title.c_str(), kMainStyle, kMainExStyle) != nullptr) {
    frame->ShowWindow(true, true);

    // 16: the update check.
    UpdaterLaunch launch;
    launch.folder = GetModuleDirectory();
    launch.server = Utf8ToUnicode(frame->GetUpdateServer());
    launch.version = GetAppVersion();
    launch.title = title;
    launch.language_id = language_id;
    std::thread([launch, frame] {
      UpdateCheckThread(launch, GetAppConfig()->update_running, EndClientForUpdater(frame));
    }).detach();

    // 17: the UI loop, until the main window has gone.
    CWebRun::Instace()->run_message_loop(false);
  } else {
    TVLOG_ERROR() << "the main window could not be created";
  }

  // 18: shutdown.
  DuiLib::CWindowWnd::SetIdleHook(nullptr);
  CWebRun::Instace()->uninit_cef();
  CloseInstanceMutex();
  Uninitialize();
  return 0;
}
