// Crops around faces for the landmark networks: the square crop around a detection box, and the
// crop aligned by a similarity transform that puts four key points on fixed reference points.
#pragma once

#include <opencv2/core/mat.hpp>
#include <opencv2/core/types.hpp>

#include "landmark_geometry.h"

namespace zqfd {

// A square region of the image around a box, |side| pixels from (|left|, |top|), with the part
// outside the image black.
struct SquareCrop {
  cv::Mat image;
  int left = 0;
  int top = 0;
  int side = 0;
};

// The side of the square around a box of |width| x |height|: 1.4 times the width, 1.6 times it
// when the box is 1.6 to 1.8 times as high as wide, 1.8 times above that; truncated, then made
// even.
int SquareCropSide(int width, int height);

// The square of that side centred on |box|. False (and |crop| untouched) when it lies wholly
// outside the image (8-bit BGR) or the box is empty.
bool MakeSquareCrop(const cv::Mat& image, const cv::Rect& box, SquareCrop* crop);

// The reference points of a |size| x |size| aligned crop, in key-point order.
KeyPoints AlignmentReference(int size);

// The least-squares similarity (rotation, uniform scale, shift) that maps |from| onto |to|, by
// Umeyama's method with its reflection guard, as a 3 x 3 double matrix. Empty when the points
// give no transform: covariance of rank 0 (every point the same) or a non-finite entry.
cv::Mat EstimateSimilarity(const cv::Mat& from, const cv::Mat& to);

// The |size| x |size| crop whose key points lie on the reference, and the 2 x 3 transform back
// to image pixels.
struct AlignedCrop {
  cv::Mat image;
  cv::Mat to_image;  // 2 x 3, double
};

// False, after printing "TransformationMatrix Is Empty !" on standard output, when the key
// points give no transform.
bool MakeAlignedCrop(const cv::Mat& image, const KeyPoints& key_points, int size,
                     AlignedCrop* crop);

}  // namespace zqfd
