#include "foundation/app_config.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

TEST(AppConfigTest, DefaultsOfAFreshRecord) {
  StAppConfig config;
  struct IntCase {
    const char* field;
    long long value, expected;
  } ints[] = {
      {"video_width", config.video_width, 1280},
      {"video_height", config.video_height, 720},
      {"rotation", config.rotation, 0},
      {"flip", config.flip, 0},
      {"mirror", config.mirror, 0},
      {"speaker_volume", config.speaker_volume, 80},
      {"use_mode", config.use_mode, 1},
      {"camera_on", config.camera_on, 1},
      {"microphone_on", config.microphone_on, 1},
      {"beauty_suspended", config.beauty_suspended, 0},
      {"live_running", config.live_running, 0},
      {"host", config.host, 0},
      {"prior", config.prior, 0},
      {"canOpenDevTools", config.canOpenDevTools, 1},
      {"show_logo", config.show_logo, 0},
      {"guest_list", config.guest_list, 0},
      {"viewer_option", config.viewer_option, 0},
      {"share_audio", config.share_audio, 0},
      {"video_source_ratio", config.video_source_ratio, 0},
      {"guest_mic_default", config.guest_mic_default, 1},
      {"update_running", config.update_running, 1},
      {"camera_resolution", config.camera_resolution, 0},
      {"resolution_chosen", config.resolution_chosen, 1},
      {"beauty_changed", config.beauty_changed, 0},
      {"beauty_allowed", config.beauty_allowed, 1},
      {"external_data", config.external_data, 0},
      {"push streams", config.PushStreamCount(), 0},
      {"custom materials", config.CustomMaterialCount(), 0},
      {"beauty.blur_level", config.beauty.blur_level, 300},
      {"beauty.key_color", config.beauty.key_color, 0xFF00FF00},
  };
  for (const IntCase& c : ints) EXPECT_EQ(c.value, c.expected) << c.field;
  EXPECT_EQ(config.language, L"zh_CN");
  EXPECT_FALSE(config.IsEnglish());
  config.language = L"en_US";
  EXPECT_TRUE(config.IsEnglish());
  EXPECT_TRUE(config.camera_dev_id.empty() && config.picture_path.empty() &&
              config.GetMicDevName().empty() && config.GetSpeakerDevId().empty() &&
              config.live_resolution.empty() && config.version.empty());
}

TEST(AppConfigTest, ProcessRecordIsOneForEveryThread) {
  StAppConfig* config = GetAppConfig();
  ASSERT_NE(config, nullptr);
  const int saved = config->speaker_volume;
  std::thread([] { GetAppConfig()->speaker_volume = 37; }).join();
  EXPECT_EQ(config->speaker_volume, 37);
  config->speaker_volume = saved;
}

TEST(AppConfigTest, ResolutionIndexSetsTheVideoSize) {
  struct Case {
    int index, width, height;
  } cases[] = {{0, 1920, 1080}, {1, 1280, 720}, {2, 640, 360}, {5, 640, 360}, {-1, 640, 360}};
  for (const Case& c : cases) {
    StAppConfig config;
    config.SetResolutionIndex(c.index);
    EXPECT_EQ(config.video_width, c.width) << c.index;
    EXPECT_EQ(config.video_height, c.height) << c.index;
  }
}

TEST(AppConfigTest, PushStreamsAreCopiedAndReadWithinBounds) {
  StAppConfig config;
  StPushStreamInfo info;
  info.platform_name = L"Platform";
  info.push_url = L"rtmp://example.invalid/live";
  info.stream_id = "stream-1";
  info.width = 1920;
  info.height = 1080;
  info.state = 0;
  config.AddPushStream(info);
  info.stream_id = "stream-2";
  config.AddPushStream(info);

  ASSERT_EQ(config.PushStreamCount(), 2);
  EXPECT_EQ(config.GetPushStream(0)->stream_id, "stream-1");
  EXPECT_EQ(config.GetPushStream(1)->push_url, L"rtmp://example.invalid/live");
  EXPECT_EQ(config.GetPushStream(2), nullptr);
  EXPECT_EQ(config.GetPushStream(-1), nullptr);
}

