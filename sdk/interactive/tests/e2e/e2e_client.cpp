// One client of the two-client end-to-end test: the SDK layer with an owner that plays the main
// window's login retry and reconnect timers, a page that prints every event, and readers of the
// live, mix and cast stream blocks. Driven by line commands on standard input; every answer and
// event is one line on standard output:
//   EV <event json>          a page event (web logs, event 30, are left out)
//   DEFER <reason> <origin>  an exit notice the page sink deferred to the owner
//   OWNER <call>             an owner operation the layer called
//   OK <command> [values]    the answer to a command (ERR <command> <why> when it failed)
// Commands:
//   login <address> <room> <user id> <name>   joins (again) with the owner's login retry armed
//   publish                   the virtual camera and microphone, publishing
//   live <w> <h>              subscribes the room's live stream at that size
//   wall <opt>                the video wall (the mix) on (1) or off
//   mute_video|mute_mic <uid> <opt>   the page's mute command for the user |uid|
//   share_start|share_stop    a generated picture sequence as the screen share
//   blocks                    per block: pictures read, the last tag and counter, repeats and
//                             steps back seen; the mix also per half: "mix0=tag:counter"
//   tap                       the sound received since the last call: "<tag>:<first>-<last>
//                             <packets> <in order>" per sending tag
//   users                     the registry: uid/video/audio per user
//   threads                   the number of SDK threads alive in the process
//   ids                       the publish stream id and the own participant id
//   server <json>             a request to the room server's control connection
//   leave                     leaves the meeting
//   quit                      releases the layer and the SDK, then ends (code 0 when no SDK
//                             thread is left)

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/app_config.h"
#include "platform/orvim/common/json.h"
#include "platform/orvim/common/media_pattern.h"
#include "platform/orvim/testing/orvim_library.h"
#include "platform/streamviewer/stream_block_reader.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/jsevents/js_event_sender.h"
#include "shell/registry/user_stream_list.h"

namespace {

std::mutex g_outMutex;  // One line at a time on standard output.

void Say(const std::string& line) {
  std::lock_guard<std::mutex> lock(g_outMutex);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// A timer thread: calls |tick| every |interval_ms| while on.
class Ticker {
 public:
  ~Ticker() { Stop(); }
  void Start(int interval_ms, std::function<void()> tick) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_) return;
    running_ = true;
    stop_ = false;
    thread_ = std::thread([this, interval_ms, tick] {
      for (;;) {
        for (int waited = 0; waited < interval_ms; waited += 20) {
          if (stop_.load()) return;
          Sleep(20);
        }
        tick();
      }
    });
  }
  // Safe from inside |tick| only through StopSoon.
  void StopSoon() { stop_.store(true); }
  void Stop() {
    std::thread thread;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
      running_ = false;
      thread.swap(thread_);
    }
    if (thread.joinable() && thread.get_id() != std::this_thread::get_id()) thread.join();
    if (thread.joinable()) thread.detach();
  }

 private:
  std::mutex mutex_;  // Protects |running_| and |thread_|.
  bool running_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The main window as the layer sees it: tells what it is called, re-joins after a lost server
// (its login retry) and publishes or subscribes again on its reconnect timers.
class Owner : public DevConsumerDelegate {
 public:
  CSdkInterActive* layer = nullptr;
  StJoinInfo join;
  std::atomic<bool> joined{false};

  void OnVideoDevResult(const std::string& id, bool ok) override { Say("OWNER OnVideoDevResult " + id + " " + (ok ? "1" : "0")); }
  void OnPreviewFrame(const unsigned char*, int, int, int) override {}
  bool IsEffectsIdle() override { return true; }
  bool IsUsingVideoDev(const std::string&) override { return true; }
  int GetCaptureWidth() override { return 1280; }
  int GetCaptureHeight() override { return 720; }
  void OnJoinRoom(int result, const std::string& room) override {
    Say("OWNER OnJoinRoom " + std::to_string(result) + " " + room);
    joined.store(result == 1);
    if (result == 1) loginRetry_.StopSoon();
  }
  void OnPublishSuccess() override { Say("OWNER OnPublishSuccess"); }
  void OnShareResult(int result, bool stopped) override {
    Say("OWNER OnShareResult " + std::to_string(result) + " " + (stopped ? "1" : "0"));
  }
  void IceReConnectPub(bool start) override {
    Say(std::string("OWNER IceReConnectPub ") + (start ? "1" : "0"));
    if (!start) {
      pubTimer_.StopSoon();
      pubRetries_.store(0);
      return;
    }
    pubTimer_.Stop();
    pubTimer_.Start(1000, [this] {
      pubRetries_.fetch_add(1);
      layer->IceReConnectPub();
    });
  }
  void IceReConnectSub(bool start) override {
    Say(std::string("OWNER IceReConnectSub ") + (start ? "1" : "0"));
    if (!start) {
      subTimer_.StopSoon();
      subRetries_.store(0);
      return;
    }
    subTimer_.Stop();
    subTimer_.Start(1000, [this] {
      subRetries_.fetch_add(1);
      layer->IceReConnectSub();
    });
  }
  int GetIceReConnectPubCount() override { return pubRetries_.load(); }
  int GetIceReConnectSubCount() override { return subRetries_.load(); }

