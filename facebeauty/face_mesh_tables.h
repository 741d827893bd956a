// The face mesh of the face-detail and facial-feature passes, made from the 95-point landmark
// template (face_mesh_tables.cpp is printed by tools/make_face_mesh.py), and the face-detail
// mask drawn in the template's frame.
#pragma once

#include <cstdint>
#include <vector>

namespace QUENMAR_FACEBEAUTY {

constexpr int kFacePointCount = 95;
constexpr int kFaceMeshTriangleCount = 164;
constexpr int kFaceMeshIndexCount = kFaceMeshTriangleCount * 3;

extern const std::uint16_t kFaceMeshTriangles[kFaceMeshIndexCount];
// (x, y) in 0..1 per landmark point on the face-detail mask and on a facial-feature image.
extern const float kDetailMaskCoords[kFacePointCount * 2];
extern const float kFeatureMaskCoords[kFacePointCount * 2];

constexpr int kDetailMaskSize = 640;

// The 640 × 640 RGB face-detail mask, computed at first use. In template pixels (× 5 on the
// mask), each channel is 255 × (1 − smoothstep(0.6, 1, d)) for the distance measure d below:
//   red, under each eye: an ellipse of radii (9, 3.5) centred 5.5 below the lower-lid middle
//     (points 48 and 60);
//   green, the nose and the cheek folds: an ellipse of radii (7, 12) around the middle of the
//     nose (midpoint of 64 and 73), and the segments from each wing (67, 70) to the mouth
//     corner on its side (75, 81) widened to 2.5;
//   blue, the eyes: an ellipse per eye around the midpoint of its corners (39/45, 51/57), of
//     half the corner distance + 1.5 by 5.
const std::vector<unsigned char>& detailMaskImage();

}  // namespace QUENMAR_FACEBEAUTY
