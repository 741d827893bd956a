// meeting_probe.exe: the hands and eyes of the two-client meeting test inside one client's Wine
// prefix (and on that client's own display). It acts on the client as a person does, with the
// system's input (the mouse moves to a point and clicks, keys are typed), and it is the outside
// reader of the client's four stream blocks, as the stream viewer is.
//
// Line commands on standard input; one answer line each on standard output ("OK <command>
// [values]", or "ERR <command> <why>"):
//   window <timeout ms> [class]   the visible window of the class (default the main window,
//                         "CMainFrame"), once there is one: "OK window <left> <top> <width>
//                         <height>" on the screen
//   page                  the page's area on the screen (the browser host window's client
//                         area): "OK page <left> <top> <width> <height>"
//   click <x> <y>         clicks the page at (x, y), pixels of the page's area
//   at <x> <y>            clicks the screen at (x, y) (the client's own windows)
//   type <text>           types the rest of the line (UTF-8), one key press per character
//   key <enter|tab|backspace|escape>   presses that key
//   close <dx> <dy>       clicks the main window at (dx, dy) from its top right corner (the
//                         title bar's close button: 20 20 in the login look, 16 15 in the live
//                         look)
//   processes             the programs running in this prefix: "OK processes <name>..."
//   blocks                per block (live, mix, cast, camera):
//                         "<label>=<pictures>/<w>x<h>/tag<tag>:<counter>/rep<n>/back<n>"; a
//                         picture counts when it is new in the block; tag and counter are the
//                         virtual camera's mark in the newest picture (0:0 without one); repeats
//                         and steps back of a tag's counter are counted since the start
//   sample <block> <x> <y> <w> <h>   the mean colour of that rectangle of the block's newest
//                         picture: "OK sample <r> <g> <b> <picture width> <picture height>"
//   bits <block> <n>      the number that the newest picture of the block shows as n bars
//                         across its width (bar k light: bit k set; lowest bit on the left),
//                         read at its middle row: "OK bits <number>"
//   content <x> <y> <w> <h>   shows a window of known content at that screen rectangle, on top
//                         of every other: four quadrants, red, green, blue and white (top left,
//                         top right, bottom left, bottom right)
//   quit                  ends the probe (code 0)
//
// Threads: the command loop on the main thread; one reader thread per stream block.

#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/orvim/common/media_pattern.h"
#include "platform/streamviewer/stream_block_reader.h"

namespace {

void Say(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// ---- windows ----

struct WindowSearch {
  std::wstring cls;
  HWND found = nullptr;
};

BOOL CALLBACK FindVisibleWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  wchar_t cls[128] = {};
  GetClassNameW(hwnd, cls, 128);
  if (search->cls == cls && IsWindowVisible(hwnd)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// The first visible top-level window of the class |cls|.
HWND VisibleWindow(const std::wstring& cls) {
  WindowSearch search{cls};
  EnumWindows(&FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND MainWindow() { return VisibleWindow(L"CMainFrame"); }

std::wstring Widen(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0], n);
  return text;
}

BOOL CALLBACK FindLargestHost(HWND hwnd, LPARAM param) {
  auto* best = reinterpret_cast<std::pair<HWND, long>*>(param);
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  RECT rc{};
  if (std::wcscmp(cls, L"TarvoBrowserHost") == 0 && IsWindowVisible(hwnd) && GetClientRect(hwnd, &rc)) {
    const long area = (rc.right - rc.left) * (rc.bottom - rc.top);
    if (area > best->second) *best = {hwnd, area};
  }
  return TRUE;
}

// The browser's host window inside the main window, where the page is drawn and takes input:
// the largest visible one (the browser shrinks its window to a pixel while it is hidden).
HWND PageWindow() {
  HWND main = MainWindow();
  if (main == nullptr) return nullptr;
  std::pair<HWND, long> best{nullptr, 0};
  EnumChildWindows(main, &FindLargestHost, reinterpret_cast<LPARAM>(&best));
  return best.first;
}

std::string RectText(const RECT& rc) {
  return std::to_string(rc.left) + " " + std::to_string(rc.top) + " " +
         std::to_string(rc.right - rc.left) + " " + std::to_string(rc.bottom - rc.top);
}

// ---- input ----

bool SendOne(INPUT input) { return SendInput(1, &input, sizeof(INPUT)) == 1; }

bool MoveTo(POINT screen);

// Moves the pointer to the screen point and presses and releases the left button there.
bool ClickAt(POINT screen) {
  if (!MoveTo(screen)) return false;
  Sleep(30);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  if (!SendOne(input)) return false;
  Sleep(30);
  input.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  return SendOne(input);
}

// Moves the pointer as a mouse does (an absolute move of the system's input, which the window
// under the pointer hears of); true once the pointer is there.
bool MoveTo(POINT screen) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  if (width <= 0 || height <= 0) return false;
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  // The system maps dx to dx * width / 65536: round up so that it lands on the pixel itself.
  input.mi.dx = static_cast<LONG>((static_cast<int64_t>(screen.x) * 65536 + width - 1) / width);
  input.mi.dy = static_cast<LONG>((static_cast<int64_t>(screen.y) * 65536 + height - 1) / height);
  for (int tries = 0; tries < 50; ++tries) {
    if (!SendOne(input)) return false;
    POINT at{};
    if (GetCursorPos(&at) && at.x == screen.x && at.y == screen.y) return true;
    Sleep(20);
  }
  return false;
}

bool KeyPress(WORD vk) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  if (!SendOne(input)) return false;
  input.ki.dwFlags = KEYEVENTF_KEYUP;
  return SendOne(input);
}

// One key press per UTF-16 unit, as an input method gives characters that have no key.
bool TypeText(const std::string& utf8) {
  for (wchar_t unit : Widen(utf8)) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = unit;
    input.ki.dwFlags = KEYEVENTF_UNICODE;
    if (!SendOne(input)) return false;
    input.ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
    if (!SendOne(input)) return false;
    Sleep(5);
  }
  return true;
}

