#include <gtest/gtest.h>

#include <cjson/cJSON.h>

#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "shell/jsevents/js_event_sender.h"

namespace {

// Removes the printer's whitespace outside strings, so that texts compare exactly otherwise.
std::string Compact(const std::string& json) {
  std::string out;
  bool in_string = false;
  for (size_t i = 0; i < json.size(); ++i) {
    const char c = json[i];
    if (in_string) {
      out += c;
      if (c == '\\' && i + 1 < json.size()) {
        out += json[++i];
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
      out += c;
    } else if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
      out += c;
    }
  }
  return out;
}

class RecordingTarget : public JsEventDelegate {
 public:
  struct Sent {
    std::string json;
    bool log;
  };
  std::vector<Sent> sent;
  std::vector<std::string> calls;

  void OnNativeInvokeJS(const std::string& json, bool log) override { sent.push_back({json, log}); }
  void DeferExitNotify(int reason, const std::string& origin, bool deferred) override {
    calls.push_back("defer " + std::to_string(reason) + " " + origin + (deferred ? " 1" : " 0"));
  }
  void OnShareStopped() override { calls.push_back("share stopped"); }
  void RestoreIfNotMaximized() override { calls.push_back("restore"); }
};

class CJsEventSenderTest : public ::testing::Test {
 protected:
  void SetUp() override { sender_.SetDelegate(&target_); }
  // Sends one event and returns its compact text (empty when nothing was sent).
  std::string One(const std::function<void(CJsEventSender&)>& send, bool* log = nullptr) {
    target_.sent.clear();
    send(sender_);
    if (target_.sent.size() != 1) return "<" + std::to_string(target_.sent.size()) + " sent>";
    if (log != nullptr) *log = target_.sent[0].log;
    return Compact(target_.sent[0].json);
  }
  CJsEventSender sender_;
  RecordingTarget target_;
};

StUserStream Alice() {
  StUserStream user;
  user.name = "\xE7\x8E\x8B";  // A Chinese name, UTF-8.
  user.id = "id1";
  user.gId = "g";
  user.gcId = "gc";
  user.audioStatus = "1";
  user.videoStatus = "0";
  user.platform = "win";
  user.streamId = "s1";
  user.uid = "u1";
  user.cid = "c1";
  return user;
}

TEST_F(CJsEventSenderTest, EveryEventHasItsExactKeysTypesOrderAndLogFlag) {
  StPushStreamInfo push;
  push.platform_name = L"\x6296\x97F3";  // Wide text goes out as UTF-8.
  push.push_url = L"rtmp://a/b";
  push.width = 1280;
  push.height = 720;
  StPushStreamInfo push_with_id = push;
  push_with_id.stream_id = "st9";
  StLayoutItem item;
  item.index = 2;
  item.hasCamera = true;
  item.left = 0.5f;
  item.top = 0.0f;
  item.width = 0.333f;
  item.height = 1.0f;
  item.stream_id = "s";
  item.userName = "n";
  item.userId = "u";
  LocalDocumentInfo doc;
  doc.md5 = "d";
  doc.status = 2;
  doc.totalpage = 12;
  doc.curpage = 1;
  const std::string kUserKeys =
      "\"name\":\"\xE7\x8E\x8B\",\"id\":\"id1\",\"gId\":\"g\",\"gcId\":\"gc\",\"audioStatus\":"
      "\"1\","
      "\"videoStatus\":\"0\",\"platform\":\"win\",\"streamId\":\"s1\",\"uid\":\"u1\","
      "\"cid\":\"c1\"";

  const struct {
    std::function<void(CJsEventSender&)> send;
    std::string expected;
    bool log;
  } kTable[] = {
      {[](CJsEventSender& s) { s.NotifyCloseClicked(); }, R"({"event":8})", true},
      {[](CJsEventSender& s) { s.NotifyDeviceResult(-3); }, R"({"event":9,"ret":-3})", true},
      {[](CJsEventSender& s) { s.NotifyJoinGroup("g1", "gc1"); },
       R"({"event":11,"gid":"g1","gcid":"gc1"})", true},
      {[](CJsEventSender& s) { s.NotifyUserStream(Alice()); }, "{\"event\":13," + kUserKeys + "}",
       true},
      {[](CJsEventSender& s) { s.NotifyUserLeft(Alice()); },
       R"({"event":14,"id":"id1","uid":"u1","cid":"c1"})", true},
      {[](CJsEventSender& s) { s.NotifyLoginParams("l", "p", "g", "n", "t", "r", true); },
       R"({"event":15,"liveId":"l","pwd":"p","guestId":"g","nickName":"n","thirdPartyId":"t","remarksInfo":"r","autoLogin":true})",
       true},
      {[](CJsEventSender& s) { s.NotifyNetLevel(2); }, R"({"event":16,"netlevel":"2"})", false},
      {[](CJsEventSender& s) { s.NotifyMediaShare(3, "u7"); },
       R"({"event":17,"mediaShareType":3,"uid":"u7"})", true},
      {[&](CJsEventSender& s) { s.NotifyLayout({item}); },
       R"({"event":18,"list":[{"index":2,"isFixed":"false","hasCamera":"true","left":"0.50","top":"0.00","width":"0.33","height":"1.00","stream_id":"s","userName":"n","userId":"u"}]})",
       true},
      {[](CJsEventSender& s) { s.NotifyLayoutData("{\"a\":1}"); },
       R"({"event":19,"data":"{\"a\":1}"})", true},
      {[](CJsEventSender& s) { s.NotifyWindowZoomed(false, 0); }, R"({"event":20,"opt":0})", true},
      {[&](CJsEventSender& s) { s.NotifyPushStreamAdded(push); },
       "{\"event\":21,\"url\":\"rtmp://a/b\",\"platform\":\"\xE6\x8A\x96\xE9\x9F\xB3\","
       "\"width\":1280,\"height\":720}",
       true},
      {[&](CJsEventSender& s) { s.NotifyPushStreamAdded(push_with_id); },
       "{\"event\":21,\"url\":\"rtmp://a/b\",\"platform\":\"\xE6\x8A\x96\xE9\x9F\xB3\","
       "\"width\":1280,\"height\":720,\"streamId\":\"st9\"}",
       true},
      {[](CJsEventSender& s) { s.NotifyGuestListOption(1); }, R"({"event":22,"opt":1})", true},
      {[](CJsEventSender& s) { s.NotifySettingsOpened(); }, R"({"event":23})", true},
      {[](CJsEventSender& s) { s.NotifyPushStreamState(1, ""); }, R"({"event":24,"opt":1})", true},
      {[](CJsEventSender& s) { s.NotifyPushStreamState(0, "x"); },
       R"({"event":24,"opt":0,"streamId":"x"})", true},
      {[](CJsEventSender& s) { s.NotifyStatus(L"\x4E0A\x4F20 \"ok\"", 2); },
       "{\"event\":25,\"msg\":\"\xE4\xB8\x8A\xE4\xBC\xA0 \\\"ok\\\"\",\"status\":2}", true},
      {[](CJsEventSender& s) { s.NotifyLeaveRoom(1, "kick", false); },
       R"({"event":27,"reason":1,"origin":"kick"})", true},
      {[](CJsEventSender& s) { s.NotifyConnectionStatus(3); }, R"({"event":28,"status":3})", true},
      {[](CJsEventSender& s) { s.NotifyCopyDataShow(true); }, R"({"event":29,"show":1})", true},
      {[](CJsEventSender& s) { s.NotifyCopyDataShow(false); }, R"({"event":29,"show":0})", true},
      {[](CJsEventSender& s) { s.NotifyWebLog("win_client: a\nb"); },
       R"({"event":30,"text":"win_client: a\nb"})", false},
      {[](CJsEventSender& s) { s.NotifyInterCutVolume(80); }, R"({"event":31,"value":80})", true},
      {[](CJsEventSender& s) { s.NotifyLanguageChanged("zh-CN"); },
       R"({"event":32,"value":"zh-CN"})", false},
      {[](CJsEventSender& s) { s.NotifyViewerOption(0); }, R"({"event":33,"opt":0})", true},
      {[](CJsEventSender& s) { s.NotifyLocalFileAdded("C:/v.mp4", "m", 5000000000ull, 0, 0); },
       R"({"event":34,"url":"C:/v.mp4","md5":"m","size":"5000000000","type":0,"height":360})",
       true},
      {[](CJsEventSender& s) { s.NotifyLocalFileAdded("C:/v.mp4", "m", 7, 0, 1080); },
       R"({"event":34,"url":"C:/v.mp4","md5":"m","size":"7","type":0,"height":1080})", true},
      {[](CJsEventSender& s) { s.NotifyLocalFileAdded("C:/d.ppt", "m", 7, 1, 1080); },
       R"({"event":34,"url":"C:/d.ppt","md5":"m","size":"7","type":1})", true},
      {[](CJsEventSender& s) { s.NotifyLocalPlayback("m", 1, 300, 12); },
       R"({"event":35,"md5":"m","status":1,"totaltimes":300,"curtime":12})", false},
      {[&](CJsEventSender& s) { s.NotifyDocConverted(doc); },
       R"({"event":36,"md5":"d","status":2,"totalpage":12,"curpage":1})", true},
      {[](CJsEventSender& s) { s.NotifyEvent37(); }, R"({"event":37})", true},
      {[](CJsEventSender& s) { s.NotifyShowState(true); }, R"({"event":38,"isShow":"1"})", false},
      {[](CJsEventSender& s) { s.NotifyCpuUsage(93); }, R"({"event":39,"usage":93})", true},
  };
  for (const auto& row : kTable) {
    bool log = !row.log;
    EXPECT_EQ(One(row.send, &log), row.expected);
    EXPECT_EQ(log, row.log) << row.expected;
  }
}

TEST_F(CJsEventSenderTest, PrintedWithLineBreaksAndWrappedForThePage) {
  sender_.NotifyDeviceResult(1);
  ASSERT_EQ(target_.sent.size(), 1u);
  EXPECT_NE(target_.sent[0].json.find('\n'), std::string::npos);
  EXPECT_EQ(BuildNativeInvokeScript("{\"event\":8}"), "nativeInvokeJS({\"event\":8}); ");
}

TEST_F(CJsEventSenderTest, OwnerCallsAroundEvents) {
  EXPECT_EQ(One([](CJsEventSender& s) { s.NotifyLeaveRoom(0, "server", true); }), "<0 sent>");
  EXPECT_EQ(One([](CJsEventSender& s) { s.NotifyMediaShare(0, "u"); }),
            R"({"event":17,"mediaShareType":0,"uid":"u"})");
  One([](CJsEventSender& s) { s.NotifyWindowZoomed(true, 1); });
  EXPECT_EQ(target_.calls,
            (std::vector<std::string>{"defer 0 server 1", "share stopped", "restore"}));

  target_.sent.clear();
  sender_.SetDelegate(nullptr);
  sender_.NotifyCloseClicked();  // Dropped: nobody runs it.
  EXPECT_TRUE(target_.sent.empty());
}

TEST_F(CJsEventSenderTest, UserListPagesThroughTheRegistryInIdOrder) {
  CUserStreamList* users = CUserStreamList::Instance();
  auto count_users = [](const std::string& json) {
    cJSON* root = cJSON_Parse(json.c_str());
    const int size = cJSON_GetArraySize(cJSON_GetObjectItem(root, "list"));
    cJSON_Delete(root);
    return size;
  };
  EXPECT_EQ(sender_.NotifyUserList(0, 1000), 0);
  EXPECT_EQ(Compact(target_.sent.back().json), R"({"event":12,"list":[]})");

  for (int i = 0; i < 2500; ++i) {
    StUserStream user = Alice();
    char id[16];
    std::snprintf(id, sizeof(id), "user%04d", 2499 - i);
    user.id = id;
    users->Add(user);
  }
  target_.sent.clear();
  std::vector<int> left;
  for (int first = 0;; first += 1000) {
    left.push_back(sender_.NotifyUserList(first, 1000));
    if (left.back() <= 0) break;
  }
  EXPECT_EQ(left, (std::vector<int>{1500, 500, 0}));
  ASSERT_EQ(target_.sent.size(), 3u);
  EXPECT_EQ(count_users(target_.sent[0].json), 1000);
  EXPECT_EQ(count_users(target_.sent[2].json), 500);
  EXPECT_NE(target_.sent[0].json.find("\"user0000\""), std::string::npos);
  EXPECT_NE(target_.sent[2].json.find("\"user2499\""), std::string::npos);

  // Exactly 1000 users: one event, nothing left.
  for (int i = 1000; i < 2500; ++i) {
    char id[16];
    std::snprintf(id, sizeof(id), "user%04d", i);
    users->Remove(id);
  }
  EXPECT_EQ(sender_.NotifyUserList(0, 1000), 0);
  for (int i = 0; i < 1000; ++i) {
    char id[16];
    std::snprintf(id, sizeof(id), "user%04d", i);
    users->Remove(id);
  }
}

TEST(CJsEventSenderFormatTest, LayoutValuesAndConverterArguments) {
  const std::pair<float, const char*> kValues[] = {
      {0.5f, "0.50"},        {-99.99f, "-99.99"},   {999.994f, "999.99"}, {1000.0f, "1000.00"},
      {12345.6f, "12345.6"}, {-1234.5f, "-1234.5"}, {1e7f, "9999999"},    {-1e7f, "-999999"}};
  for (const auto& row : kValues) {
    EXPECT_EQ(CJsEventSender::FormatLayoutValue(row.first), row.second) << row.first;
  }
  EXPECT_EQ(Compact(CJsEventSender::BuildDocTransArgs(0x1A2B, "C:\\a b\\c.ppt", "m5", 4242)),
            R"({"hwnd":"6699","md5":"m5","file":"C:\\a b\\c.ppt","pid":"4242"})");
}

}  // namespace
