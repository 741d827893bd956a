// Texture mode: the chain from a caller's 2D texture into a caller's framebuffer, and a scaled
// read of a texture into memory. GL context current on the calling thread.
#pragma once

#include "beauty_engine.h"

namespace QUENMAR_FACEBEAUTY {

class BeautyFrame : public BeautyEngineBase {
 public:
  ~BeautyFrame() override;
  // The whole chain; the face passes only with faces set.
  void drawFaceBeautyFrame(int textureId, const float* matrix, int inWidth, int inHeight,
                           int outWidth, int outHeight, int outFramebuffer, float scale);
  // The chain without the face passes.
  void drawSoftBeautyFrame(int textureId, const float* matrix, int inWidth, int inHeight,
                           int outWidth, int outHeight, int outFramebuffer, float scale);
  // Draws textureId (through matrix) at outWidth × outHeight and reads it into out as RGBA.
  void glReadPixel(int textureId, const float* matrix, int inWidth, int inHeight, int outWidth,
                   int outHeight, unsigned char* out);

 private:
  bool refused(int textureId, int inWidth, int inHeight);
  void draw(bool faces, int textureId, const float* matrix, int inWidth, int inHeight,
            int outWidth, int outHeight, int outFramebuffer, float scale);
  void releaseExtra() override;
  void deleteReadTarget();

  GLuint readTexture_ = 0;
  GLuint readFramebuffer_ = 0;
  int readWidth_ = 0;
  int readHeight_ = 0;
  ReadPixelFilter readPass_;
};

}  // namespace QUENMAR_FACEBEAUTY