// " <name>" for every process of this prefix.
std::string ProcessNames() {
  std::string names;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return names;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    char name[MAX_PATH * 3] = {};
    WideCharToMultiByte(CP_UTF8, 0, entry.szExeFile, -1, name, sizeof(name), nullptr, nullptr);
    names += std::string(" ") + name;
  }
  CloseHandle(snapshot);
  return names;
}

// ---- stream blocks ----

struct BlockWatch {
  std::mutex mutex;  // Protects everything below.
  int pictures = 0;
  int repeats = 0;    // A counter equal to the previous one of the same tag.
  int backwards = 0;  // A counter below the previous one of the same tag.
  unsigned width = 0, height = 0;
  uint16_t tag = 0;
  uint32_t counter = 0;
  std::map<uint16_t, uint32_t> last;  // Tag to its last counter.
  StreamPicture newest;
};

class BlockReaders {
 public:
  BlockReaders() {
    for (int i = 0; i < kStreamBlockCount; ++i) threads_.emplace_back([this, i] { Read(i); });
  }
  ~BlockReaders() {
    stop_.store(true);
    for (std::thread& t : threads_) t.join();
  }
  BlockReaders(const BlockReaders&) = delete;
  BlockReaders& operator=(const BlockReaders&) = delete;

  // The mean colour of a rectangle of the newest picture of |block|; false when there is none
  // or the rectangle is not inside it.
  bool Sample(int block, int x, int y, int w, int h, std::string* answer) {
    if (block < 0 || block >= kStreamBlockCount || w <= 0 || h <= 0) return false;
    StreamPicture picture;
    {
      std::lock_guard<std::mutex> lock(watch_[block].mutex);
      picture = watch_[block].newest;
    }
    if (picture.width == 0 || x < 0 || y < 0 || x + w > static_cast<int>(picture.width) ||
        y + h > static_cast<int>(picture.height)) {
      return false;
    }
    std::vector<std::uint32_t> pixels;
    I420ToBgra(picture, &pixels);
    uint64_t r = 0, g = 0, b = 0;
    for (int row = y; row < y + h; ++row) {
      for (int col = x; col < x + w; ++col) {
        const std::uint32_t p = pixels[static_cast<size_t>(row) * picture.width + col];
        r += (p >> 16) & 0xFF;
        g += (p >> 8) & 0xFF;
        b += p & 0xFF;
      }
    }
    const uint64_t n = static_cast<uint64_t>(w) * h;
    *answer = std::to_string(r / n) + " " + std::to_string(g / n) + " " + std::to_string(b / n) + " " +
              std::to_string(picture.width) + " " + std::to_string(picture.height);
    return true;
  }

