#include "devices/tests/test_devices/rgb_converter.h"

#include <amvideo.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

#include "devices/av_capture_formats.h"
#include "devices/tests/test_devices/com_object.h"
#include "devices/tests/test_devices/enumerators.h"

using Microsoft::WRL::ComPtr;

namespace tarvo_test_devices {
namespace {

constexpr wchar_t kInputName[] = L"In";
constexpr wchar_t kOutputName[] = L"Out";
constexpr long kOutputBuffers = 2;

wchar_t* TaskMemCopy(const wchar_t* text) {
  const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
  auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
  if (copy) std::memcpy(copy, text, bytes);
  return copy;
}

// Bytes per row of an uncompressed bitmap (rows are DWORD-aligned).
long RowBytes(long width, int bits) { return ((width * bits + 31) / 32) * 4; }

// The RGB24 picture of an input type, or null when the type is no such picture.
const BITMAPINFOHEADER* Rgb24Header(const AM_MEDIA_TYPE& type) {
  if (type.majortype != MEDIATYPE_Video || type.subtype != MEDIASUBTYPE_RGB24 ||
      type.formattype != FORMAT_VideoInfo) {
    return nullptr;
  }
  const BITMAPINFOHEADER* header = morlun::BitmapHeaderOf(type);
  if (!header || header->biCompression != BI_RGB || header->biBitCount != 24 ||
      header->biWidth <= 0 || header->biHeight == 0) {
    return nullptr;
  }
  return header;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// RgbConverterInput

STDMETHODIMP RgbConverterInput::QueryInterface(REFIID iid, void** out) {
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

STDMETHODIMP_(ULONG) RgbConverterInput::AddRef() { return filter_->AddRef(); }

STDMETHODIMP_(ULONG) RgbConverterInput::Release() { return filter_->Release(); }

STDMETHODIMP RgbConverterInput::Connect(IPin*, const AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

STDMETHODIMP RgbConverterInput::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (!connector || !type) return E_POINTER;
  std::lock_guard<std::mutex> lock(filter_->lock());
  if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (!Rgb24Header(*type)) return VFW_E_TYPE_NOT_ACCEPTED;
  if (!type_.Assign(*type)) return E_OUTOFMEMORY;
  connected_ = connector;
  return S_OK;
}

STDMETHODIMP RgbConverterInput::Disconnect() {
  std::lock_guard<std::mutex> lock(filter_->lock());
  if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (!connected_) return S_FALSE;
  connected_.Reset();
  type_.Clear();
  return S_OK;
}

STDMETHODIMP RgbConverterInput::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  std::lock_guard<std::mutex> lock(filter_->lock());
  *pin = connected_.Get();
  if (!*pin) return VFW_E_NOT_CONNECTED;
  (*pin)->AddRef();
  return S_OK;
}

STDMETHODIMP RgbConverterInput::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  std::lock_guard<std::mutex> lock(filter_->lock());
  if (!connected_) {
    std::memset(type, 0, sizeof(*type));
    return VFW_E_NOT_CONNECTED;
  }
  return morlun::CopyMediaType(type, type_.get()) ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP RgbConverterInput::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = filter_;
  filter_->AddRef();
  info->dir = PINDIR_INPUT;
  std::wcscpy(info->achName, kInputName);
  return S_OK;
}

STDMETHODIMP RgbConverterInput::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = PINDIR_INPUT;
  return S_OK;
}

STDMETHODIMP RgbConverterInput::QueryId(LPWSTR* id) {
  if (!id) return E_POINTER;
  *id = TaskMemCopy(kInputName);
  return *id ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP RgbConverterInput::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  return Rgb24Header(*type) ? S_OK : S_FALSE;
}

STDMETHODIMP RgbConverterInput::EnumMediaTypes(IEnumMediaTypes** types) {
  if (!types) return E_POINTER;
  std::vector<morlun::MediaType> none;
  *types = new (std::nothrow) TypeEnum(static_cast<IBaseFilter*>(filter_), &none, 0);
  return *types ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP RgbConverterInput::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

STDMETHODIMP RgbConverterInput::EndOfStream() {
  ComPtr<IPin> downstream;
  {
    std::lock_guard<std::mutex> lock(filter_->lock());
    downstream = filter_->output_.connected_;
  }
  return downstream ? downstream->EndOfStream() : S_OK;
}

STDMETHODIMP RgbConverterInput::BeginFlush() {
  ComPtr<IPin> downstream;
  {
    std::lock_guard<std::mutex> lock(filter_->lock());
    downstream = filter_->output_.connected_;
  }
  return downstream ? downstream->BeginFlush() : S_OK;
}

STDMETHODIMP RgbConverterInput::EndFlush() {
  ComPtr<IPin> downstream;
  {
    std::lock_guard<std::mutex> lock(filter_->lock());
    downstream = filter_->output_.connected_;
  }
  return downstream ? downstream->EndFlush() : S_OK;
}

STDMETHODIMP RgbConverterInput::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                           double rate) {
  ComPtr<IPin> downstream;
  {
    std::lock_guard<std::mutex> lock(filter_->lock());
    downstream = filter_->output_.connected_;
  }
  return downstream ? downstream->NewSegment(start, stop, rate) : S_OK;
}

STDMETHODIMP RgbConverterInput::GetAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  *allocator = nullptr;
  return VFW_E_NO_ALLOCATOR;
}

