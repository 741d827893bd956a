#include "platform/duilib/ui_render.h"

#include <objidl.h>
#include <shlwapi.h>
#include <gdiplus.h>

#include <cctype>
#include <cwctype>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "platform/duilib/ui_manager.h"
#include "platform/duilib/ui_resource.h"

namespace DuiLib {

namespace {

struct ImageDeleter {
  void operator()(TImageInfo* info) const {
    if (info->hBitmap) DeleteObject(info->hBitmap);
    delete info;
  }
};
using ImagePtr = std::unique_ptr<TImageInfo, ImageDeleter>;

std::map<std::wstring, ImagePtr>& ImageCache() {
  static std::map<std::wstring, ImagePtr> cache;
  return cache;
}

std::set<std::wstring>& ReportedMissing() {
  static std::set<std::wstring> names;
  return names;
}

void EnsureGdiplus() {
  // GDI+ is started once and, like the program's own start, never shut down.
  static bool started = false;
  if (started) return;
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  started = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
}

// The largest picture side decoded, as the picture loader allows: a user's picture cannot
// make a huge bitmap.
constexpr int kMaxImageSide = 16384;
// The largest picture file read from disk (a 4K thumbnail in PPM is about 25 MB).
constexpr size_t kMaxImageFileBytes = 64u << 20;

ImagePtr MakeImage(int cx, int cy, const std::function<void(BYTE* bits)>& fill) {
  void* bits = nullptr;
  HBITMAP dib = CRenderEngine::CreateDib32(cx, cy, &bits);
  if (!dib || !bits) {
    if (dib) DeleteObject(dib);
    return nullptr;
  }
  fill(static_cast<BYTE*>(bits));
  return ImagePtr(new TImageInfo{dib, cx, cy});
}

// Reads one header number of a PPM file at *pos, skipping white space and "#" comments.
bool PpmNumber(const std::string& bytes, size_t* pos, int* value) {
  size_t p = *pos;
  for (;;) {
    while (p < bytes.size() && isspace(static_cast<unsigned char>(bytes[p]))) ++p;
    if (p < bytes.size() && bytes[p] == '#') {
      while (p < bytes.size() && bytes[p] != '\n') ++p;
      continue;
    }
    break;
  }
  long long n = 0;
  const size_t start = p;
  while (p < bytes.size() && isdigit(static_cast<unsigned char>(bytes[p])) && p - start < 9) {
    n = n * 10 + (bytes[p] - '0');
    ++p;
  }
  if (p == start || (p < bytes.size() && isdigit(static_cast<unsigned char>(bytes[p])))) {
    return false;
  }
  *pos = p;
  *value = static_cast<int>(n);
  return true;
}

// Binary PPM ("P6", 8 bits a sample), which GDI+ does not read: the thumbnails of videos.
ImagePtr DecodePpm(const std::string& bytes) {
  size_t pos = 2;
  int cx = 0, cy = 0, maxval = 0;
  if (!PpmNumber(bytes, &pos, &cx) || !PpmNumber(bytes, &pos, &cy) ||
      !PpmNumber(bytes, &pos, &maxval)) {
    return nullptr;
  }
  if (cx <= 0 || cy <= 0 || cx > kMaxImageSide || cy > kMaxImageSide || maxval <= 0 ||
      maxval > 255 || pos >= bytes.size() || !isspace(static_cast<unsigned char>(bytes[pos]))) {
    return nullptr;
  }
  ++pos;  // the single white-space character before the samples
  const size_t need = static_cast<size_t>(cx) * cy * 3;
  if (bytes.size() - pos < need) return nullptr;
  const BYTE* rgb = reinterpret_cast<const BYTE*>(bytes.data()) + pos;
  return MakeImage(cx, cy, [&](BYTE* bits) {
    for (size_t i = 0, n = static_cast<size_t>(cx) * cy; i < n; ++i) {
      const auto scale = [&](BYTE v) { return static_cast<BYTE>(v * 255 / maxval); };
      bits[i * 4 + 0] = scale(rgb[i * 3 + 2]);
      bits[i * 4 + 1] = scale(rgb[i * 3 + 1]);
      bits[i * 4 + 2] = scale(rgb[i * 3 + 0]);
      bits[i * 4 + 3] = 0xFF;
    }
  });
}

ImagePtr DecodeImage(const std::string& bytes) {
  if (bytes.size() >= 3 && bytes[0] == 'P' && bytes[1] == '6' &&
      isspace(static_cast<unsigned char>(bytes[2]))) {
    return DecodePpm(bytes);
  }
  EnsureGdiplus();
  IStream* stream = SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()),
                                      static_cast<UINT>(bytes.size()));
  if (!stream) return nullptr;
  ImagePtr result;
  {
    Gdiplus::Bitmap bitmap(stream);
    if (bitmap.GetLastStatus() == Gdiplus::Ok && bitmap.GetWidth() > 0 && bitmap.GetHeight() > 0 &&
        bitmap.GetWidth() <= static_cast<UINT>(kMaxImageSide) &&
        bitmap.GetHeight() <= static_cast<UINT>(kMaxImageSide)) {
      const int cx = static_cast<int>(bitmap.GetWidth());
      const int cy = static_cast<int>(bitmap.GetHeight());
      void* bits = nullptr;
      HBITMAP dib = CRenderEngine::CreateDib32(cx, cy, &bits);
      Gdiplus::BitmapData data{};
      Gdiplus::Rect rect(0, 0, cx, cy);
      if (dib && bitmap.LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) ==
                     Gdiplus::Ok) {
        for (int y = 0; y < cy; ++y) {
          memcpy(static_cast<BYTE*>(bits) + y * cx * 4,
                 static_cast<BYTE*>(data.Scan0) + y * data.Stride, cx * 4);
        }
        bitmap.UnlockBits(&data);
        result.reset(new TImageInfo{dib, cx, cy});
      } else if (dib) {
        DeleteObject(dib);
      }
    }
  }
  stream->Release();
  return result;
}

