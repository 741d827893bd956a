#include "devices/tests/test_devices/source_filter.h"

#include <oleauto.h>
#include <vfwmsgs.h>

#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

#include "devices/tests/test_devices/com_object.h"
#include "devices/tests/test_devices/enumerators.h"
#include "devices/tests/test_devices/test_devices.h"

using Microsoft::WRL::ComPtr;

namespace tarvo_test_devices {

std::atomic<long> g_live_objects{0};

namespace {

constexpr wchar_t kPinName[] = L"Capture";
constexpr long kMinimumBuffers = 3;  // The Smart Tee copies each sample into a second buffer.

wchar_t* TaskMemCopy(const wchar_t* text) {
  const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
  auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
  if (copy) std::memcpy(copy, text, bytes);
  return copy;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// SourcePin

SourcePin::SourcePin(SourceFilter* filter) : filter_(filter) {}

SourcePin::~SourcePin() = default;

STDMETHODIMP SourcePin::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPin) {
    *out = static_cast<IPin*>(this);
  } else if (iid == IID_IKsPropertySet) {
    *out = static_cast<IKsPropertySet*>(this);
  } else if (iid == IID_IAMStreamConfig) {
    *out = static_cast<IAMStreamConfig*>(this);
  } else if (iid == IID_IAMBufferNegotiation && filter_->source()->major() == MEDIATYPE_Audio) {
    *out = static_cast<IAMBufferNegotiation*>(this);
  } else if (iid == IID_IAMDroppedFrames) {
    *out = static_cast<IAMDroppedFrames*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) SourcePin::AddRef() { return filter_->AddRef(); }

STDMETHODIMP_(ULONG) SourcePin::Release() { return filter_->Release(); }

HRESULT SourcePin::TryConnect(IPin* receive_pin, const AM_MEDIA_TYPE& type) {
  HRESULT hr = receive_pin->ReceiveConnection(this, &type);
  if (FAILED(hr)) return hr;
  connected_ = receive_pin;
  current_.Assign(type);
  hr = DecideAllocator(receive_pin);
  if (FAILED(hr)) {
    receive_pin->Disconnect();
    ReleaseConnection();
  }
  return hr;
}

HRESULT SourcePin::DecideAllocator(IPin* receive_pin) {
  HRESULT hr = receive_pin->QueryInterface(IID_PPV_ARGS(&input_));
  if (FAILED(hr)) return hr;
  ALLOCATOR_PROPERTIES wanted{};
  input_->GetAllocatorRequirements(&wanted);
  wanted.cBuffers = suggested_.cBuffers > wanted.cBuffers ? suggested_.cBuffers : wanted.cBuffers;
  if (wanted.cBuffers < kMinimumBuffers) wanted.cBuffers = kMinimumBuffers;
  wanted.cbBuffer = filter_->source()->BufferSize(current_.get(), suggested_.cbBuffer);
  if (suggested_.cbAlign > wanted.cbAlign) wanted.cbAlign = suggested_.cbAlign;
  if (wanted.cbAlign < 1) wanted.cbAlign = 1;
  wanted.cbPrefix = 0;
  hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                        IID_PPV_ARGS(&allocator_));
  if (SUCCEEDED(hr)) hr = allocator_->SetProperties(&wanted, &actual_);
  if (SUCCEEDED(hr) && actual_.cbBuffer < wanted.cbBuffer) hr = E_FAIL;
  if (SUCCEEDED(hr)) hr = input_->NotifyAllocator(allocator_.Get(), FALSE);
  return hr;
}

void SourcePin::ReleaseConnection() {
  connected_.Reset();
  input_.Reset();
  allocator_.Reset();
  actual_ = ALLOCATOR_PROPERTIES{};
}

STDMETHODIMP SourcePin::Connect(IPin* receive_pin, const AM_MEDIA_TYPE* type) {
  if (!receive_pin) return E_POINTER;
  std::lock_guard<std::mutex> lock(filter_->lock());
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
  // A complete type is tried as it is; otherwise the current format (set by SetFormat).
  if (type && type->formattype != GUID_NULL && type->pbFormat) {
    if (!filter_->source()->Accepts(*type)) return VFW_E_TYPE_NOT_ACCEPTED;
    return TryConnect(receive_pin, *type);
  }
  const AM_MEDIA_TYPE& current = current_.get();
  if (type && ((type->majortype != GUID_NULL && type->majortype != current.majortype) ||
               (type->subtype != GUID_NULL && type->subtype != current.subtype))) {
    return VFW_E_NO_ACCEPTABLE_TYPES;
  }
  const HRESULT hr = TryConnect(receive_pin, current);
  return SUCCEEDED(hr) ? hr : VFW_E_NO_ACCEPTABLE_TYPES;
}

STDMETHODIMP SourcePin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

STDMETHODIMP SourcePin::Disconnect() {
  std::lock_guard<std::mutex> lock(filter_->lock());
  if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (!connected_) return S_FALSE;
  ReleaseConnection();
  return S_OK;
}

STDMETHODIMP SourcePin::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  std::lock_guard<std::mutex> lock(filter_->lock());
  *pin = connected_.Get();
  if (!*pin) return VFW_E_NOT_CONNECTED;
  (*pin)->AddRef();
  return S_OK;
}

