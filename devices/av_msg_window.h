#pragma once

#include <cstdint>
#include <memory>

// The hidden "AvMsgSend" window through which an engine's threads notify its user on the
// thread that created the engine. Any thread posts (Post*); the window procedure, on the
// creating thread, hands each message to the receiver's OnMsg.
//
// Message WM_USER + 201, wParam = kind, lParam = a packed value:
//   kind 1 (position): position in bits 16-31, manual flag in bits 0-7;
//   kind 2 (finished): error code in bits 16-31, manual flag in bits 0-7;
//   kind 3 (state):    error code in bits 16-31, state in bits 0-15.
// The high half is unsigned: values are clamped to 0..65535.

namespace morlun {

constexpr unsigned kAvMsgId = 0x0400 + 201;  // WM_USER + 201
enum AvMsgKind { kAvMsgPosition = 1, kAvMsgFinished = 2, kAvMsgState = 3 };

// Packs a value into the high half and a flag or state into the low half.
uint32_t PackAvMsg(int high, int low);

}  // namespace morlun

// What the window delivers to (on the creating thread).
class AvMsgRecv {
 public:
  virtual void OnMsg(int kind, unsigned value) = 0;

 protected:
  ~AvMsgRecv() = default;
};

// Owns the hidden window. Create and destroy it on the same thread, which must pump messages.
class AvMsgWindow {
 public:
  // Creates the window on the calling thread; `receiver` must outlive it (or be detached).
  explicit AvMsgWindow(AvMsgRecv* receiver);
  // Destroys the window when called on the creating thread. On another thread the receiver is
  // detached at once and the window is asked to close itself on its own thread.
  ~AvMsgWindow();

  AvMsgWindow(const AvMsgWindow&) = delete;
  AvMsgWindow& operator=(const AvMsgWindow&) = delete;

  bool IsValid() const { return hwnd_ != nullptr; }
  // Stops deliveries to the receiver at once (waits for one in progress). Thread-safe.
  void Detach();
  // Thread-safe.
  void Post(int kind, uint32_t packed) const;
  void* hwnd() const { return hwnd_; }

  // The receiver as the window procedure sees it; shared with the window, which may outlive
  // this owner by a few messages when destroyed from another thread.
  struct Delivery;

 private:
  std::shared_ptr<Delivery> delivery_;
  void* hwnd_ = nullptr;  // HWND
  unsigned long creating_thread_ = 0;
};
