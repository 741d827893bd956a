// Small geometric operations around landmark points: their bounding rectangle, the overlap of
// two rectangles, a point list as a matrix, and the four alignment key points of a face.
#pragma once

#include <array>
#include <vector>

#include <opencv2/core/mat.hpp>
#include <opencv2/core/types.hpp>

namespace zqfd {

using Landmarks = std::vector<cv::Point2f>;
using KeyPoints = std::array<cv::Point2f, 4>;

// The rectangle from the smallest to the largest coordinates, each truncated to an integer;
// the smallest start at 100000 and the largest at 0. Empty for no points.
cv::Rect BoundingRect(const Landmarks& points);

// Intersection area over union area, in float; 0 when the union is below FLT_EPSILON.
float IntersectionOverUnion(const cv::Rect& a, const cv::Rect& b);

// An N x 2 single-channel float matrix, one row per point.
cv::Mat PointsToMat(const Landmarks& points);

// The midpoints of landmarks 42/48, 54/60, 75/87 and 81/91 (eye centres, mouth corners).
// |landmarks| must hold at least 92 points.
KeyPoints KeyPointsOf(const Landmarks& landmarks);

}  // namespace zqfd