STDMETHODIMP SourcePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  std::lock_guard<std::mutex> lock(filter_->lock());
  if (!connected_) {
    std::memset(type, 0, sizeof(*type));
    return VFW_E_NOT_CONNECTED;
  }
  return morlun::CopyMediaType(type, current_.get()) ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SourcePin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = filter_;
  filter_->AddRef();
  info->dir = PINDIR_OUTPUT;
  std::wcscpy(info->achName, kPinName);
  return S_OK;
}

STDMETHODIMP SourcePin::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = PINDIR_OUTPUT;
  return S_OK;
}

STDMETHODIMP SourcePin::QueryId(LPWSTR* id) {
  if (!id) return E_POINTER;
  *id = TaskMemCopy(kPinName);
  return *id ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SourcePin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  return filter_->source()->Accepts(*type) ? S_OK : S_FALSE;
}

STDMETHODIMP SourcePin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (!types) return E_POINTER;
  // The current format first, then every capability.
  std::vector<morlun::MediaType> list(1);
  {
    std::lock_guard<std::mutex> lock(filter_->lock());
    list[0].Assign(current_.get());
  }
  StreamSource* source = filter_->source();
  for (int i = 0; i < source->CapCount(); ++i) {
    morlun::MediaType type;
    if (source->GetCap(i, &type, nullptr)) list.push_back(std::move(type));
  }
  *types = new (std::nothrow) TypeEnum(static_cast<IBaseFilter*>(filter_), &list, 0);
  return *types ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SourcePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

STDMETHODIMP SourcePin::EndOfStream() { return E_UNEXPECTED; }

STDMETHODIMP SourcePin::BeginFlush() { return E_UNEXPECTED; }

STDMETHODIMP SourcePin::EndFlush() { return E_UNEXPECTED; }

STDMETHODIMP SourcePin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

STDMETHODIMP SourcePin::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) { return E_NOTIMPL; }

STDMETHODIMP SourcePin::Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD data_size,
                            DWORD* returned) {
  if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (!data && !returned) return E_POINTER;
  if (returned) *returned = sizeof(GUID);
  if (!data) return S_OK;
  if (data_size < sizeof(GUID)) return E_UNEXPECTED;
  *static_cast<GUID*>(data) = PIN_CATEGORY_CAPTURE;
  return S_OK;
}

STDMETHODIMP SourcePin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (support) *support = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}

