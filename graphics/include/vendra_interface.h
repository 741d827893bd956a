#pragma once

// Vendra (GDI): its version of the graphics-system interface (37 operations) and its exports.
// Not interchangeable with pellix_interface.h; a translation unit includes one of them.
//
// Vendra exports only five functions (by name and ordinal): Vendra_Create (1), Vendra_Destroy
// (2), Vendra_GetCountTexture2D (3), Vendra_GetCountTextureMem (4), Vendra_LogCallback (5).
// Its classes are not exported; systems and textures are reached through their virtual tables.

#if defined(GS_INTERFACE_PELLIX)
#error "pellix_interface.h and vendra_interface.h cannot be used together"
#endif
#define GS_INTERFACE_VENDRA 1

#if defined(VENDRA_EXPORTS)
#define VENDRA_API __declspec(dllexport)
#else
#define VENDRA_API __declspec(dllimport)
#endif
#define GS_TEXTURE_API

#include "gs_texture_base.h"

// One graphics system draws into one window or one render-target texture at a time. Its
// textures are deleted before it. One thread at a time; the user serialises calls.
class gsSystemBase {
 public:
  gsSystemBase();
  gsSystemBase(const gsSystemBase&);
  virtual ~gsSystemBase();
  gsSystemBase& operator=(const gsSystemBase&);

  // gs::kSystemGdi.
  virtual int GetSystemType() = 0;

  // Texture creation; null on failure. `premultiply` makes the texture draw with per-pixel
  // alpha, its colour bytes multiplied by the alpha at creation.
  virtual gsTextureBase* CreateTextureRead(int width, int height) = 0;
  virtual gsTextureBase* CreateTextureWrite(int width, int height, const void* pixels,
                                            bool premultiply) = 0;
  // Reserved: always null.
  virtual gsTextureBase* CreateTextureReserved1(const void* data, int width, int height) = 0;
  virtual gsTextureBase* CreateTextureRenderTarget(int width, int height) = 0;
  virtual gsTextureBase* CreateTextureGdiCompatible(int width, int height) = 0;
  // `path` is UTF-8.
  virtual gsTextureBase* CreateTextureFromFile(const char* path) = 0;
  // Reserved: always null.
  virtual gsTextureBase* CreateTextureReserved2(const void* data, int width, int height) = 0;
  virtual gsTextureBase* CreateTextureFromMemory(const void* data, int size) = 0;
  // False unless both textures exist and have the same size.
  virtual bool CopyTexture(gsTextureBase* destination, gsTextureBase* source) = 0;

  // gs::vendra::DrawMode; returns the previous mode.
  virtual int SetDrawMode(int mode) = 0;
  virtual void SetGamma(float gamma) = 0;
  // gs::vendra::PixelCode.
  virtual void SetColorType(int pixel_code) = 0;
  // Low 24 bits of a gs::Color.
  virtual void SetBackColor(gs::Color color) = 0;
  // Eight stored settings that no drawing reads.
  virtual void SetOption1(int value) = 0;
  virtual void SetOption2(int value) = 0;
  virtual void SetOption3(int value) = 0;
  virtual void SetOption4(int value) = 0;
  virtual void SetOption5(int value) = 0;
  virtual void SetOption6(int value) = 0;
  virtual void SetOption7(int value) = 0;
  virtual void SetOption8(int value) = 0;
  // Low 24 bits of a gs::Color; transparent in gs::vendra::kDrawColorKey.
  virtual void SetColorKey(gs::Color color) = 0;

  // Null returns to the window; returns the previous render-target texture.
  virtual gsTextureBase* SetRenderTarget(gsTextureBase* texture) = 0;
  // Returns the previous window.
  virtual HWND SetWindow(HWND window) = 0;
  virtual void CheckWindowSize() = 0;

  // Colours are gs::Color (0xAABBGGRR); Vendra draws with the low 24 bits.
  virtual void Clear(gs::Color color) = 0;
  virtual void DrawSolid(int left, int top, int right, int bottom, gs::Color color) = 0;
  virtual void DrawTexture(gsTextureBase* texture, int left, int top, int right, int bottom,
                           gs::Color color, float u_left, float u_right, float v_top,
                           float v_bottom) = 0;
  // Reserved: does nothing.
  virtual void Reserved30(int first, int second) = 0;
  // `reserved` is not used.
  virtual bool Present(int reserved) = 0;

  virtual bool GetBlendEnable() = 0;
  virtual void SetBlendEnable(bool enable) = 0;
  // No effect in Vendra.
  virtual void SetOrtho(int left, int right, int bottom, int top, int near_z, int far_z) = 0;
  virtual void SetFrustum(int left, int right, int bottom, int top, int near_z, int far_z) = 0;
  virtual void SetViewport(int x, int y, int width, int height) = 0;
};

// Receives every log line of the library: level 0 and the text (at most 1023 characters).
typedef void (*VendraLogSink)(int level, const wchar_t* text);

extern "C" {
// A new GDI graphics system.
VENDRA_API gsSystemBase* Vendra_Create();
// Deletes the system (null ignored). Returns nonzero when this released the library's last
// hold on msimg32 and it was unloaded, else 0.
VENDRA_API int Vendra_Destroy(gsSystemBase* system);
// Always 0.
VENDRA_API int Vendra_GetCountTexture2D();
// Always 0.
VENDRA_API int Vendra_GetCountTextureMem();
// Installs `sink` for all later log lines (null restores the debugger output); returns it.
VENDRA_API VendraLogSink Vendra_LogCallback(VendraLogSink sink);
}
