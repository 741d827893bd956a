#pragma once

// The texture interface shared by both graphics systems. Include it through
// pellix_interface.h or vendra_interface.h, which choose the library's version: the two
// versions differ only in GetData and SetData, which take one more argument in Vendra.
//
// A texture is created by a graphics system and deleted by its user through the virtual
// destructor, before the system that made it. One thread at a time; the user serialises calls.

#include <windows.h>

#include "gs_common.h"

#if !defined(GS_INTERFACE_PELLIX) && !defined(GS_INTERFACE_VENDRA)
#error "include pellix_interface.h or vendra_interface.h"
#endif
#ifndef GS_TEXTURE_API
#define GS_TEXTURE_API
#endif

class GS_TEXTURE_API gsTextureBase {
 public:
  // Defined (and, by Pellix, exported) by the library that implements the interface.
  gsTextureBase();
  gsTextureBase(const gsTextureBase&);
  virtual ~gsTextureBase();
  gsTextureBase& operator=(const gsTextureBase&);

  // gs::TextureKind.
  virtual int GetType() = 0;
  virtual int GetWidth() = 0;
  virtual int GetHeight() = 0;

  // Hands out the texture's pixels (32 bits a pixel) and their row pitch in bytes; `read`
  // asks for reading only. Every successful Map is followed by one Unmap.
  virtual bool Map(void** data, int* pitch, bool read) = 0;
  virtual void Unmap() = 0;

#if defined(GS_INTERFACE_VENDRA)
  // Writes the frame in the library's pixel code; a null destination asks the size only.
  // `reserved` is not used.
  virtual bool GetData(void* destination, int* size, int pixel_code, int reserved) = 0;
  // Uploads a frame of `size` bytes in the library's pixel code; `flip` reverses the rows of
  // RGB24 and RGB32 frames. The source is never written.
  virtual bool SetData(const void* source, int size, int pixel_code, bool flip) = 0;
#else
  // Pellix reads back from read-back textures only, in three codes: RGB32 rows come top-down,
  // RGB24 rows bottom-up (as GDI stores 24-bit bitmaps), and I420 from a texture drawn with
  // gs::pellix::kDrawRgbToYuv. A null destination asks the size only (0 for other codes).
  virtual bool GetData(void* destination, int* size, int pixel_code) = 0;
  virtual bool SetData(const void* source, int size, int pixel_code) = 0;
#endif

  // A device context drawing into the texture (render-target kinds only); ReleaseDC gives it
  // back before the texture is drawn or mapped.
  virtual bool GetDC(HDC* dc) = 0;
  virtual void ReleaseDC() = 0;
};
