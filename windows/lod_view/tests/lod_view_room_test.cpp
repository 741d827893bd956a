// End to end: a file played by the local media window into the loopback room server through the
// real SDK layer reaches a member that subscribes the local-media stream, its pictures in order
// and its sound as the file's samples in order. The clip's sound is lossless PCM whose every
// 10 ms packet begins with a mark (a tag and its packet number) followed by a 440 Hz tone.

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devices/tests/file_decode_harness.h"
#include "foundation/app_config.h"
#include "platform/orvim/common/json.h"
#include "platform/orvim/testing/room_server_process.h"
#include "platform/orvim/testing/service_client.h"
#include "sdk/interactive/tests/sdk_test_support.h"
#include "shell/registry/user_stream_list.h"
#include "windows/common/tests/dialog_test_support.h"
#include "windows/lod_view/tests/lod_view_test_support.h"

namespace {

using orvim::testing::RoomServerProcess;
using orvim::testing::ServiceClient;

constexpr int kRoomWaitMs = 15000;
constexpr int kClipTag = 4660;       // The mark's tag in every packet of the clip.
constexpr int kClipPackets = 200;    // 2 s of 10 ms packets.
// At most this many of the clip's last packets can be cut off by the stop at its end.
constexpr int kCutOffPackets = 30;
const char kClip[] = "lod_marked.mkv";

struct TapEntry {
  bool marked;
  int tag, counter, rises;
};

// The sound bob received on `stream` since the last call.
std::vector<TapEntry> DrainTap(ServiceClient& bob, const std::string& stream) {
  std::vector<TapEntry> out;
  orvim::JsonPtr answer = orvim::ParseObject(bob.Control("tap", R"("drain":true)"));
  const cJSON* entry = nullptr;
  cJSON_ArrayForEach(entry, cJSON_GetObjectItemCaseSensitive(answer.get(), "entries")) {
    if (orvim::GetString(entry, "stream") != stream) continue;
    out.push_back(TapEntry{orvim::GetBool(entry, "marked"), orvim::GetInt(entry, "tag"),
                           orvim::GetInt(entry, "counter"), orvim::GetInt(entry, "rises")});
  }
  return out;
}

// Where two counter runs part, for a failure's message.
std::string FirstDifference(const std::vector<int>& got, const std::vector<int>& want) {
  size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  std::string text = "got " + std::to_string(got.size()) + " counters, want " +
                     std::to_string(want.size()) + "; they part at " + std::to_string(i) + ":";
  for (size_t k = i; k < got.size() && k < i + 8; ++k) text += " " + std::to_string(got[k]);
  return text;
}

TEST(LodViewRoomTest, AFilePlayedIntoTheRoomReachesAMemberInOrder) {
  CUserStreamList::Instance()->Replace({});
  dialog_test::UseLook({0, L"zh_CN"});
  sdk_test::ConfigGuard config;
  orvim::testing::OrvimLibrary library;
  ASSERT_TRUE(library.ok());
  RoomServerProcess server;
  ASSERT_TRUE(server.Start());
  GetAppConfig()->use_mode.store(true);
  auto bob = std::make_unique<ServiceClient>(library);
  ASSERT_TRUE(bob->Join(server.address(), "room1", "bob"));

  sdk_test::RecordingOwner owner;
  sdk_test::PageSink page;
  auto layer = std::make_unique<sdk_test::TestLayer>(&owner);
  layer->InitSDK();
  layer->Login(sdk_test::JoinAsMe("room1", server.address()));
  ASSERT_TRUE(sdk_test::WaitUntil([&] { return layer->IsInMeeting(); }, kRoomWaitMs));

  lod_test::RecordingOwner playback;
  auto frame = std::make_unique<lod_test::ProbeFrame>(&playback);
  ASSERT_NE(lod_test::CreateHidden(frame.get()), nullptr);
  frame->SetSdk(layer.get());
  layer->SetLodView(frame.get());
  frame->SetMaxVideoSize(640, 360);
  ASSERT_TRUE(frame->DoOpenFile(morlun_test::DataPath(kClip), false, 100, "md5-room"));
  ASSERT_EQ(layer->Start_LocalMedia_Stream(frame->GetEngine(), 320, 240, false), 0);

  std::mutex mutex;
  std::vector<int> seen;  // Frame numbers bob received on the local-media stream.
  bob->observer().SetFrameHook([&](const std::string&, int type, const rtTarvo::rtc::FrameDescription& d) {
    if (type != rtTarvo::rtc::kStreamLocalMedia || !d.data || d.width != 320 || d.height != 240) return;
    std::lock_guard<std::mutex> lock(mutex);
    seen.push_back(morlun_test::FrameNumberOf(d.data, d.width, d.height));
  });
  std::string mediaId;
  ASSERT_TRUE(lod_test::PumpUntil([&] {
    for (const auto& e : bob->observer().Events("OnStreamAdded")) {
      if (e.stream.kind == rtTarvo::rtc::kStreamLocalMedia) mediaId = e.stream.stream_id;
    }
    return !mediaId.empty();
  }, kRoomWaitMs));
  EXPECT_EQ(mediaId, layer->GetMeetingIds().localMediaStreamId);
  bob->media()->Resubscribe(mediaId, 0);
  // The subscription is live once the paused playback's silence arrives.
  ASSERT_TRUE(lod_test::PumpUntil([&] { return !DrainTap(*bob, mediaId).empty(); }, kRoomWaitMs));

  ASSERT_TRUE(frame->DoRun(false));
  ASSERT_TRUE(lod_test::PumpUntil([&] { return playback.Count(3) > 0; }, 30000));
  const int pictures = morlun_test::HostFrameCount(kClip);
  ASSERT_GT(pictures, 0);
  ASSERT_TRUE(lod_test::PumpUntil([&] {
    std::lock_guard<std::mutex> lock(mutex);
    return seen.size() >= static_cast<size_t>(pictures);
  }, kRoomWaitMs)) << "bob saw " << seen.size() << " of " << pictures;
  lod_test::PumpFor(300);
  {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<int> numbers;
    for (int i = 0; i < pictures; ++i) numbers.push_back(i);
    EXPECT_EQ(seen, numbers);
  }

  // The playback has finished, and its end stopped the stream. The sound can trail the pictures
  // on a busy machine, so the tap is read until the clip's last packet or a second without a new
  // one. What the room server still held for bob when the stop came (its audio queue, 20
  // packets, and what was still on its way) may be cut off; everything before it arrives, from
  // the clip's first packet on, in order.
  std::vector<TapEntry> heard;
  DWORD lastNew = GetTickCount();
  lod_test::PumpUntil([&] {
    for (const TapEntry& e : DrainTap(*bob, mediaId)) {
      if (!e.marked) continue;
      heard.push_back(e);
      lastNew = GetTickCount();
    }
    return (!heard.empty() && heard.back().counter >= kClipPackets - 1) ||
           GetTickCount() - lastNew > 1000;
  }, kRoomWaitMs);
  std::vector<int> counters;
  long long rises = 0;
  for (const TapEntry& e : heard) {
    EXPECT_EQ(e.tag, kClipTag);
    counters.push_back(e.counter);
    rises += e.rises;
  }
  std::vector<int> expected;
  for (int i = 0; i < static_cast<int>(counters.size()); ++i) expected.push_back(i);
  EXPECT_EQ(counters, expected) << FirstDifference(counters, expected);
  EXPECT_GE(counters.size(), static_cast<size_t>(kClipPackets - kCutOffPackets));
  EXPECT_LE(counters.size(), static_cast<size_t>(kClipPackets));
  // Upward crossings per second of tone: its frequency, less the crossings that the mark's
  // frames hide (about 5 % at 440 Hz).
  const double hertz = rises / (counters.size() * 0.01);
  EXPECT_GT(hertz, 405.0);
  EXPECT_LT(hertz, 445.0);

  layer->SetLodView(nullptr);
  frame.reset();
  layer.reset();
  bob.reset();
  CUserStreamList::Instance()->Replace({});
}

}  // namespace
