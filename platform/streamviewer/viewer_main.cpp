// streamviewer.exe: shows the newest picture of each of the client's four stream blocks (live,
// mix, cast, camera) in four panes, with the picture's size and frame rate. It only reads the
// blocks and keeps running while the client closes and makes them again.
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/streamviewer/stream_block_reader.h"

namespace {

constexpr wchar_t kClassName[] = L"TarvoStreamViewer";
constexpr wchar_t kTitle[] = L"TarvoLive stream viewer";
constexpr int kLabelHeight = 22;
constexpr unsigned kWaitMs = 200;
// Small enough to stand beside the client's login window on a 1920 x 1080 screen.
constexpr int kWindowWidth = 720;
constexpr int kWindowHeight = 480;

// What one pane shows. Written by its block's thread, read by the UI thread, under |lock|.
struct Pane {
  std::mutex lock;
  bool open = false;
  unsigned width = 0;
  unsigned height = 0;
  std::vector<std::uint32_t> pixels;
  FrameRateMeter meter;
  std::uint64_t frames = 0;
  std::string skipped;  // Why the last record was not drawn; empty after a good one.
};

Pane g_panes[kStreamBlockCount];
std::atomic<bool> g_stop{false};
HWND g_window = nullptr;
std::wstring g_name_suffix;  // "--name-suffix=<text>": appended to each block's name (tests).

RECT PaneRect(const RECT& client, int index) {
  const int w = client.right / 2;
  const int h = client.bottom / 2;
  const int x = (index % 2) * w;
  const int y = (index / 2) * h;
  return RECT{x, y, index % 2 ? client.right : x + w, index / 2 ? client.bottom : y + h};
}

void InvalidatePane(int index) {
  RECT client;
  if (!g_window || !GetClientRect(g_window, &client)) return;
  const RECT pane = PaneRect(client, index);
  InvalidateRect(g_window, &pane, FALSE);
}

// One thread per block: waits for the writer's signal and keeps the newest picture.
void ReadBlock(int index) {
  StreamBlockReader reader(StreamBlockName(index) + g_name_suffix);
  Pane& pane = g_panes[index];
  StreamPicture picture;
  std::vector<std::uint32_t> pixels;
  while (!g_stop.load()) {
    std::string why;
    const StreamBlockReader::Result result = reader.Next(kWaitMs, &picture, &why);
    {
      std::lock_guard<std::mutex> guard(pane.lock);
      pane.open = reader.IsOpen();
      if (result == StreamBlockReader::Result::kPicture) {
        I420ToBgra(picture, &pixels);
        pane.pixels.swap(pixels);
        pane.width = picture.width;
        pane.height = picture.height;
        pane.meter.Add(GetTickCount64());
        ++pane.frames;
        pane.skipped.clear();
      } else if (result == StreamBlockReader::Result::kSkipped) {
        pane.skipped = why;
      }
    }
    InvalidatePane(index);
  }
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

void PaintPane(HDC dc, const RECT& rect, int index) {
  HBRUSH background = CreateSolidBrush(RGB(24, 26, 44));
  FillRect(dc, &rect, background);
  DeleteObject(background);

  Pane& pane = g_panes[index];
  std::lock_guard<std::mutex> guard(pane.lock);
  wchar_t label[256];
  const double fps = pane.meter.Rate(GetTickCount64());
  if (!pane.open) {
    swprintf(label, 256, L"%hs: waiting for the client's block", StreamBlockLabel(index));
  } else if (pane.frames == 0) {
    swprintf(label, 256, L"%hs: no picture yet", StreamBlockLabel(index));
  } else {
    swprintf(label, 256, L"%hs: %u x %u, %.1f fps", StreamBlockLabel(index), pane.width,
             pane.height, fps);
  }
  std::wstring text = label;
  if (!pane.skipped.empty()) text += L" (skipped: " + Widen(pane.skipped) + L")";
  RECT label_rect{rect.left + 6, rect.top + 3, rect.right - 4, rect.top + kLabelHeight};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(232, 233, 240));
  DrawTextW(dc, text.c_str(), -1, &label_rect, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS);

  if (pane.frames == 0 || pane.width == 0 || pane.height == 0) return;
  // The picture, as large as fits below the label, keeping its aspect ratio.
  const int area_w = rect.right - rect.left - 8;
  const int area_h = rect.bottom - rect.top - kLabelHeight - 4;
  if (area_w < 1 || area_h < 1) return;
  int draw_w = area_w;
  int draw_h = static_cast<int>(static_cast<long long>(area_w) * pane.height / pane.width);
  if (draw_h > area_h) {
    draw_h = area_h;
    draw_w = static_cast<int>(static_cast<long long>(area_h) * pane.width / pane.height);
  }
  if (draw_w < 1 || draw_h < 1) return;
  const int x = rect.left + 4 + (area_w - draw_w) / 2;
  const int y = rect.top + kLabelHeight + (area_h - draw_h) / 2;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = static_cast<LONG>(pane.width);
  info.bmiHeader.biHeight = -static_cast<LONG>(pane.height);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, x, y, draw_w, draw_h, 0, 0, static_cast<int>(pane.width),
                static_cast<int>(pane.height), pane.pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  if (client.right > 0 && client.bottom > 0) {
    // Drawn off screen first, so that a pane never flickers between frames.
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ old_bitmap = SelectObject(memory, bitmap);
    HGDIOBJ old_font = SelectObject(memory, GetStockObject(DEFAULT_GUI_FONT));
    for (int i = 0; i < kStreamBlockCount; ++i) PaintPane(memory, PaneRect(client, i), i);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(58, 61, 92));
    HGDIOBJ old_pen = SelectObject(memory, pen);
    MoveToEx(memory, client.right / 2, 0, nullptr);
    LineTo(memory, client.right / 2, client.bottom);
    MoveToEx(memory, 0, client.bottom / 2, nullptr);
    LineTo(memory, client.right, client.bottom / 2);
    SelectObject(memory, old_pen);
    DeleteObject(pen);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old_font);
    SelectObject(memory, old_bitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
  }
  EndPaint(window, &paint);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const std::wstring suffix_option = L"--name-suffix=";
  const std::wstring position_option = L"--position=";
  // The window's top-left corner; "--position=X,Y" places it (the run command puts a second
  // client's viewer below the first).
  int x = CW_USEDEFAULT;
  int y = CW_USEDEFAULT;
  for (int i = 1; argv && i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg.compare(0, suffix_option.size(), suffix_option) == 0) {
      g_name_suffix = arg.substr(suffix_option.size());
    } else if (arg.compare(0, position_option.size(), position_option) == 0) {
      int px = 0;
      int py = 0;
      wchar_t rest = 0;
      if (swscanf(arg.c_str() + position_option.size(), L"%d,%d%lc", &px, &py, &rest) == 2) {
        x = px;
        y = py;
      }
    }
  }
  if (argv) LocalFree(argv);

  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = kClassName;
  if (!RegisterClassExW(&window_class)) return 1;
  g_window = CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y,
                             kWindowWidth, kWindowHeight, nullptr, nullptr, instance, nullptr);
  if (!g_window) return 1;
  ShowWindow(g_window, show == SW_HIDE ? SW_SHOWNORMAL : show);
  UpdateWindow(g_window);

  std::vector<std::thread> readers;
  for (int i = 0; i < kStreamBlockCount; ++i) readers.emplace_back(ReadBlock, i);
  MSG msg;
  int rc = 0;
  while (true) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      rc = got == 0 ? static_cast<int>(msg.wParam) : 1;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // Each reader returns within one wait.
  g_stop.store(true);
  for (std::thread& reader : readers) reader.join();
  return rc;
}
