#include "devices/av_msg_window.h"

#include <windows.h>

#include <mutex>

#include "devices/av_log.h"

// Guards the receiver pointer: the window procedure holds |mutex| while it delivers, so an owner
// destroyed on another thread waits for a delivery in progress and none starts afterwards.
struct AvMsgWindow::Delivery {
  std::recursive_mutex mutex;
  AvMsgRecv* receiver = nullptr;  // Protected by |mutex|; null once detached.
};

namespace morlun {

uint32_t PackAvMsg(int high, int low) {
  if (high < 0) high = 0;
  if (high > 0xFFFF) high = 0xFFFF;
  return (static_cast<uint32_t>(high) << 16) | (static_cast<uint32_t>(low) & 0xFFFF);
}

}  // namespace morlun

namespace {

const wchar_t kClassName[] = L"AvMsgSend";

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

LRESULT CALLBACK AvMsgWndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_CREATE: {
      // The window keeps its own reference to the delivery record until WM_NCDESTROY.
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
      auto* delivery = static_cast<std::shared_ptr<AvMsgWindow::Delivery>*>(create->lpCreateParams);
      SetWindowLongPtrW(
          hwnd, GWLP_USERDATA,
          reinterpret_cast<LONG_PTR>(new std::shared_ptr<AvMsgWindow::Delivery>(*delivery)));
      return 0;
    }
    case WM_DESTROY: {
      // Nothing is delivered after this point.
      auto* delivery = reinterpret_cast<std::shared_ptr<AvMsgWindow::Delivery>*>(
          GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      if (delivery) {
        std::lock_guard<std::recursive_mutex> lock((*delivery)->mutex);
        (*delivery)->receiver = nullptr;
      }
      return 0;
    }
    case WM_NCDESTROY:
      delete reinterpret_cast<std::shared_ptr<AvMsgWindow::Delivery>*>(
          SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0));
      return DefWindowProcW(hwnd, msg, wparam, lparam);
    case WM_CLOSE:
      // Sent to ourselves by an owner destroyed on another thread.
      DestroyWindow(hwnd);
      return 0;
    default:
      break;
  }
  if (msg == morlun::kAvMsgId) {
    auto* delivery = reinterpret_cast<std::shared_ptr<AvMsgWindow::Delivery>*>(
        GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!delivery) return 0;
    std::shared_ptr<AvMsgWindow::Delivery> keep = *delivery;
    std::lock_guard<std::recursive_mutex> lock(keep->mutex);
    if (keep->receiver) {
      try {
        keep->receiver->OnMsg(static_cast<int>(wparam), static_cast<unsigned>(lparam));
      } catch (...) {
        AvLog("AvMsgSend: a notification handler threw; ignored");
      }
    }
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

bool RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = AvMsgWndProc;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  if (RegisterClassExW(&wc)) return true;
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

AvMsgWindow::AvMsgWindow(AvMsgRecv* receiver) : delivery_(std::make_shared<Delivery>()) {
  delivery_->receiver = receiver;
  HINSTANCE instance = ThisModule();
  if (!RegisterWindowClass(instance)) {
    AvLog("AvMsgSend: RegisterClassEx failed, error = %lu", GetLastError());
    return;
  }
  hwnd_ = CreateWindowExW(0, kClassName, L"", WS_POPUP, 0, 0, 0, 0, GetDesktopWindow(), nullptr,
                          instance, &delivery_);
  if (!hwnd_) AvLog("AvMsgSend: CreateWindowEx failed, error = %lu", GetLastError());
  creating_thread_ = GetCurrentThreadId();
}

void AvMsgWindow::Detach() {
  std::lock_guard<std::recursive_mutex> lock(delivery_->mutex);
  delivery_->receiver = nullptr;
}

AvMsgWindow::~AvMsgWindow() {
  // Whatever is still queued must not reach the receiver any more.
  Detach();
  HWND hwnd = static_cast<HWND>(hwnd_);
  if (!hwnd) return;
  if (GetCurrentThreadId() == creating_thread_) {
    DestroyWindow(hwnd);
  } else {
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
  }
}

void AvMsgWindow::Post(int kind, uint32_t packed) const {
  if (hwnd_) PostMessageW(static_cast<HWND>(hwnd_), morlun::kAvMsgId, kind, packed);
}
