#include "shell/http/sys_http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "shell/http/http_url.h"
#include "shell/http/tests/recording_server.h"

namespace {

using http_testing::RecordedRequest;

// Collects the completion and deletes the client from inside it, as the report upload does.
class WaitingSink : public CSysHttpClientSink {
 public:
  void OnFinish(bool ok, const std::string& response, CSysHttpClient* client) override {
    delete client;
    std::lock_guard<std::mutex> lock(mutex_);
    ok_ = ok;
    response_ = response;
    ++calls_;
    done_.notify_all();
  }

  // Waits for the first completion; false on time-out.
  bool Wait(int ms = 20000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return done_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return calls_ > 0; });
  }

  bool ok() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ok_;
  }
  std::string response() {
    std::lock_guard<std::mutex> lock(mutex_);
    return response_;
  }
  int calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool ok_ = false;
  std::string response_;
  int calls_ = 0;
};

class HttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = http_testing::ServerBase();
    ASSERT_FALSE(base_.empty()) << "recording server not running";
    segment_ = http_testing::UniqueSegment("client");
  }

  // Starts a request on a new client owned by `sink` once started.
  int Start(const std::string& path_and_query, const std::string& content,
            const std::string& file_name, WaitingSink* sink, unsigned long timeout_ms = 30000) {
    auto* client = new CSysHttpClient;
    client->SetTimeout(timeout_ms);
    const int result =
        client->SendRequest(base_ + "/" + segment_ + path_and_query, content, file_name, sink);
    if (result != CSysHttpClient::kStarted) {
      delete client;
    }
    return result;
  }

  std::string base_;
  std::string segment_;
};

std::string Lines(int size) {
  std::string text;
  char line[16];
  for (int i = 0; static_cast<int>(text.size()) < size; ++i) {
    snprintf(line, sizeof(line), "%07d\n", i);
    text += line;
  }
  text.resize(size);
  return text;
}

}  // namespace

