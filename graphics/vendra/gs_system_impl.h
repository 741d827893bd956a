#pragma once

// Vendra's graphics system over GDI. Textures are screen-compatible bitmaps (gsTextureImpl);
// the window is served by an off-screen back bitmap that Present copies to it. Projection,
// rotation and viewport operations exist and do nothing.
//
// One thread at a time: the user serialises calls on a system and its textures.

#include "alpha_blend_library.h"
#include "gdi_handles.h"
#include "vendra_interface.h"

class gsTextureImpl;

class gsSystemImpl final : public gsSystemBase {
 public:
  // `alpha_blend` is msimg32's AlphaBlend (held by the caller while the system lives) or null.
  explicit gsSystemImpl(vendra::AlphaBlendFunction alpha_blend);
  ~gsSystemImpl() override;

  int GetSystemType() override;
  gsTextureBase* CreateTextureRead(int width, int height) override;
  gsTextureBase* CreateTextureWrite(int width, int height, const void* pixels,
                                    bool premultiply) override;
  gsTextureBase* CreateTextureReserved1(const void* data, int width, int height) override;
  gsTextureBase* CreateTextureRenderTarget(int width, int height) override;
  gsTextureBase* CreateTextureGdiCompatible(int width, int height) override;
  gsTextureBase* CreateTextureFromFile(const char* path) override;
  gsTextureBase* CreateTextureReserved2(const void* data, int width, int height) override;
  gsTextureBase* CreateTextureFromMemory(const void* data, int size) override;
  bool CopyTexture(gsTextureBase* destination, gsTextureBase* source) override;

  int SetDrawMode(int mode) override;
  void SetGamma(float gamma) override;
  void SetColorType(int pixel_code) override;
  void SetBackColor(gs::Color color) override;
  void SetOption1(int value) override;
  void SetOption2(int value) override;
  void SetOption3(int value) override;
  void SetOption4(int value) override;
  void SetOption5(int value) override;
  void SetOption6(int value) override;
  void SetOption7(int value) override;
  void SetOption8(int value) override;
  void SetColorKey(gs::Color color) override;

  gsTextureBase* SetRenderTarget(gsTextureBase* texture) override;
  HWND SetWindow(HWND window) override;
  void CheckWindowSize() override;

  void Clear(gs::Color color) override;
  void DrawSolid(int left, int top, int right, int bottom, gs::Color color) override;
  void DrawTexture(gsTextureBase* texture, int left, int top, int right, int bottom,
                   gs::Color color, float u_left, float u_right, float v_top,
                   float v_bottom) override;
  void Reserved30(int first, int second) override;
  bool Present(int reserved) override;

  bool GetBlendEnable() override;
  void SetBlendEnable(bool enable) override;
  void SetOrtho(int left, int right, int bottom, int top, int near_z, int far_z) override;
  void SetFrustum(int left, int right, int bottom, int top, int near_z, int far_z) override;
  void SetViewport(int x, int y, int width, int height) override;

 private:
  friend class gsTextureImpl;

  // Called by a texture of this system when it is deleted.
  void ForgetTexture(gsTextureImpl* texture);
  gsTextureImpl* CreateTexture(int kind, int width, int height, const void* pixels,
                               bool premultiply);
  gsTextureImpl* CreatePictureTexture(const void* data, int size);
  // A memory device context and back bitmap for `window`; kept only when both were made.
  bool BuildRenderDC(HWND window, int width, int height);
  // A back bitmap of `width` x `height` compatible with `window_dc`, selected into the memory
  // device context; none for an empty size.
  bool BuildRenderView(HDC window_dc, int width, int height);
  void DropRenderView();
  void Fill(int left, int top, int right, int bottom, gs::Color color);
  void DrawColorKeyed(HDC target, HDC source, int dx, int dy, int dw, int dh, int sx, int sy,
                      int sw, int sh);
  HDC SourceDc();

  // Stored settings; no drawing reads them except the colour key and the draw mode.
  gs::Color back_color_ = 0xFF00FF;
  gs::Color color_key_ = 0xFF00FF;
  int options_[8] = {};
  float gamma_ = 1.0f;
  HWND window_ = nullptr;
  int window_width_ = 0;
  int window_height_ = 0;
  gsTextureImpl* render_target_ = nullptr;
  // Live textures made by this system (linked through the textures).
  gsTextureImpl* textures_ = nullptr;
  int draw_mode_ = 0;
  int color_type_ = 0;
  bool blend_enable_ = false;
  vendra::AlphaBlendFunction alpha_blend_;
  // The back bitmap lives selected into the memory device context; `back_displaced_` is what
  // it displaced. The bitmap is declared first so that the context is deleted first.
  vendra::ScopedBitmap back_bitmap_;
  vendra::ScopedMemoryDc memory_dc_;
  HGDIOBJ back_displaced_ = nullptr;
  // Made on first use: draws from textures that have no device context of their own.
  vendra::ScopedMemoryDc source_dc_;
};
