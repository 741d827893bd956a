#pragma once

#include <winsock2.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "orvim_sdk.h"
#include "platform/orvim/common/json.h"
#include "platform/orvim/common/socket_writer.h"
#include "platform/orvim/common/wire.h"

namespace orvim::server {

// Counters of one direction of one stream, turned into a NetStatistics record on request.
struct Counters {
  int64_t video_bytes = 0;
  int32_t video_packets = 0;
  int32_t video_lost = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  std::deque<std::chrono::steady_clock::time_point> frame_times;  // The last second's frames.
  int64_t audio_bytes = 0;
  int32_t audio_packets = 0;
  int32_t audio_lost = 0;
  uint32_t audio_level = 0;
  double audio_energy = 0.0;
  double audio_duration = 0.0;

  void CountVideo(size_t bytes, int w, int h);
  void CountAudio(size_t bytes, int level);
  NetStatistics ToStatistics();
};

// One connection: a client of the SDK (signalling and media of one participant) or a control
// connection. Its reader thread serves it; its writer sends.
struct Connection {
  uint64_t id = 0;
  ScopedSocket socket;
  std::unique_ptr<SocketWriter> writer;
  std::thread reader;
  std::atomic<bool> finished{false};
  std::string participant_id;  // Set by the login or the resume (under the state lock).
  // The server removed the participant and said goodbye (under the state lock): what the
  // client still sends is read and dropped until it closes, so that the goodbye and what was
  // queued before it are written out in full.
  bool farewell = false;

  void Post(OutMessage message) {
    if (writer) writer->Post(std::move(message));
  }
  void PostJson(const cJSON* json) { Post(JsonMessage(ToText(json))); }
};

struct Participant {
  std::string id;
  std::string uid;
  std::string cid;
  std::string name;
  std::string platform;
  std::string token;
  std::string room;
  std::shared_ptr<Connection> connection;  // Null while detached.
  std::chrono::steady_clock::time_point detached_at;
  int audio_state = rtTarvo::rtc::kStateActive;
  int video_state = rtTarvo::rtc::kStateActive;
  bool video_start_muted = false;
  std::string camera_stream;
  bool held = false;          // Re-publish and re-subscribe fail (control "hold").
  double video_loss = 0.0;    // Share of its published video dropped (control "network").
  double audio_loss = 0.0;
  int frame_rate_cap = 0;     // 0: no cap.
  // Audio delivered to it, for the control's "tap".
  struct TapEntry {
    std::string stream;
    bool marked;
    uint16_t tag;
    uint32_t counter;
    int level;
  };
  std::deque<TapEntry> tap;
  uint64_t tap_packets = 0;
};

struct Stream {
  std::string id;
  std::string owner;  // Participant id.
  int kind = 0;       // 1 camera, 2 share, 8 local media.
  int width = 0;
  int height = 0;
  bool video = true;
  bool audio = false;
  bool video_muted = false;
  bool audio_muted = false;
  bool media_down = false;  // Connection loss until published again.
  int order = 0;            // Publish order in the room.
  Counters in;
  Bytes last_frame;  // For the mix picture.
  size_t last_offset = 0;
  int last_width = 0;
  int last_height = 0;
  std::deque<Bytes> audio_queue;  // Packets waiting for the audio mixer.
};

struct Subscription {
  std::string participant;
  std::string stream;
  int width = 0;   // Live stream: the size asked for (0 x 0: the source's).
  int height = 0;
  bool audio_muted = false;    // Asked at subscription.
  bool speaker_muted = false;  // MuteSpeaker of the subscriber.
  bool media_down = false;
  bool implicit = false;       // A share reaching a member unasked.
  Counters out;
};

struct Room {
  std::string id;
  std::string owner;
  std::string owner_cid;
  std::vector<std::string> members;  // Participant ids in join order.
  std::map<std::string, Stream> streams;
  std::vector<Subscription> subscriptions;
  bool has_live = false;  // The live and mix streams exist (something is published).
  int next_order = 0;
  std::string layout_text = "{}";
  bool has_insertion = false;
  rtTarvo::rtc::MediaInsertion insertion;
  int insertion_volume = 100;
  std::vector<std::string> mix_ids;  // Streams in the mix picture, in tile order.

