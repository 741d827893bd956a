#include "platform/duilib/tests/test_support.h"

#include <cwchar>

namespace duilib_test {

using namespace DuiLib;

void Pump(int ms) {
  PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& done, int timeout_ms) {
  const DWORD start = GetTickCount();
  while (!done()) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (static_cast<int>(GetTickCount() - start) >= timeout_ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

namespace {
void CaptureLine(UiLogLevel, const wchar_t* line) { LogCapture::Lines().push_back(line); }
}  // namespace

std::vector<std::wstring>& LogCapture::Lines() {
  static std::vector<std::wstring> lines;
  return lines;
}

LogCapture::LogCapture() {
  Lines().clear();
  SetUiLogHandler(CaptureLine);
}

LogCapture::~LogCapture() { SetUiLogHandler(nullptr); }

bool LogCapture::Contains(const std::wstring& part) const {
  for (const std::wstring& line : Lines()) {
    if (line.find(part) != std::wstring::npos) return true;
  }
  return false;
}

void Click(HWND hwnd, int x, int y) {
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

RECT ClientRectOnScreen(HWND hwnd) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

DemoFrame::DemoFrame(std::wstring skin, std::wstring file)
    : skin_(std::move(skin)), file_(std::move(file)) {}

HWND DemoFrame::CreateDemo(HWND owner) {
  HWND hwnd = Create(owner, L"DemoFrame", 0x96C80000, 0, 100, 100, 200, 200);
  if (hwnd) UpdateWindow(hwnd);
  return hwnd;
}

void DemoFrame::Notify(TNotifyUI& msg) {
  events.push_back(
      NotifyRecord{msg.sType, msg.pSender ? msg.pSender->GetName() : L"", msg.wParam, msg.lParam});
  if (on_notify) {
    on_notify(this, msg);
    return;
  }
  if (msg.sType == L"selectchanged" && msg.pSender) {
    static const wchar_t* const kPages[] = {L"opt_general", L"opt_devices", L"opt_gallery"};
    for (int i = 0; i < 3; ++i) {
      if (msg.pSender->GetName() == kPages[i]) {
        if (auto* tab = Find<CTabLayoutUI>(L"main_tab")) tab->SelectItem(i);
      }
    }
  }
  WindowImplBase::Notify(msg);
}

CControlUI* DemoFrame::CreateControl(const wchar_t* cls) {
  if (wcscmp(cls, L"Badge") == 0) return new BadgeUI;
  return nullptr;
}

void DemoFrame::OnFinalMessage(HWND hWnd) {
  WindowImplBase::OnFinalMessage(hWnd);
  final_message = true;
}

int DemoFrame::Count(const std::wstring& type, const std::wstring& sender) const {
  int n = 0;
  for (const NotifyRecord& e : events) {
    if (e.type == type && (sender.empty() || e.sender == sender)) ++n;
  }
  return n;
}

LRESULT DemoFrame::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  if (uMsg == WM_CLOSE && refuse_close > 0) {
    --refuse_close;
    bHandled = TRUE;
  }
  if (uMsg == WM_TIMER && wParam < 0x10000 && on_timer) {
    bHandled = TRUE;
    on_timer(this, wParam);
  }
  return 0;
}

}  // namespace duilib_test
