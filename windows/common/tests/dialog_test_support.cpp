#include "windows/common/tests/dialog_test_support.h"

#include <objidl.h>
#include <gdiplus.h>

#include <map>

#include "foundation/text_convert.h"
#include "platform/duilib/ui_resource.h"
#include "shell/login/skin_choice.h"
#include "windows/shadow/shadow_base_frame.h"

namespace dialog_test {

namespace {

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return DefWindowProcW(hwnd, msg, wp, lp);
}

struct ModalRun {
  std::function<void(HWND)> script;
  HWND dialog = nullptr;
  DuiLib::CPaintManagerUI* manager = nullptr;
  bool started = false;
  bool timed_out = false;
};
ModalRun* g_run = nullptr;

void CALLBACK StartScript(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (!g_run || g_run->started) return;
  g_run->started = true;
  if (!IsWindow(g_run->dialog)) return;
  if (g_run->manager) LayOut(g_run->manager);
  g_run->script(g_run->dialog);
}

void CALLBACK EndRun(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (!g_run || !IsWindow(g_run->dialog)) return;
  g_run->timed_out = true;
  PostMessageW(g_run->dialog, WM_CLOSE, 0xDEAD, 0);
}

}  // namespace

std::string LookName(const Look& look) {
  const std::wstring language(look.language);
  return std::string(look.skin == 1 ? "orange_" : "blue_") +
         std::string(language.begin(), language.end());
}

const wchar_t* SkinFolder(int skin) { return skin == 1 ? L"orange" : L"blue"; }

void UseLook(const Look& look) {
  SetSkinIndex(look.skin);
  DuiLib::CMutiLanSupport::Instance()->LoadFromResFile(130, L"xml\\language.xml", true,
                                                       look.language, L"xml");
}

void StartGdiplusOnce() {
  static const ULONG_PTR token = [] {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR t = 0;
    Gdiplus::GdiplusStartup(&t, &input, nullptr);
    return t;
  }();
  (void)token;
}

void UseDialogLook(const Look& look) {
  StartGdiplusOnce();
  UseLook(look);
  CShadowBaseFrame::SetSkinIndexSource(&GetSkinIndex);
}

OwnerWindow::OwnerWindow(RECT rc) {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = L"DialogTestOwner";
    return RegisterClassW(&wc) != 0;
  }();
  (void)registered;
  hwnd_ = CreateWindowExW(0, L"DialogTestOwner", L"owner", WS_POPUP | WS_VISIBLE, rc.left, rc.top,
                          rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
}

OwnerWindow::~OwnerWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
}

HWND CreateLikeTheClient(DuiLib::CWindowWnd* dialog, HWND owner, const wchar_t* name) {
  return dialog->Create(owner, name, 0x96C80000, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT);
}

void LayOut(DuiLib::CPaintManagerUI* manager) {
  if (!manager) return;
  manager->NeedUpdate();
  manager->UpdateLayout();
}

UINT RunModal(DuiLib::CWindowWnd* dialog, const std::function<void(HWND)>& script,
              bool* timed_out, DWORD timeout_ms) {
  ModalRun run;
  run.script = script;
  run.dialog = dialog->GetHWND();
  if (auto* base = dynamic_cast<DuiLib::WindowImplBase*>(dialog)) run.manager = base->GetPaintManager();
  g_run = &run;
  SetTimer(nullptr, 0, 30, StartScript);
  const UINT_PTR guard = SetTimer(nullptr, 0, timeout_ms, EndRun);
  const UINT result = dialog->ShowModal();  // `dialog` may be gone now
  KillTimer(nullptr, guard);
  g_run = nullptr;
  if (timed_out) *timed_out = run.timed_out || !run.started;
  return result;
}

POINT CenterOf(DuiLib::CPaintManagerUI* manager, const wchar_t* name) {
  DuiLib::CControlUI* control = manager->FindControl(name);
  if (!control) return POINT{-1, -1};
  const RECT rc = control->GetPos();
  return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

bool ClickOn(HWND hwnd, DuiLib::CPaintManagerUI* manager, const wchar_t* name) {
  const POINT pt = CenterOf(manager, name);
  if (pt.x < 0) return false;
  duilib_test::Click(hwnd, pt.x, pt.y);
  return true;
}

void Type(HWND hwnd, const std::wstring& text) {
  for (wchar_t c : text) SendMessageW(hwnd, WM_CHAR, c, 0);
}

std::unique_ptr<duilib_test::Screenshot> Shoot(HWND hwnd, DuiLib::CPaintManagerUI* manager,
                                               DWORD backdrop) {
  if (manager->IsLayered()) {
    // What the window does on every change: repaint its back buffer and present it.
    static const UINT paint = RegisterWindowMessageW(L"DuiLib.LayeredPaint");
    SendMessageW(hwnd, paint, 0, 0);
    SIZE size{};
    const DWORD* bits = manager->GetBackBufferBits(&size);
    return std::make_unique<duilib_test::Screenshot>(bits, size, backdrop);
  }
  UpdateWindow(hwnd);
  return std::make_unique<duilib_test::Screenshot>(hwnd);
}

int InkOf(const duilib_test::Screenshot& shot, DuiLib::CPaintManagerUI* manager,
          const wchar_t* name, int inset) {
  DuiLib::CControlUI* control = manager->FindControl(name);
  if (!control) return -1;
  RECT rc = control->GetPos();
  InflateRect(&rc, -inset, -inset);
  // The background is the colour most of the rectangle has.
  std::map<DWORD, int> counts;
  for (int y = rc.top; y < rc.bottom; ++y) {
    for (int x = rc.left; x < rc.right; ++x) ++counts[shot.Pixel(x, y)];
  }
  DWORD background = 0;
  int most = -1;
  for (const auto& entry : counts) {
    if (entry.second > most) {
      most = entry.second;
      background = entry.first;
    }
  }
  return shot.Ink(rc, background);
}

bool AddLayoutTextIds(const wchar_t* layout, std::vector<std::wstring>* ids) {
  std::string bytes;
  if (!DuiLib::CResourceStore::ReadFromZipResource(GetModuleHandleW(nullptr), 130, layout,
                                                   &bytes)) {
    return false;
  }
  const std::string key = "textid=\"";
  for (size_t at = bytes.find(key); at != std::string::npos; at = bytes.find(key, at + 1)) {
    const size_t begin = at + key.size();
    ids->push_back(Utf8ToUnicode(bytes.substr(begin, bytes.find('"', begin) - begin)));
  }
  return true;
}

}  // namespace dialog_test