TEST(HttpUrlTest, SplitsSchemeHostPortAndPath) {
  struct Case {
    const char* url;
    bool secure_before;
    const char* host;
    int port;
    const char* path;
    bool secure;
  } cases[] = {
      {"http://files.example/a/b?x=1", false, "files.example", 80, "a/b?x=1", false},
      {"https://files.example:8443", false, "files.example", 8443, "", true},
      {"https://files.example/traupload", false, "files.example", 443, "traupload", true},
      {"http://127.0.0.1:8080/", true, "127.0.0.1", 8080, "", false},
      {"files.example:81/up", false, "files.example", 81, "up", false},
      {"files.example/up", true, "files.example", 443, "up", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    StHttpUrl parts;
    ASSERT_TRUE(ParseHttpUrl(c.url, c.secure_before, &parts));
    EXPECT_EQ(parts.host, c.host);
    EXPECT_EQ(parts.port, c.port);
    EXPECT_EQ(parts.path, c.path);
    EXPECT_EQ(parts.secure, c.secure);
  }
  for (const char* bad : {"", "http://", "http://:80/x", "http://h:abc/", "http://h:0/",
                          "http://h:70000/", "http://h:/x"}) {
    SCOPED_TRACE(bad);
    StHttpUrl parts;
    EXPECT_FALSE(ParseHttpUrl(bad, false, &parts));
  }
}

TEST(HttpUrlTest, MultipartBodyIsByteExact) {
  const std::string content("PK\x03\x04\0\r\n", 7);
  const std::string expected_tail = std::string(content) +
                                    "\r\n------WebKitFormBoundaryl6TGOBASIHwzq0uj\r\n"
                                    "Content-Disposition: form-data; name=\"submit\"\r\n\r\nUpload"
                                    "\r\n------WebKitFormBoundaryl6TGOBASIHwzq0uj\r\n"
                                    "Content-Disposition: form-data; name=\"test\"\r\n\r\nvalue"
                                    "\r\n------WebKitFormBoundaryl6TGOBASIHwzq0uj\r\n";
  struct Case {
    const char* name;
    const char* type;
  } cases[] = {
      {"1_2_3_1700000000_TarvoLive.zip", "application/x-zip-compressed"},
      {"a.zipped.log", "application/x-zip-compressed"},
      {"1_2_3_1700000000_TarvoLive.exe.dmp", "application/octet-stream"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string expected =
        std::string(
            "\r\n------WebKitFormBoundaryl6TGOBASIHwzq0uj\r\n"
            "Content-Disposition: form-data; name=\"file1\"; filename=\"") +
        c.name + "\"\r\nContent-Type:" + c.type + "\r\n\r\n" + expected_tail;
    EXPECT_EQ(BuildMultipartBody(content, c.name), expected);
  }
}

TEST_F(HttpClientTest, UploadsMultipartFormAndReturnsBody) {
  std::string content;
  for (int i = 0; i < 5000; ++i) {
    content += static_cast<char>(i * 31);
  }
  WaitingSink sink;
  ASSERT_EQ(Start("/traupload", content, "9_8_7_1700000000_x.zip", &sink),
            CSysHttpClient::kStarted);
  ASSERT_TRUE(sink.Wait());
  EXPECT_TRUE(sink.ok());
  EXPECT_EQ(sink.response(), "stored:9_8_7_1700000000_x.zip");

  RecordedRequest request;
  ASSERT_TRUE(http_testing::WaitForRequest(segment_, 0, &request));
  EXPECT_EQ(request.head.rfind("POST /" + segment_ + "/traupload HTTP/1.1\r\n", 0), 0u);
  EXPECT_NE(
      request.head.find(
          "Content-Type: multipart/form-data; boundary=----WebKitFormBoundaryl6TGOBASIHwzq0uj"),
      std::string::npos);
  EXPECT_NE(request.head.find("User-Agent: BrastelHttpAgent"), std::string::npos);
  EXPECT_EQ(request.body, BuildMultipartBody(content, "9_8_7_1700000000_x.zip"));
  EXPECT_EQ(request.file, content);
}

TEST_F(HttpClientTest, EmptyBodyIsGetAndTextIsXmlPost) {
  struct Case {
    const char* content;
    const char* request_line;
  } cases[] = {
      {"", "GET /%s/report?siteid=1&username=a+b%%26c HTTP/1.1"},
      {"<?xml version=\"1.0\"?><r/>", "POST /%s/report?siteid=1&username=a+b%%26c HTTP/1.1"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request_line);
    WaitingSink sink;
    ASSERT_EQ(Start("/report?siteid=1&username=a+b%26c", c.content, "", &sink),
              CSysHttpClient::kStarted);
    ASSERT_TRUE(sink.Wait());
    EXPECT_TRUE(sink.ok());
    EXPECT_EQ(sink.response(), "ok");

    RecordedRequest request;
    ASSERT_TRUE(http_testing::WaitForRequest(segment_, n++, &request));
    char line[256];
    snprintf(line, sizeof(line), c.request_line, segment_.c_str());
    EXPECT_EQ(request.head.rfind(std::string(line) + "\r\n", 0), 0u) << request.head;
    EXPECT_NE(request.head.find("Content-Type: text/xml"), std::string::npos);
    EXPECT_EQ(request.body, c.content);
  }
}

TEST_F(HttpClientTest, LongResponseArrivesWholeAndInOrder) {
  for (const char* shape :
       {"", "&chunk=3000&pause=5", "&chunk=700&pause=1", "&chunked=1", "&chunked=1&chunk=700"}) {
    SCOPED_TRACE(shape);
    WaitingSink sink;
    ASSERT_EQ(Start(std::string("/big?size=100000") + shape, "", "", &sink),
              CSysHttpClient::kStarted);
    ASSERT_TRUE(sink.Wait());
    EXPECT_TRUE(sink.ok());
    const std::string expected = Lines(100000);
    EXPECT_EQ(sink.response().size(), expected.size());
    EXPECT_TRUE(sink.response() == expected);
  }
}

TEST_F(HttpClientTest, FailuresEndWithOkFalseAndNeverHang) {
  struct Case {
    const char* what;
    std::string url;  // relative to the test's segment unless absolute
    std::string response;
  } cases[] = {
      {"body cut off short of its length", "/up?size=100000&cut=50000", Lines(50000)},
      {"server error page", "/up?status=500&reply=error+page", "error page"},
      {"not found", "/up?status=404&reply=missing", "missing"},
      {"connection closed without answer", "/up?close=1", ""},
      {"no answer at all", "/up?hang=20", ""},
      {"nobody listening", "http://127.0.0.1:1/up", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WaitingSink sink;
    const auto started = std::chrono::steady_clock::now();
    int result;
    if (c.url.rfind("http", 0) == 0) {
      auto* client = new CSysHttpClient;
      client->SetTimeout(1500);
      result = client->SendRequest(c.url, "data", "", &sink);
      if (result != CSysHttpClient::kStarted) {
        delete client;
      }
    } else {
      result = Start(c.url, "data", "", &sink, 1500);
    }
    ASSERT_EQ(result, CSysHttpClient::kStarted);
    ASSERT_TRUE(sink.Wait(15000));
    EXPECT_FALSE(sink.ok());
    EXPECT_TRUE(sink.response() == c.response) << sink.response().size();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
    Sleep(100);
    EXPECT_EQ(sink.calls(), 1);
  }
}

TEST_F(HttpClientTest, SecondRequestWhileOpenIsRefused) {
  WaitingSink sink;
  auto* client = new CSysHttpClient;
  const std::string url = base_ + "/" + segment_ + "/slow?delay=1500";
  ASSERT_EQ(client->SendRequest(url, "", "", &sink), CSysHttpClient::kStarted);
  WaitingSink other;
  EXPECT_EQ(client->SendRequest(url, "more", "", &other), CSysHttpClient::kRefused);
  ASSERT_TRUE(sink.Wait());
  EXPECT_TRUE(sink.ok());
  Sleep(200);
  EXPECT_EQ(other.calls(), 0);
  EXPECT_EQ(http_testing::RequestCount(segment_), 1);
}

TEST_F(HttpClientTest, UnusableUrlIsRefusedWithoutCallingTheSink) {
  WaitingSink sink;
  CSysHttpClient client;
  EXPECT_EQ(client.SendRequest("http://127.0.0.1:notaport/x", "", "", &sink),
            CSysHttpClient::kRefused);
  EXPECT_EQ(client.SendRequest("", "", "", &sink), CSysHttpClient::kRefused);
  EXPECT_EQ(sink.calls(), 0);
}