TEST(AppConfigTest, CustomMaterialsAreFoundAndRemovedByPath) {
  StAppConfig config;
  config.custom_materials = {{L"C:\\a.png", false}, {L"C:\\b.mp4", true}, {L"C:\\a.png", true}};
  EXPECT_TRUE(config.FindCustomMaterial({L"C:\\a.png", true}));
  EXPECT_FALSE(config.FindCustomMaterial({L"C:\\c.png", false}));
  config.RemoveCustomMaterial({L"C:\\c.png", false});
  EXPECT_EQ(config.CustomMaterialCount(), 3);
  config.RemoveCustomMaterial({L"C:\\a.png", false});  // Every entry of that path goes.
  ASSERT_EQ(config.CustomMaterialCount(), 1);
  EXPECT_EQ(config.custom_materials[0].path, L"C:\\b.mp4");
  EXPECT_FALSE(config.FindCustomMaterial({L"C:\\a.png", false}));
}

TEST(AppConfigTest, BeautyRoundTripThroughAWorkingCopy) {
  StAppConfig settings;
  settings.camera_dev_id = "cam-id";
  settings.camera_dev_name = "Camera";
  settings.video_width = 1920;
  settings.video_height = 1080;
  settings.rotation = 90;
  settings.flip = 1;
  settings.mirror = 0;
  settings.prior = 1;
  settings.beauty.whitening = 40;
  settings.beauty.material_path = L"C:\\bg.png";
  settings.custom_materials = {{L"C:\\bg.png", false}};
  settings.picture_path = "C:\\picture.png";

  StAppConfig copy;
  settings.GetBeauty(copy);
  EXPECT_EQ(copy.camera_dev_id, "cam-id");
  EXPECT_EQ(copy.camera_dev_name, "Camera");
  EXPECT_EQ(copy.video_width, 1920);
  EXPECT_EQ(copy.video_height, 1080);
  EXPECT_EQ(copy.beauty.rotation, 90);
  EXPECT_EQ(copy.beauty.flip, 1);
  EXPECT_EQ(copy.beauty.mirror, 0);
  EXPECT_EQ(copy.beauty.whitening, 40);
  EXPECT_EQ(copy.beauty.material_path, L"C:\\bg.png");
  EXPECT_EQ(copy.CustomMaterialCount(), 1);
  EXPECT_EQ(copy.prior, 1);
  EXPECT_TRUE(copy.picture_path.empty());  // Not part of the beauty copy.
  EXPECT_EQ(copy.rotation, 0);

  copy.beauty.whitening = 70;
  copy.beauty.rotation = 270;
  copy.beauty.flip = 0;
  copy.beauty.mirror = 1;
  copy.camera_dev_name = "Other camera";
  copy.custom_materials.push_back({L"C:\\clip.mp4", true});
  copy.prior = 0;
  settings.SetBeauty(copy);
  EXPECT_EQ(settings.beauty.whitening, 70);
  EXPECT_EQ(settings.rotation, 270);
  EXPECT_EQ(settings.flip, 0);
  EXPECT_EQ(settings.mirror, 1);
  EXPECT_EQ(settings.camera_dev_name, "Other camera");
  EXPECT_EQ(settings.CustomMaterialCount(), 2);
  EXPECT_EQ(settings.prior, 0);
  EXPECT_TRUE(settings.beauty_changed);
}

TEST(AppConfigTest, DeviceTextsSurviveConcurrentWritersAndReaders) {
  StAppConfig config;
  // Texts of very different lengths, so a torn read would show (or crash).
  const std::vector<std::string> names = {"", "Mic", std::string(300, 'm'),
                                          "\xe9\xba\xa6\xe5\x85\x8b\xe9\xa3\x8e"};
  const std::set<std::string> valid(names.begin(), names.end());
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::vector<std::thread> threads;
  for (int w = 0; w < 2; ++w) {
    threads.emplace_back([&, w] {
      for (int i = 0; i < 20000; ++i) {
        const std::string& name = names[(i + w) % names.size()];
        config.SetMicDevice(name, name);
        config.SetSpeakerDevName(name);
      }
    });
  }
  for (int r = 0; r < 2; ++r) {
    threads.emplace_back([&] {
      while (!stop) {
        if (!valid.count(config.GetMicDevName()) || !valid.count(config.GetMicDevId()) ||
            !valid.count(config.GetSpeakerDevName())) {
          ++bad;
        }
        CxAutoLock guard(config.lock);  // A consistent view of the pair.
        if (config.GetMicDevId() != config.GetMicDevName()) ++bad;
      }
    });
  }
  threads[0].join();
  threads[1].join();
  stop = true;
  threads[2].join();
  threads[3].join();
  EXPECT_EQ(bad.load(), 0);
}
