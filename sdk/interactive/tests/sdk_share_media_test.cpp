// Screen share, local media and media insertion against the stand-in offline: the starts'
// answers, the stops, a stop that comes before the stream's sender, share frames, and the
// media insertion.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "foundation/app_config.h"
#include "sdk/interactive/tests/sdk_test_support.h"

namespace sdk_test {
namespace {

using Ops = std::vector<std::string>;

const char kShareCreate[] =
    R"(CreateStream{"kind":1,"width":1920,"height":1080,"profile":2,"layers":2,"video":true,"audio":true})";

std::string Sender(const std::string& id) {
  return R"({"stream_id":")" + id + R"(","video_type":2,"stream_kind":2,"sender_kind":1})";
}

std::string Stream(const char* op, const std::string& id) { return std::string(op) + R"({"stream_id":")" + id + R"("})"; }

class SdkShareMediaTest : public ::testing::Test {
 protected:
  void SetUp() override { m.Join(); }
  // The share stream asked for and its sender arrived as |id|.
  void Share(const std::string& id) {
    ASSERT_EQ(m.layer.Start_Share_Stream(), 0);
    ASSERT_TRUE(m.Emit("OnCreateSenderSuccess", Sender(id)));
    ASSERT_EQ(m.layer.GetMeetingIds().shareStreamId, id);
    m.Journal();
  }
  std::vector<std::string> WebLogs() { return m.page.Values(30, "text"); }

