// Face reshaping: thin face, big eyes, mouth, chin, V face, mandibles, cheekbones, nose and
// eyes. Drawn once per face over a copy of the image (no clearing); each draw covers the face's
// box and moves texture coordinates inside it. The full variant drives every part, the light
// variant (simple mode) only thin face and nose wings; big eyes and mouth size (`fEyeLevel`)
// apply to both.
//
// Coordinates: a frame position (x, y) in pixels becomes (x ÷ W, y ÷ H) × xy_ratio, with W, H
// the first face's frame size and xy_ratio = 0.72 on the shorter side and 0.72 × long ÷ short on
// the longer, so that distances are alike on both axes.
//
// Key points from the 95 landmarks (indices of zq_landmark_template.h):
//   0, 1 face left/right   contour 3, 15          11, 12 mouth corners  75, 81
//   2, 3 eyes              mid(42, 48), mid(54, 60) 13 mouth            mid(78, 84)
//   4 chin                 contour 9              14, 15 V face         contour 6, 12
//   5, 6 chin left/right   contour 7, 11          16, 17 mandibles      contour 5, 13
//   7 face centre          mid(64, 73)            18, 19 cheekbones     contour 1, 17
//   8, 9 nose wings        67, 70                 10 nose tip           66
// Face size s = distance between the eyes (key points 2 and 3). Radii as multiples of s:
//   radius: 0, 1: 1.1; 2, 3: 0.42; 4: 1.2; 5, 6: 0.75; 8, 9: 0.4; 10: 0.53; 11, 12: 0.3;
//   13: 0.75 when the orientation test holds, else 1.2; 14, 15: 1.27; 16, 17: 0.6; 18, 19: 0.6.
//   radius2: 1: 1.1; 4: 1.1; 14, 15: 0.9; 16, 17: 1.6; 18, 19: 1.1.
// Displacements: d = f × (target − key point), limited to the part's radius (unless shorter
// than 0.0001), times the level ÷ its normaliser. The shader subtracts them from the sampling
// coordinate, so a displacement toward the target moves the picture's edge toward it.
//   plus 0, 1, 14, 15 (thin face, level 0)      f 0.05 to the face centre, × m² × L0 ÷ 0.2
//   plus 4 (chin)                               f 0.05 to the face centre, × (L0 ÷ 0.15 + L9 ÷ 0.15)
//   plus2 4 (chin, second pull)                 f 0.05 to the face centre, × L11 ÷ 0.3
//   plus 5, 6 (chin sides)                      f 0.05 to the chin, × (L10 ÷ 0.15 + L18 ÷ 0.3)
//   plus2 14, 15 (V face)                       f 0.05 to the face centre, × L10 ÷ 0.15
//   plus2 16, 17 (second mandible pull, drawn at the V-face points) f 0.05 from the V-face point
//                                               to the face centre, × L9 ÷ 0.15
//   plus2 11, 12 (second pulls, drawn at the V-face points) as plus2 16, 17, × L21 ÷ 0.3
//   plus 16, 17 (mandibles)                     f 0.05 to the face centre, × L20 ÷ 0.3
//   plus 18, 19 (cheekbones)                    f 0.05 to the face centre, × L19 ÷ 0.3
//   plus2 18, 19 (cheekbones, second pull)      f 0.05 to the face centre, × L21 ÷ 0.3
//   plus 8, 9 (nose wings)                      f 0.1 to the nose tip, × L3 ÷ 0.3
//   plus 10 (nose tip)                          f 0.05 to the mouth, × L17 ÷ 0.15
//   plus 11, 12 (mouth corners)                 f 0.05 to the mouth, × L13 ÷ 0.3
//   plus 13 (mouth centre)                      f 0.05 to the nose tip, × L14 ÷ 0.15
//   plus 2, 3 (eyes, first pull)                f 0.05 to the face centre, × L15 ÷ 0.15
//   plus2 2, 3 (eyes, second pull)              f 0.05 to the other eye, × L16 ÷ 0.15
// Border rule: m is the smallest of t(x, W) and t(y, H) over key points 0, 1, 4, 14 and 15 in
// frame pixels, t(x, side) = 6x ÷ side below side ÷ 6, 6 − 6x ÷ side above side − side ÷ 6,
// else 1; at least 0.5.
// The light variant computes only plus 0, 1, 14, 15, 4 (its level-0 part) and 8, 9.
//
// A face counts as no face (left unwarped) when its points are missing or hold fewer than
// 95 points; a first face with a frame size below 1 × 1 makes the update count no faces.
//
// Threads: setFaceInfo may run on a worker thread without a GL context; it and setup take the
// filter's mutex around the arrays.
#pragma once

#include <mutex>

#include "base_filter.h"

namespace QUENMAR_FACEBEAUTY {

class ReshapingFilterOptBase : public BaseFilter {
 public:
  static constexpr int kMaxFaces = 5;
  static constexpr int kKeyPoints = 20;
  static constexpr int kEntries = kMaxFaces * kKeyPoints;

  struct Box {
    float x0, y0, x1, y1;
  };

  ReshapingFilterOptBase(const char* className, BeautyLevels* owner);
  bool init() override { return initFrom(ShaderId::kReshaping); }
  void setup(const int* inputs, int count) override;
  void setFaceInfo(zq_face_info* faces, int count) override;
  bool enabled() override;
  virtual void reset();
  virtual void growBox(Box& box, int face, int keyPoint);

  int faceCount();
  int faceIndex();
  float plus(int face, int key, int axis, bool second = false);

 protected:
  // Fills the radii and displacements of one face from its key points (entries f × 20 + k).
  virtual void computeFace(int face, const float* keys, float size, float border) = 0;
  void setPlus(int entry, const float* from, const float* to, float factor, float radius,
               float scale, bool second);
  void addPlus(int entry, const float* from, const float* to, float factor, float radius,
               float scale, bool second);

  std::mutex lock_;  // guards everything below
  int faceCount_ = 0;
  int faceIndex_ = 0;
  float xyRatio_[2] = {1, 1};
  bool orientation_ = false;
  float coord_[kEntries * 2];
  float radius_[kEntries];
  float radius2_[kEntries];
  float plus_[kEntries * 2];
  float plus2_[kEntries * 2];
  float eyeLevel_[2] = {0, 0};
  GLuint falloff_ = 0;
};

class ReshapingFilterOpt : public ReshapingFilterOptBase {
 public:
  explicit ReshapingFilterOpt(BeautyLevels* owner)
      : ReshapingFilterOptBase("ReshapingFilterOpt", owner) {}

 protected:
  void computeFace(int face, const float* keys, float size, float border) override;
};

class ReshapingFilterOptLite : public ReshapingFilterOptBase {
 public:
  explicit ReshapingFilterOptLite(BeautyLevels* owner)
      : ReshapingFilterOptBase("ReshapingFilterOptLite", owner) {}

 protected:
  void computeFace(int face, const float* keys, float size, float border) override;
};

// The 128 × 128 one-channel falloff: 1 − smoothstep(0, 1, d), d the distance from the centre in
// units of half the side.
const std::vector<unsigned char>& falloffImage();

}  // namespace QUENMAR_FACEBEAUTY
