// The two landmark networks: the image network finds a face's 95 points in a square crop around
// its box; the tracking network follows a face in a crop aligned on its previous key points.
// Both take (pixel - 127) / 57 in RGB order and give 95 (x, y) pairs relative to the crop.
//
// Used by one thread at a time (the engine holds the detector's lock).
#pragma once

#include <cstddef>

#include "face_networks.h"
#include "network_slot.h"

namespace zqfd {

// Names of the landmark model files inside the model folder.
constexpr char kImageLandmarkModelFile[] = "/FL_D_N_v3_i.m.bin";
constexpr char kTrackingLandmarkModelFile[] = "/FL_D_N_v5_v.m.bin";

// What the engine hands the landmark networks at set-up.
struct LandmarkSetup {
  const unsigned char* image_model = nullptr;
  size_t image_model_length = 0;
  const unsigned char* tracking_model = nullptr;
  size_t tracking_model_length = 0;
  int input_width = 128;  // not read: each network's own input size is used
  int input_height = 128;
  int thread_count = 1;
  int forward_type = 0;
};

class LandmarkNetwork : public LandmarkSource {
 public:
  // Creates the tracking network, then the image network. Each must have a fixed input size and
  // give 190 values from its one output on a blank crop; otherwise the log line "load ld model
  // failed." (tracking) or "load ld model i failed." (image) and false.
  bool Init(const LandmarkSetup& setup);

  bool FromBox(const cv::Mat& image, const cv::Rect& box, Landmarks* landmarks) override;
  bool Track(const cv::Mat& image, const KeyPoints& key_points, Landmarks* landmarks) override;

 private:
  NetworkSlot tracking_;
  NetworkSlot image_;
};

}  // namespace zqfd