void BlendPart(HDC dst, const RECT& d, HDC src, const RECT& s, BYTE fade, const RECT& clip) {
  if (d.right <= d.left || d.bottom <= d.top || s.right <= s.left || s.bottom <= s.top) return;
  RECT visible;
  if (!IntersectRect(&visible, &d, &clip)) return;
  BLENDFUNCTION blend{AC_SRC_OVER, 0, fade, AC_SRC_ALPHA};
  AlphaBlend(dst, d.left, d.top, d.right - d.left, d.bottom - d.top, src, s.left, s.top,
             s.right - s.left, s.bottom - s.top, blend);
}

HFONT FontOf(CPaintManagerUI* manager, int font) {
  HFONT handle = manager ? manager->GetFont(font) : nullptr;
  return handle ? handle : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

}  // namespace

bool CRenderEngine::IsAbsoluteImagePath(const std::wstring& name) {
  if (name.size() >= 3 && iswalpha(name[0]) && name[1] == L':' &&
      (name[2] == L'\\' || name[2] == L'/')) {
    return true;
  }
  return name.size() >= 2 && name[0] == L'\\' && name[1] == L'\\';
}

const TImageInfo* CRenderEngine::GetImage(const std::wstring& name) {
  std::wstring key = NormalizeResourceName(name);
  if (key.empty()) return nullptr;
  auto& cache = ImageCache();
  auto it = cache.find(key);
  if (it != cache.end()) return it->second.get();
  std::string bytes;
  ImagePtr image;
  const bool read = IsAbsoluteImagePath(name) ? ReadWholeFile(name, kMaxImageFileBytes, &bytes)
                                              : CResourceStore::Read(key, &bytes);
  if (read) image = DecodeImage(bytes);
  if (!image) {
    if (ReportedMissing().insert(key).second) {
      UiLog(UiLogLevel::kWarning, L"image '%ls' is missing or unreadable", name.c_str());
    }
    return nullptr;
  }
  return (cache[key] = std::move(image)).get();
}

void CRenderEngine::FreeImageCache() {
  ImageCache().clear();
  ReportedMissing().clear();
}

HBITMAP CRenderEngine::CreateDib32(int cx, int cy, void** bits) {
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = cx;
  bmi.bmiHeader.biHeight = -cy;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  return CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, bits, nullptr, 0);
}

void CRenderEngine::DrawColor(HDC hdc, const RECT& rc, DWORD argb) {
  BYTE alpha = static_cast<BYTE>(argb >> 24);
  if (alpha == 0 || rc.right <= rc.left || rc.bottom <= rc.top) return;
  COLORREF color = RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
  if (alpha == 255) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(hdc, &rc, brush);
    DeleteObject(brush);
    return;
  }
  // A translucent fill: one premultiplied pixel stretched over the rectangle.
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = 1;
  bmi.bmiHeader.biHeight = 1;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(hdc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib) return;
  BYTE* px = static_cast<BYTE*>(bits);
  px[0] = static_cast<BYTE>((argb & 0xFF) * alpha / 255);
  px[1] = static_cast<BYTE>(((argb >> 8) & 0xFF) * alpha / 255);
  px[2] = static_cast<BYTE>(((argb >> 16) & 0xFF) * alpha / 255);
  px[3] = alpha;
  HDC mem = CreateCompatibleDC(hdc);
  HGDIOBJ old = SelectObject(mem, dib);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(hdc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, mem, 0, 0, 1, 1, blend);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(dib);
}

