#pragma once

// The test devices' RGB24 to RGB32 converter: a transform filter that DirectShow's intelligent
// connect inserts between the virtual camera's RGB24 capability and a sink that wants RGB32.
// Wine has no colour space converter, and its AVI Decompressor takes only FOURCC subtypes, so
// without this filter an RGB24 camera cannot reach an RGB32 sink there.
//
// Input: video RGB24 (video info, BI_RGB, 24 bits). Output: the same picture as RGB32 (alpha
// 0xFF), rows in the same order (bottom-up for a positive height), timestamps kept.
//
// Threads: COM calls from the graph's callers (serialised by the filter lock); Receive on the
// upstream streaming thread, which converts into a buffer of the output pin's own allocator and
// delivers it downstream on the same thread.

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <atomic>
#include <mutex>
#include <string>

#include "devices/av_media_type.h"

namespace tarvo_test_devices {

// {6F0E6C61-2D2B-4E0C-9C49-5A8E3B3F7D21}
constexpr GUID kRgbConverterClsid = {
    0x6f0e6c61, 0x2d2b, 0x4e0c, {0x9c, 0x49, 0x5a, 0x8e, 0x3b, 0x3f, 0x7d, 0x21}};
constexpr wchar_t kRgbConverterName[] = L"Tarvo RGB24 to RGB32 Converter";

class RgbConverter;
class RgbConverterOutput;

class RgbConverterInput final : public IPin, public IMemInputPin {
 public:
  explicit RgbConverterInput(RgbConverter* filter) : filter_(filter) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

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

  STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
  STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL read_only) override;
  STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
  STDMETHODIMP Receive(IMediaSample* sample) override;
  STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
  STDMETHODIMP ReceiveCanBlock() override;

 private:
  friend class RgbConverter;
  friend class RgbConverterOutput;
  RgbConverter* const filter_;
  // Guarded by the filter's lock.
  Microsoft::WRL::ComPtr<IPin> connected_;
  morlun::MediaType type_;
};

class RgbConverterOutput final : public IPin {
 public:
  explicit RgbConverterOutput(RgbConverter* filter) : filter_(filter) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

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

 private:
  friend class RgbConverter;
  friend class RgbConverterInput;
  // The RGB32 type for the connected input (false while the input is unconnected).
  bool OutputType(morlun::MediaType* type);
  void ReleaseConnection();

  RgbConverter* const filter_;
  // Guarded by the filter's lock.
  Microsoft::WRL::ComPtr<IPin> connected_;
  Microsoft::WRL::ComPtr<IMemInputPin> input_;
  Microsoft::WRL::ComPtr<IMemAllocator> allocator_;
  morlun::MediaType type_;
};

class RgbConverter final : public IBaseFilter {
 public:
  // One reference, the caller's.
  RgbConverter();

  std::mutex& lock() { return lock_; }
  FILTER_STATE state() const { return state_.load(); }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP GetClassID(CLSID* clsid) override;

  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME start) override;
  STDMETHODIMP GetState(DWORD timeout_ms, FILTER_STATE* state) override;
  STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
  STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;

  STDMETHODIMP EnumPins(IEnumPins** pins) override;
  STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

 private:
  friend class RgbConverterInput;
  friend class RgbConverterOutput;
  ~RgbConverter();
  // Streaming thread: converts `sample` and delivers it downstream.
  HRESULT Convert(IMediaSample* sample);

  std::atomic<ULONG> references_{1};
  RgbConverterInput input_;
  RgbConverterOutput output_;
  std::mutex lock_;  // Protects the pins' connections and the fields below but the atomics.
  std::atomic<FILTER_STATE> state_{State_Stopped};
  IFilterGraph* graph_ = nullptr;  // Not owned.
  std::wstring name_;
  Microsoft::WRL::ComPtr<IReferenceClock> clock_;
};

}  // namespace tarvo_test_devices