  ConfigGuard config;
  OfflineMeeting m;
};

TEST_F(SdkShareMediaTest, TheStartsAnswerAsTheOtherStreamsAllow) {
  // A share: asked for, published when its sender comes; a second start only mutes its sound
  // again as the share window asked (here: no sound).
  GetAppConfig()->share_audio = false;
  EXPECT_EQ(m.layer.Start_Share_Stream(), 0);
  EXPECT_EQ(m.Ops(), Ops{kShareCreate});
  ASSERT_TRUE(m.Emit("OnCreateSenderSuccess", Sender("sh1")));
  EXPECT_EQ(m.Ops({"Publish"}), Ops{R"(Publish{"stream_id":"sh1","video_muted":false})"});
  EXPECT_EQ(m.layer.Start_Share_Stream(), 1);
  EXPECT_EQ(m.Ops(), Ops{R"(MuteAudio{"stream_id":"sh1","muted":true})"});

  // Local media while sharing: 1, and local media is not marked playing.
  EXPECT_EQ(m.layer.Start_LocalMedia_Stream(nullptr, 1280, 720, false), 1);
  EXPECT_FALSE(m.layer.IsLocalMediaPlaying());
  EXPECT_TRUE(m.Ops().empty());

  m.layer.Stop_Share_Stream();
  EXPECT_EQ(m.Ops(), (Ops{Stream("Unpublish", "sh1"), Stream("ReleaseStream", "sh1")}));
  EXPECT_FALSE(m.layer.HasSender(1));
  ASSERT_TRUE(m.Emit("OnReleaseStreamSuccess", R"({"stream_id":"sh1"})"));

  // Local media: asked for with the file's (here: no) video; then both starts answer 2.
  EXPECT_EQ(m.layer.Start_LocalMedia_Stream(nullptr, 1280, 720, true), 0);
  EXPECT_EQ(m.Ops(), Ops{R"(CreateLocalMediaStream{"width":1280,"height":720,"video_mode":2,"has_video":false,)"
                         R"("sample_rate":48000,"channels":2,"audio_mode":2,"audio_enabled":true,"loop":true,)"
                         R"("generator":true,"mode":1})"});
  EXPECT_TRUE(m.layer.IsLocalMediaPlaying());
  EXPECT_EQ(m.layer.Start_Share_Stream(), 2);
  EXPECT_EQ(m.layer.Start_LocalMedia_Stream(nullptr, 1280, 720, true), 2);
  ASSERT_TRUE(m.Emit("OnCreateSenderSuccess", Sender("lm1")));
  EXPECT_EQ(m.layer.GetMeetingIds().localMediaStreamId, "lm1");
  EXPECT_EQ(m.layer.GetMeetingIds().shareStreamId, "");
  m.Journal();
  m.layer.Stop_LocalMedia_Stream();
  EXPECT_EQ(m.Ops(), (Ops{Stream("Unpublish", "lm1"), Stream("ReleaseStream", "lm1")}));
  EXPECT_FALSE(m.layer.IsLocalMediaPlaying());
  const std::vector<std::string> logs = WebLogs();
  EXPECT_NE(std::find(logs.begin(), logs.end(), "win_client:stop local media share id : lm1"), logs.end())
      << ::testing::PrintToString(logs);

  // Out of a meeting (its page replaces this one's).
  OfflineMeeting outside;
  EXPECT_EQ(outside.layer.Start_Share_Stream(), -1);
  EXPECT_EQ(outside.layer.Start_LocalMedia_Stream(nullptr, 1280, 720, false), -1);
  EXPECT_TRUE(outside.Ops().empty());
}

// A stop before the stream's sender came: nothing is sent then, the sender's stream is released
// instead of published, and nothing stays blocked.
TEST_F(SdkShareMediaTest, AStopBeforeTheSenderReleasesTheStreamWhenItComes) {
  struct Case {
    const char* name;
    bool localMedia;
  };
  for (const Case c : {Case{"share", false}, Case{"local media", true}}) {
    SCOPED_TRACE(c.name);
    if (c.localMedia) {
      ASSERT_EQ(m.layer.Start_LocalMedia_Stream(nullptr, 640, 360, false), 0);
    } else {
      ASSERT_EQ(m.layer.Start_Share_Stream(), 0);
    }
    m.Journal();
    c.localMedia ? m.layer.Stop_LocalMedia_Stream() : m.layer.Stop_Share_Stream();
    EXPECT_TRUE(m.Ops().empty());
    EXPECT_FALSE(m.layer.IsLocalMediaPlaying());

    ASSERT_TRUE(m.Emit("OnCreateSenderSuccess", Sender("late")));
    EXPECT_EQ(m.Ops(), Ops{Stream("ReleaseStream", "late")});
    EXPECT_FALSE(m.layer.HasSender(1));
    const StMeetingIds ids = m.layer.GetMeetingIds();
    EXPECT_EQ(ids.shareStreamId + ids.localMediaStreamId, "");

    // Both starts are free again, and the next sender is published.
    EXPECT_EQ(m.layer.Start_LocalMedia_Stream(nullptr, 640, 360, false), 0);
    m.layer.Stop_LocalMedia_Stream();
    ASSERT_TRUE(m.Emit("OnCreateSenderSuccess", Sender("late2")));
    EXPECT_EQ(m.layer.Start_Share_Stream(), 0);
    ASSERT_TRUE(m.Emit("OnCreateSenderSuccess", Sender("next")));
    EXPECT_EQ(m.layer.GetMeetingIds().shareStreamId, "next");
    EXPECT_EQ(m.Ops({"Publish", "ReleaseStream"}),
              (Ops{Stream("ReleaseStream", "late2"), R"(Publish{"stream_id":"next","video_muted":false})"}));
    m.layer.Stop_Share_Stream();
    ASSERT_TRUE(m.Emit("OnReleaseStreamSuccess", R"({"stream_id":"next"})"));
    m.Journal();
  }

  // A stop with no share asked for sends nothing and leaves the next share alone.
  m.layer.Stop_Share_Stream();
  EXPECT_TRUE(m.Ops().empty());
  Share("sh2");
  EXPECT_TRUE(m.layer.HasSender(1));
}

TEST_F(SdkShareMediaTest, AFailedLocalMediaSenderEndsLocalMedia) {
  ASSERT_EQ(m.layer.Start_LocalMedia_Stream(nullptr, 640, 360, false), 0);
  ASSERT_TRUE(m.Emit("OnCreateSenderFailed", R"({"stream_id":"","ec":-5,"video_type":2,"stream_kind":2})"));
  EXPECT_EQ(m.owner.Calls(), Ops{"OnShareResult(-2,0)"});
  EXPECT_FALSE(m.layer.IsLocalMediaPlaying());
  EXPECT_EQ(m.layer.Start_Share_Stream(), 0);
  ASSERT_TRUE(m.Emit("OnCreateSenderFailed", R"({"stream_id":"","ec":-5,"video_type":2,"stream_kind":2})"));
  EXPECT_EQ(m.owner.Calls(), (Ops{"OnShareResult(-2,0)", "OnShareResult(-1,0)"}));
  EXPECT_EQ(m.layer.Start_LocalMedia_Stream(nullptr, 640, 360, false), 0);
}

// Only whole pictures reach the share sender.
TEST_F(SdkShareMediaTest, ShareFramesThatDoNotHoldTheirPictureAreDropped) {
  Share("sh1");
  struct Case {
    const char* name;
    int length, width, height;
    bool sent;
  };
  const Case cases[] = {
      {"whole", 16 * 8 * 3 / 2, 16, 8, true},
      {"one byte short", 16 * 8 * 3 / 2 - 1, 16, 8, false},
      {"odd size needs rounded chroma", 15 * 7 * 3 / 2, 15, 7, false},
      {"odd size whole", 15 * 7 + 2 * 8 * 4, 15, 7, true},
      {"zero length", 0, 16, 8, false},
      {"negative length", -1, 16, 8, false},
      {"zero width", 192, 0, 8, false},
      {"negative height", 192, 16, -8, false},
      {"length overflowing int", 1 << 30, 1 << 16, 1 << 16, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A huge length is refused before anything is read, so a small buffer stands for it.
    const bool small = c.length > 0 && c.length <= (1 << 20);
    std::vector<uint8_t> frame(small ? static_cast<size_t>(c.length) : 16, 0x40);
    m.layer.SendShareStreamData(frame.data(), c.length, c.width, c.height);
    EXPECT_EQ(m.Ops({"SendFrame"}).size(), c.sent ? 1u : 0u);
  }
  m.layer.SendShareStreamData(nullptr, 192, 16, 8);
  EXPECT_TRUE(m.Ops({"SendFrame"}).empty());
}

TEST_F(SdkShareMediaTest, EveryInsertionRequestInserts) {
  m.layer.Start_MediaShare("a1", "v1", "rtmp://x/y", true, false);
  m.layer.Start_MediaShare("auto", "auto", "rtmp://x/z", false, true);
  EXPECT_EQ(m.Ops(), (Ops{R"(StartInsertion{"url":"rtmp://x/y","audio_source":"a1","video_source":"v1","room_id":"room","muted":false})",
                          R"(StartInsertion{"url":"rtmp://x/z","audio_source":"auto","video_source":"auto","room_id":"room","muted":true})"}));
  EXPECT_EQ(WebLogs(), (Ops{"win_client:start inter cut!", "win_client:start inter cut!"}));
  OfflineMeeting outside;
  outside.layer.Start_MediaShare("auto", "auto", "u", true, false);
  EXPECT_TRUE(outside.Ops().empty());
}

}  // namespace
}  // namespace sdk_test
