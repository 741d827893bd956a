#include "shell/login/join_info.h"

#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <memory>

#include "foundation/app_config.h"
#include "shell/login/skin_choice.h"

namespace {

struct JsonDeleter {
  void operator()(cJSON* json) const { cJSON_Delete(json); }
};
using Json = std::unique_ptr<cJSON, JsonDeleter>;

Json Parse(const char* text) { return Json(cJSON_Parse(text)); }

}  // namespace

TEST(JoinInfo, LoginDataFillsTheRecordAndTheSettings) {
  StJoinInfo join;
  StAppConfig config;
  config.resolution_chosen = false;
  Json request = Parse(
      R"({"event":1,"data":{"ConfID":"c1","sid":"s1","username":"\u5f20\u4e09","userid":"u1",)"
      R"("cid":"k1","owtServer":"rtc.example:8443","role":2,"liveResolution":"1080",)"
      R"("videoSourceRatio":1,"guestMicDefault":0,"liveid":"L9","cameraResolution":480}})");
  ASSERT_TRUE(ParseLoginData(request.get(), join, config));
  EXPECT_EQ(join.confid, "c1");  // keys match without regard to case
  EXPECT_EQ(join.sid, "s1");
  EXPECT_EQ(join.username, "\xe5\xbc\xa0\xe4\xb8\x89");
  EXPECT_EQ(join.userid, "u1");
  EXPECT_EQ(join.cid, "k1");
  EXPECT_EQ(join.owtServer, "rtc.example:8443");
  EXPECT_EQ(join.role, 2);
  EXPECT_FALSE(config.host);
  EXPECT_EQ(config.live_resolution, "1080");
  EXPECT_TRUE(config.video_source_ratio);
  EXPECT_FALSE(config.guest_mic_default);
  EXPECT_EQ(config.live_id, "L9");
  EXPECT_EQ(config.camera_resolution, 480);
  EXPECT_EQ(config.video_width, 640);
  EXPECT_EQ(config.video_height, 360);
}

// Each case starts from a record that already holds values, so "unchanged" is visible.
TEST(JoinInfo, EdgeCases) {
  const struct {
    const char* name;
    const char* json;
    bool parsed;
    const char* owt;
    int role;
    bool host;
    bool guest_mic;
    int width;
    const char* username;
  } cases[] = {
      {"not json", "login please", false, "old:1", 7, false, true, 1280, "old"},
      {"no data", R"({"event":1})", false, "old:1", 7, false, true, 1280, "old"},
      {"data not an object", R"({"data":"x"})", false, "old:1", 7, false, true, 1280, "old"},
      {"array", R"([1,2])", false, "old:1", 7, false, true, 1280, "old"},
      {"empty data keeps endpoint, role 1", R"({"data":{}})", true, "old:1", 1, true, true, 1280,
       "old"},
      {"role as string is ignored", R"({"data":{"role":"1"}})", true, "old:1", 1, true, true, 1280,
       "old"},
      {"wrong types leave targets", R"({"data":{"username":5,"owtServer":[1]}})", true, "old:1", 1,
       true, true, 1280, "old"},
      {"guest keeps mic default off", R"({"data":{"role":2,"guestMicDefault":0}})", true, "old:1",
       2, false, false, 1280, "old"},
      {"host always gets the mic", R"({"data":{"role":1,"guestMicDefault":0}})", true, "old:1", 1,
       true, true, 1280, "old"},
      {"chosen resolution stays", R"({"data":{"cameraResolution":1080}})", true, "old:1", 1, true,
       true, 1280, "old"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StJoinInfo join;
    join.owtServer = "old:1";
    join.username = "old";
    join.role = 7;
    StAppConfig config;  // resolution chosen, 1280 x 720
    Json request = Parse(c.json);
    EXPECT_EQ(ParseLoginData(request.get(), join, config), c.parsed);
    EXPECT_EQ(join.owtServer, c.owt);
    EXPECT_EQ(join.role, c.role);
    EXPECT_EQ(config.host, c.host);
    EXPECT_EQ(config.guest_mic_default, c.guest_mic);
    EXPECT_EQ(config.video_width, c.width);
    EXPECT_EQ(join.username, c.username);
  }
}

TEST(JoinInfo, FreshRecordGetsTheDefaultEndpointAndCameraSize) {
  const struct {
    int camera;
    int width, height;
  } sizes[] = {{1080, 1920, 1080}, {720, 1280, 720}, {480, 640, 360}};
  for (const auto& s : sizes) {
    StJoinInfo join;
    StAppConfig config;
    config.resolution_chosen = false;
    Json request(cJSON_CreateObject());
    cJSON* data = cJSON_AddObjectToObject(request.get(), "data");
    cJSON_AddNumberToObject(data, "cameraResolution", s.camera);
    ASSERT_TRUE(ParseLoginData(request.get(), join, config));
    EXPECT_EQ(join.owtServer, kDefaultOwtServer);
    EXPECT_EQ(config.video_width, s.width);
    EXPECT_EQ(config.video_height, s.height);
  }
}

TEST(JoinInfo, OnlyTheTextOneChoosesTheOrangeSkin) {
  StJoinInfo join;
  StAppConfig config;
  SetSkinIndex(kSkinBlue);
  ParseLoginData(Parse(R"({"data":{"hostSkin":1}})").get(), join, config);
  EXPECT_EQ(GetSkinIndex(), kSkinBlue);
  EXPECT_EQ(GetSkinFile(0), L"xml/blue/main_frame.xml");
  ParseLoginData(Parse(R"({"data":{"hostSkin":"1"}})").get(), join, config);
  EXPECT_EQ(GetSkinIndex(), kSkinOrange);
  EXPECT_EQ(GetSkinFile(16), L"xml/orange/exit_meet_frame.xml");
  ParseLoginData(Parse(R"({"data":{"hostSkin":"0"}})").get(), join, config);
  EXPECT_EQ(GetSkinIndex(), kSkinOrange);  // kept for the rest of the run
  EXPECT_EQ(GetSkinFile(17), L"");
}
