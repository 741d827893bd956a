#include "devices/kest_capture_enums.h"

#include <new>

#include "devices/av_media_type.h"
#include "devices/kest_capture_filter.h"

namespace {

// The one-element enumerators' Next: hands out at most one element at position 0.
template <typename Hand>
HRESULT NextOfOne(ULONG* position, ULONG count, ULONG* fetched, Hand hand_out) {
  if (count > 1 && !fetched) return E_POINTER;
  ULONG got = 0;
  if (count > 0 && *position == 0) {
    if (!hand_out()) {
      if (fetched) *fetched = 0;
      return E_OUTOFMEMORY;
    }
    got = 1;
    *position = 1;
  }
  if (fetched) *fetched = got;
  return got == count ? S_OK : S_FALSE;
}

HRESULT SkipOfOne(ULONG* position, ULONG count) {
  const ULONG room = *position < 1 ? 1 - *position : 0;
  *position += count < room ? count : room;
  return count <= room ? S_OK : S_FALSE;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CKestCaptureEnumPins

CKestCaptureEnumPins* CKestCaptureEnumPins::Create(CKestCaptureFilter* filter, ULONG position) {
  return new (std::nothrow) CKestCaptureEnumPins(filter, position);
}

CKestCaptureEnumPins::CKestCaptureEnumPins(CKestCaptureFilter* filter, ULONG position)
    : filter_(filter), position_(position) {
  filter_->AddRef();
}

CKestCaptureEnumPins::~CKestCaptureEnumPins() { filter_->Release(); }

STDMETHODIMP CKestCaptureEnumPins::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IEnumPins) {
    *out = static_cast<IEnumPins*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CKestCaptureEnumPins::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) CKestCaptureEnumPins::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP CKestCaptureEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (!pins) return E_POINTER;
  return NextOfOne(&position_, count, fetched, [&] {
    pins[0] = filter_->pin();
    pins[0]->AddRef();
    return true;
  });
}

STDMETHODIMP CKestCaptureEnumPins::Skip(ULONG count) { return SkipOfOne(&position_, count); }

STDMETHODIMP CKestCaptureEnumPins::Reset() {
  position_ = 0;
  return S_OK;
}

STDMETHODIMP CKestCaptureEnumPins::Clone(IEnumPins** clone) {
  if (!clone) return E_POINTER;
  *clone = Create(filter_, position_);
  return *clone ? S_OK : E_OUTOFMEMORY;
}

// ---------------------------------------------------------------------------------------------
// CKestCaptureEnumMediaTypes

CKestCaptureEnumMediaTypes* CKestCaptureEnumMediaTypes::Create(CKestCaptureFilter* filter,
                                                               ULONG position) {
  return new (std::nothrow) CKestCaptureEnumMediaTypes(filter, position);
}

CKestCaptureEnumMediaTypes::CKestCaptureEnumMediaTypes(CKestCaptureFilter* filter,
                                                       ULONG position)
    : filter_(filter), position_(position) {
  filter_->AddRef();
}

CKestCaptureEnumMediaTypes::~CKestCaptureEnumMediaTypes() { filter_->Release(); }

STDMETHODIMP CKestCaptureEnumMediaTypes::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IEnumMediaTypes) {
    *out = static_cast<IEnumMediaTypes*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CKestCaptureEnumMediaTypes::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) CKestCaptureEnumMediaTypes::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP CKestCaptureEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE** types,
                                              ULONG* fetched) {
  if (!types) return E_POINTER;
  return NextOfOne(&position_, count, fetched, [&] {
    AM_MEDIA_TYPE accepted{};
    accepted.majortype = filter_->pin()->major();
    accepted.subtype = filter_->pin()->subtype();
    types[0] = morlun::CreateMediaType(accepted);
    return types[0] != nullptr;
  });
}

STDMETHODIMP CKestCaptureEnumMediaTypes::Skip(ULONG count) {
  return SkipOfOne(&position_, count);
}

STDMETHODIMP CKestCaptureEnumMediaTypes::Reset() {
  position_ = 0;
  return S_OK;
}

STDMETHODIMP CKestCaptureEnumMediaTypes::Clone(IEnumMediaTypes** clone) {
  if (!clone) return E_POINTER;
  *clone = Create(filter_, position_);
  return *clone ? S_OK : E_OUTOFMEMORY;
}
