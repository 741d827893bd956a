// The capture target program (see capture_target.h).

#include <windows.h>

#include <cwchar>
#include <string>

#include "share/capture/tests/capture_target.h"

namespace {

constexpr UINT_PTR kSecondTimer = 1;
constexpr UINT_PTR kExitTimer = 2;

struct Options {
  std::wstring title = L"Capture Target";
  RECT rect{100, 100, 500, 400};
  bool layered = false;
  int second_ms = -1;
  int exit_ms = -1;
};

Options g_options;

COLORREF ToColorRef(std::uint32_t rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

void PaintQuadrants(HWND window, HDC dc) {
  RECT client{};
  GetClientRect(window, &client);
  const int mid_x = client.right / 2;
  const int mid_y = client.bottom / 2;
  const struct {
    RECT rect;
    std::uint32_t colour;
  } quadrants[] = {{{0, 0, mid_x, mid_y}, capture_target::kTopLeft},
                   {{mid_x, 0, client.right, mid_y}, capture_target::kTopRight},
                   {{0, mid_y, mid_x, client.bottom}, capture_target::kBottomLeft},
                   {{mid_x, mid_y, client.right, client.bottom}, capture_target::kBottomRight}};
  for (const auto& quadrant : quadrants) {
    HBRUSH brush = CreateSolidBrush(ToColorRef(quadrant.colour));
    FillRect(dc, &quadrant.rect, brush);
    DeleteObject(brush);
  }
}

HWND OpenWindow(const std::wstring& title, const RECT& rect) {
  HWND window =
      CreateWindowExW(g_options.layered ? WS_EX_LAYERED : 0, capture_target::kClassName,
                      title.c_str(), WS_POPUP, rect.left, rect.top, rect.right - rect.left,
                      rect.bottom - rect.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!window) return nullptr;
  if (g_options.layered) SetLayeredWindowAttributes(window, 0, 255, LWA_ALPHA);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);
  return window;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      PaintQuadrants(window, dc);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_TIMER:
      KillTimer(window, wparam);
      if (wparam == kSecondTimer) {
        const RECT& first = g_options.rect;
        const int left = first.right + capture_target::kSecondGap;
        OpenWindow(g_options.title + L" 2",
                   RECT{left, first.top, left + capture_target::kSecondWidth,
                        first.top + capture_target::kSecondHeight});
      } else if (wparam == kExitTimer) {
        PostQuitMessage(0);
      }
      return 0;
    case WM_CLOSE:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// The text after `name` when `argument` starts with it.
bool Value(const wchar_t* argument, const wchar_t* name, std::wstring* value) {
  const std::size_t length = wcslen(name);
  if (wcsncmp(argument, name, length) != 0) return false;
  *value = argument + length;
  return true;
}

void ParseOptions(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    std::wstring value;
    if (Value(argv[i], L"--title=", &value)) {
      g_options.title = value;
    } else if (Value(argv[i], L"--rect=", &value)) {
      int x = 0, y = 0, w = 0, h = 0;
      if (swscanf(value.c_str(), L"%d,%d,%d,%d", &x, &y, &w, &h) == 4) {
        g_options.rect = RECT{x, y, x + w, y + h};
      }
    } else if (wcscmp(argv[i], L"--layered") == 0) {
      g_options.layered = true;
    } else if (Value(argv[i], L"--second=", &value)) {
      g_options.second_ms = _wtoi(value.c_str());
    } else if (Value(argv[i], L"--exit=", &value)) {
      g_options.exit_ms = _wtoi(value.c_str());
    }
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ParseOptions(argc, argv);
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = capture_target::kClassName;
  RegisterClassW(&window_class);
  HWND first = OpenWindow(g_options.title, g_options.rect);
  if (!first) return 1;
  if (g_options.second_ms >= 0) SetTimer(first, kSecondTimer, g_options.second_ms, nullptr);
  if (g_options.exit_ms >= 0) SetTimer(first, kExitTimer, g_options.exit_ms, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
