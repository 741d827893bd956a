#include "devices/av_base.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <vector>

#include "devices/av_log.h"

using Microsoft::WRL::ComPtr;

namespace {

std::vector<ComPtr<IBaseFilter>> FiltersOf(IGraphBuilder* graph) {
  std::vector<ComPtr<IBaseFilter>> filters;
  ComPtr<IEnumFilters> enumerator;
  if (!graph || FAILED(graph->EnumFilters(&enumerator))) return filters;
  ComPtr<IBaseFilter> filter;
  while (enumerator->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    filters.push_back(filter);
  }
  return filters;
}

std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* filter) {
  std::vector<ComPtr<IPin>> pins;
  ComPtr<IEnumPins> enumerator;
  if (!filter || FAILED(filter->EnumPins(&enumerator))) return pins;
  ComPtr<IPin> pin;
  while (enumerator->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) pins.push_back(pin);
  return pins;
}

bool IsCapturePin(IPin* pin) {
  PIN_DIRECTION direction = PINDIR_INPUT;
  if (FAILED(pin->QueryDirection(&direction)) || direction != PINDIR_OUTPUT) return false;
  ComPtr<IKsPropertySet> properties;
  if (FAILED(pin->QueryInterface(IID_PPV_ARGS(&properties)))) return false;
  GUID category = GUID_NULL;
  DWORD returned = 0;
  const HRESULT hr = properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0,
                                     &category, sizeof(category), &returned);
  return SUCCEEDED(hr) && returned == sizeof(category) && category == PIN_CATEGORY_CAPTURE;
}

}  // namespace

AvBase::AvBase() = default;

AvBase::~AvBase() { ReleaseGraph(); }

int AvBase::FilterCount() const { return static_cast<int>(FiltersOf(graph_.Get()).size()); }

bool AvBase::EnterCom() {
  if (com_entered_) return true;
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (hr == RPC_E_CHANGED_MODE) return true;  // The caller's own apartment.
  if (FAILED(hr)) {
    AvLog("AvBase: CoInitializeEx failed, hr = %08lx", static_cast<unsigned long>(hr));
    return false;
  }
  com_entered_ = true;
  com_thread_ = GetCurrentThreadId();
  return true;
}

void AvBase::LeaveCom() {
  if (!com_entered_) return;
  if (GetCurrentThreadId() != com_thread_) {
    // COM can only be left on the thread that entered it; that thread keeps it.
    AvLog("AvBase: released on another thread than the one that initialised COM");
    return;
  }
  com_entered_ = false;
  CoUninitialize();
}

bool AvBase::CreateGraph() {
  if (graph_) return true;
  if (!EnterCom()) return false;
  ComPtr<IGraphBuilder> graph;
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&graph));
  ComPtr<ICaptureGraphBuilder2> builder;
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                          IID_PPV_ARGS(&builder));
  }
  if (SUCCEEDED(hr)) hr = builder->SetFiltergraph(graph.Get());
  if (FAILED(hr)) {
    AvLog("AvBase: the capture graph cannot be made, hr = %08lx", static_cast<unsigned long>(hr));
    builder.Reset();
    graph.Reset();
    LeaveCom();
    return false;
  }
  graph_ = graph;
  builder_ = builder;
  return true;
}

void AvBase::ReleaseGraph() {
  control_.Reset();
  builder_.Reset();
  graph_.Reset();
  LeaveCom();
}

bool AvBase::IsFilterInGraph(IBaseFilter* filter) const {
  if (!filter) return false;
  for (const ComPtr<IBaseFilter>& member : FiltersOf(graph_.Get())) {
    if (member.Get() == filter) return true;
  }
  return false;
}

void AvBase::RemoveFromGraph(IBaseFilter* filter) {
  if (IsFilterInGraph(filter)) graph_->RemoveFilter(filter);
}

void AvBase::TearDownDownstream(IBaseFilter* filter) {
  if (!graph_ || !filter) return;
  for (const ComPtr<IPin>& pin : PinsOf(filter)) {
    PIN_DIRECTION direction = PINDIR_INPUT;
    if (FAILED(pin->QueryDirection(&direction)) || direction != PINDIR_OUTPUT) continue;
    ComPtr<IPin> peer;
    if (pin->ConnectedTo(&peer) != S_OK || !peer) continue;
    PIN_INFO info{};
    if (FAILED(peer->QueryPinInfo(&info))) continue;
    ComPtr<IBaseFilter> downstream;
    downstream.Attach(info.pFilter);
    if (!downstream) continue;
    TearDownDownstream(downstream.Get());
    graph_->Disconnect(peer.Get());
    graph_->Disconnect(pin.Get());
    graph_->RemoveFilter(downstream.Get());
  }
}

void AvBase::RemoveAllFilters() {
  if (!graph_) return;
  for (const ComPtr<IBaseFilter>& filter : FiltersOf(graph_.Get())) {
    for (const ComPtr<IPin>& pin : PinsOf(filter.Get())) {
      ComPtr<IPin> peer;
      if (pin->ConnectedTo(&peer) == S_OK && peer) graph_->Disconnect(peer.Get());
      graph_->Disconnect(pin.Get());
    }
    graph_->RemoveFilter(filter.Get());
  }
}

ComPtr<IPin> AvBase::FindCapturePin(IBaseFilter* device) {
  for (const ComPtr<IPin>& pin : PinsOf(device)) {
    if (IsCapturePin(pin.Get())) return pin;
  }
  return nullptr;
}

bool AvBase::StartCaptureGraph(IBaseFilter* device, IBaseFilter* sink, const GUID& major,
                               bool allow_direct) {
  if (!graph_ || !builder_ || !device || !sink) return false;
  HRESULT hr = graph_->AddFilter(sink, L"Kest Capture Filter");
  if (SUCCEEDED(hr)) hr = graph_->AddFilter(device, L"Capture Device");
  if (SUCCEEDED(hr)) {
    hr = builder_->RenderStream(&PIN_CATEGORY_CAPTURE, &major, device, nullptr, sink);
    if (FAILED(hr) && allow_direct) {
      AvLog("AvBase: RenderStream failed (hr = %08lx), connecting directly",
            static_cast<unsigned long>(hr));
      ComPtr<IPin> capture = FindCapturePin(device);
      ComPtr<IPin> input;
      ComPtr<IEnumPins> pins;
      if (SUCCEEDED(sink->EnumPins(&pins))) pins->Next(1, &input, nullptr);
      hr = capture && input ? graph_->ConnectDirect(capture.Get(), input.Get(), nullptr)
                            : VFW_E_NOT_FOUND;
    }
  }
  if (SUCCEEDED(hr) && !control_) hr = graph_->QueryInterface(IID_PPV_ARGS(&control_));
  if (SUCCEEDED(hr)) hr = control_->Run();
  if (FAILED(hr)) {
    AvLog("AvBase: the capture graph cannot be started, hr = %08lx",
          static_cast<unsigned long>(hr));
    StopCaptureGraph(device);
    return false;
  }
  return true;
}

void AvBase::StopCaptureGraph(IBaseFilter* device) {
  if (!graph_) return;
  if (control_) control_->Stop();
  TearDownDownstream(device);
  RemoveFromGraph(device);
  RemoveAllFilters();
}