  // The number shown as |bits| light or dark bars across the newest picture of |block|.
  bool Bars(int block, int bits, std::string* answer) {
    if (block < 0 || block >= kStreamBlockCount || bits <= 0 || bits > 31) return false;
    StreamPicture picture;
    {
      std::lock_guard<std::mutex> lock(watch_[block].mutex);
      picture = watch_[block].newest;
    }
    if (picture.width < static_cast<unsigned>(bits) * 4 || picture.height < 4) return false;
    uint32_t number = 0;
    const unsigned row = picture.height / 2;
    for (int k = 0; k < bits; ++k) {
      const unsigned x = static_cast<unsigned>((2 * k + 1) * picture.width / (2 * bits));
      unsigned sum = 0;  // Luma of a 3 x 3 square at the bar's centre.
      for (unsigned dy = 0; dy < 3; ++dy) {
        for (unsigned dx = 0; dx < 3; ++dx) sum += picture.i420[(row - 1 + dy) * picture.width + x - 1 + dx];
      }
      if (sum / 9 > 128) number |= 1u << k;
    }
    *answer = std::to_string(number);
    return true;
  }

  std::string Report() {
    std::ostringstream out;
    for (int i = 0; i < kStreamBlockCount; ++i) {
      BlockWatch& w = watch_[i];
      std::lock_guard<std::mutex> lock(w.mutex);
      out << " " << StreamBlockLabel(i) << "=" << w.pictures << "/" << w.width << "x" << w.height
          << "/tag" << w.tag << ":" << w.counter << "/rep" << w.repeats << "/back" << w.backwards;
    }
    return out.str();
  }

 private:
  void Read(int block) {
    StreamBlockReader reader(StreamBlockName(block));
    StreamPicture picture;
    std::string why;
    while (!stop_.load()) {
      if (reader.Next(100, &picture, &why) != StreamBlockReader::Result::kPicture) continue;
      orvim::PictureMark mark;
      const bool marked = orvim::ReadPictureMark(picture.i420.data(), static_cast<int>(picture.width),
                                                 static_cast<int>(picture.height), &mark);
      BlockWatch& w = watch_[block];
      std::lock_guard<std::mutex> lock(w.mutex);
      ++w.pictures;
      w.newest = picture;
      w.width = picture.width;
      w.height = picture.height;
      if (!marked) {
        w.tag = 0;
        w.counter = 0;
        continue;
      }
      auto found = w.last.find(mark.tag);
      if (found != w.last.end()) {
        if (mark.counter == found->second) ++w.repeats;
        if (mark.counter < found->second) ++w.backwards;
      }
      w.last[mark.tag] = mark.counter;
      w.tag = mark.tag;
      w.counter = mark.counter;
    }
  }

  std::atomic<bool> stop_{false};
  BlockWatch watch_[kStreamBlockCount];
  std::vector<std::thread> threads_;
};

// ---- a window of known content ----

LRESULT CALLBACK ContentProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    RECT rc;
    GetClientRect(hwnd, &rc);
    const int mx = rc.right / 2, my = rc.bottom / 2;
    const struct {
      RECT rect;
      COLORREF colour;
    } quadrants[] = {{{0, 0, mx, my}, RGB(255, 0, 0)},
                     {{mx, 0, rc.right, my}, RGB(0, 255, 0)},
                     {{0, my, mx, rc.bottom}, RGB(0, 0, 255)},
                     {{mx, my, rc.right, rc.bottom}, RGB(255, 255, 255)}};
    for (const auto& q : quadrants) {
      HBRUSH brush = CreateSolidBrush(q.colour);
      FillRect(dc, &q.rect, brush);
      DeleteObject(brush);
    }
    EndPaint(hwnd, &paint);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

// The content window lives on a thread of its own with its message loop, until the probe ends.
class ContentWindow {
 public:
  ~ContentWindow() {
    if (thread_.joinable()) {
      PostThreadMessageW(thread_id_.load(), WM_QUIT, 0, 0);
      thread_.join();
    }
  }
  bool Show(RECT at) {
    if (thread_.joinable()) return false;
    HANDLE shown = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, at, shown] {
      thread_id_.store(GetCurrentThreadId());
      WNDCLASSW cls{};
      cls.lpfnWndProc = ContentProc;
      cls.hInstance = GetModuleHandleW(nullptr);
      cls.lpszClassName = L"MeetingProbeContent";
      RegisterClassW(&cls);
      HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, cls.lpszClassName, L"Known content", WS_POPUP | WS_VISIBLE,
                                  at.left, at.top, at.right, at.bottom, nullptr, nullptr, cls.hInstance, nullptr);
      if (hwnd) UpdateWindow(hwnd);
      SetEvent(shown);
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
      if (hwnd) DestroyWindow(hwnd);
    });
    WaitForSingleObject(shown, 10000);
    CloseHandle(shown);
    return true;
  }

 private:
  std::thread thread_;
  std::atomic<DWORD> thread_id_{0};
};

}  // namespace