STDMETHODIMP RgbConverterInput::NotifyAllocator(IMemAllocator* allocator, BOOL) {
  return allocator ? S_OK : E_POINTER;
}

STDMETHODIMP RgbConverterInput::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) {
  return E_NOTIMPL;
}

STDMETHODIMP RgbConverterInput::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  return filter_->Convert(sample);
}

STDMETHODIMP RgbConverterInput::ReceiveMultiple(IMediaSample** samples, long count,
                                                long* processed) {
  if (!samples || !processed) return E_POINTER;
  *processed = 0;
  for (long i = 0; i < count; ++i) {
    const HRESULT hr = Receive(samples[i]);
    if (hr != S_OK) return hr;
    ++*processed;
  }
  return S_OK;
}

STDMETHODIMP RgbConverterInput::ReceiveCanBlock() { return S_OK; }

// ---------------------------------------------------------------------------------------------
// RgbConverterOutput

STDMETHODIMP RgbConverterOutput::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPin) {
    *out = static_cast<IPin*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) RgbConverterOutput::AddRef() { return filter_->AddRef(); }

STDMETHODIMP_(ULONG) RgbConverterOutput::Release() { return filter_->Release(); }

bool RgbConverterOutput::OutputType(morlun::MediaType* type) {
  const RgbConverterInput& input = filter_->input_;
  if (!input.connected_) return false;
  const AM_MEDIA_TYPE& in = input.type_.get();
  VIDEOINFOHEADER info = *reinterpret_cast<const VIDEOINFOHEADER*>(in.pbFormat);
  const long height = std::labs(info.bmiHeader.biHeight);
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(RowBytes(info.bmiHeader.biWidth, 32) * height);
  info.dwBitRate = 0;
  AM_MEDIA_TYPE out{};
  out.majortype = MEDIATYPE_Video;
  out.subtype = MEDIASUBTYPE_RGB32;
  out.bFixedSizeSamples = TRUE;
  out.lSampleSize = info.bmiHeader.biSizeImage;
  out.formattype = FORMAT_VideoInfo;
  out.cbFormat = sizeof(info);
  out.pbFormat = reinterpret_cast<BYTE*>(&info);
  return type->Assign(out);
}

void RgbConverterOutput::ReleaseConnection() {
  connected_.Reset();
  input_.Reset();
  allocator_.Reset();
  type_.Clear();
}

STDMETHODIMP RgbConverterOutput::Connect(IPin* receive_pin, const AM_MEDIA_TYPE* type) {
  if (!receive_pin) return E_POINTER;
  std::lock_guard<std::mutex> lock(filter_->lock());
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
  morlun::MediaType offered;
  if (!OutputType(&offered)) return VFW_E_NO_ACCEPTABLE_TYPES;
  if (type && ((type->majortype != GUID_NULL && type->majortype != MEDIATYPE_Video) ||
               (type->subtype != GUID_NULL && type->subtype != MEDIASUBTYPE_RGB32))) {
    return VFW_E_NO_ACCEPTABLE_TYPES;
  }
  HRESULT hr = receive_pin->ReceiveConnection(this, &offered.get());
  if (FAILED(hr)) return hr;
  connected_ = receive_pin;
  type_ = std::move(offered);
  hr = receive_pin->QueryInterface(IID_PPV_ARGS(&input_));
  if (SUCCEEDED(hr) && FAILED(input_->GetAllocator(&allocator_))) {
    hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                          IID_PPV_ARGS(&allocator_));
  }
  if (SUCCEEDED(hr)) {
    ALLOCATOR_PROPERTIES wanted{kOutputBuffers, static_cast<long>(type_.get().lSampleSize), 1, 0};
    ALLOCATOR_PROPERTIES actual{};
    hr = allocator_->SetProperties(&wanted, &actual);
    if (SUCCEEDED(hr) && actual.cbBuffer < wanted.cbBuffer) hr = E_FAIL;
  }
  if (SUCCEEDED(hr)) hr = input_->NotifyAllocator(allocator_.Get(), FALSE);
  if (FAILED(hr)) {
    receive_pin->Disconnect();
    ReleaseConnection();
  }
  return hr;
}

