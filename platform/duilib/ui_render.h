#pragma once

// Drawing helpers over GDI (colours, borders, text) and GDI+ (PNG decoding); images are kept
// as 32-bit premultiplied DIB sections and drawn with AlphaBlend in nine slices.
// UI thread only.

#include <windows.h>

#include <string>

#include "platform/duilib/ui_base.h"

namespace DuiLib {

struct TImageInfo {
  HBITMAP hBitmap = nullptr;  // owned by the image cache
  int cx = 0;
  int cy = 0;
};

class CRenderEngine {
 public:
  // Returns the decoded image `name`, cached; null (logged once per name) when it is missing or
  // not an image. A relative name is read from the current resource source; an absolute path
  // ("C:\...", "\\server\...") from the disk (the user's pictures, thumbnails). PNG, JPEG and
  // the other GDI+ formats are read, and binary PPM ("P6", 8-bit). Pictures larger than 16384
  // on a side are refused before any bitmap is made.
  static const TImageInfo* GetImage(const std::wstring& name);
  static bool IsAbsoluteImagePath(const std::wstring& name);
  static void FreeImageCache();
  // A 32-bit top-down DIB section of cx by cy pixels; *bits receives its first row. Null on
  // failure.
  static HBITMAP CreateDib32(int cx, int cy, void** bits);

  static void DrawColor(HDC hdc, const RECT& rc, DWORD argb);
  static void DrawBorder(HDC hdc, const RECT& rc, int size, DWORD argb);
  // Draws an image description (see ParseImageDesc) into rcItem. Returns false when the
  // description is malformed or the image is missing; nothing is drawn then.
  static bool DrawImageString(HDC hdc, const RECT& rcItem, const RECT& rcPaint,
                              const wchar_t* description);
  static bool DrawImage(HDC hdc, const RECT& rcItem, const RECT& rcPaint, const TImageDesc& desc);
  static void DrawText(HDC hdc, CPaintManagerUI* manager, RECT rc, const std::wstring& text,
                       DWORD argb, int font, UINT style);
  static SIZE MeasureText(HDC hdc, CPaintManagerUI* manager, const std::wstring& text, int font);
};

}  // namespace DuiLib