int main() {
  BlockReaders readers;
  ContentWindow content;
  Say("OK ready");
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command.empty()) continue;
    if (command == "window") {
      DWORD timeout = 0;
      std::string cls = "CMainFrame";
      in >> timeout >> cls;
      const DWORD start = GetTickCount();
      HWND window = VisibleWindow(Widen(cls));
      while (window == nullptr && GetTickCount() - start < timeout) {
        Sleep(100);
        window = VisibleWindow(Widen(cls));
      }
      RECT rc{};
      if (window == nullptr || !GetWindowRect(window, &rc)) {
        Say("ERR window none");
        continue;
      }
      Say("OK window " + RectText(rc));
    } else if (command == "page") {
      HWND page = PageWindow();
      RECT rc{};
      if (page == nullptr || !GetClientRect(page, &rc)) {
        Say("ERR page none");
        continue;
      }
      MapWindowPoints(page, nullptr, reinterpret_cast<POINT*>(&rc), 2);
      Say("OK page " + RectText(rc));
    } else if (command == "click") {
      POINT at{};
      in >> at.x >> at.y;
      HWND page = PageWindow();
      if (page == nullptr || !ClientToScreen(page, &at)) {
        Say("ERR click no page");
        continue;
      }
      Say(ClickAt(at) ? "OK click" : "ERR click input refused");
    } else if (command == "at") {
      POINT at{};
      in >> at.x >> at.y;
      Say(ClickAt(at) ? "OK at" : "ERR at input refused");
    } else if (command == "type") {
      std::string text;
      std::getline(in, text);
      if (!text.empty() && text.front() == ' ') text.erase(0, 1);
      Say(TypeText(text) ? "OK type" : "ERR type input refused");
    } else if (command == "key") {
      std::string name;
      in >> name;
      const std::map<std::string, WORD> keys = {
          {"enter", VK_RETURN}, {"tab", VK_TAB}, {"backspace", VK_BACK}, {"escape", VK_ESCAPE}};
      auto found = keys.find(name);
      if (found == keys.end()) {
        Say("ERR key unknown");
        continue;
      }
      Say(KeyPress(found->second) ? "OK key" : "ERR key input refused");
    } else if (command == "close") {
      POINT from_corner{};
      in >> from_corner.x >> from_corner.y;
      HWND main = MainWindow();
      RECT rc{};
      if (main == nullptr || !GetClientRect(main, &rc)) {
        Say("ERR close no window");
        continue;
      }
      POINT at{rc.right - from_corner.x, from_corner.y};
      ClientToScreen(main, &at);
      Say(ClickAt(at) ? "OK close" : "ERR close input refused");
    } else if (command == "processes") {
      Say("OK processes" + ProcessNames());
    } else if (command == "blocks") {
      Say("OK blocks" + readers.Report());
    } else if (command == "sample") {
      std::string label;
      int x = 0, y = 0, w = 0, h = 0;
      in >> label >> x >> y >> w >> h;
      int block = -1;
      for (int i = 0; i < kStreamBlockCount; ++i) {
        if (label == StreamBlockLabel(i)) block = i;
      }
      std::string answer;
      Say(readers.Sample(block, x, y, w, h, &answer) ? "OK sample " + answer : "ERR sample no such picture");
    } else if (command == "bits") {
      std::string label;
      int bits = 0;
      in >> label >> bits;
      int block = -1;
      for (int i = 0; i < kStreamBlockCount; ++i) {
        if (label == StreamBlockLabel(i)) block = i;
      }
      std::string answer;
      Say(readers.Bars(block, bits, &answer) ? "OK bits " + answer : "ERR bits no such picture");
    } else if (command == "content") {
      RECT at{};  // left, top, width, height
      in >> at.left >> at.top >> at.right >> at.bottom;
      Say(content.Show(at) ? "OK content" : "ERR content shown already");
    } else if (command == "quit") {
      Say("OK quit");
      break;
    } else {
      Say("ERR " + command + " unknown");
    }
  }
  return 0;
}
