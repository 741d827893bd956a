#pragma once

// Vendra's texture: a screen-compatible bitmap whose pixels are exchanged as 32-bit bottom-up
// rows through a shadow buffer, plus a memory device context for the render-target kinds.
// One thread at a time (the user serialises calls).

#include <cstdint>
#include <memory>

#include "gdi_handles.h"
#include "vendra_interface.h"

class gsSystemImpl;

class gsTextureImpl final : public gsTextureBase {
 public:
  // Takes ownership of `bitmap` and `memory_dc` (null for the kinds without one).
  gsTextureImpl(int kind, HBITMAP bitmap, HDC memory_dc, bool premultiplied, int width, int height);
  ~gsTextureImpl() override;

  int GetType() override;
  int GetWidth() override;
  int GetHeight() override;
  bool Map(void** data, int* pitch, bool read) override;
  void Unmap() override;
  bool GetData(void* destination, int* size, int pixel_code, int reserved) override;
  bool SetData(const void* source, int size, int pixel_code, bool flip) override;
  bool GetDC(HDC* dc) override;
  void ReleaseDC() override;

  HBITMAP bitmap() const { return bitmap_.Get(); }
  // Null for read-back and writable textures.
  HDC memory_dc() const { return memory_dc_.Get(); }
  bool premultiplied() const { return premultiplied_; }

 private:
  friend class gsSystemImpl;

  // Maps for writing; skips reading the bitmap when the caller overwrites every pixel.
  bool MapForWrite(bool overwrites_all, std::uint8_t** pixels);
  // Unmap that reports whether the pixels reached the bitmap.
  bool UnmapChecked();

  int kind_;
  vendra::ScopedBitmap bitmap_;
  // Declared after the bitmap so that it is deleted first (a selected bitmap cannot be).
  vendra::ScopedMemoryDc memory_dc_;
  bool premultiplied_;
  std::unique_ptr<std::uint8_t[]> shadow_;
  bool mapped_ = false;
  bool mapped_for_read_ = false;
  HGDIOBJ displaced_ = nullptr;
  int width_;
  int height_;
  // The system that made the texture and its list of live textures, kept by gsSystemImpl so
  // that either may go first: a deleted texture stops being the render target, and a deleted
  // system is not told about textures that outlive it.
  gsSystemImpl* owner_ = nullptr;
  gsTextureImpl* previous_owned_ = nullptr;
  gsTextureImpl* next_owned_ = nullptr;
};
