#include "detection_decode.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zqfd {
namespace {

struct PriorLevel {
  int step;
  std::vector<int> min_sizes;
};

const std::vector<PriorLevel>& FourLevels() {
  static const std::vector<PriorLevel> levels = {
      {8, {10, 16, 24}}, {16, {32, 48}}, {32, {64, 96}}, {64, {128, 192, 256}}};
  return levels;
}

const std::vector<PriorLevel>& ThreeLevels() {
  static const std::vector<PriorLevel> levels = {{8, {10, 20}}, {16, {32, 64}}, {32, {128, 256}}};
  return levels;
}

float Area(const Detection& d) { return (d.x2 - d.x1 + 1) * (d.y2 - d.y1 + 1); }

float Overlap(const Detection& a, const Detection& b, float area_a, float area_b) {
  const float w = std::max(0.0f, std::min(a.x2, b.x2) - std::max(a.x1, b.x1) + 1);
  const float h = std::max(0.0f, std::min(a.y2, b.y2) - std::max(a.y1, b.y1) + 1);
  const float intersection = w * h;
  return intersection / (area_a + area_b - intersection);
}

int Clamp(int value, int low, int high) { return std::max(low, std::min(value, high)); }

}  // namespace

std::vector<PriorBox> MakePriors(int width, int height, bool three_levels) {
  std::vector<PriorBox> priors;
  if (width <= 0 || height <= 0) return priors;
  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  for (const PriorLevel& level : three_levels ? ThreeLevels() : FourLevels()) {
    const int columns = (width + level.step - 1) / level.step;
    const int rows = (height + level.step - 1) / level.step;
    for (int j = 0; j < rows; ++j) {
      for (int i = 0; i < columns; ++i) {
        for (int m : level.min_sizes) {
          priors.push_back(
              {(i + 0.5f) * level.step / w, (j + 0.5f) * level.step / h, m / w, m / h});
        }
      }
    }
  }
  return priors;
}

std::vector<Detection> DecodeDetections(const DetectionOutputs& outputs,
                                        const std::vector<PriorBox>& priors, int width, int height,
                                        float threshold) {
  std::vector<Detection> detections;
  if (!outputs.Fits(priors.size())) return detections;
  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  for (size_t k = 0; k < priors.size(); ++k) {
    const float score = outputs.scores[k * 2 + 1];
    if (!(score > threshold)) continue;
    const PriorBox& p = priors[k];
    const float* box = &outputs.boxes[k * 4];
    const float cx = box[0] * 0.1f * p.width + p.cx;
    const float cy = box[1] * 0.1f * p.height + p.cy;
    const float bw = std::exp(box[2] * 0.2f) * p.width;
    const float bh = std::exp(box[3] * 0.2f) * p.height;
    Detection d;
    d.x1 = std::max((cx - bw / 2) * w, 0.0f);
    d.y1 = std::max((cy - bh / 2) * h, 0.0f);
    d.x2 = std::min((cx + bw / 2) * w, w);
    d.y2 = std::min((cy + bh / 2) * h, h);
    d.score = score;
    const float* points = &outputs.points[k * 10];
    for (int i = 0; i < 5; ++i) {
      d.points[2 * i] = static_cast<int>((points[2 * i] * 0.1f * p.width + p.cx) * w);
      d.points[2 * i + 1] = static_cast<int>((points[2 * i + 1] * 0.1f * p.height + p.cy) * h);
    }
    detections.push_back(d);
  }
  return detections;
}

void SuppressOverlaps(std::vector<Detection>* detections, float iou_threshold) {
  std::stable_sort(detections->begin(), detections->end(),
                   [](const Detection& a, const Detection& b) { return a.score > b.score; });
  // Boxes are marked and dropped in one pass at the end: the same result as removing each at
  // once, without moving the rest of the list for every removal.
  const size_t count = detections->size();
  std::vector<float> areas(count);
  for (size_t i = 0; i < count; ++i) areas[i] = Area((*detections)[i]);
  std::vector<char> removed(count, 0);
  for (size_t i = 0; i < count; ++i) {
    if (removed[i]) continue;
    const Detection& a = (*detections)[i];
    for (size_t j = i + 1; j < count; ++j) {
      if (!removed[j] && Overlap(a, (*detections)[j], areas[i], areas[j]) >= iou_threshold) {
        removed[j] = 1;
      }
    }
  }
  size_t kept = 0;
  for (size_t i = 0; i < count; ++i) {
    if (!removed[i]) (*detections)[kept++] = (*detections)[i];
  }
  detections->resize(kept);
}

std::vector<FaceCandidate> ToCandidates(const std::vector<Detection>& detections, float fx,
                                        float fy, int columns, int rows) {
  std::vector<FaceCandidate> candidates;
  for (const Detection& d : detections) {
    const int x1 = std::max(static_cast<int>(d.x1 * fx), 0);
    const int y1 = std::max(static_cast<int>(d.y1 * fy), 0);
    const int x2 = std::min(static_cast<int>(d.x2 * fx), columns - 1);
    const int y2 = std::min(static_cast<int>(d.y2 * fy), rows - 1);
    FaceCandidate c;
    c.score = d.score;
    c.x = std::min(x1, x2);
    c.y = std::min(y1, y2);
    c.width = std::abs(x2 - x1);
    c.height = std::abs(y2 - y1);
    for (int i = 0; i < 5; ++i) {
      c.key_points.emplace_back(Clamp(static_cast<int>(d.points[2 * i] * fx), 0, columns - 1),
                                Clamp(static_cast<int>(d.points[2 * i + 1] * fy), 0, rows - 1));
    }
    candidates.push_back(std::move(c));
  }
  return candidates;
}

}  // namespace zqfd
