// Frame rates of the camera engine with the virtual cameras of TarvoTestDevices.dll.
//   BM_Engine720pYuy2Unpaced: 1280x720 YUY2 frames per second from the unpaced camera through
//     the engine into an OnFrame that reads every byte (frames_per_second).
//   BM_NullRenderer720pYuy2Unpaced: the same device into DirectShow's Null Renderer, without a
//     graph clock, counted by the camera's own delivered-frame counter.
//   BM_Engine30fpsPaced: the paced camera's 30 fps capability through the engine;
//     delivered_per_nominal is delivered frames per second / 30.
// Each iteration waits 250 ms while the graph runs; the counters are rates over real time.

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>

#include "devices/av_camera_engine.h"
#include "devices/tests/test_devices/test_devices.h"

using Microsoft::WRL::ComPtr;
namespace td = tarvo_test_devices;

namespace {

// DirectShow's Null Renderer (qedit), which the compiler's headers do not name.
constexpr GUID kNullRendererClsid = {
    0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

constexpr int kYuy2720pCap = 1;  // td::kCameraCaps
constexpr int kI420At30Cap = 0;

class ReadingSink : public AvCameraSink {
 public:
  void OnState(int) override {}
  void OnFrame(const uint8_t* data, int size, int, int, int) override {
    uint32_t sum = 0;
    const auto* words = reinterpret_cast<const uint32_t*>(data);
    for (int i = 0; i < size / 4; ++i) sum += words[i];
    checksum.fetch_add(sum, std::memory_order_relaxed);
    ++frames;
  }
  std::atomic<long> frames{0};
  std::atomic<uint32_t> checksum{0};
};

void RunEngine(benchmark::State& state, const wchar_t* camera, int cap, double nominal_fps) {
  ReadingSink sink;
  AvCameraEngine* engine = Av_CreateCameraEngine();
  engine->SetSink(&sink);
  if (!engine->Init() || !engine->OpenDevice(camera, L"") || !engine->SelectCap(cap) ||
      !engine->Start()) {
    state.SkipWithError("the camera cannot be started (is TarvoTestDevices.dll registered?)");
    Av_DestroyCameraEngine(engine);
    return;
  }
  Sleep(300);  // Past the start.
  const long first = sink.frames.load();
  for (auto _ : state) Sleep(250);
  const long frames = sink.frames.load() - first;
  Av_DestroyCameraEngine(engine);
  state.counters["frames_per_second"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  if (nominal_fps > 0) {
    state.counters["delivered_per_nominal"] =
        benchmark::Counter(frames / nominal_fps, benchmark::Counter::kIsRate);
  }
}

void BM_Engine720pYuy2Unpaced(benchmark::State& state) {
  RunEngine(state, td::kUnpacedCameraName, kYuy2720pCap, 0);
}
BENCHMARK(BM_Engine720pYuy2Unpaced)->UseRealTime()->Iterations(12)->Unit(benchmark::kMillisecond);

void BM_Engine30fpsPaced(benchmark::State& state) {
  RunEngine(state, td::kCameraName, kI420At30Cap, 30.0);
}
BENCHMARK(BM_Engine30fpsPaced)->UseRealTime()->Iterations(16)->Unit(benchmark::kMillisecond);

// The unpaced camera's capture pin into the Null Renderer.
void BM_NullRenderer720pYuy2Unpaced(benchmark::State& state) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<ICreateDevEnum> devices;
    ComPtr<IEnumMoniker> monikers;
    ComPtr<IBaseFilter> camera;
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph));
    CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                     IID_PPV_ARGS(&builder));
    CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                     IID_PPV_ARGS(&devices));
    if (graph && builder && devices &&
        devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) == S_OK) {
      ComPtr<IMoniker> moniker;
      while (!camera && monikers->Next(1, &moniker, nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        VARIANT name;
        VariantInit(&name);
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag))) &&
            SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR &&
            lstrcmpW(name.bstrVal, td::kUnpacedCameraName) == 0) {
          moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&camera));
        }
        VariantClear(&name);
        moniker.Reset();
      }
    }
    ComPtr<IAMStreamConfig> config;
    ComPtr<IAMDroppedFrames> counter;
    ComPtr<IBaseFilter> renderer;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaFilter> timing;
    bool ready = camera && builder->SetFiltergraph(graph.Get()) == S_OK &&
                 SUCCEEDED(builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video,
                                                  camera.Get(), IID_PPV_ARGS(&config))) &&
                 SUCCEEDED(config.As(&counter));
    if (ready) {
      int count = 0;
      int size = 0;
      VIDEO_STREAM_CONFIG_CAPS caps;
      AM_MEDIA_TYPE* type = nullptr;
      config->GetNumberOfCapabilities(&count, &size);
      ready = config->GetStreamCaps(kYuy2720pCap, &type, reinterpret_cast<BYTE*>(&caps)) == S_OK &&
              config->SetFormat(type) == S_OK;
      if (type) {
        CoTaskMemFree(type->pbFormat);
        CoTaskMemFree(type);
      }
    }
    ready = ready &&
            SUCCEEDED(CoCreateInstance(kNullRendererClsid, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_PPV_ARGS(&renderer))) &&
            SUCCEEDED(graph->AddFilter(camera.Get(), L"Camera")) &&
            SUCCEEDED(graph->AddFilter(renderer.Get(), L"Null Renderer")) &&
            SUCCEEDED(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(),
                                            nullptr, renderer.Get())) &&
            SUCCEEDED(graph.As(&timing)) && SUCCEEDED(timing->SetSyncSource(nullptr)) &&
            SUCCEEDED(graph.As(&control)) && SUCCEEDED(control->Run());
    if (!ready) {
      state.SkipWithError("the Null Renderer graph cannot be run");
    } else {
      Sleep(300);
      long first = 0;
      counter->GetNumNotDropped(&first);
      for (auto _ : state) Sleep(250);
      long last = 0;
      counter->GetNumNotDropped(&last);
      control->Stop();
      state.counters["frames_per_second"] =
          benchmark::Counter(last - first, benchmark::Counter::kIsRate);
    }
  }
  CoUninitialize();
}
BENCHMARK(BM_NullRenderer720pYuy2Unpaced)
    ->UseRealTime()
    ->Iterations(12)
    ->Unit(benchmark::kMillisecond);

}  // namespace
