// The sink filter and its pin against a test output pin and real samples from DirectShow's
// memory allocator; the format tables the capture engines share.

#include <windows.h>
#include <dshow.h>
#include <amvideo.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "devices/av_capture_formats.h"
#include "devices/av_media_type.h"
#include "devices/kest_capture_enums.h"
#include "devices/kest_capture_filter.h"

using Microsoft::WRL::ComPtr;

namespace {

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

// An output pin that only answers what the sink filter asks of a connector.
class TestOutputPin : public IPin {
 public:
  explicit TestOutputPin(PIN_DIRECTION direction = PINDIR_OUTPUT) : direction_(direction) {}
  ULONG references() const { return references_; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IPin) {
      *out = static_cast<IPin*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override { return --references_; }  // Lives on the stack.
  STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  STDMETHODIMP Disconnect() override { return E_NOTIMPL; }
  STDMETHODIMP ConnectedTo(IPin**) override { return E_NOTIMPL; }
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryPinInfo(PIN_INFO*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override {
    *direction = direction_;
    return S_OK;
  }
  STDMETHODIMP QueryId(LPWSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
  STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP EndOfStream() override { return S_OK; }
  STDMETHODIMP BeginFlush() override { return S_OK; }
  STDMETHODIMP EndFlush() override { return S_OK; }
  STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

 private:
  PIN_DIRECTION direction_;
  ULONG references_ = 1;
};

class CountingSink : public CKestCaptureSink {
 public:
  void OnVideoSample(IMediaSample* sample) override {
    ++video;
    last_length = sample->GetActualDataLength();
  }
  void OnAudioSample(IMediaSample* sample) override {
    ++audio;
    last_length = sample->GetActualDataLength();
  }
  void OnUnusedSample(IMediaSample*) override { ++unused; }
  int video = 0;
  int audio = 0;
  int unused = 0;
  long last_length = -1;
};

// A 320x240 YUY2 type with its format block.
struct Yuy2Type {
  Yuy2Type() {
    std::memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 320;
    info.bmiHeader.biHeight = 240;
    info.bmiHeader.biCompression = morlun::MakeFourcc('Y', 'U', 'Y', '2');
    info.bmiHeader.biBitCount = 16;
    info.AvgTimePerFrame = 333333;
    std::memset(&type, 0, sizeof(type));
    type.majortype = MEDIATYPE_Video;
    type.subtype = MEDIASUBTYPE_YUY2;
    type.formattype = FORMAT_VideoInfo;
    type.cbFormat = sizeof(info);
    type.pbFormat = reinterpret_cast<BYTE*>(&info);
  }
  VIDEOINFOHEADER info;
  AM_MEDIA_TYPE type;
};

class CaptureFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    filter_ = CKestCaptureFilter::Create(&sink_, MEDIATYPE_Video, MEDIASUBTYPE_YUY2);
    ASSERT_NE(filter_, nullptr);
    pin_ = filter_->pin();
  }
  void TearDown() override {
    if (filter_) {
      EXPECT_EQ(filter_->Release(), 0u);  // Everything handed out came back.
    }
    CoUninitialize();
  }

  CountingSink sink_;
  CKestCaptureFilter* filter_ = nullptr;
  CKestCapturePin* pin_ = nullptr;
  TestOutputPin upstream_;
  Yuy2Type yuy2_;
};

}  // namespace

TEST_F(CaptureFilterTest, ConnectionResultCodes) {
  AM_MEDIA_TYPE rgb = yuy2_.type;
  rgb.subtype = MEDIASUBTYPE_RGB32;
  TestOutputPin input_pin(PINDIR_INPUT);

  EXPECT_EQ(pin_->ReceiveConnection(nullptr, &yuy2_.type), E_POINTER);
  EXPECT_EQ(pin_->ReceiveConnection(&upstream_, nullptr), E_POINTER);
  EXPECT_EQ(pin_->ReceiveConnection(&upstream_, &rgb), VFW_E_TYPE_NOT_ACCEPTED);
  EXPECT_EQ(pin_->ReceiveConnection(&input_pin, &yuy2_.type), VFW_E_INVALID_DIRECTION);
  EXPECT_EQ(pin_->QueryAccept(&rgb), S_FALSE);
  EXPECT_EQ(pin_->QueryAccept(&yuy2_.type), S_OK);
  // The bare type the pin enumerates, offered back without a format block, describes nothing.
  AM_MEDIA_TYPE bare = yuy2_.type;
  bare.formattype = GUID_NULL;
  bare.cbFormat = 0;
  bare.pbFormat = nullptr;
  EXPECT_EQ(pin_->ReceiveConnection(&upstream_, &bare), VFW_E_TYPE_NOT_ACCEPTED);

  filter_->Run(0);
  EXPECT_EQ(pin_->ReceiveConnection(&upstream_, &yuy2_.type), VFW_E_NOT_STOPPED);
  EXPECT_EQ(pin_->Connect(&upstream_, nullptr), VFW_E_NOT_STOPPED);
  EXPECT_EQ(pin_->QueryAccept(&yuy2_.type), S_FALSE);
  filter_->Stop();

  EXPECT_EQ(pin_->ReceiveConnection(&upstream_, &yuy2_.type), S_OK);
  EXPECT_EQ(upstream_.references(), 2u);  // The pin keeps its connector.
  EXPECT_EQ(pin_->ReceiveConnection(&upstream_, &yuy2_.type), VFW_E_ALREADY_CONNECTED);
  EXPECT_EQ(pin_->Connect(&upstream_, nullptr), VFW_E_ALREADY_CONNECTED);

  EXPECT_EQ(pin_->Disconnect(), S_OK);
  EXPECT_EQ(upstream_.references(), 1u);
  EXPECT_EQ(pin_->Disconnect(), S_FALSE);
}

TEST_F(CaptureFilterTest, UnconnectedQueriesFailAndConnectedOnesHandOutCopies) {
  IPin* peer = reinterpret_cast<IPin*>(1);
  EXPECT_EQ(pin_->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(peer, nullptr);
  AM_MEDIA_TYPE type;
  EXPECT_EQ(pin_->ConnectionMediaType(&type), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(pin_->ConnectedTo(nullptr), E_POINTER);

  ASSERT_EQ(pin_->ReceiveConnection(&upstream_, &yuy2_.type), S_OK);
  ASSERT_EQ(pin_->ConnectedTo(&peer), S_OK);
  EXPECT_EQ(peer, &upstream_);
  EXPECT_EQ(upstream_.references(), 3u);  // The pin's reference and the caller's.
  peer->Release();

  ASSERT_EQ(pin_->ConnectionMediaType(&type), S_OK);
  ASSERT_EQ(type.cbFormat, sizeof(VIDEOINFOHEADER));
  EXPECT_NE(type.pbFormat, yuy2_.type.pbFormat);  // A deep copy, not the caller's block.
  EXPECT_EQ(std::memcmp(type.pbFormat, &yuy2_.info, sizeof(VIDEOINFOHEADER)), 0);
  morlun::FreeMediaTypeContent(&type);
  // The filter's own copy outlives the caller's.
  ASSERT_EQ(pin_->ConnectionMediaType(&type), S_OK);
  EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader.biWidth, 320);
  morlun::FreeMediaTypeContent(&type);
  EXPECT_EQ(pin_->Disconnect(), S_OK);
}

TEST_F(CaptureFilterTest, AllocatorOperations) {
  IMemAllocator* allocator = reinterpret_cast<IMemAllocator*>(1);
  EXPECT_EQ(pin_->GetAllocator(&allocator), VFW_E_NO_ALLOCATOR);
  EXPECT_EQ(allocator, nullptr);
  ALLOCATOR_PROPERTIES properties{};
  EXPECT_EQ(pin_->GetAllocatorRequirements(&properties), E_NOTIMPL);
  ComPtr<IMemAllocator> real;
  ASSERT_EQ(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(&real)), S_OK);
  EXPECT_EQ(pin_->NotifyAllocator(real.Get(), FALSE), S_OK);
  EXPECT_EQ(pin_->ReceiveCanBlock(), S_FALSE);
}

TEST_F(CaptureFilterTest, ReceiveHandsSamplesToTheSinkByMajorType) {
  ComPtr<IMemAllocator> allocator;
  ASSERT_EQ(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(&allocator)), S_OK);
  ALLOCATOR_PROPERTIES wanted{2, 1024, 1, 0};
  ALLOCATOR_PROPERTIES actual{};
  ASSERT_EQ(allocator->SetProperties(&wanted, &actual), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);
  ComPtr<IMediaSample> sample;
  ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
  sample->SetActualDataLength(100);

