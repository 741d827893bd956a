#pragma once

// The virtual devices' source filter: one output pin, "Capture", in the capture pin category
// (IKsPropertySet), with IAMStreamConfig and, for audio, IAMBufferNegotiation. When the graph
// runs, the filter's own thread takes buffers from its own allocator, has the StreamSource fill
// them and delivers them downstream, paced by the graph clock when the source wants it.
//
// Threads: COM calls from the graph's callers (serialised by the filter lock); samples from
// the streaming thread, which Stop ends and joins.

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "devices/av_media_type.h"
#include "devices/tests/test_devices/com_object.h"
#include "devices/tests/test_devices/stream_source.h"

namespace tarvo_test_devices {

class SourceFilter;

class SourcePin final : public IPin,
                        public IKsPropertySet,
                        public IAMStreamConfig,
                        public IAMBufferNegotiation,
                        public IAMDroppedFrames {
 public:
  explicit SourcePin(SourceFilter* filter);
  ~SourcePin();

  // IUnknown (the filter's).
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

  // IKsPropertySet: the pin category (capture).
  STDMETHODIMP Set(REFGUID set, DWORD id, LPVOID instance, DWORD instance_size, LPVOID data,
                   DWORD data_size) override;
  STDMETHODIMP Get(REFGUID set, DWORD id, LPVOID instance, DWORD instance_size, LPVOID data,
                   DWORD data_size, DWORD* returned) override;
  STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

  // IAMStreamConfig.
  STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
  STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
  STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
  STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

  // IAMBufferNegotiation (audio only).
  STDMETHODIMP SuggestAllocatorProperties(const ALLOCATOR_PROPERTIES* properties) override;
  STDMETHODIMP GetAllocatorProperties(ALLOCATOR_PROPERTIES* properties) override;

  // IAMDroppedFrames: nothing is dropped; the count of delivered samples since the pin was
  // made.
  STDMETHODIMP GetNumDropped(long* dropped) override;
  STDMETHODIMP GetNumNotDropped(long* delivered) override;
  STDMETHODIMP GetDroppedInfo(long size, long* frames, long* copied) override;
  STDMETHODIMP GetAverageFrameSize(long* size) override;

 private:
  friend class SourceFilter;
  HRESULT TryConnect(IPin* receive_pin, const AM_MEDIA_TYPE& type);
  HRESULT DecideAllocator(IPin* receive_pin);
  void ReleaseConnection();

  SourceFilter* const filter_;
  // Guarded by the filter's lock.
  Microsoft::WRL::ComPtr<IPin> connected_;
  Microsoft::WRL::ComPtr<IMemInputPin> input_;
  Microsoft::WRL::ComPtr<IMemAllocator> allocator_;
  morlun::MediaType current_;     // The format set (or connected).
  ALLOCATOR_PROPERTIES suggested_{};  // From IAMBufferNegotiation (0 sizes: none).
  ALLOCATOR_PROPERTIES actual_{};
  std::atomic<long> delivered_{0};  // Samples delivered downstream.
  std::atomic<long long> delivered_bytes_{0};
};

class SourceFilter final : public IBaseFilter, public IPersistPropertyBag {
 public:
  // One reference, the caller's.
  SourceFilter(const CLSID& clsid, std::unique_ptr<StreamSource> source);

  StreamSource* source() { return source_.get(); }
  std::mutex& lock() { return lock_; }
  FILTER_STATE state() const { return state_.load(); }

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

  // IPersistPropertyBag: the instance's "TarvoMode".
  STDMETHODIMP InitNew() override;
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clear_dirty, BOOL save_all) override;

 private:
  ~SourceFilter();
  void StartStreaming(REFERENCE_TIME start);
  void StopStreaming();
  void Stream();
  // Waits until the clock reaches `when` (stream start + stream time); false when stopped.
  bool WaitUntil(REFERENCE_TIME when);

  std::atomic<ULONG> references_{1};
  const CLSID clsid_;
  std::unique_ptr<StreamSource> source_;
  SourcePin pin_;
  std::mutex lock_;  // Protects the pin's connection and everything below but the atomics.
  std::atomic<FILTER_STATE> state_{State_Stopped};
  IFilterGraph* graph_ = nullptr;  // Not owned.
  std::wstring name_;
  Microsoft::WRL::ComPtr<IReferenceClock> clock_;
  REFERENCE_TIME start_time_ = 0;
  LARGE_INTEGER start_counter_{};  // Pacing without a clock.
  std::thread thread_;
  HANDLE stop_event_ = nullptr;  // Manual reset; set while the streaming thread must end.
};

}  // namespace tarvo_test_devices