  // The login retry: every second a new login until the owner hears it joined.
  void ArmLoginRetry() {
    loginRetry_.Stop();
    loginRetry_.Start(1000, [this] {
      if (joined.load()) return;
      Say("OWNER LoginRetry");
      layer->Login(join);
    });
  }
  void StopTimers() {
    loginRetry_.Stop();
    pubTimer_.Stop();
    subTimer_.Stop();
  }

 private:
  Ticker loginRetry_, pubTimer_, subTimer_;
  std::atomic<int> pubRetries_{0}, subRetries_{0};
};

// The page: prints the events; a server loss or removal is handed to the owner (deferred).
class Page : public JsEventDelegate {
 public:
  Owner* owner = nullptr;
  void OnNativeInvokeJS(const std::string& json, bool) override {
    orvim::JsonPtr event = orvim::ParseObject(json);
    if (!event || orvim::GetInt(event.get(), "event", -1) == 30) return;
    Say("EV " + orvim::ToText(event.get()));  // One line.
  }
  void DeferExitNotify(int reason, const std::string& origin, bool deferred) override {
    Say("DEFER " + std::to_string(reason) + " " + (origin.empty() ? "-" : origin) + " " + (deferred ? "1" : "0"));
    if (owner) {
      owner->joined.store(false);
      if (deferred) owner->ArmLoginRetry();  // The server went: the main window logs in again.
    }
  }
  void OnShareStopped() override {}
  void RestoreIfNotMaximized() override {}
};

// What one block showed: pictures, marks and their order.
struct BlockWatch {
  std::mutex mutex;
  int pictures = 0;
  int repeats = 0;    // A counter equal to the previous one of the same tag.
  int backwards = 0;  // A counter below the previous one of the same tag.
  int width = 0, height = 0;
  std::map<uint16_t, uint32_t> last;  // Tag to last counter.
  uint16_t lastTag = 0;
  std::string halves;  // Mix: "tag:counter" of the left and right halves.
};

void Note(BlockWatch& w, const orvim::PictureMark& mark) {
  auto found = w.last.find(mark.tag);
  if (found != w.last.end()) {
    if (mark.counter == found->second) ++w.repeats;
    if (mark.counter < found->second) ++w.backwards;
  }
  w.last[mark.tag] = mark.counter;
  w.lastTag = mark.tag;
}

class BlockReaders {
 public:
  BlockReaders() {
    for (int i = 0; i < 3; ++i) threads_.emplace_back([this, i] { Read(i); });
  }
  ~BlockReaders() {
    stop_.store(true);
    for (std::thread& t : threads_) t.join();
  }
  std::string Report() {
    std::ostringstream out;
    for (int i = 0; i < 3; ++i) {
      BlockWatch& w = watch_[i];
      std::lock_guard<std::mutex> lock(w.mutex);
      out << " " << StreamBlockLabel(i) << "=" << w.pictures << "/" << w.width << "x" << w.height << "/tag"
          << w.lastTag << ":" << (w.last.count(w.lastTag) ? w.last[w.lastTag] : 0) << "/rep" << w.repeats << "/back"
          << w.backwards;
      if (i == 1) out << " mixhalves=" << (w.halves.empty() ? "-" : w.halves);
    }
    return out.str();
  }

