// The state the two beauty engines share (levels, skin mask, the framebuffer ring and the
// passes) and the steps of the chain they both draw. BeautyFrame (texture mode) and BeautyShot
// (image mode) add the frame's way in and out.
//
// The chain draws one pass into the next ring framebuffer (four at the working size) and takes
// its texture as the current image; the smoothing statistics use two pairs at a third of the
// working size. A pass drawn over a copy samples the image from before the copy, never the
// framebuffer it draws into.
//
// Threads: every operation runs on the thread with the GL context current, serialised by the
// caller (ZqFaceBeauty's mutex, the native engine's GL mutex), except that the skin mask may be
// replaced from another thread: maskLock_ guards the mask buffer, and the next draw uploads it.
// setFaceInfo only stores (the passes upload in their draws).
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "base_filter.h"
#include "beauty_levels.h"
#include "face_mask_filters.h"
#include "normal_filter.h"
#include "reshaping_filter.h"
#include "sharpen_filter.h"
#include "smoothing_filters.h"
#include "white_filters.h"

namespace QUENMAR_FACEBEAUTY {

class BeautyEngineBase {
 public:
  static constexpr int kMaxFaces = 5;
  static constexpr int kMaskSide = 112;

  BeautyEngineBase();
  // Deletes the ring, the small pairs and the mask texture: the GL context must be current
  // when anything was drawn.
  virtual ~BeautyEngineBase();
  BeautyEngineBase(const BeautyEngineBase&) = delete;
  BeautyEngineBase& operator=(const BeautyEngineBase&) = delete;

  virtual bool init(bool simple);
  void uninit();
  void setBeautyLevel(int type, float level) { levels_.setBeautyLevel(type, level); }
  void setAILightLevel(float level);
  // Faces for the face passes of the next draws; at most five are used.
  void setFaceInfo(zq_face_info* faces, int count);
  // Copies width × height bytes of skin mask (null: no skin anywhere); a size below 1 is refused.
  void setMask(const unsigned char* mask, int width, int height);
  // Replaces the facial-feature mask pass; mode is the process-wide blend mode.
  void setFacialFeature(unsigned char* rgba, int width, int height, int mode);

  const BeautyLevels& levels() const { return levels_; }
  bool ready() const { return ready_; }
  int faceCount() const { return faceCount_; }
  int workWidth() const { return workWidth_; }
  int workHeight() const { return workHeight_; }
  int smallWidth() const { return smallWidth_; }
  int smallHeight() const { return smallHeight_; }

  // Sets the working size for an input of inWidth × inHeight drawn at outWidth × outHeight
  // (never more than the output area, times scale) and makes the ring for it. False, after
  // printing "frame size is invalid", when the working or one-third size is below 2 × 2.
  bool setWorkingSize(int inWidth, int inHeight, int outWidth, int outHeight, float scale);

 protected:
  struct Target {
    GLuint texture = 0;
    GLuint framebuffer = 0;
  };
  // Refusal text on standard output (with the library's log switch on).
  static void refuse(const char* text);
  void releasePasses();
  // Hooks of the engines: image mode builds the reshaping program at once; texture mode drops
  // its read target with the passes.
  virtual bool reshapingMade() { return true; }
  virtual void releaseExtra() {}
  void deleteTargets();
  // Uploads the mask buffer into the luminance mask texture, made with linear or nearest
  // filtering on first use.
  void uploadMask(bool linear);

  // The chain, from the current image. Each returns after drawing into the next ring slot.
  void startChain(GLuint image, int slot);
  bool drawPass(BaseFilter& pass, std::vector<int> inputs);
  // The copy pass draws the current image into the next slot, then pass draws over it with the
  // image from before the copy as its first input.
  void drawOverCopy(BaseFilter& pass, std::vector<int> moreInputs);
  void drawAiLightAndWhitening();
  void drawSmoothing();
  // The face flag's diagonal blur at the small size, into small pair 1.
  void drawFaceBlur();
  void drawFaceDetail();
  void drawFeatureAndReshaping();
  void drawSharpening();
  // Draws pass at the small size into small pair index.
  void drawSmall(BaseFilter& pass, std::vector<int> inputs, int index);

  BeautyLevels levels_;
  float identity_[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  int faceCount_ = 0;
  bool buffersMade_ = false;
  bool ready_ = false;
  bool simple_ = false;
  int workWidth_ = 0;
  int workHeight_ = 0;
  int smallWidth_ = 0;
  int smallHeight_ = 0;

  std::mutex maskLock_;  // guards mask_, maskWidth_, maskHeight_, maskDirty_
  std::vector<unsigned char> mask_;
  int maskWidth_ = kMaskSide;
  int maskHeight_ = kMaskSide;
  bool maskDirty_ = true;
  GLuint maskTexture_ = 0;

  Target ring_[4];
  Target small_[2];
  GLuint current_ = 0;  // texture of the current image
  int slot_ = 0;        // ring slot of the current image (the next pass draws into slot_ + 1)

  std::unique_ptr<FaceMaskDetailFilter> faceDetail_;
  std::unique_ptr<ReshapingFilterOptBase> reshaping_;
  std::unique_ptr<HighPassSoftFilter> highPass_;
  std::unique_ptr<WhiteFilter> aiLight_;
  std::unique_ptr<BeautyWhiteFilter> whitening_;
  std::unique_ptr<SharpenFilter> sharpen_[4];
  std::unique_ptr<BoxBlurFilter> blur_[4];  // (0, 0), (1, 0), (0, 1), (1, 1)
  std::unique_ptr<FaceMaskFilter> feature_;
  std::unique_ptr<NormalFilter> copy_;
};

}  // namespace QUENMAR_FACEBEAUTY
