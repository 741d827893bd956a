#include "face_alignment.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "zq_landmark_template.h"

namespace zqfd {

int SquareCropSide(int width, int height) {
  const double ratio = static_cast<double>(height) / width;
  double factor = 1.4;
  if (ratio > 1.8) {
    factor = 1.8;
  } else if (ratio >= 1.6) {
    factor = 1.6;
  }
  int side = static_cast<int>(width * factor);
  if (side % 2 != 0) ++side;
  return side;
}

bool MakeSquareCrop(const cv::Mat& image, const cv::Rect& box, SquareCrop* crop) {
  if (image.empty() || box.width <= 0 || box.height <= 0) return false;
  const int side = SquareCropSide(box.width, box.height);
  const int left = box.x + box.width / 2 - side / 2;
  const int top = box.y + box.height / 2 - side / 2;
  const cv::Rect square(left, top, side, side);
  const cv::Rect inside = square & cv::Rect(0, 0, image.cols, image.rows);
  if (side <= 0 || inside.empty()) return false;
  cv::Mat region;
  if (left >= 0 && top >= 0 && left + side <= image.cols - 1 && top + side <= image.rows - 1) {
    region = image(square);
  } else {
    cv::copyMakeBorder(image(inside), region, inside.y - top, top + side - inside.br().y,
                       inside.x - left, left + side - inside.br().x, cv::BORDER_CONSTANT,
                       cv::Scalar::all(0));
  }
  crop->image = region;
  crop->left = left;
  crop->top = top;
  crop->side = side;
  return true;
}

KeyPoints AlignmentReference(int size) {
  const float scale = size * 0.0078125f;
  KeyPoints reference;
  for (int k = 0; k < 4; ++k) {
    reference[k] = cv::Point2f(zq_landmarks::kAlignmentReference[k].x * scale,
                               zq_landmarks::kAlignmentReference[k].y * scale);
  }
  return reference;
}

cv::Mat EstimateSimilarity(const cv::Mat& from, const cv::Mat& to) {
  if (from.rows < 1 || from.cols != 2 || to.size() != from.size()) return cv::Mat();
  cv::Mat src, dst;
  from.convertTo(src, CV_64F);
  to.convertTo(dst, CV_64F);
  const int n = src.rows;
  cv::Mat src_mean, dst_mean;
  cv::reduce(src, src_mean, 0, cv::REDUCE_AVG);
  cv::reduce(dst, dst_mean, 0, cv::REDUCE_AVG);
  const cv::Mat src_demean = src - cv::repeat(src_mean, n, 1);
  const cv::Mat dst_demean = dst - cv::repeat(dst_mean, n, 1);

  const cv::Mat covariance = dst_demean.t() * src_demean / n;
  cv::Mat d = cv::Mat::ones(2, 1, CV_64F);
  if (cv::determinant(covariance) < 0) d.at<double>(1) = -1;

  cv::Mat transform = cv::Mat::eye(3, 3, CV_64F);
  cv::Mat singular, u, vt;
  cv::SVD::compute(covariance, singular, u, vt);
  double largest = 0;
  cv::minMaxLoc(singular, nullptr, &largest);
  const double tolerance = largest * FLT_EPSILON * 2;
  const int rank = cv::countNonZero(singular > tolerance);
  // Every point the same: no rotation or scale can be read from them.
  if (rank == 0) return cv::Mat();

  cv::Mat rotation;
  if (rank == 1) {
    if (cv::determinant(u) * cv::determinant(vt) > 0) {
      rotation = u * vt;
    } else {
      cv::Mat flipped = d.clone();
      flipped.at<double>(1) = -1;
      rotation = u * cv::Mat::diag(flipped) * vt;
    }
  } else {
    rotation = u * cv::Mat::diag(d) * vt;
  }

  cv::Mat variance, mean_unused;
  double spread = 0;
  for (int c = 0; c < 2; ++c) {
    cv::meanStdDev(src_demean.col(c), mean_unused, variance);
    spread += variance.at<double>(0) * variance.at<double>(0);
  }
  const double scale = singular.dot(d) / spread;
  const cv::Mat shift = dst_mean.t() - scale * rotation * src_mean.t();
  rotation *= scale;
  rotation.copyTo(transform(cv::Rect(0, 0, 2, 2)));
  shift.copyTo(transform(cv::Rect(2, 0, 1, 2)));
  if (!cv::checkRange(transform)) return cv::Mat();
  return transform;
}

bool MakeAlignedCrop(const cv::Mat& image, const KeyPoints& key_points, int size,
                     AlignedCrop* crop) {
  const KeyPoints reference = AlignmentReference(size);
  const Landmarks from(key_points.begin(), key_points.end());
  const Landmarks to(reference.begin(), reference.end());
  const cv::Mat transform = EstimateSimilarity(PointsToMat(from), PointsToMat(to));
  if (transform.empty()) {
    std::printf("TransformationMatrix Is Empty !\n");
    std::fflush(stdout);
    return false;
  }
  const cv::Mat forward = transform(cv::Rect(0, 0, 3, 2));
  cv::Mat inverse;
  cv::invertAffineTransform(forward, inverse);
  cv::warpAffine(image, crop->image, forward, cv::Size(size, size), cv::INTER_LINEAR,
                 cv::BORDER_CONSTANT, cv::Scalar::all(0));
  crop->to_image = inverse;
  return true;
}

}  // namespace zqfd
