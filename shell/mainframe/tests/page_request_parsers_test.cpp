// The readers of the page's requests on their own: key case, types, defaults, and the request
// records they fill.

#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "shell/mainframe/page_request_parsers.h"

namespace page_request {
namespace {

using JsonPtr = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

JsonPtr Parse(const std::string& text) { return JsonPtr(cJSON_Parse(text.c_str()), &cJSON_Delete); }

// One key read into a target that starts at a known value.
TEST(PageRequestParsersTest, SingleKeys) {
  const struct {
    const char* json;
    int32_t number;  // ReadInt of "opt", starting at 7.
    bool flag;       // ReadFlag of "opt", starting at true.
    bool boolean;    // ReadBool of "opt", starting at true.
    std::string text;  // ReadText of "opt", starting at "old".
  } cases[] = {
      {R"({"opt":1})", 1, true, true, "old"},
      {R"({"OPT":2})", 2, false, true, "old"},  // Keys without regard to case.
      {R"({"opt":-5})", -5, false, true, "old"},
      {R"({"opt":1.9})", 1, true, true, "old"},  // The integer view.
      {R"({"opt":1e12})", INT_MAX, false, true, "old"},
      {R"({"opt":-1e12})", INT_MIN, false, true, "old"},
      {R"({"opt":"1"})", 7, true, true, "1"},  // A text is no number.
      {R"({"opt":false})", 7, true, false, "old"},
      {R"({"opt":true})", 7, true, true, "old"},
      {R"({"opt":null})", 7, true, true, "old"},
      {R"({"opt":[1]})", 7, true, true, "old"},
      {R"({"other":1})", 7, true, true, "old"},
      {R"([1,2])", 7, true, true, "old"},  // No object: nothing read.
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    JsonPtr request = Parse(c.json);
    int32_t number = 7;
    bool flag = true;
    bool boolean = true;
    std::string text = "old";
    ReadInt(request.get(), "opt", &number);
    ReadFlag(request.get(), "opt", &flag);
    ReadBool(request.get(), "opt", &boolean);
    ReadText(request.get(), "opt", &text);
    EXPECT_EQ(number, c.number);
    EXPECT_EQ(flag, c.flag);
    EXPECT_EQ(boolean, c.boolean);
    EXPECT_EQ(text, c.text);
  }
  EXPECT_EQ(RequestNumber(Parse(R"({"Event":2,"OPT":1})").get()), 2);
  EXPECT_EQ(RequestNumber(Parse(R"({"event":"2"})").get()), 0);
  EXPECT_EQ(RequestNumber(nullptr), 0);
}

TEST(PageRequestParsersTest, QueuedRecords) {
  StJsCommand video = DeviceCommand(Parse(R"({"event":3,"id":"u1","opt":1})").get(), 3);
  EXPECT_EQ(video.id, "u1");
  EXPECT_EQ(video.kind, 3);
  EXPECT_EQ(video.opt, 1);
  EXPECT_TRUE(video.text1.empty() && video.text2.empty());
  StJsCommand speaker = DeviceCommand(Parse(R"({"event":11,"id":"u1","opt":0})").get(), 11);
  EXPECT_EQ(speaker.id, "") << "request 11 carries no id";
  EXPECT_EQ(speaker.kind, 11);
  StJsCommand bare = DeviceCommand(Parse(R"({"event":4,"id":5,"opt":"1"})").get(), 4);
  EXPECT_EQ(bare.id, "");
  EXPECT_EQ(bare.opt, 0);

  // 16: "opt" a flag, "muted" JSON true/false only.
  const struct {
    const char* json;
    bool opt;
    bool muted;
  } shares[] = {
      {R"({"opt":1,"url":"rtmp://a","muted":true})", true, true},
      {R"({"opt":2,"url":"rtmp://a","muted":1})", false, false},
      {R"({"opt":true,"muted":false})", false, false},
  };
  for (const auto& c : shares) {
    SCOPED_TRACE(c.json);
    StJsMediaCommand share = MediaShareCommand(Parse(c.json).get());
    EXPECT_EQ(share.audioSource, "auto");
    EXPECT_EQ(share.videoSource, "auto");
    EXPECT_EQ(share.opt, c.opt);
    EXPECT_EQ(share.muted, c.muted);
  }
  EXPECT_EQ(MediaShareCommand(Parse(R"({"url":"rtmp://a"})").get()).url, "rtmp://a");

  StJsPushStreamCommand result =
      PushResultCommand(Parse(R"({"url":"rtmp://p","result":3,"streamId":"s1"})").get());
  EXPECT_EQ(result.kind, 18);
  EXPECT_EQ(result.result, 3);
  EXPECT_EQ(result.url, "rtmp://p");
  EXPECT_EQ(result.streamId, "s1");
  StJsPushStreamCommand list = PushListCommand(Parse(R"({"streamId":"s2","result":3})").get());
  EXPECT_EQ(list.kind, 19);
  EXPECT_EQ(list.result, 0);
  EXPECT_EQ(list.streamId, "s2");
}

// 17: each value 0 or false when absent; "audio" true/false or a number (true when not 0).
TEST(PageRequestParsersTest, Subscribe) {
  const struct {
    const char* json;
    int width, height;
    bool subscribe, audio;
  } cases[] = {
      {R"({})", 0, 0, false, false},
      {R"({"subscrib":1,"width":640,"height":360,"audio":true})", 640, 360, true, true},
      {R"({"SUBSCRIB":2,"audio":2})", 0, 0, false, true},
      {R"({"subscrib":true,"audio":0})", 0, 0, false, false},
      {R"({"audio":"1","width":"640"})", 0, 0, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    const SubscribeRequest s = Subscribe(Parse(c.json).get());
    EXPECT_EQ(s.width, c.width);
    EXPECT_EQ(s.height, c.height);
    EXPECT_EQ(s.subscribe, c.subscribe);
    EXPECT_EQ(s.audio, c.audio);
  }
}

// 19: resolutions exact and case-sensitive; a present array replaces, anything else keeps.
TEST(PageRequestParsersTest, PushList) {
  std::vector<StPushStreamInfo> list(2);
  EXPECT_FALSE(PushList(Parse(R"({"event":19})").get(), &list));
  EXPECT_FALSE(PushList(Parse(R"({"data":{"id":"x"}})").get(), &list));
  EXPECT_EQ(list.size(), 2u);
  EXPECT_TRUE(PushList(Parse(R"({"data":[]})").get(), &list));
  EXPECT_TRUE(list.empty());

  ASSERT_TRUE(PushList(Parse(R"({"data":[
      {"id":"a","state":2,"platform":"平台","pushStreamUrl":"rtmp://a","resolution":"UD"},
      {"id":"b","resolution":"HD"}, {"id":"c","resolution":"LD"}, {"resolution":"hd"},
      {"resolution":"HD "}, 5, {"id":7,"state":"1"}]})").get(),
                       &list));
  ASSERT_EQ(list.size(), 7u);
  EXPECT_EQ(list[0].stream_id, "a");
  EXPECT_EQ(list[0].state, 2);
  EXPECT_EQ(list[0].platform_name, L"平台");
  EXPECT_EQ(list[0].push_url, L"rtmp://a");
  const int sizes[][2] = {{1920, 1080}, {1280, 720}, {640, 360}, {0, 0}, {0, 0}, {0, 0}, {0, 0}};
  for (size_t i = 0; i < list.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(list[i].width, sizes[i][0]);
    EXPECT_EQ(list[i].height, sizes[i][1]);
  }
  EXPECT_EQ(list[6].stream_id, "");
  EXPECT_EQ(list[6].state, 0) << "a new record's numbers are 0";
  EXPECT_EQ(list[5].platform_name, L"");
}

// 14: the parsed "data" object, printed, whatever the page's spacing or key order.
TEST(PageRequestParsersTest, LayoutData) {
  const struct {
    const char* json;
    const char* data;
  } cases[] = {
      {R"({"event":14,"data":{"a":1}})", R"({"a":1})"},
      {R"({"event":14,"data" : {"a": [1, 2]}})", R"({"a":[1,2]})"},
      {R"({"data":{"a":1},"event":14,"z":"}"})", R"({"a":1})"},
      {R"({"DATA":{"b":"}"}})", R"({"b":"}"})"},
      {R"({"event":14,"data":[1]})", ""},
      {R"({"event":14,"data":"{}"})", ""},
      {R"({"event":14})", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    EXPECT_EQ(LayoutData(Parse(c.json).get()), c.data);
  }
}

TEST(PageRequestParsersTest, MediaCommand) {
  LocalMediaInfo media;
  media.local_playback = 1;
  ReadMediaCommand(Parse(R"({"url":"x","md5":"m","height":360,"status":1,"volume":50,)"
                         R"("pos":9,"muted":true})")
                       .get(),
                   &media);
  EXPECT_EQ(media.url, "x");
  EXPECT_EQ(media.md5, "m");
  EXPECT_EQ(media.height, 360);
  EXPECT_EQ(media.status, 1);
  EXPECT_EQ(media.volume, 50);
  EXPECT_EQ(media.pos, 9);
  EXPECT_EQ(media.muted, 1);
  EXPECT_EQ(media.local_playback, 1) << "request 30's flag stays";
  ReadMediaCommand(Parse(R"({"muted":2,"height":"720"})").get(), &media);
  EXPECT_EQ(media.muted, 0);
  EXPECT_EQ(media.height, 360);
  ReadMediaCommand(Parse(R"({"muted":1})").get(), &media);
  EXPECT_EQ(media.muted, 1);
  ReadMediaCommand(Parse(R"({"muted":false})").get(), &media);
  EXPECT_EQ(media.muted, 0);
}

// 32: a command equal to the stored one (md5 and opt) changes nothing but the url.
TEST(PageRequestParsersTest, DocumentCommand) {
  LocalDocumentInfo doc;
  EXPECT_TRUE(UpdateDocumentCommand(
      Parse(R"({"url":"u1","md5":"m1","opt":4,"x":10,"y":20})").get(), &doc));
  EXPECT_EQ(doc.md5, "m1");
  EXPECT_EQ(doc.status, 4);
  EXPECT_EQ(doc.x, 10);
  EXPECT_EQ(doc.y, 20);
  EXPECT_FALSE(UpdateDocumentCommand(
      Parse(R"({"url":"u2","MD5":"m1","opt":4,"x":99,"y":99})").get(), &doc));
  EXPECT_EQ(doc.url, "u2");
  EXPECT_EQ(doc.x, 10);
  EXPECT_TRUE(UpdateDocumentCommand(Parse(R"({"md5":"m1","opt":3})").get(), &doc));
  EXPECT_EQ(doc.status, 3);
  EXPECT_EQ(doc.x, 10) << "absent x and y stay";
  // Absent keys read as "" and 0.
  EXPECT_TRUE(UpdateDocumentCommand(Parse(R"({})").get(), &doc));
  EXPECT_EQ(doc.md5, "");
  EXPECT_EQ(doc.status, 0);
  EXPECT_FALSE(UpdateDocumentCommand(Parse(R"({"md5":5,"opt":"1"})").get(), &doc));
}

TEST(PageRequestParsersTest, OnlyAbsoluteWebAddresses) {
  const struct {
    const char* url;
    bool web;
  } cases[] = {
      {"https://example.com/help", true},
      {"http://127.0.0.1:7777/cla/pc?a=1&b=2#top", true},
      {"HTTPS://Example.com", true},
      {"https://例子.测试/路径", true},
      {"", false},
      {"https://", false},
      {"https:///etc", false},
      {"http:example.com", false},
      {"file:///C:/windows/system32/calc.exe", false},
      {"C:\\windows\\system32\\calc.exe", false},
      {"calc.exe", false},
      {"\\\\server\\share\\x.exe", false},
      {"/cla/pc", false},
      {"ftp://example.com", false},
      {"javascript:alert(1)", false},
      {"mailto:a@example.com", false},
      {" https://example.com", false},
      {"https://example.com/a b", false},
      {"https://example.com/\"x\"", false},
      {"https://example.com\\..\\x", false},
      {"https://example.com/\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(IsWebAddress(c.url), c.web);
  }
}

}  // namespace
}  // namespace page_request
