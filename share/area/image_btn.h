#pragma once

// CImageBtn: a button drawn by its owner (no window of its own): a picture per state, cut as
// equal slices side by side from one image, and a centred anti-aliased text. CImageBtnOwner hears about
// every change. And the image cutting it uses.
//
// Threads: UI thread only. GDI+ must be started.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "share/window/gdiplus_include.h"

class CImageBtn;

class CImageBtnOwner {
 public:
  // The button was used.
  virtual void OnImageBtnNotify(CImageBtn* button) = 0;
  // The button's look changed (picture, text, font, colour or place).
  virtual void OnImageBtnChanged(CImageBtn* button) = 0;

 protected:
  ~CImageBtnOwner() = default;
};

// A new 32-bit ARGB bitmap of the part (x, y, width, height) of `image`; null for a missing
// image or an empty part.
std::unique_ptr<Gdiplus::Bitmap> CropImage(Gdiplus::Image* image, int x, int y, int width,
                                           int height);
// Part `n` of `count` equal parts of `image`, side by side (`horizontal`) or stacked; null for
// a missing image, a count below 1 or n outside 0..count - 1.
std::unique_ptr<Gdiplus::Bitmap> SliceImage(Gdiplus::Image* image, int n, int count,
                                            bool horizontal = true);

class CImageBtn {
 public:
  enum State { kNormal = 0, kHot = 1, kPushed = 2, kDisabled = 3 };

  explicit CImageBtn(CImageBtnOwner* owner = nullptr, const wchar_t* name = L"");
  ~CImageBtn();
  CImageBtn(const CImageBtn&) = delete;
  CImageBtn& operator=(const CImageBtn&) = delete;

  void SetRect(int x, int y, int width, int height);
  const RECT& GetRect() const { return rect_; }
  // Reads the picture file and cuts it into `states` slices (at most four: normal, hot,
  // pushed, disabled); the rectangle takes the first slice's size. False when it cannot be
  // read (the button keeps no picture then).
  bool LoadImage(const std::wstring& path, int states);
  void SetText(const std::wstring& text);
  const std::wstring& GetText() const { return text_; }
  // Not owned; null: a default font (12 pixels) made at the first paint.
  void SetFont(HFONT font);
  // 0xAARRGGBB; 0 for hot or pushed means the normal colour.
  void SetTextColour(std::uint32_t normal, std::uint32_t hot = 0, std::uint32_t pushed = 0);
  void SetState(State state);
  State GetState() const { return state_; }
  const std::wstring& GetName() const { return name_; }
  bool HasImage() const { return static_cast<bool>(states_[0]); }
  // Draws the button clipped to its rectangle.
  void Paint(Gdiplus::Graphics& graphics);

 private:
  void Changed();

  std::unique_ptr<Gdiplus::Image> image_;
  std::unique_ptr<Gdiplus::Bitmap> states_[4];
  std::uint32_t text_colour_ = 0xFF000000;
  std::uint32_t hot_text_colour_ = 0;
  std::uint32_t pushed_text_colour_ = 0;
  HFONT font_ = nullptr;
  HFONT own_font_ = nullptr;  // Owned.
  std::wstring name_;
  RECT rect_{0, 0, 96, 24};
  State state_ = kNormal;
  CImageBtnOwner* owner_;
  std::wstring text_;
  bool visible_ = true;
  bool enabled_ = true;
};
