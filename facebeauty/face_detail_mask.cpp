#include <algorithm>
#include <cmath>
#include <mutex>

#include "face_mesh_tables.h"
#include "zq_landmark_template.h"

namespace QUENMAR_FACEBEAUTY {
namespace {

using zq_landmarks::kTemplate;
using zq_landmarks::Point;

Point mid(int a, int b) {
  return Point{(kTemplate[a].x + kTemplate[b].x) / 2, (kTemplate[a].y + kTemplate[b].y) / 2};
}

float ellipse(float x, float y, Point c, float rx, float ry) {
  const float dx = (x - c.x) / rx, dy = (y - c.y) / ry;
  return std::sqrt(dx * dx + dy * dy);
}

float segment(float x, float y, Point a, Point b, float width) {
  const float vx = b.x - a.x, vy = b.y - a.y;
  float t = ((x - a.x) * vx + (y - a.y) * vy) / (vx * vx + vy * vy);
  t = std::min(1.0f, std::max(0.0f, t));
  const float dx = x - (a.x + t * vx), dy = y - (a.y + t * vy);
  return std::sqrt(dx * dx + dy * dy) / width;
}

unsigned char level(float d) {
  const float t = std::min(1.0f, std::max(0.0f, (d - 0.6f) / 0.4f));
  return static_cast<unsigned char>(std::lround(255.0f * (1.0f - t * t * (3.0f - 2.0f * t))));
}

std::vector<unsigned char> build() {
  const Point under[2] = {Point{kTemplate[48].x, kTemplate[48].y + 5.5f},
                          Point{kTemplate[60].x, kTemplate[60].y + 5.5f}};
  const Point nose = mid(64, 73);
  const Point eyes[2] = {mid(39, 45), mid(51, 57)};
  const float eyeRadius[2] = {std::fabs(kTemplate[45].x - kTemplate[39].x) / 2 + 1.5f,
                              std::fabs(kTemplate[57].x - kTemplate[51].x) / 2 + 1.5f};
  std::vector<unsigned char> image(kDetailMaskSize * kDetailMaskSize * 3);
  const float scale = zq_landmarks::kTemplateCropSize / kDetailMaskSize;
  for (int py = 0; py < kDetailMaskSize; ++py) {
    for (int px = 0; px < kDetailMaskSize; ++px) {
      const float x = (px + 0.5f) * scale, y = (py + 0.5f) * scale;
      float red = 1e9f, green = 1e9f, blue = 1e9f;
      for (int s = 0; s < 2; ++s) {
        red = std::min(red, ellipse(x, y, under[s], 9.0f, 3.5f));
        blue = std::min(blue, ellipse(x, y, eyes[s], eyeRadius[s], 5.0f));
      }
      green = std::min({ellipse(x, y, nose, 7.0f, 12.0f),
                        segment(x, y, kTemplate[67], kTemplate[75], 2.5f),
                        segment(x, y, kTemplate[70], kTemplate[81], 2.5f)});
      unsigned char* p = &image[(static_cast<size_t>(py) * kDetailMaskSize + px) * 3];
      p[0] = level(red);
      p[1] = level(green);
      p[2] = level(blue);
    }
  }
  return image;
}

}  // namespace

const std::vector<unsigned char>& detailMaskImage() {
  static std::once_flag once;
  static std::vector<unsigned char> image;
  std::call_once(once, [] { image = build(); });
  return image;
}

}  // namespace QUENMAR_FACEBEAUTY
