// Drops detection candidates that look like faces seen from the side: small candidates whose
// eyes or mouth corners lie on one side of the box, turned away from the nose, and far apart
// from each other compared with the box's width.
#pragma once

#include <vector>

#include "face_candidate.h"

namespace zqfd {

// Keeps the candidates of a |columns| x |rows| image that are not side faces, in their order.
// Candidates narrower or lower than one pixel are dropped first; a candidate without its five
// key points is kept.
std::vector<FaceCandidate> FilterSideFaces(const std::vector<FaceCandidate>& candidates,
                                           int columns, int rows);

}  // namespace zqfd
