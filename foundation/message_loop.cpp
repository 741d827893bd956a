#include "foundation/message_loop.h"

#include <windows.h>

#include <algorithm>

namespace {

template <class T>
bool AddOnce(std::vector<T*>& list, T* item) {
  if (!item || std::find(list.begin(), list.end(), item) != list.end()) return false;
  list.push_back(item);
  return true;
}

template <class T>
bool RemoveItem(std::vector<T*>& list, T* item) {
  auto it = std::find(list.begin(), list.end(), item);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

constexpr UINT kSystemTimerMessage = 0x0118;

}  // namespace

bool CxMessageLoop::AddMessageFilter(CxMessageFilter* filter) { return AddOnce(filters_, filter); }

bool CxMessageLoop::RemoveMessageFilter(CxMessageFilter* filter) {
  return RemoveItem(filters_, filter);
}

bool CxMessageLoop::AddIdleHandler(CxIdleHandler* handler) {
  return AddOnce(idle_handlers_, handler);
}

bool CxMessageLoop::RemoveIdleHandler(CxIdleHandler* handler) {
  return RemoveItem(idle_handlers_, handler);
}

bool CxMessageLoop::PreTranslateMessage(tagMSG* msg) {
  // Walk by index: a filter may remove itself or others while it runs.
  for (size_t i = filters_.size(); i > 0; --i) {
    if (i > filters_.size()) continue;
    if (filters_[i - 1]->PreTranslateMessage(msg)) return true;
  }
  return false;
}

bool CxMessageLoop::OnIdle(int /*idle_count*/) {
  for (size_t i = 0; i < idle_handlers_.size(); ++i) idle_handlers_[i]->OnIdle();
  return false;
}

int CxMessageLoop::Run() {
  bool idle = true;
  int idle_count = 0;
  MSG msg{};
  for (;;) {
    while (idle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!OnIdle(idle_count++)) idle = false;
    }
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) return -1;  // The queue cannot be read: stop rather than spin.
    if (!got) break;           // WM_QUIT.
    if (!PreTranslateMessage(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (IsIdleMessage(&msg)) {
      idle = true;
      idle_count = 0;
    }
  }
  return static_cast<int>(msg.wParam);
}

bool CxMessageLoop::IsIdleMessage(const tagMSG* msg) {
  switch (msg->message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case kSystemTimerMessage:
      return false;
    default:
      return true;
  }
}
