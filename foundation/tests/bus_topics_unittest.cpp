#include "foundation/bus_topics.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "foundation/bus.h"
#include "foundation/tests/bus_test_support.h"

bool operator==(const stDev_Info& a, const stDev_Info& b) {
  return a.id == b.id && a.name == b.name && a.width == b.width && a.height == b.height;
}

bool operator==(const StYuvImage& a, const StYuvImage& b) {
  return a.width == b.width && a.height == b.height && a.size == b.size && a.data == b.data;
}

namespace {

// A listener with exactly the signature Sig: records what it received and answers a sample.
template <class Sig>
struct Recorder;

template <class R, class... P>
struct Recorder<R(P...)> {
  using Received = std::tuple<std::remove_cv_t<std::remove_reference_t<P>>...>;
  using Answer = std::conditional_t<std::is_void_v<R>, char, R>;

  R Handle(P... args) {
    ++calls;
    received = Received(args...);
    if constexpr (!std::is_void_v<R>) return answer;
  }

  int calls = 0;
  Received received;
  Answer answer{};
};

template <class Sig>
struct ResultOf;
template <class R, class... P>
struct ResultOf<R(P...)> {
  using type = R;
};

// Publishes |topic| with |sent| (as its publishers do) to a listener of the table's signature
// |Sig|, with a result object when the topic has one, and checks what arrived.
template <class Sig, class... Sent>
void ExpectDelivered(const char* topic, const typename Recorder<Sig>::Received& expected,
                     bool with_result, Sent... sent) {
  SCOPED_TRACE(topic);
  CxBusCast bus;
  CxSubscriptionList list;
  Recorder<Sig> listener;
  CxBus::Listen(list, bus, topic, &Recorder<Sig>::Handle, &listener);

  using R = typename ResultOf<Sig>::type;
  if constexpr (std::is_void_v<R>) {
    ASSERT_FALSE(with_result);
    CxBus::Call(bus, topic, sent...);
  } else if (with_result) {
    R result{};
    CxBus::CallWithResult(bus, topic, &result, sent...);
    EXPECT_TRUE(result == listener.answer);
  } else {
    CxBus::Call(bus, topic, sent...);
  }
  EXPECT_EQ(listener.calls, 1);
  EXPECT_TRUE(listener.received == expected);
}

TEST(BusTopicsTest, TopicTextsAreTheProtocolsTexts) {
  const std::vector<std::string> expected = {
      "event/id/ui/add/dev/consumer/s",
      "event/id/ui/del/dev/consumer/s",
      "event/id/ui/get/cam/list/s",
      "event/id/ui/get/mic/list/s",
      "event/id/ui/get/speaker/list/s",
      "event/id/ui/get/cam/resolution/s",
      "event/id/ui/set/resolution/s",
      "event/id/ui/set/preference/s",
      "event/id/ui/open/picture/s",
      "event/id/ui/close/picture/s",
      "event/id/ui/check/dev/videos/s",
      "event/id/ui/open/dev/video/s",
      "event/id/ui/close/dev/video/s",
      "event/id/ui/open/dev/audio/s",
      "event/id/ui/close/dev/audio/s",
      "event/id/ui/set/beauty/dev/s",
      "event/id/ui/get/mic/value/s",
      "event/id/ui/get/speaker/value/s",
      "event/id/ui/play/test/speaker/s",
      "event/id/ui/set/speaker/value/s",
      "event/id/ui/av/muted",
      "event/id/ui/yuv/data/s",
      "event/id/ui/dev/hotplug/s",
      "event/id/ui/language",
  };
  ASSERT_EQ(std::size(kBusTopics), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(kBusTopics[i], expected[i]);
}

TEST(BusTopicsTest, EveryTopicReachesItsListenerWithThePublishersPack) {
  BusAlertRecorder alerts;

  struct Window : DevConsumerDelegate {
    void OnVideoDevResult(const std::string&, bool) override {}
    void OnPreviewFrame(const unsigned char*, int, int, int) override {}
    bool IsEffectsIdle() override { return false; }
    bool IsUsingVideoDev(const std::string&) override { return false; }
    int GetCaptureWidth() override { return 0; }
    int GetCaptureHeight() override { return 0; }
  } window;
  DevConsumerDelegate* consumer = &window;
  const std::string id = "cam-1", name = "Camera", file = "C:\\test.wav";
  st_beauty beauty;
  const uint8_t pixels[6] = {};
  const StYuvImage image{2, 2, 6, pixels};
  std::string language = "en_US";

  using std::make_tuple;
  ExpectDelivered<DevConsumerListener>(kTopicAddDevConsumer, make_tuple(consumer), false, consumer);
  ExpectDelivered<DevConsumerListener>(kTopicDelDevConsumer, make_tuple(consumer), false, consumer);
  ExpectDelivered<DevListListener>(kTopicGetCamList, {}, true);
  ExpectDelivered<DevListListener>(kTopicGetMicList, {}, true);
  ExpectDelivered<DevListListener>(kTopicGetSpeakerList, {}, true);
  ExpectDelivered<CamResolutionListener>(kTopicGetCamResolution, make_tuple(id), true, id);
  ExpectDelivered<SetResolutionListener>(kTopicSetResolution, make_tuple(id, name, 1280, 720),
                                         false, id, name, 1280, 720);
  ExpectDelivered<SetPreferenceListener>(kTopicSetPreference, make_tuple(true), false, true);
  ExpectDelivered<NoArgumentListener>(kTopicOpenPicture, {}, false);
  ExpectDelivered<NoArgumentListener>(kTopicClosePicture, {}, false);
  ExpectDelivered<NoArgumentListener>(kTopicCheckDevVideos, {}, false);
  ExpectDelivered<OpenDevVideoListener>(kTopicOpenDevVideo, make_tuple(id, name, true, false), true,
                                        id, name, true, false);
  ExpectDelivered<CloseDevVideoListener>(kTopicCloseDevVideo, make_tuple(id, name, true), false, id,
                                         name, true);
  ExpectDelivered<DevAudioListener>(kTopicOpenDevAudio, make_tuple(name, id, true, false), false,
                                    name, id, true, false);
  ExpectDelivered<DevAudioListener>(kTopicCloseDevAudio, make_tuple(name, id, false, true), false,
                                    name, id, false, true);
  ExpectDelivered<SetBeautyDevListener>(kTopicSetBeautyDev,
                                        make_tuple(id, static_cast<void*>(&beauty), true), false,
                                        id, &beauty, true);
  ExpectDelivered<VolumeListener>(kTopicGetMicValue, {}, true);
  ExpectDelivered<VolumeListener>(kTopicGetSpeakerValue, {}, true);
  ExpectDelivered<PlayTestSpeakerListener>(kTopicPlayTestSpeaker, make_tuple(name, id, file, true),
                                           false, name, id, file, true);
  ExpectDelivered<SetSpeakerValueListener>(kTopicSetSpeakerValue, make_tuple(80u), false, 80);
  ExpectDelivered<AvMutedListener>(kTopicAvMuted, make_tuple(id), false, id);
  ExpectDelivered<YuvDataListener>(kTopicYuvData, make_tuple(image), false, image);
  ExpectDelivered<DevHotplugListener>(kTopicDevHotplug, make_tuple(true, id), false, true, id);
  ExpectDelivered<LanguageListener>(kTopicLanguage, make_tuple(language), false, language);

  EXPECT_TRUE(BusAlertRecorder::Alerts().empty());
}

TEST(BusTopicsTest, AnswersComeBackThroughTheResultObject) {
  BusAlertRecorder alerts;
  CxBusCast bus;
  CxSubscriptionList list;

  Recorder<DevListListener> devices;
  devices.answer = {stDev_Info{"id", "Mic", 0, 0}};
  Recorder<CamResolutionListener> resolution;
  resolution.answer = stDev_Info{"cam", "Cam", 1920, 1080};
  Recorder<VolumeListener> volume;
  volume.answer = 66;
  CxBus::Listen(list, bus, kTopicGetMicList, &Recorder<DevListListener>::Handle, &devices);
  CxBus::Listen(list, bus, kTopicGetCamResolution, &Recorder<CamResolutionListener>::Handle,
                &resolution);
  CxBus::Listen(list, bus, kTopicGetMicValue, &Recorder<VolumeListener>::Handle, &volume);

  std::vector<stDev_Info> mics;
  stDev_Info size;
  int level = -1;
  CxBus::CallWithResult(bus, kTopicGetMicList, &mics);
  CxBus::CallWithResult(bus, kTopicGetCamResolution, &size, std::string("cam"));
  CxBus::CallWithResult(bus, kTopicGetMicValue, &level);

  ASSERT_EQ(mics.size(), 1u);
  EXPECT_EQ(mics[0].name, "Mic");
  EXPECT_EQ(size.width, 1920);
  EXPECT_EQ(size.height, 1080);
  EXPECT_EQ(level, 66);
  EXPECT_TRUE(BusAlertRecorder::Alerts().empty());
}

}  // namespace
