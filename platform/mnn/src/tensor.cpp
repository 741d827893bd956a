#include "MNN/Tensor.hpp"

#include <algorithm>
#include <cstddef>

namespace MNN {
namespace {

bool IsNhwc(Tensor::DimensionType type) { return type == Tensor::TENSORFLOW; }

std::vector<int> ReorderShape(const std::vector<int>& shape, Tensor::DimensionType from,
                              Tensor::DimensionType to) {
  if (shape.size() != 4 || IsNhwc(from) == IsNhwc(to)) return shape;
  if (IsNhwc(from)) return {shape[0], shape[3], shape[1], shape[2]};
  return {shape[0], shape[2], shape[3], shape[1]};
}

size_t CountValues(const std::vector<int>& shape) {
  size_t count = 1;
  for (int d : shape) count *= static_cast<size_t>(std::max(d, 0));
  return count;
}

// Copies four-dimensional values between NCHW and NHWC; |shape| is the NCHW shape.
void Transpose(const float* from, bool from_nhwc, float* to, const std::vector<int>& shape) {
  const int n = shape[0], c = shape[1], h = shape[2], w = shape[3];
  for (int b = 0; b < n; ++b)
    for (int ch = 0; ch < c; ++ch)
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const size_t nchw = ((static_cast<size_t>(b) * c + ch) * h + y) * w + x;
          const size_t nhwc = ((static_cast<size_t>(b) * h + y) * w + x) * c + ch;
          if (from_nhwc) {
            to[nchw] = from[nhwc];
          } else {
            to[nhwc] = from[nchw];
          }
        }
}

bool CopyValues(const Tensor& from, Tensor* to) {
  if (from.elementSize() != to->elementSize()) return false;
  const float* src = from.host<float>();
  float* dst = to->host<float>();
  if (from.dimensions() == 4 && IsNhwc(from.getDimensionType()) != IsNhwc(to->getDimensionType())) {
    const std::vector<int> caffe_shape =
        ReorderShape(from.shape(), from.getDimensionType(), Tensor::CAFFE);
    Transpose(src, IsNhwc(from.getDimensionType()), dst, caffe_shape);
  } else {
    std::copy(src, src + from.elementSize(), dst);
  }
  return true;
}

}  // namespace

Tensor::Tensor(const Tensor* tensor, DimensionType type, bool allocMemory)
    : shape_(tensor ? ReorderShape(tensor->shape_, tensor->type_, type) : std::vector<int>{}),
      type_(type) {
  if (allocMemory) values_.assign(CountValues(shape_), 0.0f);
}

Tensor::Tensor(std::vector<int> shape, DimensionType type) : shape_(std::move(shape)), type_(type) {
  values_.assign(CountValues(shape_), 0.0f);
}

Tensor::~Tensor() = default;

Tensor* Tensor::createHostTensorFromDevice(const Tensor* device, bool copyData) {
  if (device == nullptr) return nullptr;
  auto* host = new Tensor(device, device->type_, true);
  if (copyData) host->values_ = device->values_;
  return host;
}

Tensor* Tensor::create(const std::vector<int>& shape, DimensionType type) {
  for (int d : shape) {
    if (d < 0) return nullptr;
  }
  return new Tensor(shape, type);
}

bool Tensor::copyToHostTensor(Tensor* hostTensor) const {
  return hostTensor != nullptr && CopyValues(*this, hostTensor);
}

bool Tensor::copyFromHostTensor(const Tensor* hostTensor) {
  return hostTensor != nullptr && CopyValues(*hostTensor, this);
}

void Tensor::reshape(const std::vector<int>& shape) {
  shape_ = shape;
  const size_t count = CountValues(shape_);
  if (count != values_.size()) values_.assign(count, 0.0f);
}

int Tensor::length(int index) const {
  if (index < 0 || index >= dimensions()) return 0;
  return shape_[index];
}

int Tensor::dimensionAt(int caffeIndex) const {
  if (shape_.size() == 4 && IsNhwc(type_)) {
    static const int kNhwcIndex[4] = {0, 3, 1, 2};
    return shape_[kNhwcIndex[caffeIndex]];
  }
  return caffeIndex < dimensions() ? shape_[caffeIndex] : 1;
}

int Tensor::batch() const { return dimensionAt(0); }
int Tensor::channel() const { return dimensionAt(1); }
int Tensor::height() const { return dimensionAt(2); }
int Tensor::width() const { return dimensionAt(3); }

}  // namespace MNN