void CRenderEngine::DrawBorder(HDC hdc, const RECT& rc, int size, DWORD argb) {
  if (size <= 0 || (argb >> 24) == 0) return;
  DrawColor(hdc, RECT{rc.left, rc.top, rc.right, rc.top + size}, argb);
  DrawColor(hdc, RECT{rc.left, rc.bottom - size, rc.right, rc.bottom}, argb);
  DrawColor(hdc, RECT{rc.left, rc.top + size, rc.left + size, rc.bottom - size}, argb);
  DrawColor(hdc, RECT{rc.right - size, rc.top + size, rc.right, rc.bottom - size}, argb);
}

bool CRenderEngine::DrawImageString(HDC hdc, const RECT& rcItem, const RECT& rcPaint,
                                    const wchar_t* description) {
  if (!description || !*description) return true;
  TImageDesc desc;
  if (!ParseImageDesc(description, &desc)) {
    // Reported once, not on every paint.
    if (ReportedMissing().insert(description).second) {
      UiLog(UiLogLevel::kWarning, L"malformed image description \"%ls\"", description);
    }
    return false;
  }
  return DrawImage(hdc, rcItem, rcPaint, desc);
}

bool CRenderEngine::DrawImage(HDC hdc, const RECT& rcItem, const RECT& rcPaint,
                              const TImageDesc& desc) {
  if (desc.file.empty()) return true;
  const TImageInfo* image = GetImage(desc.file);
  if (!image) return false;
  RECT src = desc.hasSource ? desc.source : RECT{0, 0, image->cx, image->cy};
  src.right = std::min<LONG>(src.right, image->cx);
  src.bottom = std::min<LONG>(src.bottom, image->cy);
  RECT dst = rcItem;
  if (desc.hasDest) {
    dst = RECT{rcItem.left + desc.dest.left, rcItem.top + desc.dest.top,
               rcItem.left + desc.dest.right, rcItem.top + desc.dest.bottom};
    dst.right = std::min(dst.right, rcItem.right);
    dst.bottom = std::min(dst.bottom, rcItem.bottom);
  }
  RECT clip;
  if (!IntersectRect(&clip, &dst, &rcPaint)) return true;
  HDC mem = CreateCompatibleDC(hdc);
  HGDIOBJ old = SelectObject(mem, image->hBitmap);
  const RECT& c = desc.corner;
  // Nine slices: corners keep their size, edges stretch along one axis, the centre along both.
  const LONG sx[4] = {src.left, src.left + c.left, src.right - c.right, src.right};
  const LONG sy[4] = {src.top, src.top + c.top, src.bottom - c.bottom, src.bottom};
  const LONG dx[4] = {dst.left, dst.left + c.left, dst.right - c.right, dst.right};
  const LONG dy[4] = {dst.top, dst.top + c.top, dst.bottom - c.bottom, dst.bottom};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      if (desc.hole && row == 1 && col == 1) continue;
      BlendPart(hdc, RECT{dx[col], dy[row], dx[col + 1], dy[row + 1]}, mem,
                RECT{sx[col], sy[row], sx[col + 1], sy[row + 1]}, desc.fade, clip);
    }
  }
  SelectObject(mem, old);
  DeleteDC(mem);
  return true;
}

void CRenderEngine::DrawText(HDC hdc, CPaintManagerUI* manager, RECT rc, const std::wstring& text,
                             DWORD argb, int font, UINT style) {
  if (text.empty() || rc.right <= rc.left) return;
  HGDIOBJ old = SelectObject(hdc, FontOf(manager, font));
  SetBkMode(hdc, TRANSPARENT);
  SetTextColor(hdc, RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF));
  ::DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rc, style | DT_NOPREFIX);
  SelectObject(hdc, old);
}

SIZE CRenderEngine::MeasureText(HDC hdc, CPaintManagerUI* manager, const std::wstring& text,
                                int font) {
  SIZE size{0, 0};
  HGDIOBJ old = SelectObject(hdc, FontOf(manager, font));
  GetTextExtentPoint32W(hdc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(hdc, old);
  return size;
}

}  // namespace DuiLib
