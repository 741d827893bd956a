#include "reshaping_filter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "face_mesh_tables.h"

namespace QUENMAR_FACEBEAUTY {
namespace {

// Landmark sources of the 20 key points: a point, or the midpoint of two.
const int kKeySources[20][2] = {
    {3, 3},   {15, 15}, {42, 48}, {54, 60}, {9, 9},   {7, 7},   {11, 11},
    {64, 73}, {67, 67}, {70, 70}, {66, 66}, {75, 75}, {81, 81}, {78, 84},
    {6, 6},   {12, 12}, {5, 5},   {13, 13}, {1, 1},   {17, 17}};

float edgeFalloff(float x, float side) {
  const float sixth = side / 6.0f;
  if (x < sixth) return 6.0f * x / side;
  if (x > side - sixth) return 6.0f - 6.0f * x / side;
  return 1.0f;
}

}  // namespace

const std::vector<unsigned char>& falloffImage() {
  static std::once_flag once;
  static std::vector<unsigned char> image;
  std::call_once(once, [] {
    image.resize(128 * 128);
    for (int y = 0; y < 128; ++y) {
      for (int x = 0; x < 128; ++x) {
        const float dx = (x + 0.5f - 64.0f) / 64.0f, dy = (y + 0.5f - 64.0f) / 64.0f;
        const float d = std::min(1.0f, std::sqrt(dx * dx + dy * dy));
        const float v = 1.0f - d * d * (3.0f - 2.0f * d);
        image[y * 128 + x] = static_cast<unsigned char>(std::lround(v * 255.0f));
      }
    }
  });
  return image;
}

ReshapingFilterOptBase::ReshapingFilterOptBase(const char* className, BeautyLevels* owner)
    : BaseFilter(className, owner) {
  clearBeforeDraw = false;
  std::lock_guard<std::mutex> guard(lock_);
  std::memset(coord_, 0, sizeof(coord_));
  std::memset(radius_, 0, sizeof(radius_));
  std::memset(radius2_, 0, sizeof(radius2_));
  std::memset(plus_, 0, sizeof(plus_));
  std::memset(plus2_, 0, sizeof(plus2_));
}

void ReshapingFilterOptBase::reset() {
  faceCount_ = 0;
  faceIndex_ = 0;
  xyRatio_[0] = xyRatio_[1] = 1.0f;
}

void ReshapingFilterOptBase::growBox(Box& box, int face, int keyPoint) {
  const int e = face * kKeyPoints + keyPoint;
  const float r = radius_[e];
  box.x0 = std::min(box.x0, coord_[e * 2] - r);
  box.y0 = std::min(box.y0, coord_[e * 2 + 1] - r);
  box.x1 = std::max(box.x1, coord_[e * 2] + r);
  box.y1 = std::max(box.y1, coord_[e * 2 + 1] + r);
}

int ReshapingFilterOptBase::faceCount() {
  std::lock_guard<std::mutex> guard(lock_);
  return faceCount_;
}

int ReshapingFilterOptBase::faceIndex() {
  std::lock_guard<std::mutex> guard(lock_);
  return faceIndex_;
}

float ReshapingFilterOptBase::plus(int face, int key, int axis, bool second) {
  std::lock_guard<std::mutex> guard(lock_);
  const int e = face * kKeyPoints + key;
  return (second ? plus2_ : plus_)[e * 2 + axis];
}

bool ReshapingFilterOptBase::enabled() {
  std::lock_guard<std::mutex> guard(lock_);
  return faceCount_ > 0;
}

void ReshapingFilterOptBase::setPlus(int entry, const float* from, const float* to, float factor,
                                     float radius, float scale, bool second) {
  float* out = (second ? plus2_ : plus_) + entry * 2;
  out[0] = out[1] = 0.0f;
  addPlus(entry, from, to, factor, radius, scale, second);
}

void ReshapingFilterOptBase::addPlus(int entry, const float* from, const float* to, float factor,
                                     float radius, float scale, bool second) {
  float dx = (to[0] - from[0]) * factor, dy = (to[1] - from[1]) * factor;
  const float length = std::sqrt(dx * dx + dy * dy);
  if (length >= 0.0001f && length > radius && radius > 0.0f) {
    dx *= radius / length;
    dy *= radius / length;
  }
  float* out = (second ? plus2_ : plus_) + entry * 2;
  out[0] += dx * scale;
  out[1] += dy * scale;
}

void ReshapingFilterOptBase::setFaceInfo(zq_face_info* faces, int count) {
  std::lock_guard<std::mutex> guard(lock_);
  // A smaller count must not leave the next draw on a face beyond it.
  faceIndex_ = 0;
  if (!faces || count <= 0 || faces[0].imageWidth < 1 || faces[0].imageHeight < 1) {
    reset();
    return;
  }
  const float w = static_cast<float>(faces[0].imageWidth);
  const float h = static_cast<float>(faces[0].imageHeight);
  if (w <= h) {
    xyRatio_[0] = 0.72f;
    xyRatio_[1] = 0.72f * h / w;
  } else {
    xyRatio_[0] = 0.72f * w / h;
    xyRatio_[1] = 0.72f;
  }
  faceCount_ = std::min(count, kMaxFaces);
  std::memset(coord_, 0, sizeof(coord_));
  std::memset(radius_, 0, sizeof(radius_));
  std::memset(radius2_, 0, sizeof(radius2_));
  std::memset(plus_, 0, sizeof(plus_));
  std::memset(plus2_, 0, sizeof(plus2_));
  for (int f = 0; f < faceCount_; ++f) {
    const zq_face_info& face = faces[f];
    if (!face.points || face.pointCapacity < kFacePointCount * 2) continue;  // left unwarped
    const float* p = face.points;
    float keys[kKeyPoints * 2];
    float border = 1.0f;
    for (int k = 0; k < kKeyPoints; ++k) {
      const int a = kKeySources[k][0], b = kKeySources[k][1];
      const float x = (p[a * 2] + p[b * 2]) * 0.5f, y = (p[a * 2 + 1] + p[b * 2 + 1]) * 0.5f;
      keys[k * 2] = x / w * xyRatio_[0];
      keys[k * 2 + 1] = y / h * xyRatio_[1];
      if (k == 0 || k == 1 || k == 4 || k == 14 || k == 15) {
        border = std::min({border, edgeFalloff(x, w), edgeFalloff(y, h)});
      }
    }
    border = std::max(border, 0.5f);
    orientation_ = std::fabs(p[2] - p[34]) > std::fabs(p[3] - p[35]);
    const float size = std::hypot(keys[6] - keys[4], keys[7] - keys[5]);
    std::memcpy(coord_ + f * kKeyPoints * 2, keys, sizeof(keys));
    computeFace(f, keys, size, border);
  }
}

void ReshapingFilterOptBase::setup(const int* inputs, int count) {
  std::lock_guard<std::mutex> guard(lock_);
  const int f = faceCount_ > 0 ? faceIndex_ % faceCount_ : 0;
  Box box{1e9f, 1e9f, -1e9f, -1e9f};
  growBox(box, f, 0);
  growBox(box, f, 1);
  growBox(box, f, 4);
  const float x0 = std::max(0.0f, box.x0 / xyRatio_[0]), x1 = std::min(1.0f, box.x1 / xyRatio_[0]);
  const float y0 = std::max(0.0f, box.y0 / xyRatio_[1]), y1 = std::min(1.0f, box.y1 / xyRatio_[1]);
  const float quad[8] = {x0, y0, x1, y0, x0, y1, x1, y1};
  uploadVertices(quad, 8);
  addAttribute("aPosition", 2, 8, 0);

  eyeLevel_[0] = owner_ ? owner_->value(1) : 0.0f;
  eyeLevel_[1] = owner_ ? owner_->value(12) : 0.0f;
  setUniform("findex", f);
  setUniform("bigEyeAspect", orientation_ ? 9.0f / 16.0f : 16.0f / 9.0f);
  setUniform("xy_ratio", xyRatio_, 2);
  setUniform("fEyeLevel", eyeLevel_, 2);
  setUniform("slim_key_coord", coord_, kEntries * 2);
  setUniform("slim_key_radius", radius_, kEntries);
  setUniform("slim_key_radius2", radius2_, kEntries);
  setUniform("slim_key_plus", plus_, kEntries * 2);
  setUniform("slim_key_plus2", plus2_, kEntries * 2);

  if (ownedTextures_.empty()) falloff_ = 0;  // released since
  if (!falloff_) {
    falloff_ = makeTexture(true);
    uploadTexture(falloffImage().data(), falloff_, 128, 128, GL_LUMINANCE);
    ownedTextures_.push_back(falloff_);
  }
  std::vector<int> all(inputs, inputs + (inputs && count > 0 ? 1 : 0));
  all.push_back(static_cast<int>(falloff_));
  setInputs(all.data(), static_cast<int>(all.size()));
  if (faceCount_ > 0) faceIndex_ = (f + 1) % faceCount_;
}

namespace {

const float* key(const float* keys, int k) { return keys + k * 2; }

}  // namespace

void ReshapingFilterOpt::computeFace(int f, const float* k, float s, float border) {
  const int base = f * kKeyPoints;
  float* r = radius_ + base;
  float* r2 = radius2_ + base;
  const float radii[20] = {1.1f, 1.1f, 0.42f, 0.42f, 1.2f, 0.75f, 0.75f, 0.0f, 0.4f, 0.4f,
                           0.53f, 0.3f, 0.3f, orientation_ ? 0.75f : 1.2f, 1.27f, 1.27f,
                           0.6f, 0.6f, 0.6f, 0.6f};
  for (int i = 0; i < 20; ++i) r[i] = radii[i] * s;
  r2[1] = 1.1f * s;
  r2[4] = 1.1f * s;
  r2[14] = r2[15] = 0.9f * s;
  r2[16] = r2[17] = 1.6f * s;
  r2[18] = r2[19] = 1.1f * s;
  auto L = [this](int type) { return owner_ ? owner_->value(type) : 0.0f; };
  const float thin = border * border * L(0) / 0.2f;
  const float* centre = key(k, 7);
  for (int i : {0, 1, 14, 15}) setPlus(base + i, key(k, i), centre, 0.05f, r[i], thin, false);
  setPlus(base + 4, key(k, 4), centre, 0.05f, r[4], L(0) / 0.15f + L(9) / 0.15f, false);
  setPlus(base + 4, key(k, 4), centre, 0.05f, r2[4], L(11) / 0.3f, true);
  for (int i : {5, 6}) {
    setPlus(base + i, key(k, i), key(k, 4), 0.05f, r[i], L(10) / 0.15f + L(18) / 0.3f, false);
  }
  for (int i : {14, 15}) setPlus(base + i, key(k, i), centre, 0.05f, r2[i], L(10) / 0.15f, true);
  for (int i : {16, 17}) {
    const int v = i - 2;  // drawn at the V-face point
    setPlus(base + i, key(k, v), centre, 0.05f, r2[16], L(9) / 0.15f, true);
    setPlus(base + i, key(k, i), centre, 0.05f, r[i], L(20) / 0.3f, false);
  }
  for (int i : {11, 12}) {
    setPlus(base + i, key(k, i + 3), centre, 0.05f, r[14], L(21) / 0.3f, true);
    setPlus(base + i, key(k, i), key(k, 13), 0.05f, r[i], L(13) / 0.3f, false);
  }
  for (int i : {18, 19}) {
    setPlus(base + i, key(k, i), centre, 0.05f, r[18], L(19) / 0.3f, false);
    setPlus(base + i, key(k, i), centre, 0.05f, r2[18], L(21) / 0.3f, true);
  }
  for (int i : {8, 9}) setPlus(base + i, key(k, i), key(k, 10), 0.1f, r[i], L(3) / 0.3f, false);
  setPlus(base + 10, key(k, 10), key(k, 13), 0.05f, r[10], L(17) / 0.15f, false);
  setPlus(base + 13, key(k, 13), key(k, 10), 0.05f, r[13], L(14) / 0.15f, false);
  for (int i : {2, 3}) {
    setPlus(base + i, key(k, i), centre, 0.05f, r[i], L(15) / 0.15f, false);
    setPlus(base + i, key(k, i), key(k, 5 - i), 0.05f, r[i], L(16) / 0.15f, true);
  }
}

void ReshapingFilterOptLite::computeFace(int f, const float* k, float s, float border) {
  const int base = f * kKeyPoints;
  float* r = radius_ + base;
  const float radii[20] = {1.1f, 1.1f, 0.42f, 0.42f, 1.2f, 0.75f, 0.75f, 0.0f, 0.4f, 0.4f,
                           0.53f, 0.3f, 0.3f, orientation_ ? 0.75f : 1.2f, 1.27f, 1.27f,
                           0.6f, 0.6f, 0.6f, 0.6f};
  for (int i = 0; i < 20; ++i) r[i] = radii[i] * s;
  radius2_[base + 1] = radius2_[base + 4] = 1.1f * s;
  radius2_[base + 14] = radius2_[base + 15] = 0.9f * s;
  radius2_[base + 16] = radius2_[base + 17] = 1.6f * s;
  radius2_[base + 18] = radius2_[base + 19] = 1.1f * s;
  const float l0 = owner_ ? owner_->value(0) : 0.0f;
  const float l3 = owner_ ? owner_->value(3) : 0.0f;
  const float thin = border * border * l0 / 0.2f;
  const float* centre = key(k, 7);
  for (int i : {0, 1, 14, 15}) setPlus(base + i, key(k, i), centre, 0.05f, r[i], thin, false);
  setPlus(base + 4, key(k, 4), centre, 0.05f, r[4], l0 / 0.15f, false);
  for (int i : {8, 9}) setPlus(base + i, key(k, i), key(k, 10), 0.1f, r[i], l3 / 0.3f, false);
}

}  // namespace QUENMAR_FACEBEAUTY
