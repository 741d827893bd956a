#pragma once

// Pellix (Direct3D 10.1): its version of the graphics-system interface (26 operations) and its
// exports. Not interchangeable with vendra_interface.h; a translation unit includes one of them.
//
// Pellix exports gsSystemBase and gsTextureBase themselves (constructors, copy constructors,
// destructors, copy assignments, virtual tables) and the functions Pellix_Create and
// Pellix_Destroy. Pellix is built with PELLIX_EXPORTS defined.

#if defined(GS_INTERFACE_VENDRA)
#error "pellix_interface.h and vendra_interface.h cannot be used together"
#endif
#define GS_INTERFACE_PELLIX 1

#if defined(PELLIX_EXPORTS)
#define PELLIX_API __declspec(dllexport)
#else
#define PELLIX_API __declspec(dllimport)
#endif
#define GS_TEXTURE_API PELLIX_API

#include "gs_texture_base.h"

// One graphics system draws into one window or one render-target texture at a time. Its
// textures are deleted before it. One thread at a time; the user serialises calls.
class PELLIX_API gsSystemBase {
 public:
  gsSystemBase();
  gsSystemBase(const gsSystemBase&);
  virtual ~gsSystemBase();
  gsSystemBase& operator=(const gsSystemBase&);

  // gs::kSystemDirect3D.
  virtual int GetSystemType() = 0;

  // Texture creation; null on failure. The flag of CreateTextureWrite means RGBA byte order.
  virtual gsTextureBase* CreateTextureRead(int width, int height) = 0;
  virtual gsTextureBase* CreateTextureWrite(int width, int height, const void* pixels,
                                            bool rgba) = 0;
  virtual gsTextureBase* CreateTextureRenderTarget(int width, int height) = 0;
  virtual gsTextureBase* CreateTextureGdiCompatible(int width, int height) = 0;
  // `path` is UTF-8.
  virtual gsTextureBase* CreateTextureFromFile(const char* path) = 0;
  virtual gsTextureBase* CreateTextureFromMemory(const void* data, int size) = 0;
  virtual bool CopyTexture(gsTextureBase* destination, gsTextureBase* source) = 0;

  // gs::pellix::DrawMode; returns the previous mode.
  virtual int SetDrawMode(int mode) = 0;
  virtual void SetGamma(float gamma) = 0;
  // gs::pellix::PixelCode.
  virtual void SetColorType(int pixel_code) = 0;

  // Null returns to the window; returns the previous render-target texture.
  virtual gsTextureBase* SetRenderTarget(gsTextureBase* texture) = 0;
  // Returns the previous window.
  virtual HWND SetWindow(HWND window) = 0;
  virtual void CheckWindowSize() = 0;

  // Colours are gs::Color (0xAABBGGRR).
  virtual void Clear(gs::Color color) = 0;
  virtual void DrawSolid(int left, int top, int right, int bottom, gs::Color color) = 0;
  virtual void DrawTexture(gsTextureBase* texture, int left, int top, int right, int bottom,
                           gs::Color color, float u_left, float u_right, float v_top,
                           float v_bottom) = 0;
  virtual bool Present() = 0;

  virtual bool GetBlendEnable() = 0;
  virtual void SetBlendEnable(bool enable) = 0;
  virtual void SetOrtho(int left, int right, int bottom, int top, int near_z, int far_z) = 0;
  virtual void SetFrustum(int left, int right, int bottom, int top, int near_z, int far_z) = 0;
  virtual void SetViewport(int x, int y, int width, int height) = 0;
  // Degrees.
  virtual float GetRotation() = 0;
  virtual void SetRotation(float degrees) = 0;
};

extern "C" {
// A new Direct3D 10.1 graphics system, or null when it could not be built.
PELLIX_API gsSystemBase* Pellix_Create();
// Deletes the system; null is ignored.
PELLIX_API void Pellix_Destroy(gsSystemBase* system);
}
