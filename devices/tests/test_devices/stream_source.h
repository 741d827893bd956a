#pragma once

// What a virtual device delivers: its formats and its samples. The source filter
// (source_filter.h) owns one and asks it for everything device-specific.

#include <windows.h>
#include <strmif.h>

#include <string>

#include "devices/av_media_type.h"

namespace tarvo_test_devices {

class StreamSource {
 public:
  virtual ~StreamSource() = default;

  // The instance's behaviour, from its property bag (before the device connects).
  virtual void SetMode(const std::wstring& mode) = 0;
  virtual const GUID& major() const = 0;

  // IAMStreamConfig: the capability structure's size, the capabilities and the format the
  // device starts with.
  virtual int CapsSize() const = 0;
  virtual int CapCount() const = 0;
  virtual bool GetCap(int index, morlun::MediaType* type, BYTE* caps) const = 0;
  virtual void InitialFormat(morlun::MediaType* type) const = 0;
  // Whether the device can deliver `type` (one of its capabilities).
  virtual bool Accepts(const AM_MEDIA_TYPE& type) const = 0;
  // The buffer size for `type`; `suggested` is what buffer negotiation asked for (0: nothing).
  virtual long BufferSize(const AM_MEDIA_TYPE& type, long suggested) const = 0;
  // Whether samples are held back until the graph clock reaches their end time.
  virtual bool Paced() const = 0;

  // Streaming thread: Begin once with the connected type and the allocator's buffer size
  // (false: the device delivers nothing), then FillSample for every sample, then End.
  enum class Fill { kSample, kNothing, kStop };
  virtual bool Begin(const AM_MEDIA_TYPE& type, long buffer_size) = 0;
  // Fills at most `capacity` bytes; a source that waits for data returns kStop once `stop` is
  // set.
  virtual Fill FillSample(BYTE* data, long capacity, long* length, REFERENCE_TIME* duration,
                          HANDLE stop) = 0;
  virtual void End() = 0;
};

}  // namespace tarvo_test_devices
