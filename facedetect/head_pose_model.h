// The 3D face model of the geometric head pose: 14 points, each paired with the landmark it is
// seen at. Model axes: +x toward the image's left on a face seen from the front, +y up.
#pragma once

namespace zqfd {

struct PoseModelPoint {
  int landmark;
  float x;
  float y;
  float z;
};

constexpr int kPoseModelPointCount = 14;

constexpr PoseModelPoint kPoseModel[kPoseModelPointCount] = {
    {19, 6.825897f, 6.760612f, 4.402142f},    {24, 1.330353f, 7.122144f, 6.903745f},
    {29, -1.330353f, 7.122144f, 6.903745f},   {34, -6.825897f, 6.760612f, 4.402142f},
    {39, 5.311432f, 5.485328f, 3.987654f},    {45, 1.789930f, 5.393625f, 4.413414f},
    {51, -1.789930f, 5.393625f, 4.413414f},   {57, -5.311432f, 5.485328f, 3.987654f},
    {67, 2.005628f, 1.409845f, 6.165652f},    {70, -2.005628f, 1.409845f, 6.165652f},
    {75, 2.774015f, -2.080775f, 5.048531f},   {81, -2.774015f, -2.080775f, 5.048531f},
    {84, 0.000000f, -3.116408f, 6.097667f},   {9, 0.000000f, -7.415691f, 4.070434f},
};

}  // namespace zqfd
