#include "share/area/image_btn.h"

std::unique_ptr<Gdiplus::Bitmap> CropImage(Gdiplus::Image* image, int x, int y, int width,
                                           int height) {
  if (!image || width < 1 || height < 1) return nullptr;
  auto crop = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppARGB);
  if (crop->GetLastStatus() != Gdiplus::Ok) return nullptr;
  Gdiplus::Graphics graphics(crop.get());
  Gdiplus::TextureBrush brush(image, Gdiplus::Rect(x, y, width, height));
  if (brush.GetLastStatus() != Gdiplus::Ok) return nullptr;
  graphics.FillRectangle(&brush, 0, 0, width, height);
  return crop;
}

std::unique_ptr<Gdiplus::Bitmap> SliceImage(Gdiplus::Image* image, int n, int count,
                                            bool horizontal) {
  if (!image || count < 1 || n < 0 || n >= count) return nullptr;
  const int width = static_cast<int>(image->GetWidth());
  const int height = static_cast<int>(image->GetHeight());
  if (horizontal) {
    const int part = width / count;
    return CropImage(image, part * n, 0, part, height);
  }
  const int part = height / count;
  return CropImage(image, 0, part * n, width, part);
}

CImageBtn::CImageBtn(CImageBtnOwner* owner, const wchar_t* name)
    : name_(name ? name : L""), owner_(owner) {}

CImageBtn::~CImageBtn() {
  if (own_font_) DeleteObject(own_font_);
}

void CImageBtn::Changed() {
  if (owner_) owner_->OnImageBtnChanged(this);
}

void CImageBtn::SetRect(int x, int y, int width, int height) {
  rect_ = RECT{x, y, x + width, y + height};
  Changed();
}

bool CImageBtn::LoadImage(const std::wstring& path, int states) {
  for (auto& state : states_) state.reset();
  image_ = std::make_unique<Gdiplus::Image>(path.c_str());
  if (image_->GetLastStatus() != Gdiplus::Ok || image_->GetWidth() == 0) {
    image_.reset();
    Changed();
    return false;
  }
  const int count = states < 1 ? 1 : (states > 4 ? 4 : states);
  for (int i = 0; i < count; ++i) states_[i] = SliceImage(image_.get(), i, count);
  if (states_[0]) {
    rect_.right = rect_.left + static_cast<LONG>(states_[0]->GetWidth());
    rect_.bottom = rect_.top + static_cast<LONG>(states_[0]->GetHeight());
  }
  Changed();
  return HasImage();
}

void CImageBtn::SetText(const std::wstring& text) {
  text_ = text;
  Changed();
}

void CImageBtn::SetFont(HFONT font) {
  font_ = font;
  Changed();
}

void CImageBtn::SetTextColour(std::uint32_t normal, std::uint32_t hot, std::uint32_t pushed) {
  text_colour_ = normal;
  hot_text_colour_ = hot;
  pushed_text_colour_ = pushed;
  Changed();
}

void CImageBtn::SetState(State state) {
  if (state_ == state) return;
  state_ = state;
  Changed();
}

void CImageBtn::Paint(Gdiplus::Graphics& graphics) {
  if (!visible_) return;
  const Gdiplus::Rect rect(rect_.left, rect_.top, rect_.right - rect_.left,
                           rect_.bottom - rect_.top);
  if (rect.Width < 1 || rect.Height < 1) return;
  if (!font_ && !own_font_) {
    own_font_ = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                            DEFAULT_PITCH, L"Tahoma");
  }
  const Gdiplus::GraphicsState saved = graphics.Save();
  graphics.SetClip(rect);
  // Hot, pushed and disabled fall back to the normal picture when they have none.
  Gdiplus::Bitmap* picture = states_[state_] ? states_[state_].get() : states_[kNormal].get();
  if (picture) graphics.DrawImage(picture, rect);
  graphics.Restore(saved);
  if (text_.empty()) return;
  std::uint32_t colour = text_colour_;
  if (state_ == kHot && hot_text_colour_) colour = hot_text_colour_;
  if (state_ == kPushed && pushed_text_colour_) colour = pushed_text_colour_;
  if (!enabled_) colour = text_colour_;
  // GDI text, anti-aliased; the colour's alpha darkens it, so that white text never becomes
  // the pure white a colour-keyed owner window shows as a hole.
  const std::uint32_t alpha = colour >> 24;
  const auto channel = [&](int shift) {
    return static_cast<BYTE>(((colour >> shift) & 0xFF) * alpha / 255);
  };
  HFONT font = font_ ? font_ : own_font_;
  HDC dc = graphics.GetHDC();
  if (dc) {
    const int saved_dc = SaveDC(dc);
    IntersectClipRect(dc, rect_.left, rect_.top, rect_.right, rect_.bottom);
    if (font) SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(channel(16), channel(8), channel(0)));
    RECT text_rect = rect_;
    DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &text_rect,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    RestoreDC(dc, saved_dc);
    graphics.ReleaseHDC(dc);
  }
}
