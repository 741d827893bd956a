#include "share/sharing/cm_icon_option.h"

#include "share/window/gdi_objects.h"

CmIconOption::~CmIconOption() {
  if (m_hSnapshot) DeleteObject(m_hSnapshot);
}

void CmIconOption::SetWindowAndIcon(HWND window, HICON icon) {
  m_hSource = window;
  m_hIcon = icon;
  if (m_hSnapshot) DeleteObject(m_hSnapshot);
  m_hSnapshot = nullptr;
  RECT rect{};
  if (!window || !GetWindowRect(window, &rect)) return;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width < 1 || height < 1) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  share::WindowDc source(window, share::WindowDc::kWholeWindow);
  if (!source) return;
  share::ScopedMemoryDc memory(CreateCompatibleDC(source.get()));
  void* bits = nullptr;
  share::ScopedBitmap snapshot(
      CreateDIBSection(source.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !snapshot) return;
  {
    share::SelectedObject selected(memory.get(), snapshot.get());
    BitBlt(memory.get(), 0, 0, width, height, source.get(), 0, 0, SRCCOPY);
  }
  m_hSnapshot = static_cast<HBITMAP>(snapshot.release());
  m_nSnapWidth = width;
  m_nSnapHeight = height;
  Invalidate();
}

void CmIconOption::PaintStatusImage(HDC hdc) {
  COptionUI::PaintStatusImage(hdc);
  const RECT& item = GetPos();
  if (m_hSnapshot) {
    share::ScopedMemoryDc memory(CreateCompatibleDC(hdc));
    share::SelectedObject selected(memory.get(), m_hSnapshot);
    const int mode = SetStretchBltMode(hdc, HALFTONE);
    SetBrushOrgEx(hdc, 0, 0, nullptr);
    StretchBlt(hdc, item.left + 2, item.top + 2, (item.right - 2) - (item.left + 2),
               (item.bottom - 30) - (item.top + 2), memory.get(), 0, 0, m_nSnapWidth,
               m_nSnapHeight, SRCCOPY);
    SetStretchBltMode(hdc, mode);
  }
  if (m_hIcon) {
    DrawIconEx(hdc, item.left + 2, item.top + 80, m_hIcon, 16, 16, 0, nullptr, DI_NORMAL);
  }
}
