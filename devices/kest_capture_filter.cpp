#include "devices/kest_capture_filter.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <cstring>
#include <cwchar>
#include <new>

#include "devices/av_capture_formats.h"
#include "devices/av_log.h"
#include "devices/kest_capture_enums.h"

namespace {

constexpr wchar_t kPinId[] = L"Capture Pin";

// A copy of `text` in task memory, for the caller to free with CoTaskMemFree.
wchar_t* TaskMemCopy(const wchar_t* text) {
  const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
  auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
  if (copy) std::memcpy(copy, text, bytes);
  return copy;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CKestCapturePin

CKestCapturePin::CKestCapturePin(CKestCaptureFilter* filter, const GUID& major,
                                 const GUID& subtype)
    : filter_(filter), major_(major), subtype_(subtype) {}

CKestCapturePin::~CKestCapturePin() {
  if (connected_) connected_->Release();
}

bool CKestCapturePin::GetConnectionType(morlun::MediaType* type) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!connected_) return false;
  return type->Assign(connection_type_.get());
}

STDMETHODIMP CKestCapturePin::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPin) {
    *out = static_cast<IPin*>(this);
  } else if (iid == IID_IMemInputPin) {
    *out = static_cast<IMemInputPin*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CKestCapturePin::AddRef() { return filter_->AddRef(); }

STDMETHODIMP_(ULONG) CKestCapturePin::Release() { return filter_->Release(); }

STDMETHODIMP CKestCapturePin::Connect(IPin* receive_pin, const AM_MEDIA_TYPE*) {
  // An input pin is connected to, never connects.
  if (!receive_pin) return E_POINTER;
  if (!filter_->IsStopped()) return VFW_E_NOT_STOPPED;
  std::lock_guard<std::mutex> lock(mutex_);
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  return E_UNEXPECTED;
}

STDMETHODIMP CKestCapturePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (!filter_->IsStopped()) return VFW_E_NOT_STOPPED;
  if (!connector || !type) return E_POINTER;
  std::lock_guard<std::mutex> lock(mutex_);
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (QueryAccept(type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  PIN_DIRECTION direction = PINDIR_INPUT;
  if (FAILED(connector->QueryDirection(&direction)) || direction != PINDIR_OUTPUT) {
    return VFW_E_INVALID_DIRECTION;
  }
  if (!connection_type_.Assign(*type)) return E_OUTOFMEMORY;
  connected_ = connector;
  connected_->AddRef();
  return S_OK;
}

STDMETHODIMP CKestCapturePin::Disconnect() {
  if (!filter_->IsStopped()) return VFW_E_NOT_STOPPED;
  IPin* released = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!connected_) return S_FALSE;
    released = connected_;
    connected_ = nullptr;
    connection_type_.Clear();
  }
  released->Release();
  return S_OK;
}

STDMETHODIMP CKestCapturePin::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  std::lock_guard<std::mutex> lock(mutex_);
  *pin = connected_;
  if (!connected_) return VFW_E_NOT_CONNECTED;
  connected_->AddRef();
  return S_OK;
}

STDMETHODIMP CKestCapturePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!connected_) {
    std::memset(type, 0, sizeof(*type));
    return VFW_E_NOT_CONNECTED;
  }
  return morlun::CopyMediaType(type, connection_type_.get()) ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CKestCapturePin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = filter_;
  filter_->AddRef();
  info->dir = PINDIR_INPUT;
  const wchar_t* name = major_ == MEDIATYPE_Audio ? L"Audio Capture" : L"Video Capture";
  std::wcsncpy(info->achName, name, MAX_PIN_NAME - 1);
  info->achName[MAX_PIN_NAME - 1] = L'\0';
  return S_OK;
}

STDMETHODIMP CKestCapturePin::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = PINDIR_INPUT;
  return S_OK;
}

STDMETHODIMP CKestCapturePin::QueryId(LPWSTR* id) {
  if (!id) return E_POINTER;
  *id = TaskMemCopy(kPinId);
  return *id ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CKestCapturePin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  if (!filter_->IsStopped()) return S_FALSE;
  if (type->majortype != major_ || type->subtype != subtype_) return S_FALSE;
  // The engines describe every sample by the connection's format block: a type without one
  // (such as the bare type this pin enumerates, which an upstream pin may offer back) would
  // connect a stream nobody can read.
  const bool described = major_ == MEDIATYPE_Audio ? morlun::WaveFormatOf(*type) != nullptr
                                                   : morlun::BitmapHeaderOf(*type) != nullptr;
  return described ? S_OK : S_FALSE;
}

STDMETHODIMP CKestCapturePin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (!types) return E_POINTER;
  *types = CKestCaptureEnumMediaTypes::Create(filter_);
  return *types ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CKestCapturePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