 private:
  void Read(int block) {
    StreamBlockReader reader(StreamBlockName(block));
    StreamPicture picture;
    std::string why;
    while (!stop_.load()) {
      if (reader.Next(100, &picture, &why) != StreamBlockReader::Result::kPicture) continue;
      BlockWatch& w = watch_[block];
      const int width = static_cast<int>(picture.width);
      const int height = static_cast<int>(picture.height);
      orvim::PictureMark mark;
      std::lock_guard<std::mutex> lock(w.mutex);
      ++w.pictures;
      w.width = width;
      w.height = height;
      if (block != 1) {
        if (orvim::ReadPictureMark(picture.i420.data(), width, height, &mark)) Note(w, mark);
        continue;
      }
      // The mix of two cameras: two 16:9 pictures side by side, centred in their halves.
      std::string halves;
      const int cellWidth = width / 2;
      const int cellHeight = cellWidth * 9 / 16;
      for (int half = 0; half < 2; ++half) {
        if (orvim::ReadPictureMarkInRect(picture.i420.data(), width, half * cellWidth, (height - cellHeight) / 2,
                                         cellWidth, cellHeight, &mark)) {
          halves += (halves.empty() ? "" : ",") + std::to_string(mark.tag) + ":" + std::to_string(mark.counter);
        }
      }
      if (!halves.empty()) w.halves = halves;
    }
  }

  std::atomic<bool> stop_{false};
  BlockWatch watch_[3];
  std::vector<std::thread> threads_;
};

// A generated share: 1280 x 720 pictures carrying a tag and a counter, every 40 ms.
class ShareSource {
 public:
  explicit ShareSource(CSdkInterActive* layer) : layer_(layer) {}
  ~ShareSource() { Stop(); }
  void Start(uint16_t tag) {
    Stop();
    stop_.store(false);
    thread_ = std::thread([this, tag] {
      std::vector<uint8_t> frame(1280 * 720 * 3 / 2);
      for (uint32_t n = 1; !stop_.load(); ++n) {
        std::fill(frame.begin(), frame.end(), 128);
        orvim::DrawPictureMark(frame.data(), 1280, 720, orvim::PictureMark{tag, 9, n});
        layer_->SendShareStreamData(frame.data(), static_cast<int>(frame.size()), 1280, 720);
        Sleep(40);
      }
    });
  }
  void Stop() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
  }

 private:
  CSdkInterActive* layer_;
  std::atomic<bool> stop_{true};
  std::thread thread_;
};

// The layer with the switch the main window's device opening sets.
class ClientLayer : public CSdkInterActive {
 public:
  using CSdkInterActive::CSdkInterActive;
  using CSdkInterActive::SetLiveSubscribeEnabled;
};

std::string ParticipantOf(const std::string& uid) {
  std::string id;
  CUserStreamList::Instance()->ForEach([&](const StUserStream& u) {
    if (u.uid == uid && id.empty()) id = u.id;
  });
  return id;
}

