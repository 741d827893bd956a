// The 95 landmark points that ZqFaceDetectLib reports per face, and where they lie on a frontal
// face: the template the landmark networks are built around and that users of the points
// (the beauty library's masks, meshes and reshaping) are drawn from.
//
// Groups, in the order of the reported points (image left is the subject's right):
//   0-18   contour, from the image-left temple down the jaw to the chin (9) and up again;
//   19-28  image-left brow, a ring: outer end 19, upper edge 20-23, inner end 24, lower edge
//          25-28 back; 29-38 image-right brow, the mirrored ring: inner end 29, upper edge
//          30-33, outer end 34, lower edge 35-38;
//   39-50  image-left eye, a ring: outer corner 39, upper lid 40-44, inner corner 45, lower lid
//          46-50; 51-62 image-right eye: inner corner 51, upper lid 52-56, outer corner 57,
//          lower lid 58-62 (lid middles 42/48 and 54/60);
//   63-74  nose: bridge 63-65 from between the eyes down, tip 66, wings 67 and 70, nostrils 68
//          and 69, wing tops 71 and 72, base 73, the point above the base 74; the midpoint of
//          64 and 73 is the middle of the nose;
//   75-94  mouth: outer corners 75 and 81, upper outer lip 76-80, lower outer lip 82-86 back
//          (84 its middle), inner corners 87 and 91, upper inner lip 88-90, lower inner lip
//          92-94 back.
//
// The template is given in pixels of the 128 x 128 crop that face alignment makes:
// - the four key points of alignment (midpoints of 42/48, 54/60, 75/87 and 81/91) lie on the
//   alignment reference points, so a face whose points match the template is aligned already;
// - the 14 points of the head-pose model are its frontal projection, x = 64.5 - 6.04 X and
//   y = 80.4 - 6.04 Y (the model's +x to the image's left and +y up);
// - the convex hull holds 24 points (the contour and brow points 19, 20, 21, 32 and 33), each
//   at least 0.7 pixels off the line of its neighbours, and no other point lies within 0.7
//   pixels of the hull: a Delaunay triangulation of the template has 2 * 95 - 2 - 24 = 164
//   triangles (also OpenCV's Subdiv2D over the crop's rectangle). Mirrored pairs make the
//   triangulation non-unique; its size is not.
// The table is printed by tools/make_landmark_template.py, which places the points; change the
// script, not the numbers.
#pragma once