STDMETHODIMP RgbConverterOutput::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) {
  return E_UNEXPECTED;
}

STDMETHODIMP RgbConverterOutput::Disconnect() {
  std::lock_guard<std::mutex> lock(filter_->lock());
  if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (!connected_) return S_FALSE;
  ReleaseConnection();
  return S_OK;
}

STDMETHODIMP RgbConverterOutput::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  std::lock_guard<std::mutex> lock(filter_->lock());
  *pin = connected_.Get();
  if (!*pin) return VFW_E_NOT_CONNECTED;
  (*pin)->AddRef();
  return S_OK;
}

STDMETHODIMP RgbConverterOutput::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  std::lock_guard<std::mutex> lock(filter_->lock());
  if (!connected_) {
    std::memset(type, 0, sizeof(*type));
    return VFW_E_NOT_CONNECTED;
  }
  return morlun::CopyMediaType(type, type_.get()) ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP RgbConverterOutput::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = filter_;
  filter_->AddRef();
  info->dir = PINDIR_OUTPUT;
  std::wcscpy(info->achName, kOutputName);
  return S_OK;
}

STDMETHODIMP RgbConverterOutput::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = PINDIR_OUTPUT;
  return S_OK;
}

STDMETHODIMP RgbConverterOutput::QueryId(LPWSTR* id) {
  if (!id) return E_POINTER;
  *id = TaskMemCopy(kOutputName);
  return *id ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP RgbConverterOutput::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  return type->majortype == MEDIATYPE_Video && type->subtype == MEDIASUBTYPE_RGB32 ? S_OK
                                                                                   : S_FALSE;
}

STDMETHODIMP RgbConverterOutput::EnumMediaTypes(IEnumMediaTypes** types) {
  if (!types) return E_POINTER;
  std::vector<morlun::MediaType> list(1);
  {
    std::lock_guard<std::mutex> lock(filter_->lock());
    if (!OutputType(&list[0])) list.clear();
  }
  *types = new (std::nothrow) TypeEnum(static_cast<IBaseFilter*>(filter_), &list, 0);
  return *types ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP RgbConverterOutput::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

STDMETHODIMP RgbConverterOutput::EndOfStream() { return E_UNEXPECTED; }

STDMETHODIMP RgbConverterOutput::BeginFlush() { return E_UNEXPECTED; }

STDMETHODIMP RgbConverterOutput::EndFlush() { return E_UNEXPECTED; }

STDMETHODIMP RgbConverterOutput::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) {
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// RgbConverter

RgbConverter::RgbConverter() : input_(this), output_(this) { ++g_live_objects; }

RgbConverter::~RgbConverter() { --g_live_objects; }

STDMETHODIMP RgbConverter::QueryInterface(REFIID iid, void** out) {
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

STDMETHODIMP_(ULONG) RgbConverter::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) RgbConverter::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP RgbConverter::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = kRgbConverterClsid;
  return S_OK;
}

STDMETHODIMP RgbConverter::Stop() {
  std::lock_guard<std::mutex> lock(lock_);
  // Decommitting also wakes a streaming thread waiting for an output buffer.
  if (output_.allocator_) output_.allocator_->Decommit();
  state_.store(State_Stopped);
  return S_OK;
}

STDMETHODIMP RgbConverter::Pause() {
  std::lock_guard<std::mutex> lock(lock_);
  if (state_.load() == State_Stopped && output_.allocator_) {
    const HRESULT hr = output_.allocator_->Commit();
    if (FAILED(hr)) return hr;
  }
  state_.store(State_Paused);
  return S_OK;
}