std::string TapReport(const orvim::testing::OrvimLibrary& library) {
  orvim::JsonPtr answer = library.ControlJson(R"({"cmd":"tap","drain":true})");
  struct Run {
    uint32_t first = 0, last = 0;
    int packets = 0;
    bool ordered = true;
  };
  std::map<std::pair<int, std::string>, Run> runs;  // Per sending tag and received stream.
  const cJSON* packet = nullptr;
  cJSON_ArrayForEach(packet, cJSON_GetObjectItemCaseSensitive(answer.get(), "entries")) {
    const int tag = orvim::GetInt(packet, "tag");
    const uint32_t counter = static_cast<uint32_t>(orvim::GetInt64(packet, "counter"));
    const bool marked = orvim::GetBool(packet, "marked", true);
    if (!marked || tag == 0) continue;
    Run& r = runs[std::make_pair(tag, orvim::GetString(packet, "stream"))];
    if (r.packets == 0) r.first = counter;
    if (r.packets > 0 && counter <= r.last) r.ordered = false;
    r.last = counter;
    ++r.packets;
  }
  std::ostringstream out;
  for (const auto& [key, r] : runs) {
    out << " " << key.first << ":" << r.first << "-" << r.last << ":" << r.packets << ":" << (r.ordered ? "ordered" : "unordered");
  }
  return out.str();
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  orvim::testing::OrvimLibrary library;
  if (!library.ok()) {
    Say("ERR start no OrvimSDK");
    return 2;
  }
  Owner owner;
  Page page;
  page.owner = &owner;
  CJsEventSender::Instance()->SetDelegate(&page);
  auto layer = std::make_unique<ClientLayer>(&owner);
  owner.layer = layer.get();
  layer->InitSDK();
  auto readers = std::make_unique<BlockReaders>();
  auto share = std::make_unique<ShareSource>(layer.get());
  StAppConfig* config = GetAppConfig();
  config->camera_dev_id = "orvim-camera-1";
  config->camera_dev_name = "Orvim Virtual Camera";
  config->SetMicDevId("orvim-mic-1");
  config->video_width = 1280;
  config->video_height = 720;
  config->use_mode.store(true);
  config->camera_on = true;
  config->microphone_on = true;
  Say("OK ready");

  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command.empty()) continue;
    if (command == "login") {
      StJoinInfo join;
      in >> join.owtServer >> join.confid >> join.userid >> join.username;
      join.cid = "c-" + join.userid;
      join.sid = "site";
      owner.join = join;
      owner.joined.store(false);
      layer->SetLiveSubscribeEnabled(true);
      layer->Login(join);
      Say("OK login");
    } else if (command == "publish") {
      const bool asked = layer->Open_Video_Dev(config->camera_dev_id, config->camera_dev_name, true, false);
      Say(std::string("OK publish ") + (asked ? "1" : "0"));
    } else if (command == "live") {
      int w = 0, h = 0;
      in >> w >> h;
      layer->Set_Subscribe_Resolution(w, h, true, true);
      Say("OK live");
    } else if (command == "wall") {
      int opt = 0;
      in >> opt;
      layer->VideoWall_OnOff(opt);
      Say("OK wall");
    } else if (command == "mute_video" || command == "mute_mic") {
      std::string uid;
      int opt = 0;
      in >> uid >> opt;
      const std::string id = ParticipantOf(uid);
      if (command == "mute_video") {
        layer->OnVideo_OnOff(id, opt);
      } else {
        layer->OnMic_OnOff(id, opt);
      }
      Say("OK " + command + " " + id);
    } else if (command == "share_start") {
      const int result = layer->Start_Share_Stream();
      if (result == 0) share->Start(orvim::TagFromText(owner.join.userid.c_str()));
      Say("OK share_start " + std::to_string(result));
    } else if (command == "share_stop") {
      layer->Stop_Share_Stream();
      share->Stop();
      Say("OK share_stop");
    } else if (command == "blocks") {
      Say("OK blocks" + readers->Report());
    } else if (command == "tap") {
      Say("OK tap" + TapReport(library));
    } else if (command == "users") {
      std::string users;
      CUserStreamList::Instance()->ForEach([&](const StUserStream& u) {
        users += " " + u.uid + "/" + u.videoStatus + "/" + u.audioStatus;
      });
      Say("OK users" + users);
    } else if (command == "threads") {
      orvim::JsonPtr answer = library.ControlJson(R"({"cmd":"threads"})");
      Say("OK threads " + std::to_string(orvim::GetInt(answer.get(), "threads")));
    } else if (command == "ids") {
      const StMeetingIds ids = layer->GetMeetingIds();
      Say("OK ids publish=" + (ids.publishStreamId.empty() ? "-" : ids.publishStreamId) +
          " own=" + (ids.ownParticipantId.empty() ? "-" : ids.ownParticipantId));
    } else if (command == "server") {
      // The rest of the line is a request for the room server's control connection.
      std::string request;
      std::getline(in, request);
      orvim::JsonPtr wrapped(cJSON_CreateObject());
      cJSON_AddStringToObject(wrapped.get(), "cmd", "server");
      cJSON_AddItemToObject(wrapped.get(), "request", cJSON_Parse(request.c_str()));
      cJSON_AddStringToObject(wrapped.get(), "address", owner.join.owtServer.c_str());
      const std::string answer = library.Control(orvim::ToText(wrapped.get()));
      Say((answer.find("\"ok\":true") != std::string::npos ? "OK server " : "ERR server ") + answer);
    } else if (command == "leave") {
      share->Stop();
      owner.StopTimers();
      layer->ExitRoom();
      Say("OK leave");
    } else if (command == "quit") {
      break;
    } else {
      Say("ERR " + command + " unknown");
    }
  }
  share.reset();
  owner.StopTimers();
  layer.reset();  // Gives the service back: every SDK thread ends.
  readers.reset();
  CJsEventSender::Instance()->SetDelegate(nullptr);
  orvim::JsonPtr answer = library.ControlJson(R"({"cmd":"threads"})");
  const int threads = orvim::GetInt(answer.get(), "threads");
  Say("OK quit " + std::to_string(threads));
  return threads == 0 ? 0 : 3;
}