STDMETHODIMP SourcePin::SetFormat(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  std::lock_guard<std::mutex> lock(filter_->lock());
  if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (!filter_->source()->Accepts(*type)) return VFW_E_INVALIDMEDIATYPE;
  return current_.Assign(*type) ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SourcePin::GetFormat(AM_MEDIA_TYPE** type) {
  if (!type) return E_POINTER;
  std::lock_guard<std::mutex> lock(filter_->lock());
  *type = morlun::CreateMediaType(current_.get());
  return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SourcePin::GetNumberOfCapabilities(int* count, int* size) {
  if (!count || !size) return E_POINTER;
  *count = filter_->source()->CapCount();
  *size = filter_->source()->CapsSize();
  return S_OK;
}

STDMETHODIMP SourcePin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
  if (!type || !caps) return E_POINTER;
  morlun::MediaType cap;
  if (!filter_->source()->GetCap(index, &cap, caps)) return S_FALSE;
  *type = morlun::CreateMediaType(cap.get());
  return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SourcePin::SuggestAllocatorProperties(const ALLOCATOR_PROPERTIES* properties) {
  if (!properties) return E_POINTER;
  std::lock_guard<std::mutex> lock(filter_->lock());
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  suggested_ = *properties;
  return S_OK;
}

STDMETHODIMP SourcePin::GetAllocatorProperties(ALLOCATOR_PROPERTIES* properties) {
  if (!properties) return E_POINTER;
  std::lock_guard<std::mutex> lock(filter_->lock());
  if (!allocator_) return VFW_E_NO_ALLOCATOR;
  *properties = actual_;
  return S_OK;
}

STDMETHODIMP SourcePin::GetNumDropped(long* dropped) {
  if (!dropped) return E_POINTER;
  *dropped = 0;
  return S_OK;
}

STDMETHODIMP SourcePin::GetNumNotDropped(long* delivered) {
  if (!delivered) return E_POINTER;
  *delivered = delivered_.load();
  return S_OK;
}

STDMETHODIMP SourcePin::GetDroppedInfo(long, long*, long* copied) {
  if (!copied) return E_POINTER;
  *copied = 0;
  return S_OK;
}

STDMETHODIMP SourcePin::GetAverageFrameSize(long* size) {
  if (!size) return E_POINTER;
  const long delivered = delivered_.load();
  *size = delivered ? static_cast<long>(delivered_bytes_.load() / delivered) : 0;
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// SourceFilter

SourceFilter::SourceFilter(const CLSID& clsid, std::unique_ptr<StreamSource> source)
    : clsid_(clsid), source_(std::move(source)), pin_(this) {
  source_->InitialFormat(&pin_.current_);
  stop_event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ++g_live_objects;
}

SourceFilter::~SourceFilter() {
  StopStreaming();
  if (stop_event_) CloseHandle(stop_event_);
  --g_live_objects;
}

STDMETHODIMP SourceFilter::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IMediaFilter || iid == IID_IBaseFilter) {
    *out = static_cast<IBaseFilter*>(this);
  } else if (iid == IID_IPersist) {
    *out = static_cast<IPersist*>(static_cast<IBaseFilter*>(this));
  } else if (iid == IID_IPersistPropertyBag) {
    *out = static_cast<IPersistPropertyBag*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) SourceFilter::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) SourceFilter::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP SourceFilter::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = clsid_;
  return S_OK;
}

STDMETHODIMP SourceFilter::Stop() {
  StopStreaming();
  std::lock_guard<std::mutex> lock(lock_);
  if (pin_.allocator_) pin_.allocator_->Decommit();
  state_.store(State_Stopped);
  return S_OK;
}

STDMETHODIMP SourceFilter::Pause() {
  if (state_.load() == State_Running) StopStreaming();
  std::lock_guard<std::mutex> lock(lock_);
  if (state_.load() == State_Stopped && pin_.allocator_) {
    const HRESULT hr = pin_.allocator_->Commit();
    if (FAILED(hr)) return hr;
  }
  state_.store(State_Paused);
  return S_OK;
}

STDMETHODIMP SourceFilter::Run(REFERENCE_TIME start) {
  if (state_.load() == State_Stopped) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  if (state_.load() != State_Running) StartStreaming(start);
  state_.store(State_Running);
  return S_OK;
}

STDMETHODIMP SourceFilter::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  *state = state_.load();
  return *state == State_Paused ? VFW_S_CANT_CUE : S_OK;  // A live source.
}

STDMETHODIMP SourceFilter::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard<std::mutex> lock(lock_);
  clock_ = clock;
  return S_OK;
}

STDMETHODIMP SourceFilter::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  std::lock_guard<std::mutex> lock(lock_);
  *clock = clock_.Get();
  if (*clock) (*clock)->AddRef();
  return S_OK;
}

STDMETHODIMP SourceFilter::EnumPins(IEnumPins** pins) {
  if (!pins) return E_POINTER;
  *pins = new (std::nothrow) PinEnum(this, {&pin_}, 0);
  return *pins ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SourceFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (!id || !pin) return E_POINTER;
  *pin = nullptr;
  if (std::wcscmp(id, kPinName) != 0) return VFW_E_NOT_FOUND;
  *pin = &pin_;
  pin_.AddRef();
  return S_OK;
}

STDMETHODIMP SourceFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  std::lock_guard<std::mutex> lock(lock_);
  std::wcsncpy(info->achName, name_.c_str(), MAX_FILTER_NAME - 1);
  info->achName[MAX_FILTER_NAME - 1] = L'\0';
  info->pGraph = graph_;
  if (graph_) graph_->AddRef();
  return S_OK;
}

