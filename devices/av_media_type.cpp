#include "devices/av_media_type.h"

#include <cstring>
#include <utility>

namespace morlun {

void FreeMediaTypeContent(AM_MEDIA_TYPE* type) {
  if (!type) return;
  if (type->cbFormat != 0 || type->pbFormat) CoTaskMemFree(type->pbFormat);
  if (type->pUnk) type->pUnk->Release();
  std::memset(type, 0, sizeof(*type));
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return;
  FreeMediaTypeContent(type);
  CoTaskMemFree(type);
}

bool CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE& source) {
  *target = source;
  target->pbFormat = nullptr;
  target->cbFormat = 0;
  if (source.cbFormat != 0 && source.pbFormat) {
    target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source.cbFormat));
    if (!target->pbFormat) {
      std::memset(target, 0, sizeof(*target));
      return false;
    }
    std::memcpy(target->pbFormat, source.pbFormat, source.cbFormat);
    target->cbFormat = source.cbFormat;
  }
  if (target->pUnk) target->pUnk->AddRef();
  return true;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE& source) {
  auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!type) return nullptr;
  if (!CopyMediaType(type, source)) {
    CoTaskMemFree(type);
    return nullptr;
  }
  return type;
}

MediaType::MediaType() { std::memset(&type_, 0, sizeof(type_)); }

MediaType::~MediaType() { FreeMediaTypeContent(&type_); }

MediaType::MediaType(MediaType&& other) noexcept : type_(other.type_) {
  std::memset(&other.type_, 0, sizeof(other.type_));
}

MediaType& MediaType::operator=(MediaType&& other) noexcept {
  if (this != &other) {
    FreeMediaTypeContent(&type_);
    type_ = other.type_;
    std::memset(&other.type_, 0, sizeof(other.type_));
  }
  return *this;
}

bool MediaType::Assign(const AM_MEDIA_TYPE& source) {
  if (&source == &type_) return true;
  AM_MEDIA_TYPE copy;
  if (!CopyMediaType(&copy, source)) return false;
  FreeMediaTypeContent(&type_);
  type_ = copy;
  return true;
}

void MediaType::Adopt(AM_MEDIA_TYPE* owned) {
  if (!owned) return;
  FreeMediaTypeContent(&type_);
  type_ = *owned;
  CoTaskMemFree(owned);
}

void MediaType::Clear() { FreeMediaTypeContent(&type_); }

}  // namespace morlun