  std::string live_id() const { return id + "-live"; }
  std::string mix_id() const { return id + "-mix"; }
};

// The loopback room server: rooms, participants, streams, subscriptions and mutes, and the
// relay of raw I420 and PCM between the SDK's clients, with the room's live and mix streams.
//
// Threads: the accept loop (Run's caller), a reader and a writer per connection, one media
// thread (audio mixing every 10 ms, the mix picture about 15 times a second, dropping
// participants whose connection stayed away, a heartbeat to every participant every 500 ms).
// One lock, |mutex_|, guards all room state; scaling and mixing pictures happen outside it.
class RoomServer {
 public:
  RoomServer();
  ~RoomServer();
  RoomServer(const RoomServer&) = delete;
  RoomServer& operator=(const RoomServer&) = delete;

  // Listens on 127.0.0.1:|port| (0: a free port) with address reuse.
  bool Listen(uint16_t port);
  // The folder of the web application answered over HTTP on the same port (page_files.h);
  // without one an HTTP request is dropped as malformed. Set before Run.
  void SetPageRoot(std::wstring root) { page_root_ = std::move(root); }
  uint16_t port() const { return port_; }
  // Accepts connections until the control's "exit"; then ends every connection.
  void Run();

 private:
  using Clock = std::chrono::steady_clock;

  void Serve(const std::shared_ptr<Connection>& connection);
  bool HandleFirst(const std::shared_ptr<Connection>& connection, const cJSON* message);
  // False drops the connection.
  bool HandleClientJson(const std::shared_ptr<Connection>& connection, const cJSON* message);
  void HandleMedia(const std::shared_ptr<Connection>& connection, const InMessage& message);
  void ConnectionEnded(const std::shared_ptr<Connection>& connection);
  void ReapConnections(bool all);

  // Signalling (with |mutex_| held).
  void Login(const std::shared_ptr<Connection>& connection, const cJSON* message);
  bool Resume(const std::shared_ptr<Connection>& connection, const cJSON* message);
  void RemoveParticipant(const std::string& id, bool goodbye);
  void Publish(Participant& p, Room& room, const cJSON* m);
  void Unpublish(Room& room, const std::string& stream_id);
  void Subscribe(Participant& p, Room& room, const cJSON* m);
  void Mute(Participant& p, Room& room, const cJSON* m);
  void Statistics(Participant& p, Room& room, const cJSON* m);
  void UpdateLive(Room& room);
  void SendLayout(Room& room);
  void Broadcast(Room& room, const cJSON* json, const std::string& except = std::string());
  void SendTo(const std::string& participant_id, const cJSON* json);
  Participant* FindParticipant(const std::string& id);
  // The participant a control request names by "participant" or "uid" (and "room").
  Participant* ControlTarget(const cJSON* request);
  Room* RoomOf(const Participant& p);
  cJSON* ParticipantJson(const Participant& p);
  cJSON* StreamJson(const Room& room, const std::string& stream_id);
  std::string LiveSourceId(const Room& room);
  Subscription* FindSubscription(Room& room, const std::string& participant, const std::string& stream);

  // Media.
  void MediaLoop();
  void MixAudio();
  void MixPictures();
  void DropDetached();
  // A "ping" to every participant's connection: it tells the client the server still lives.
  void SendHeartbeats();
  void RecordTap(Participant& p, const std::string& stream, const uint8_t* pcm, size_t bytes);

  // Control.
  std::string Control(const cJSON* request);

  ScopedSocket listener_;
  uint16_t port_ = 0;
  std::wstring page_root_;
  std::atomic<bool> exiting_{false};
  std::thread media_thread_;
  ThreadHooks hooks_;

  std::mutex mutex_;  // Protects everything below.
  std::map<uint64_t, std::shared_ptr<Connection>> connections_;
  uint64_t next_connection_id_ = 1;
  std::map<std::string, Participant> participants_;
  std::map<std::string, Room> rooms_;
  std::map<std::string, bool> start_muted_rooms_;
  int next_participant_ = 1;
  int grace_ms_ = 5000;
  struct Refusal {
    std::string uid;  // Empty: any.
    int count;
    int code;
    std::string message;
  };
  std::vector<Refusal> refusals_;
  std::mt19937 random_{12345};
};

}  // namespace orvim::server
