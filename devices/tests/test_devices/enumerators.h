#pragma once

// The enumerators the test devices' filters hand out: over a snapshot of media types and over a
// filter's pins. Each keeps its owner alive and hands out task-memory types or added references.

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <new>
#include <utility>
#include <vector>

#include "devices/av_media_type.h"
#include "devices/tests/test_devices/com_object.h"

namespace tarvo_test_devices {

class TypeEnum final : public ComObject<IEnumMediaTypes, IID_IEnumMediaTypes> {
 public:
  // Takes the types out of `types`.
  TypeEnum(IUnknown* owner, std::vector<morlun::MediaType>* types, size_t position)
      : owner_(owner), position_(position) {
    for (morlun::MediaType& type : *types) types_.push_back(std::move(type));
  }
  STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** out, ULONG* fetched) override {
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    ULONG got = 0;
    while (got < count && position_ < types_.size()) {
      out[got] = morlun::CreateMediaType(types_[position_].get());
      if (!out[got]) break;
      ++got;
      ++position_;
    }
    if (fetched) *fetched = got;
    return got == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    position_ += count;
    if (position_ <= types_.size()) return S_OK;
    position_ = types_.size();
    return S_FALSE;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumMediaTypes** clone) override {
    if (!clone) return E_POINTER;
    std::vector<morlun::MediaType> copies(types_.size());
    for (size_t i = 0; i < types_.size(); ++i) copies[i].Assign(types_[i].get());
    *clone = new (std::nothrow) TypeEnum(owner_.Get(), &copies, position_);
    return *clone ? S_OK : E_OUTOFMEMORY;
  }

 private:
  Microsoft::WRL::ComPtr<IUnknown> owner_;
  std::vector<morlun::MediaType> types_;
  size_t position_;
};

class PinEnum final : public ComObject<IEnumPins, IID_IEnumPins> {
 public:
  // `pins` live as long as `filter`.
  PinEnum(IBaseFilter* filter, std::vector<IPin*> pins, size_t position)
      : filter_(filter), pins_(std::move(pins)), position_(position) {}
  STDMETHODIMP Next(ULONG count, IPin** out, ULONG* fetched) override {
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    ULONG got = 0;
    while (got < count && position_ < pins_.size()) {
      out[got] = pins_[position_++];
      out[got]->AddRef();
      ++got;
    }
    if (fetched) *fetched = got;
    return got == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    position_ += count;
    if (position_ <= pins_.size()) return S_OK;
    position_ = pins_.size();
    return S_FALSE;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumPins** clone) override {
    if (!clone) return E_POINTER;
    *clone = new (std::nothrow) PinEnum(filter_.Get(), pins_, position_);
    return *clone ? S_OK : E_OUTOFMEMORY;
  }

 private:
  Microsoft::WRL::ComPtr<IBaseFilter> filter_;
  std::vector<IPin*> pins_;
  size_t position_;
};

}  // namespace tarvo_test_devices