namespace zq_landmarks {

constexpr int kPointCount = 95;
constexpr float kTemplateCropSize = 128.0f;

struct Point {
  float x;
  float y;
};

// First and last index of a group.
struct Group {
  int first;
  int last;
};

constexpr Group kContour = {0, 18};
constexpr Group kLeftBrow = {19, 28};
constexpr Group kRightBrow = {29, 38};
constexpr Group kLeftEye = {39, 50};
constexpr Group kRightEye = {51, 62};
constexpr Group kNose = {63, 74};
constexpr Group kMouth = {75, 94};

constexpr int kChin = 9;
constexpr int kLeftEyeInnerCorner = 45;
constexpr int kRightEyeInnerCorner = 51;
constexpr int kMouthLeftCorner = 75;
constexpr int kMouthRightCorner = 81;
constexpr int kLowerLipMiddle = 84;

// The alignment key points are the midpoints of these pairs, in key-point order: the two eye
// centres and the two mouth corners (outer and inner corner).
constexpr int kKeyPointPairs[4][2] = {{42, 48}, {54, 60}, {75, 87}, {81, 91}};

// Where alignment puts the key points in a 128 x 128 crop (scale by S / 128 for a crop of S).
constexpr Point kAlignmentReference[4] = {
    {42.8282f, 48.1901f}, {84.3215f, 47.3977f}, {48.8092f, 92.8325f}, {80.9304f, 92.554f}};

constexpr Point kTemplate[kPointCount] = {
    {16.5000f, 47.0000f}, {17.2292f, 60.5400f}, {19.3948f, 73.6238f}, {22.9308f, 85.8944f},  // 0
    {27.7299f, 97.0093f}, {33.6462f, 106.6469f}, {40.5000f, 114.5142f}, {48.0830f, 120.3562f},  // 4
    {56.1649f, 123.9652f}, {64.5000f, 125.1908f}, {72.8351f, 123.9494f}, {80.9170f, 120.2325f},  // 8
    {88.5000f, 114.1123f}, {95.3538f, 105.7446f}, {101.2701f, 95.3675f}, {106.0692f, 83.2963f},  // 12
    {109.6052f, 69.9140f}, {111.7708f, 55.6572f}, {112.5000f, 41.0000f}, {23.2716f, 39.5659f},  // 16
    {29.9102f, 34.3292f}, {36.5488f, 32.6924f}, {43.1874f, 34.0557f}, {49.8261f, 36.0190f},  // 20
    {56.4647f, 37.3823f}, {49.8261f, 39.1846f}, {43.1874f, 38.8585f}, {36.5488f, 39.2952f},  // 24
    {29.9102f, 40.4948f}, {72.5353f, 37.3823f}, {79.1739f, 35.2190f}, {85.8126f, 33.2557f},  // 28
    {92.4512f, 31.8924f}, {99.0898f, 33.5292f}, {105.7284f, 39.5659f}, {99.0898f, 39.6948f},  // 32
    {92.4512f, 38.4952f}, {85.8126f, 38.0585f}, {79.1739f, 38.3846f}, {32.4190f, 47.2686f},  // 36
    {35.8511f, 45.8832f}, {39.3135f, 44.8937f}, {42.8282f, 44.5901f}, {46.4034f, 45.0784f},  // 40
    {50.0310f, 46.2525f}, {53.6888f, 47.8225f}, {50.0310f, 49.8525f}, {46.4034f, 51.3138f},  // 44
    {42.8282f, 51.7901f}, {39.3135f, 51.1291f}, {35.8511f, 49.4832f}, {75.3112f, 47.8225f},  // 48
    {78.0438f, 45.8563f}, {80.9942f, 44.3921f}, {84.3215f, 43.7977f}, {88.0841f, 44.2075f},  // 52
    {92.2238f, 45.4870f}, {96.5810f, 47.2686f}, {92.2238f, 49.0870f}, {88.0841f, 50.4429f},  // 56
    {84.3215f, 50.9977f}, {80.9942f, 50.6275f}, {78.0438f, 49.4563f}, {64.5000f, 48.3880f},  // 60
    {64.5000f, 54.4280f}, {64.5000f, 60.4680f}, {64.5000f, 66.8100f}, {52.3860f, 71.8845f},  // 64
    {58.7620f, 73.7560f}, {70.2380f, 73.7560f}, {76.6140f, 71.8845f}, {55.7420f, 66.2060f},  // 68
    {73.2580f, 66.2060f}, {64.5000f, 74.9640f}, {64.5000f, 71.0380f}, {47.7449f, 92.9679f},  // 72
    {53.3300f, 89.9679f}, {58.9150f, 88.0965f}, {64.5000f, 88.4679f}, {70.0850f, 88.0965f},  // 76
    {75.6700f, 89.9679f}, {81.2551f, 92.9679f}, {75.6700f, 96.0955f}, {70.0850f, 98.3851f},  // 80
    {64.5000f, 99.2231f}, {58.9150f, 98.3851f}, {53.3300f, 96.0955f}, {49.8735f, 92.6971f},  // 84
    {57.5565f, 91.5679f}, {65.2396f, 91.0186f}, {72.9227f, 91.2894f}, {80.6057f, 92.1401f},  // 88
    {72.9227f, 93.4107f}, {65.2396f, 94.0186f}, {57.5565f, 93.6892f},  // 92
};

}  // namespace zq_landmarks
