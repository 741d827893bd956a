// The arithmetic around the detection network: prior boxes, decoding of the network's outputs,
// greedy non-maximum suppression and the mapping back to the image.
#pragma once

#include <cstddef>
#include <vector>

#include "face_candidate.h"

namespace zqfd {

// Centre and size, relative to the scaled image.
struct PriorBox {
  float cx, cy, width, height;
};

// Four levels (steps 8, 16, 32, 64), or the three-level set when |three_levels|.
std::vector<PriorBox> MakePriors(int width, int height, bool three_levels = false);

// A decoded box in scaled-image pixels with its score and five key points (x, y).
struct Detection {
  float x1, y1, x2, y2;
  float score;
  int points[10];
};

// The network's outputs per prior: 4 box values, 10 key-point values, 2 class scores.
struct DetectionOutputs {
  std::vector<float> boxes;
  std::vector<float> points;
  std::vector<float> scores;
  // True when every output holds exactly its values for |priors| priors.
  bool Fits(size_t priors) const {
    return boxes.size() == priors * 4 && points.size() == priors * 10 &&
           scores.size() == priors * 2;
  }
};

// Decodes every prior whose face score is strictly above |threshold|, in prior order. The
// outputs must fit the priors (see DetectionOutputs::Fits). |width| and |height| are the scaled
// image's size.
std::vector<Detection> DecodeDetections(const DetectionOutputs& outputs,
                                        const std::vector<PriorBox>& priors, int width, int height,
                                        float threshold);

// Sorts by score, highest first, and removes every box whose overlap (intersection over union,
// corners inclusive) with a higher-scored kept box is at least |iou_threshold|.
void SuppressOverlaps(std::vector<Detection>* detections, float iou_threshold);

// Maps detections from the scaled image back to an image of |columns| x |rows| pixels with the
// factors fx = columns / scaled width and fy = rows / scaled height, clamped to that image.
std::vector<FaceCandidate> ToCandidates(const std::vector<Detection>& detections, float fx,
                                        float fy, int columns, int rows);

}  // namespace zqfd