STDMETHODIMP RgbConverter::Run(REFERENCE_TIME) {
  if (state_.load() == State_Stopped) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  state_.store(State_Running);
  return S_OK;
}

STDMETHODIMP RgbConverter::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  *state = state_.load();
  return S_OK;
}

STDMETHODIMP RgbConverter::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard<std::mutex> lock(lock_);
  clock_ = clock;
  return S_OK;
}

STDMETHODIMP RgbConverter::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  std::lock_guard<std::mutex> lock(lock_);
  *clock = clock_.Get();
  if (*clock) (*clock)->AddRef();
  return S_OK;
}

STDMETHODIMP RgbConverter::EnumPins(IEnumPins** pins) {
  if (!pins) return E_POINTER;
  *pins = new (std::nothrow) PinEnum(this, {&input_, &output_}, 0);
  return *pins ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP RgbConverter::FindPin(LPCWSTR id, IPin** pin) {
  if (!id || !pin) return E_POINTER;
  *pin = nullptr;
  if (std::wcscmp(id, kInputName) == 0) {
    *pin = &input_;
  } else if (std::wcscmp(id, kOutputName) == 0) {
    *pin = &output_;
  } else {
    return VFW_E_NOT_FOUND;
  }
  (*pin)->AddRef();
  return S_OK;
}

STDMETHODIMP RgbConverter::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  std::lock_guard<std::mutex> lock(lock_);
  std::wcsncpy(info->achName, name_.c_str(), MAX_FILTER_NAME - 1);
  info->achName[MAX_FILTER_NAME - 1] = L'\0';
  info->pGraph = graph_;
  if (graph_) graph_->AddRef();
  return S_OK;
}

STDMETHODIMP RgbConverter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  std::lock_guard<std::mutex> lock(lock_);
  graph_ = graph;
  name_ = name ? name : L"";
  return S_OK;
}

STDMETHODIMP RgbConverter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

HRESULT RgbConverter::Convert(IMediaSample* sample) {
  ComPtr<IMemAllocator> allocator;
  ComPtr<IMemInputPin> downstream;
  long width = 0;
  long height = 0;
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (state_.load() == State_Stopped) return VFW_E_WRONG_STATE;
    if (!input_.connected_ || !output_.input_) return VFW_E_NOT_CONNECTED;
    allocator = output_.allocator_;
    downstream = output_.input_;
    const BITMAPINFOHEADER* header = morlun::BitmapHeaderOf(input_.type_.get());
    width = header->biWidth;
    height = std::labs(header->biHeight);
  }
  const long in_row = RowBytes(width, 24);
  const long out_row = RowBytes(width, 32);
  BYTE* in = nullptr;
  if (FAILED(sample->GetPointer(&in)) || !in) return E_POINTER;
  const long in_length = sample->GetActualDataLength();
  const long rows = in_length / in_row < height ? in_length / in_row : height;

  ComPtr<IMediaSample> converted;
  HRESULT hr = allocator->GetBuffer(&converted, nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  BYTE* out = nullptr;
  if (FAILED(converted->GetPointer(&out)) || !out || converted->GetSize() < out_row * height) {
    return E_FAIL;
  }
  for (long y = 0; y < rows; ++y) {
    const BYTE* from = in + y * in_row;
    BYTE* to = out + y * out_row;
    for (long x = 0; x < width; ++x) {
      to[4 * x] = from[3 * x];
      to[4 * x + 1] = from[3 * x + 1];
      to[4 * x + 2] = from[3 * x + 2];
      to[4 * x + 3] = 0xFF;
    }
  }
  converted->SetActualDataLength(out_row * rows);
  REFERENCE_TIME start = 0;
  REFERENCE_TIME end = 0;
  hr = sample->GetTime(&start, &end);
  if (hr == S_OK) {
    converted->SetTime(&start, &end);
  } else if (hr == VFW_S_NO_STOP_TIME) {
    converted->SetTime(&start, nullptr);
  }
  converted->SetSyncPoint(sample->IsSyncPoint() == S_OK);
  converted->SetDiscontinuity(sample->IsDiscontinuity() == S_OK);
  return downstream->Receive(converted.Get());
}

}  // namespace tarvo_test_devices
