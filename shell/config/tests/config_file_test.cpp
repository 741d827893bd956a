#include "shell/config/config_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/app_config.h"
#include "tests/support/test_process.h"

namespace {

std::string Narrow(const std::wstring& text) {
  return std::string(text.begin(), text.end());  // test paths are ASCII
}

// A config.ini of its own for each case, written from raw text.
class ConfigFixture {
 public:
  ConfigFixture(const wchar_t* name, const std::string& contents) {
    path_ = tarvo_test::ProgramFolder() + L"config_" + name + L".ini";
    DeleteFileW(path_.c_str());
    if (!contents.empty()) std::ofstream(path_.c_str(), std::ios::binary) << contents;
  }
  ~ConfigFixture() { DeleteFileW(path_.c_str()); }
  const std::wstring& path() const { return path_; }
  std::string Raw() const {
    std::ifstream in(path_.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::wstring path_;
};

}  // namespace

TEST(ConfigFile, LoadAppliesEachKeyByItsRule) {
  const std::wstring picture = tarvo_test::ProgramFolder() + L"config_picture.png";
  std::ofstream(picture.c_str()) << "x";
  const std::string contents =
      "[LiveConfig]\r\nuse_mode=2\r\ncamera_dev_name=Cam One\r\n"
      "camera_dev_id=cam-1\r\nmic_dev_id=mic-1\r\nspeaker_dev_id=spk-1\r\n"
      "showlogo=1\r\npicture_path=" +
      Narrow(picture) +
      "\r\nresolution=0\r\n"
      "prior=1\r\ntest_use=1\r\npageurl=https://page.example/\r\n"
      "thirdpartyid=ext-7\r\nremarksinfo=note\r\nrotate=1\r\nflip=1\r\n";
  ConfigFixture file(L"load", contents);
  StAppConfig config;
  StFrameConfig frame;
  CConfigFile(file.path()).LoadConfig(config, frame);
  EXPECT_FALSE(config.use_mode);  // 2 is not 1
  EXPECT_EQ(config.camera_dev_name, "Cam One");
  EXPECT_EQ(config.camera_dev_id, "cam-1");
  EXPECT_EQ(config.GetMicDevId(), "mic-1");
  EXPECT_EQ(config.GetSpeakerDevId(), "spk-1");
  EXPECT_TRUE(config.show_logo);
  EXPECT_EQ(config.picture_path, Narrow(picture));
  EXPECT_EQ(config.video_width, 1920);
  EXPECT_EQ(config.video_height, 1080);
  EXPECT_TRUE(config.resolution_chosen);
  EXPECT_EQ(config.prior, 1);
  EXPECT_TRUE(frame.test_use);
  EXPECT_EQ(frame.page_url, "https://page.example/");
  EXPECT_EQ(config.external_id, "ext-7");
  EXPECT_EQ(config.remarks, "note");
  EXPECT_EQ(config.rotation, 0);  // orientation is never loaded back
  EXPECT_EQ(config.flip, 0);
  DeleteFileW(picture.c_str());
}

TEST(ConfigFile, MissingOddAndForeignContentLeaveDefaults) {
  const struct {
    const wchar_t* name;
    std::string contents;
    bool use_mode;
    int width;
    bool resolution_chosen;
  } cases[] = {
      {L"missing", "", true, 1280, false},
      {L"not_ini", std::string("\x89PNG\r\n\x1a\n\0\0garbage=1", 18), true, 1280, false},
      {L"non_numeric", "[LiveConfig]\r\nuse_mode=abc\r\nresolution=xyz\r\n", false, 1920, true},
      {L"other_index", "[LiveConfig]\r\nresolution=7\r\n", true, 640, true},
      {L"deleted_picture", "[LiveConfig]\r\npicture_path=C:\\no\\such\\picture.png\r\n", true, 1280,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + wcslen(c.name)));
    ConfigFixture file(c.name, c.contents);
    StAppConfig config;
    config.camera_dev_name = "stale";
    StFrameConfig frame;
    frame.page_url = "default page";
    CConfigFile(file.path()).LoadConfig(config, frame);
    EXPECT_EQ(config.use_mode, c.use_mode);
    EXPECT_EQ(config.video_width, c.width);
    EXPECT_EQ(config.resolution_chosen, c.resolution_chosen);
    EXPECT_EQ(config.camera_dev_name, "");  // texts are applied even when missing
    EXPECT_EQ(config.picture_path, "");
    EXPECT_EQ(frame.page_url, "default page");
    EXPECT_FALSE(frame.test_use);
  }
}

TEST(ConfigFile, SaveWritesItsKeysAndKeepsTheRest) {
  ConfigFixture file(L"save",
                     "[LiveConfig]\r\nresolution=1\r\ndev_tools_enable=1\r\nmine=keep\r\n");
  CConfigFile ini(file.path());
  const struct {
    int rotation;
    int width;
    const char* rotate;
    const char* resolution;
  } cases[] = {
      {0, 1920, "0", "0"},
      {180, 640, "3", "2"},  // not "0": a half turn must not read back as none
      {90, 1280, "1", "1"},
      {270, 800, "2", "1"},
  };
  for (const auto& c : cases) {
    StAppConfig config;
    config.rotation = c.rotation;
    config.video_width = c.width;
    config.flip = 5;
    config.use_mode = false;
    config.camera_dev_id = "cam-2";
    config.SetMicDevId("mic-2");
    ini.SaveConfig(config);
    EXPECT_EQ(ini.ReadConfigString("rotate"), c.rotate) << c.rotation;
    EXPECT_EQ(ini.ReadConfigString("resolution"), c.resolution) << c.width;
  }
  EXPECT_EQ(ini.ReadConfigString("flip"), "1");
  EXPECT_EQ(ini.ReadConfigString("mirror"), "0");
  EXPECT_EQ(ini.ReadConfigString("use_mode"), "0");
  EXPECT_EQ(ini.ReadConfigString("camera_dev_id"), "cam-2");
  EXPECT_EQ(ini.ReadConfigString("mic_dev_id"), "mic-2");
  EXPECT_EQ(ini.ReadConfigString("mine"), "keep");
  EXPECT_EQ(ini.ReadConfigInt("dev_tools_enable"), 1);
  EXPECT_EQ(ini.ReadConfigInt("test_use"), -1);         // never written
  EXPECT_EQ(ini.ReadConfigString("thirdpartyid"), "");  // no external data

  StAppConfig external;
  external.external_data = true;
  external.external_id = "ext-9";
  ini.SaveConfig(external);
  EXPECT_EQ(ini.ReadConfigString("thirdpartyid"), "ext-9");

  // Round trip through a fresh record.
  StAppConfig loaded;
  StFrameConfig frame;
  ini.LoadConfig(loaded, frame);
  EXPECT_EQ(loaded.camera_dev_id, "");  // |external| had no camera
  EXPECT_EQ(loaded.external_id, "ext-9");
}

TEST(ConfigFile, LongValuesAreCutAndSavesFromManyThreadsStayWhole) {
  ConfigFixture file(L"long", "[LiveConfig]\r\npageurl=" + std::string(400, 'u') + "\r\n");
  CConfigFile ini(file.path());
  EXPECT_EQ(ini.ReadConfigString("pageurl").size(), 259u);

  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&ini] {
      for (int i = 0; i < 20; ++i) {
        StAppConfig config;
        config.camera_dev_id = "cam-threads";
        ini.SaveConfig(config);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(ini.ReadConfigString("camera_dev_id"), "cam-threads");
  EXPECT_EQ(ini.ReadConfigString("mine"), "");
  EXPECT_NE(file.Raw().find("[LiveConfig]"), std::string::npos);
}