STDMETHODIMP SourceFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  std::lock_guard<std::mutex> lock(lock_);
  graph_ = graph;
  name_ = name ? name : L"";
  return S_OK;
}

STDMETHODIMP SourceFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

STDMETHODIMP SourceFilter::InitNew() { return S_OK; }

STDMETHODIMP SourceFilter::Load(IPropertyBag* bag, IErrorLog* log) {
  if (!bag) return E_POINTER;
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  if (SUCCEEDED(bag->Read(kModeProperty, &value, log)) && value.vt == VT_BSTR && value.bstrVal) {
    std::lock_guard<std::mutex> lock(lock_);
    source_->SetMode(value.bstrVal);
    source_->InitialFormat(&pin_.current_);
  }
  VariantClear(&value);
  return S_OK;
}

STDMETHODIMP SourceFilter::Save(IPropertyBag*, BOOL, BOOL) { return E_NOTIMPL; }

void SourceFilter::StartStreaming(REFERENCE_TIME start) {
  std::lock_guard<std::mutex> lock(lock_);
  if (thread_.joinable() || !pin_.connected_) return;
  if (!pin_.allocator_ || FAILED(pin_.allocator_->Commit())) return;
  start_time_ = start;
  QueryPerformanceCounter(&start_counter_);
  ResetEvent(stop_event_);
  try {
    thread_ = std::thread(&SourceFilter::Stream, this);
  } catch (...) {
  }
}

void SourceFilter::StopStreaming() {
  SetEvent(stop_event_);
  {
    // Wakes a streaming thread waiting for a free buffer.
    std::lock_guard<std::mutex> lock(lock_);
    if (pin_.allocator_) pin_.allocator_->Decommit();
  }
  if (thread_.joinable()) thread_.join();
}

bool SourceFilter::WaitUntil(REFERENCE_TIME when) {
  for (;;) {
    REFERENCE_TIME now = 0;
    if (clock_) {
      clock_->GetTime(&now);
      now -= start_time_;
    } else {
      LARGE_INTEGER counter;
      LARGE_INTEGER frequency;
      QueryPerformanceCounter(&counter);
      QueryPerformanceFrequency(&frequency);
      now = (counter.QuadPart - start_counter_.QuadPart) * 10000000 / frequency.QuadPart;
    }
    if (now >= when) return true;
    const DWORD wait_ms = static_cast<DWORD>((when - now) / 10000) + 1;
    if (WaitForSingleObject(stop_event_, wait_ms) == WAIT_OBJECT_0) return false;
  }
}

void SourceFilter::Stream() {
  ComPtr<IMemAllocator> allocator;
  ComPtr<IMemInputPin> input;
  morlun::MediaType type;
  long buffer_size = 0;
  {
    std::lock_guard<std::mutex> lock(lock_);
    allocator = pin_.allocator_;
    input = pin_.input_;
    type.Assign(pin_.current_.get());
    buffer_size = pin_.actual_.cbBuffer;
  }
  if (!allocator || !input) return;
  if (!source_->Begin(type.get(), buffer_size)) {
    WaitForSingleObject(stop_event_, INFINITE);  // A silent device.
    return;
  }
  const bool paced = source_->Paced();
  REFERENCE_TIME position = 0;
  bool first = true;
  while (WaitForSingleObject(stop_event_, 0) != WAIT_OBJECT_0) {
    ComPtr<IMediaSample> sample;
    if (FAILED(allocator->GetBuffer(&sample, nullptr, nullptr, 0))) break;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    long length = 0;
    REFERENCE_TIME duration = 0;
    const StreamSource::Fill fill =
        source_->FillSample(data, sample->GetSize(), &length, &duration, stop_event_);
    if (fill == StreamSource::Fill::kStop) break;
    if (fill == StreamSource::Fill::kNothing) {
      sample.Reset();
      if (WaitForSingleObject(stop_event_, 20) == WAIT_OBJECT_0) break;
      continue;
    }
    REFERENCE_TIME begin = position;
    REFERENCE_TIME end = position + duration;
    position = end;
    if (paced && !WaitUntil(end)) break;
    sample->SetActualDataLength(length);
    sample->SetTime(&begin, &end);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(first);
    first = false;
    if (FAILED(input->Receive(sample.Get()))) break;
    ++pin_.delivered_;
    pin_.delivered_bytes_ += length;
  }
  source_->End();
}

}  // namespace tarvo_test_devices