  EXPECT_EQ(pin_->Receive(nullptr), S_OK);
  EXPECT_EQ(pin_->Receive(sample.Get()), S_OK);
  IMediaSample* two[] = {sample.Get(), nullptr};
  long processed = 0;
  EXPECT_EQ(pin_->ReceiveMultiple(two, 2, &processed), S_OK);
  EXPECT_EQ(processed, 2);
  EXPECT_EQ(sink_.video, 2);
  EXPECT_EQ(sink_.audio, 0);
  EXPECT_EQ(sink_.last_length, 100);

  CountingSink audio_sink;
  CKestCaptureFilter* audio = CKestCaptureFilter::Create(&audio_sink, MEDIATYPE_Audio,
                                                         MEDIASUBTYPE_PCM);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(audio->pin()->Receive(sample.Get()), S_OK);
  EXPECT_EQ(audio_sink.audio, 1);
  EXPECT_EQ(audio_sink.video, 0);
  audio->SetSink(nullptr);  // A detached filter drops samples.
  EXPECT_EQ(audio->pin()->Receive(sample.Get()), S_OK);
  EXPECT_EQ(audio_sink.audio, 1);
  EXPECT_EQ(audio->Release(), 0u);

  sample.Reset();
  allocator->Decommit();
}

TEST_F(CaptureFilterTest, PinEnumeratorHandsOutReferences) {
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(filter_->EnumPins(&pins), S_OK);
  IPin* got[2] = {nullptr, nullptr};
  ULONG fetched = 9;
  EXPECT_EQ(pins->Next(2, got, nullptr), E_POINTER);
  EXPECT_EQ(pins->Next(2, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(got[0], static_cast<IPin*>(pin_));
  got[0]->Release();
  EXPECT_EQ(pins->Next(1, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(pins->Reset(), S_OK);
  EXPECT_EQ(pins->Skip(1), S_OK);
  EXPECT_EQ(pins->Skip(1), S_FALSE);
  pins->Reset();
  ComPtr<IEnumPins> clone;
  ASSERT_EQ(pins->Clone(&clone), S_OK);
  ASSERT_EQ(clone->Next(1, got, nullptr), S_OK);
  got[0]->Release();

  IPin* found = nullptr;
  EXPECT_EQ(filter_->FindPin(L"Capture Pin", &found), S_OK);
  ASSERT_EQ(found, static_cast<IPin*>(pin_));
  found->Release();
  EXPECT_EQ(filter_->FindPin(L"Input", &found), VFW_E_NOT_FOUND);
  EXPECT_EQ(found, nullptr);
}

TEST_F(CaptureFilterTest, MediaTypeEnumeratorGivesTheAcceptedTypeInTaskMemory) {
  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(pin_->EnumMediaTypes(&types), S_OK);
  AM_MEDIA_TYPE* got[2] = {nullptr, nullptr};
  ULONG fetched = 0;
  ASSERT_EQ(types->Next(2, got, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 1u);
  EXPECT_EQ(got[0]->majortype, MEDIATYPE_Video);
  EXPECT_EQ(got[0]->subtype, MEDIASUBTYPE_YUY2);
  morlun::DeleteMediaType(got[0]);
  ComPtr<IEnumMediaTypes> clone;
  ASSERT_EQ(types->Clone(&clone), S_OK);
  EXPECT_EQ(clone->Next(1, got, nullptr), S_FALSE);  // The clone keeps the position.
  clone->Reset();
  ASSERT_EQ(clone->Next(1, got, nullptr), S_OK);
  morlun::DeleteMediaType(got[0]);
}

TEST_F(CaptureFilterTest, InfoQueriesNameThePinsAndHandOutReferences) {
  PIN_INFO info{};
  ASSERT_EQ(pin_->QueryPinInfo(&info), S_OK);
  EXPECT_EQ(info.pFilter, static_cast<IBaseFilter*>(filter_));
  EXPECT_STREQ(info.achName, L"Video Capture");
  EXPECT_EQ(info.dir, PINDIR_INPUT);
  info.pFilter->Release();
  LPWSTR id = nullptr;
  ASSERT_EQ(pin_->QueryId(&id), S_OK);
  EXPECT_STREQ(id, L"Capture Pin");
  CoTaskMemFree(id);

  CKestCaptureFilter* audio = CKestCaptureFilter::Create(nullptr, MEDIATYPE_Audio,
                                                         MEDIASUBTYPE_PCM);
  ASSERT_EQ(audio->pin()->QueryPinInfo(&info), S_OK);
  EXPECT_STREQ(info.achName, L"Audio Capture");
  info.pFilter->Release();
  EXPECT_EQ(audio->Release(), 0u);

  CLSID clsid;
  EXPECT_EQ(filter_->GetClassID(&clsid), E_NOTIMPL);
  LPWSTR vendor = nullptr;
  EXPECT_EQ(filter_->QueryVendorInfo(&vendor), E_NOTIMPL);

  // Joined to a real graph, the filter names it with an added reference and holds none.
  ComPtr<IGraphBuilder> graph;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(&graph)), S_OK);
  const ULONG graph_references = RefCount(graph.Get());
  ASSERT_EQ(graph->AddFilter(filter_, L"Sink"), S_OK);
  FILTER_INFO filter_info{};
  ASSERT_EQ(filter_->QueryFilterInfo(&filter_info), S_OK);
  EXPECT_STREQ(filter_info.achName, L"Sink");
  ASSERT_NE(filter_info.pGraph, nullptr);
  EXPECT_EQ(RefCount(graph.Get()), graph_references + 1);
  filter_info.pGraph->Release();
  EXPECT_EQ(RefCount(graph.Get()), graph_references);
  ASSERT_EQ(graph->RemoveFilter(filter_), S_OK);
  ASSERT_EQ(filter_->QueryFilterInfo(&filter_info), S_OK);
  EXPECT_EQ(filter_info.pGraph, nullptr);
}

TEST_F(CaptureFilterTest, StateAndClock) {
  FILTER_STATE state = State_Running;
  EXPECT_EQ(filter_->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
  filter_->Pause();
  filter_->GetState(0, &state);
  EXPECT_EQ(state, State_Paused);
  filter_->Run(0);
  filter_->GetState(0, &state);
  EXPECT_EQ(state, State_Running);
  filter_->Stop();

  ComPtr<IReferenceClock> clock;
  ASSERT_EQ(CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(&clock)), S_OK);
  const ULONG clock_references = RefCount(clock.Get());
  EXPECT_EQ(filter_->SetSyncSource(clock.Get()), S_OK);
  EXPECT_EQ(RefCount(clock.Get()), clock_references + 1);
  IReferenceClock* got = nullptr;
  ASSERT_EQ(filter_->GetSyncSource(&got), S_OK);
  EXPECT_EQ(got, clock.Get());
  got->Release();
  EXPECT_EQ(filter_->SetSyncSource(nullptr), S_OK);
  EXPECT_EQ(RefCount(clock.Get()), clock_references);
}

TEST(CaptureFormatsTest, FourccTableAndNames) {
  struct Case {
    const char* fourcc;
    int format;
    const wchar_t* name;
  } cases[] = {
      {"I420", 4, L"I420"}, {"IYUV", 4, L"I420"},  {"YV12", 5, L"YV12"},  {"RGB2", 2, L"RGB32"},
      {"RGB4", 1, L"RGB24"}, {"RGBA", 3, L"ARGB32"}, {"M4S2", 12, L"MPEG2"}, {"MP4V", 12, L"MPEG2"},
      {"YUY2", 9, L"YUY2"}, {"H264", 13, L"H264"},  {"HDYC", 11, L"HDYC"},  {"MJPG", 17, L"MJPG"},
      {"YVYU", 8, L"YVYU"}, {"UYVY", 10, L"UYVY"},  {"NV12", 0, L"None"},
  };
  for (const Case& c : cases) {
    const uint32_t fourcc = morlun::MakeFourcc(c.fourcc[0], c.fourcc[1], c.fourcc[2], c.fourcc[3]);
    EXPECT_EQ(morlun::VideoFormatOfFourcc(fourcc), c.format) << c.fourcc;
    EXPECT_STREQ(morlun::VideoFormatName(c.format), c.name) << c.fourcc;
  }
  EXPECT_STREQ(morlun::VideoFormatName(16), L"dvhd");
  EXPECT_STREQ(morlun::VideoFormatName(18), L"None");
  EXPECT_STREQ(morlun::VideoFormatName(-1), L"None");
  EXPECT_TRUE(morlun::SubtypeOfFourcc(morlun::MakeFourcc('Y', 'U', 'Y', '2')) == MEDIASUBTYPE_YUY2);
}

TEST(CaptureFormatsTest, WaveTagNamesComeFromTheRegistryHeader) {
  EXPECT_STREQ(morlun::WaveFormatName(WAVE_FORMAT_PCM), L"PCM");
  EXPECT_STREQ(morlun::WaveFormatName(WAVE_FORMAT_ADPCM), L"ADPCM");
  EXPECT_STREQ(morlun::WaveFormatName(WAVE_FORMAT_IEEE_FLOAT), L"IEEE_FLOAT");
  EXPECT_STREQ(morlun::WaveFormatName(WAVE_FORMAT_MPEGLAYER3), L"MPEGLAYER3");
  EXPECT_STREQ(morlun::WaveFormatName(WAVE_FORMAT_EXTENSIBLE), L"EXTENSIBLE");
  EXPECT_STREQ(morlun::WaveFormatName(0x0001FFFF), L"UNKNOWN");
  EXPECT_STREQ(morlun::WaveFormatName(0x7777), L"UNKNOWN");  // No tag has this number.
}
