#include "devices/av_capture_base.h"

#include "devices/av_log.h"

AvCaptureBase::AvCaptureBase(const GUID& category, int caps_size, const GUID& major,
                             const char* name)
    : device_(category, caps_size), major_(major), name_(name) {}

int AvCaptureBase::InitCapture() {
  AvLog("%s::Init, pInst = %08x", name_,
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
  if (!CreateGraph()) return 0;
  EnumCaptureDevices();
  return 1;
}

void AvCaptureBase::UninitCapture() {
  StopCapture();
  FinishPendingTeardown();
  CloseCaptureDevice();
  ReleaseGraph();
}

int AvCaptureBase::EnumCaptureDevices() {
  if (!HasGraph()) return -1;
  const int count = device_.Enum();
  AvLog("%s::EnumDevices = %d", name_, count);
  return count;
}

int AvCaptureBase::OpenCaptureDevice(const wchar_t* name, const wchar_t* path) {
  CloseCaptureDevice();
  if (!HasGraph() || !device_.Open(name, path)) {
    AvLog("%s::OpenDevice: no such device", name_);
    return 0;
  }
  RebuildCaps();
  AvLog("%s::OpenDevice: opened", name_);
  return 1;
}

void AvCaptureBase::CloseCaptureDevice() {
  selected_ = 0;
  if (sink_filter_ && !teardown_pending_.load()) {
    sink_filter_->SetSink(nullptr);
    sink_filter_.Reset();
  }
  device_.Close();
  RebuildCaps();  // Empty without a device.
}

void AvCaptureBase::TearDownGraph() {
  StopCaptureGraph(device_.filter());
  if (sink_filter_) sink_filter_->SetSink(nullptr);
  sink_filter_.Reset();
}

void AvCaptureBase::FinishPendingTeardown() {
  if (!teardown_pending_.exchange(false)) return;
  gate_.Close();  // Waits for the callback that asked for the stop.
  TearDownGraph();
}

int AvCaptureBase::StartCapture(const GUID& subtype, bool allow_direct) {
  if (started_.load()) return 1;
  if (gate_.IsInsideCallback()) {
    AvLog("%s::Start: refused inside a callback", name_);
    return 0;
  }
  FinishPendingTeardown();
  if (!HasGraph() || !device_.IsOpen()) {
    AvLog("%s::Start: %s", name_, HasGraph() ? "no device" : "no graph");
    return 0;
  }
  sink_filter_.Attach(CKestCaptureFilter::Create(this, major_, subtype));
  if (!sink_filter_) return 0;
  if (!StartCaptureGraph(device_.filter(), sink_filter_.Get(), major_, allow_direct)) {
    sink_filter_->SetSink(nullptr);
    sink_filter_.Reset();
    AvLog("%s::Start failed", name_);
    return 0;
  }
  morlun::MediaType connected;
  if (sink_filter_->pin()->GetConnectionType(&connected)) DescribeSamples(connected.get());
  started_.store(true);
  AvLog("%s::Start", name_);
  ReportState(1);
  // Samples flow to the user once the start is reported (unless OnState stopped again).
  if (started_.load()) gate_.Open();
  return 1;
}

void AvCaptureBase::StopCapture() {
  const bool was_started = started_.exchange(false);
  const bool inside_callback = gate_.Close();
  if (!was_started) return;
  if (inside_callback) {
    teardown_pending_.store(true);
  } else {
    TearDownGraph();
  }
  AvLog("%s::Stop", name_);
  ReportState(0);
}

void AvCaptureBase::DeliverSample(IMediaSample* sample,
                                  const std::function<void(const BYTE*, long)>& deliver) {
  if (!sample || !gate_.Enter()) return;
  struct Leave {
    morlun::AvCaptureGate* gate;
    ~Leave() { gate->Leave(); }
  } leave{&gate_};
  AM_MEDIA_TYPE* changed = nullptr;
  if (sample->GetMediaType(&changed) == S_OK && changed) {
    DescribeSamples(*changed);
    morlun::DeleteMediaType(changed);
  }
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || !data) return;
  deliver(data, sample->GetActualDataLength());
}
