#pragma once

// Conversions between video frames and 32-bit texels (gs::pellix pixel codes).
//
// Uploads pack every pixel into one texel that the effect's techniques read: I420 and YV12 as
// (Y, U, V, 0) and (Y, V, U, 0) with each chroma sample repeated over its 2x2 block, RGB24 as
// its three bytes and 0, RGB32 unchanged, and the packed 4:2:2 layouts as two texels per 4-byte
// group. Read-back turns texels into RGB32 (top-down), RGB24 (bottom-up) or I420 (from texels
// that hold U, Y, V in bytes 0, 1, 2, as the RGB-to-YUV technique writes them).

#include <cstdint>

namespace pellix {

// Bytes of a frame handed to SetData for the code, or -1 for an unknown code.
int UploadFrameSize(int pixel_code, int width, int height);

// Bytes GetData writes for the code: I420 and YV12 w*h*3/2, RGB24 w*h*3, RGB32 w*h*4, else 0.
int ReadbackFrameSize(int pixel_code, int width, int height);

// Packs a frame of UploadFrameSize bytes into texels at `pitch` bytes a row. False for an unknown
// code (nothing written).
bool PackFrame(const std::uint8_t* frame, int pixel_code, int width, int height,
               std::uint8_t* texels, int pitch);

// Converts texels at `pitch` bytes a row into a frame of ReadbackFrameSize bytes. Handles
// RGB32, RGB24 and I420; false for any other code (nothing written).
bool UnpackTexels(const std::uint8_t* texels, int pitch, int width, int height, int pixel_code,
                  std::uint8_t* frame);

// Copies bytes with 16-byte block moves when the processor has SSE2 and both addresses are
// 16-byte aligned (decided once per process), else with a plain copy.
void CopyBytes(void* destination, const void* source, std::size_t size);

}  // namespace pellix
