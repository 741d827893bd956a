#pragma once

// Morlun's sink filter: the end of every camera and microphone capture graph. It has one input
// pin that accepts one media type (a major type, "vids" or "auds", and a subtype, with a video
// info or wave format block that describes the samples) and hands every media sample to the
// engine through CKestCaptureSink, on DirectShow's streaming thread.
//
// COM rules as DirectShow expects them: the filter starts with one reference, owned by its
// creator; the pin shares the filter's reference count; everything handed out (pins, filters,
// enumerators, clocks) carries an added reference and media types are allocated with
// CoTaskMemAlloc for the caller to free. The filter does not hold a reference to the graph it
// joined (the graph holds the filter).

#include <windows.h>
#include <strmif.h>

#include <atomic>
#include <mutex>
#include <string>

#include "devices/av_media_type.h"

// What the sink filter feeds; implemented by the camera and microphone engines. Called on
// DirectShow's streaming thread with a non-null sample that is valid during the call.
class CKestCaptureSink {
 public:
  virtual void OnVideoSample(IMediaSample* sample) = 0;
  virtual void OnAudioSample(IMediaSample* sample) = 0;
  // Not called by the filter.
  virtual void OnUnusedSample(IMediaSample* sample) = 0;

 protected:
  ~CKestCaptureSink() = default;
};

class CKestCaptureFilter;

// The filter's input pin. Its reference count is the filter's.
class CKestCapturePin : public IPin, public IMemInputPin {
 public:
  CKestCapturePin(CKestCaptureFilter* filter, const GUID& major, const GUID& subtype);
  ~CKestCapturePin();
  CKestCapturePin(const CKestCapturePin&) = delete;
  CKestCapturePin& operator=(const CKestCapturePin&) = delete;

  const GUID& major() const { return major_; }
  const GUID& subtype() const { return subtype_; }
  // The connection's media type (a deep copy); false when unconnected. Thread-safe.
  bool GetConnectionType(morlun::MediaType* type);

  // IUnknown (shared with the filter).
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IPin.
  STDMETHODIMP Connect(IPin* receive_pin, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin** pin) override;
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
  STDMETHODIMP QueryId(LPWSTR* id) override;
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
  STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override;
  STDMETHODIMP EndFlush() override;
  STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // IMemInputPin.
  STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
  STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL read_only) override;
  STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
  STDMETHODIMP Receive(IMediaSample* sample) override;
  STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
  STDMETHODIMP ReceiveCanBlock() override;

 private:
  CKestCaptureFilter* const filter_;
  const GUID major_;
  const GUID subtype_;
  std::mutex mutex_;  // Protects |connected_| and |connection_type_|.
  IPin* connected_ = nullptr;  // Owned reference.
  morlun::MediaType connection_type_;
};

class CKestCaptureFilter final : public IBaseFilter {
 public:
  // A new filter with one reference (the caller's) that feeds `sink` (not owned) with samples
  // of `major` ("vids" or "auds") and `subtype`. Null when out of memory.
  static CKestCaptureFilter* Create(CKestCaptureSink* sink, const GUID& major,
                                    const GUID& subtype);

  CKestCaptureFilter(const CKestCaptureFilter&) = delete;
  CKestCaptureFilter& operator=(const CKestCaptureFilter&) = delete;

  CKestCapturePin* pin() { return &pin_; }
  // Stops deliveries to the sink (null): the engine detaches before it goes. Thread-safe.
  void SetSink(CKestCaptureSink* sink) { sink_.store(sink); }
  CKestCaptureSink* sink() const { return sink_.load(); }
  bool IsStopped() const { return state_.load() == State_Stopped; }

  // IUnknown.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IPersist.
  STDMETHODIMP GetClassID(CLSID* clsid) override;

  // IMediaFilter.
  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME start) override;
  STDMETHODIMP GetState(DWORD timeout_ms, FILTER_STATE* state) override;
  STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
  STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;

  // IBaseFilter.
  STDMETHODIMP EnumPins(IEnumPins** pins) override;
  STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

 private:
  CKestCaptureFilter(CKestCaptureSink* sink, const GUID& major, const GUID& subtype);
  ~CKestCaptureFilter();

  std::atomic<ULONG> references_{1};
  std::atomic<CKestCaptureSink*> sink_;
  std::atomic<FILTER_STATE> state_{State_Stopped};
  CKestCapturePin pin_;
  std::mutex mutex_;               // Protects the three fields below.
  IFilterGraph* graph_ = nullptr;  // Not owned: the graph owns the filter.
  std::wstring name_;
  IReferenceClock* clock_ = nullptr;  // Owned reference.
};
