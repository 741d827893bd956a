// Keeps the engine's face tracks in step with the detector: pairs tracks with the boxes of a
// detector run, ends tracks that went unconfirmed too often, turned too fast or grew too fast,
// and says which boxes are new faces.
#pragma once

#include <vector>

#include <opencv2/core/types.hpp>

#include "face_track.h"
#include "landmark_geometry.h"

namespace zqfd {

// The angle in degrees of the line from landmark 45 to landmark 51 (the inner eye corners).
float EyeLineAngle(const Landmarks& landmarks);

// The change between two eye-line angles, across the +-180 degree seam.
float EyeLineTurn(float a, float b);

// When |detector_ran|: pairs each track with the candidate box it overlaps most (intersection
// over union above 0.3, greedily by the largest overlap); a paired track is confirmed, an
// unpaired one misses once and ends at |miss_limit| misses. Then ends every track whose eye
// line turned more than 60 degrees since the previous frame or whose box area more than
// doubled, makes the current landmarks the previous ones and removes the ended tracks.
// Returns the boxes no track took, in their order.
std::vector<cv::Rect> UpdateTracks(std::vector<FaceTrack>* tracks,
                                   const std::vector<cv::Rect>& boxes, bool detector_ran,
                                   int miss_limit);

}  // namespace zqfd
