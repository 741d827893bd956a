#pragma once

// Helpers for the UI library's tests and the tests of windows built on it: message pumping,
// log capture, mouse input, screenshots and the demonstration window over the skin's
// "demo_frame.xml".

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/duilib/UIlib.h"

namespace duilib_test {

// Runs the thread's message loop for `ms` milliseconds, or until `done` returns true.
void Pump(int ms);
bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 3000);

// Captures the library's log lines while alive.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  bool Contains(const std::wstring& part) const;
  static std::vector<std::wstring>& Lines();
};

// A ZIP archive of stored (uncompressed) entries, with the offsets of each entry's local and
// central headers so that a test can damage chosen fields.
struct StoredZip {
  std::string bytes;
  std::vector<size_t> local_headers;
  std::vector<size_t> central_headers;
  // Header field offsets.
  static constexpr size_t kLocalSize = 22;    // uncompressed size in a local header
  static constexpr size_t kCentralSize = 24;  // uncompressed size in a central header
  void Put32(size_t offset, uint32_t value);
};
StoredZip MakeStoredZip(const std::vector<std::pair<std::string, std::string>>& entries);

// A left click at client point (x, y), sent as button down and up.
void Click(HWND hwnd, int x, int y);
RECT ClientRectOnScreen(HWND hwnd);

// A picture of a window, kept as 32-bit pixels: either what PrintWindow gets from the window's
// own WM_PRINTCLIENT painting (its client area), or a layered window's back buffer
// (premultiplied alpha) laid over an opaque backdrop colour, as a desktop would show it.
class Screenshot {
 public:
  explicit Screenshot(HWND hwnd);
  Screenshot(const DWORD* premultiplied, SIZE size, DWORD backdrop);
  ~Screenshot();
  Screenshot(const Screenshot&) = delete;
  Screenshot& operator=(const Screenshot&) = delete;

  bool printed() const { return printed_ && dib_; }
  int width() const { return size_.cx; }
  int height() const { return size_.cy; }
  // 0xRRGGBB at (x, y); 0 outside the picture.
  DWORD Pixel(int x, int y) const;
  // Pixels of `rc` that differ from `background`.
  int Ink(RECT rc, DWORD background) const;
  // Saves a PNG named `name` in the test data folder ($TARVO_TEST_DATA, else the current one).
  bool Save(const std::wstring& name) const;

 private:
  bool Allocate(SIZE size);

  HBITMAP dib_ = nullptr;
  DWORD* bits_ = nullptr;
  SIZE size_{};
  bool printed_ = false;
};

struct NotifyRecord {
  std::wstring type;
  std::wstring sender;
  WPARAM wParam;
  LPARAM lParam;
};

// The demonstration window in one skin ("blue" or "orange"). Options of the "pages" group
// switch the tab layout; every notification is recorded.
class DemoFrame : public DuiLib::WindowImplBase {
 public:
  explicit DemoFrame(std::wstring skin, std::wstring file = L"demo_frame.xml");
  const wchar_t* GetWindowClassName() const override { return L"DuiDemoFrame"; }
  void Notify(DuiLib::TNotifyUI& msg) override;
  DuiLib::CControlUI* CreateControl(const wchar_t* cls) override;
  void OnFinalMessage(HWND hWnd) override;

  // Creates the window as the client creates its dialogs (popup, caption, system menu).
  HWND CreateDemo(HWND owner = nullptr);
  DuiLib::CPaintManagerUI& Manager() { return m_PaintManager; }
  template <typename T>
  T* Find(const wchar_t* name) {
    return static_cast<T*>(m_PaintManager.FindControl(name));
  }
  int Count(const std::wstring& type, const std::wstring& sender = L"") const;

  std::vector<NotifyRecord> events;
  std::function<void(DemoFrame*, UINT_PTR)> on_timer;
  std::function<void(DemoFrame*, DuiLib::TNotifyUI&)> on_notify;  // runs after recording
  bool final_message = false;
  int refuse_close = 0;  // WM_CLOSE messages to swallow

 protected:
  DuiLib::CDuiString GetSkinFolder() override { return L""; }
  DuiLib::CDuiString GetSkinFile() override { return L"xml/" + skin_ + L"/" + file_; }
  DuiLib::UILIB_RESOURCETYPE GetResourceType() const override { return resource_type_; }
  UINT GetResourceID() const override { return 130; }
  DuiLib::CDuiString GetZIPFileName() const override { return zip_file_; }
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

 public:
  DuiLib::UILIB_RESOURCETYPE resource_type_ = DuiLib::UILIB_ZIPRESOURCE;
  std::wstring zip_file_;  // under the resource path, for UILIB_ZIP

 private:
  std::wstring skin_;
  std::wstring file_;
};

// A control class that only the window's factory knows.
class BadgeUI : public DuiLib::CLabelUI {
 public:
  const wchar_t* GetClass() const override { return L"BadgeUI"; }
};

}  // namespace duilib_test
