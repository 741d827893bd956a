// A dense float tensor of the inference layer.
//
// Session tensors (inputs and outputs) are owned by their session and always hold their values
// in NCHW order (CAFFE). Host tensors made from them with `new Tensor(sessionTensor, type)` own
// their memory and may use either dimension order; `copyToHostTensor` converts between the two.
// Not thread-safe: one tensor is used by one thread at a time.
#pragma once

#include <vector>

namespace MNN {

class Interpreter;

class Tensor {
 public:
  enum DimensionType {
    TENSORFLOW,  // NHWC
    CAFFE,       // NCHW
    CAFFE_C4,    // NCHW as well here (no packed layout)
  };

  // A tensor with the shape of |tensor| in the order |type| (the shape is reordered when the two
  // orders differ and the tensor has four dimensions). With |allocMemory| the values are
  // allocated and zeroed; the values of |tensor| are not copied.
  explicit Tensor(const Tensor* tensor, DimensionType type = CAFFE, bool allocMemory = true);
  ~Tensor();
  Tensor(const Tensor&) = delete;
  Tensor& operator=(const Tensor&) = delete;

  // A host tensor of the same shape and order as |device|, with its values when |copyData|.
  static Tensor* createHostTensorFromDevice(const Tensor* device, bool copyData = true);
  // A host tensor of |shape| in the order |type|, zeroed. Returns null for a negative dimension.
  static Tensor* create(const std::vector<int>& shape, DimensionType type = CAFFE);

  // Copies the values into |hostTensor|, converting the dimension order. Returns false when the
  // two hold a different number of values.
  bool copyToHostTensor(Tensor* hostTensor) const;
  // Copies the values of |hostTensor| into this tensor, converting the dimension order.
  bool copyFromHostTensor(const Tensor* hostTensor);

  template <typename T>
  T* host() const {
    return reinterpret_cast<T*>(const_cast<float*>(values_.data()));
  }

  DimensionType getDimensionType() const { return type_; }
  std::vector<int> shape() const { return shape_; }
  int dimensions() const { return static_cast<int>(shape_.size()); }
  int length(int index) const;
  // Named dimensions, read in the tensor's own order; 1 for a dimension the shape lacks.
  int batch() const;
  int channel() const;
  int height() const;
  int width() const;
  // Number of values, and their size in bytes.
  int elementSize() const { return static_cast<int>(values_.size()); }
  int size() const { return elementSize() * static_cast<int>(sizeof(float)); }

 private:
  friend class Interpreter;
  Tensor(std::vector<int> shape, DimensionType type);
  // Sets the shape and reallocates (zeroed) when the number of values changes.
  void reshape(const std::vector<int>& shape);
  int dimensionAt(int caffeIndex) const;

  std::vector<int> shape_;
  DimensionType type_;
  std::vector<float> values_;
};

}  // namespace MNN
