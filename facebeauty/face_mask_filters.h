// The passes drawn through the 164-triangle face mesh over a copy of the image (no clearing, so
// only the mesh area changes): the face-detail pass (inputs image, its diagonal blur; brightens
// under the eyes and the nose and cheek folds, sharpens the eyes) and the facial-feature mask
// pass (input image; blends a caller's feature image over the face).
//
// Only the first face is drawn. A face is usable when its point buffer is present and holds
// the 95 points (pointCapacity ≥ 190) and its frame size is at least 1 × 1; otherwise it counts
// as no face. setFaceInfo may run on a worker thread with no GL context: it only stores, under
// the pass's mutex, and setup uploads.
#pragma once

#include <mutex>
#include <vector>

#include "base_filter.h"
#include "face_mesh_tables.h"

namespace QUENMAR_FACEBEAUTY {

// The blend mode of the facial-feature mask pass, process-wide: 1 soft light, 2 multiply.
void setFacialFeatureBlendMode(int mode);
int facialFeatureBlendMode();

class FaceMeshFilter : public BaseFilter {
 public:
  void setFaceInfo(zq_face_info* faces, int count) override;
  bool enabled() override;

 protected:
  FaceMeshFilter(const char* className, BeautyLevels* owner, const float* maskCoords);
  // Uploads the mesh of the stored face; uniforms width and height.
  void setupMesh();

  std::mutex faceLock_;  // guards hasFace_, vertices_ and the face size
  bool hasFace_ = false;
  std::vector<float> vertices_;  // 95 positions, then the 95 mask positions
  float faceWidth_ = 640.0f;
  float faceHeight_ = 640.0f;
};

class FaceMaskDetailFilter : public FaceMeshFilter {
 public:
  explicit FaceMaskDetailFilter(BeautyLevels* owner);
  bool init() override { return initFrom(ShaderId::kFaceMaskDetail); }
  void setup(const int* inputs, int count) override;

 private:
  GLuint maskTexture_ = 0;
};

class FaceMaskFilter : public FaceMeshFilter {
 public:
  explicit FaceMaskFilter(BeautyLevels* owner);
  bool init() override;
  void setup(const int* inputs, int count) override;
  // Copies width × height RGBA pixels; a null image or a size below 1 × 1 is refused.
  void setImage(unsigned char* rgba, int width, int height, int format = 0) override;
  bool enabled() override;

 private:
  std::vector<unsigned char> image_;
  int imageWidth_ = 0;
  int imageHeight_ = 0;
  bool imageDirty_ = false;
  GLuint imageTexture_ = 0;
};

}  // namespace QUENMAR_FACEBEAUTY