STDMETHODIMP CKestCapturePin::EndOfStream() { return S_OK; }

STDMETHODIMP CKestCapturePin::BeginFlush() { return S_OK; }

STDMETHODIMP CKestCapturePin::EndFlush() { return S_OK; }

STDMETHODIMP CKestCapturePin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

STDMETHODIMP CKestCapturePin::GetAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  *allocator = nullptr;
  return VFW_E_NO_ALLOCATOR;
}

STDMETHODIMP CKestCapturePin::NotifyAllocator(IMemAllocator* allocator, BOOL) {
  return allocator ? S_OK : E_POINTER;
}

STDMETHODIMP CKestCapturePin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) {
  return E_NOTIMPL;
}

STDMETHODIMP CKestCapturePin::Receive(IMediaSample* sample) {
  if (!sample) return S_OK;
  CKestCaptureSink* sink = filter_->sink();
  if (!sink) return S_OK;
  try {
    if (major_ == MEDIATYPE_Video) {
      sink->OnVideoSample(sample);
    } else if (major_ == MEDIATYPE_Audio) {
      sink->OnAudioSample(sample);
    }
  } catch (...) {
    AvLog("CKestCapturePin::Receive: the sink threw");
  }
  return S_OK;
}

STDMETHODIMP CKestCapturePin::ReceiveMultiple(IMediaSample** samples, long count,
                                              long* processed) {
  if (!samples || !processed) return E_POINTER;
  *processed = 0;
  for (long i = 0; i < count; ++i) {
    Receive(samples[i]);
    ++*processed;
  }
  return S_OK;
}

STDMETHODIMP CKestCapturePin::ReceiveCanBlock() { return S_FALSE; }

// ---------------------------------------------------------------------------------------------
// CKestCaptureFilter

CKestCaptureFilter* CKestCaptureFilter::Create(CKestCaptureSink* sink, const GUID& major,
                                               const GUID& subtype) {
  return new (std::nothrow) CKestCaptureFilter(sink, major, subtype);
}

CKestCaptureFilter::CKestCaptureFilter(CKestCaptureSink* sink, const GUID& major,
                                       const GUID& subtype)
    : sink_(sink), pin_(this, major, subtype) {}

CKestCaptureFilter::~CKestCaptureFilter() {
  if (clock_) clock_->Release();
}

STDMETHODIMP CKestCaptureFilter::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IMediaFilter ||
      iid == IID_IBaseFilter) {
    *out = static_cast<IBaseFilter*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CKestCaptureFilter::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) CKestCaptureFilter::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP CKestCaptureFilter::GetClassID(CLSID*) { return E_NOTIMPL; }

STDMETHODIMP CKestCaptureFilter::Stop() {
  state_.store(State_Stopped);
  return S_OK;
}

STDMETHODIMP CKestCaptureFilter::Pause() {
  state_.store(State_Paused);
  return S_OK;
}

STDMETHODIMP CKestCaptureFilter::Run(REFERENCE_TIME) {
  state_.store(State_Running);
  return S_OK;
}

STDMETHODIMP CKestCaptureFilter::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  *state = state_.load();
  return S_OK;
}

STDMETHODIMP CKestCaptureFilter::SetSyncSource(IReferenceClock* clock) {
  if (clock) clock->AddRef();
  IReferenceClock* old = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    old = clock_;
    clock_ = clock;
  }
  if (old) old->Release();
  return S_OK;
}

STDMETHODIMP CKestCaptureFilter::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  std::lock_guard<std::mutex> lock(mutex_);
  *clock = clock_;
  if (clock_) clock_->AddRef();
  return S_OK;
}

STDMETHODIMP CKestCaptureFilter::EnumPins(IEnumPins** pins) {
  if (!pins) return E_POINTER;
  *pins = CKestCaptureEnumPins::Create(this);
  return *pins ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CKestCaptureFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (!id || !pin) return E_POINTER;
  if (std::wcscmp(id, kPinId) != 0) {
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
  }
  *pin = &pin_;
  pin_.AddRef();
  return S_OK;
}

STDMETHODIMP CKestCaptureFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  std::lock_guard<std::mutex> lock(mutex_);
  std::wcsncpy(info->achName, name_.c_str(), MAX_FILTER_NAME - 1);
  info->achName[MAX_FILTER_NAME - 1] = L'\0';
  info->pGraph = graph_;
  if (graph_) graph_->AddRef();
  return S_OK;
}

STDMETHODIMP CKestCaptureFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  std::lock_guard<std::mutex> lock(mutex_);
  graph_ = graph;
  name_ = name ? name : L"";
  return S_OK;
}

STDMETHODIMP CKestCaptureFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }
