#pragma once

// AM_MEDIA_TYPE helpers. DirectShow hands media types out in task memory (CoTaskMemAlloc):
// the structure itself (from enumerators and GetFormat) and its format block. These helpers
// copy and free them the way every pin and enumerator expects.

#include <windows.h>
#include <strmif.h>

namespace morlun {

// Frees the format block (and the unknown pointer) of `type`, leaving an empty type.
void FreeMediaTypeContent(AM_MEDIA_TYPE* type);
// Frees the format block and the structure itself (task memory); null is accepted.
void DeleteMediaType(AM_MEDIA_TYPE* type);
// Deep copy of `source` into `target` (whose old content is not freed). False when out of
// memory, which leaves `target` empty.
bool CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE& source);
// A deep copy in task memory, for callers that free it with DeleteMediaType; null when out of
// memory.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE& source);

// One media type held by value with its own deep-copied format block. Move-only.
class MediaType {
 public:
  MediaType();
  ~MediaType();
  MediaType(const MediaType&) = delete;
  MediaType& operator=(const MediaType&) = delete;
  MediaType(MediaType&& other) noexcept;
  MediaType& operator=(MediaType&& other) noexcept;

  // Replaces the content with a deep copy of `source`; false when out of memory.
  bool Assign(const AM_MEDIA_TYPE& source);
  // Takes over a type in task memory (as GetFormat gives it) and frees its structure.
  void Adopt(AM_MEDIA_TYPE* owned);
  void Clear();
  bool IsEmpty() const { return type_.majortype == GUID_NULL; }
  const AM_MEDIA_TYPE& get() const { return type_; }
  AM_MEDIA_TYPE* ptr() { return &type_; }

 private:
  AM_MEDIA_TYPE type_;
};

}  // namespace morlun
