#include "platform/duilib/tests/test_support.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

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

namespace {

uint32_t Crc32(const std::string& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void Append16(std::string* out, uint32_t value) {
  out->push_back(static_cast<char>(value & 0xFF));
  out->push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Append32(std::string* out, uint32_t value) {
  Append16(out, value & 0xFFFF);
  Append16(out, value >> 16);
}

}  // namespace

void StoredZip::Put32(size_t offset, uint32_t value) {
  std::string field;
  Append32(&field, value);
  bytes.replace(offset, 4, field);
}

StoredZip MakeStoredZip(const std::vector<std::pair<std::string, std::string>>& entries) {
  StoredZip zip;
  std::string central;
  for (const auto& entry : entries) {
    const std::string& name = entry.first;
    const std::string& data = entry.second;
    const uint32_t crc = Crc32(data);
    const uint32_t local_offset = static_cast<uint32_t>(zip.bytes.size());
    zip.local_headers.push_back(local_offset);
    Append32(&zip.bytes, 0x04034B50);  // local header
    Append16(&zip.bytes, 20);          // version needed
    Append16(&zip.bytes, 0);           // flags
    Append16(&zip.bytes, 0);           // stored
    Append32(&zip.bytes, 0);           // time and date
    Append32(&zip.bytes, crc);
    Append32(&zip.bytes, static_cast<uint32_t>(data.size()));
    Append32(&zip.bytes, static_cast<uint32_t>(data.size()));
    Append16(&zip.bytes, static_cast<uint32_t>(name.size()));
    Append16(&zip.bytes, 0);  // extra field
    zip.bytes += name;
    zip.bytes += data;

    zip.central_headers.push_back(central.size());
    Append32(&central, 0x02014B50);  // central header
    Append16(&central, 20);          // made by
    Append16(&central, 20);          // version needed
    Append16(&central, 0);           // flags
    Append16(&central, 0);           // stored
    Append32(&central, 0);           // time and date
    Append32(&central, crc);
    Append32(&central, static_cast<uint32_t>(data.size()));
    Append32(&central, static_cast<uint32_t>(data.size()));
    Append16(&central, static_cast<uint32_t>(name.size()));
    Append32(&central, 0);  // extra field and comment lengths
    Append32(&central, 0);  // disk, internal attributes
    Append32(&central, 0);  // external attributes
    Append32(&central, local_offset);
    central += name;
  }
  const uint32_t central_offset = static_cast<uint32_t>(zip.bytes.size());
  for (size_t& offset : zip.central_headers) offset += central_offset;
  zip.bytes += central;
  Append32(&zip.bytes, 0x06054B50);  // end of central directory
  Append32(&zip.bytes, 0);           // disk numbers
  Append16(&zip.bytes, static_cast<uint32_t>(entries.size()));
  Append16(&zip.bytes, static_cast<uint32_t>(entries.size()));
  Append32(&zip.bytes, static_cast<uint32_t>(central.size()));
  Append32(&zip.bytes, central_offset);
  Append16(&zip.bytes, 0);  // comment
  return zip;
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

// ---------------------------------------------------------------------------------------------
// Screenshot

namespace {

bool SavePng(HBITMAP bitmap, const std::wstring& path) {
  static const bool started = [] {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  }();
  if (!started) return false;
  UINT count = 0, size = 0;
  Gdiplus::GetImageEncodersSize(&count, &size);
  std::string buffer(size, '\0');
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(&buffer[0]);
  Gdiplus::GetImageEncoders(count, size, encoders);
  for (UINT i = 0; i < count; ++i) {
    if (std::wstring(encoders[i].MimeType) == L"image/png") {
      Gdiplus::Bitmap image(bitmap, nullptr);
      return image.Save(path.c_str(), &encoders[i].Clsid, nullptr) == Gdiplus::Ok;
    }
  }
  return false;
}

}  // namespace

bool Screenshot::Allocate(SIZE size) {
  if (size.cx <= 0 || size.cy <= 0) return false;
  size_ = size;
  void* bits = nullptr;
  dib_ = CRenderEngine::CreateDib32(size.cx, size.cy, &bits);
  bits_ = static_cast<DWORD*>(bits);
  return dib_ != nullptr;
}

Screenshot::Screenshot(HWND hwnd) {
  RECT client{};
  GetClientRect(hwnd, &client);
  if (!Allocate(SIZE{client.right, client.bottom})) return;
  HDC mem = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mem, dib_);
  printed_ = PrintWindow(hwnd, mem, 0) != FALSE;
  GdiFlush();
  SelectObject(mem, old);
  DeleteDC(mem);
}

Screenshot::Screenshot(const DWORD* premultiplied, SIZE size, DWORD backdrop) {
  if (!premultiplied || !Allocate(size)) return;
  for (int i = 0; i < size.cx * size.cy; ++i) {
    const DWORD px = premultiplied[i];
    const DWORD alpha = px >> 24;
    DWORD out = 0xFF000000;
    for (int shift = 0; shift < 24; shift += 8) {
      const DWORD top = (px >> shift) & 0xFF;
      const DWORD under = (backdrop >> shift) & 0xFF;
      out |= std::min<DWORD>(255, top + under * (255 - alpha) / 255) << shift;
    }
    bits_[i] = out;
  }
  printed_ = true;
}

Screenshot::~Screenshot() {
  if (dib_) DeleteObject(dib_);
}

DWORD Screenshot::Pixel(int x, int y) const {
  if (!bits_ || x < 0 || y < 0 || x >= size_.cx || y >= size_.cy) return 0;
  return bits_[y * size_.cx + x] & 0xFFFFFF;
}

int Screenshot::Ink(RECT rc, DWORD background) const {
  int n = 0;
  for (int y = rc.top; y < rc.bottom; ++y) {
    for (int x = rc.left; x < rc.right; ++x) n += Pixel(x, y) != background;
  }
  return n;
}

bool Screenshot::Save(const std::wstring& name) const {
  if (!dib_) return false;
  const char* dir = std::getenv("TARVO_TEST_DATA");
  const std::wstring folder = dir ? std::wstring(dir, dir + strlen(dir)) : std::wstring(L".");
  CreateDirectoryW(folder.c_str(), nullptr);
  return SavePng(dib_, folder + L"/" + name);
}

// ---------------------------------------------------------------------------------------------
// DemoFrame

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
