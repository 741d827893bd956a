// The room server's media: relaying pictures (scaled for the live stream), the mix picture,
// mixing audio, and the counters behind the statistics.

#include <libyuv/scale.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/orvim/common/media_pattern.h"
#include "platform/orvim/server/room_server.h"

namespace orvim::server {

using namespace rtTarvo::rtc;

namespace {

constexpr int kMixWidth = 1280;
constexpr int kMixHeight = 720;
constexpr size_t kAudioQueueLimit = 20;
constexpr size_t kTapLimit = 6000;

// Scales an I420 picture into a new buffer.
Bytes ScalePicture(const uint8_t* src, int src_w, int src_h, int dst_w, int dst_h) {
  Bytes out = MakeBytes(I420Size(dst_w, dst_h));
  uint8_t* dst = out.data.get();
  const int src_cw = (src_w + 1) / 2;
  const int src_ch = (src_h + 1) / 2;
  const int dst_cw = (dst_w + 1) / 2;
  const int dst_ch = (dst_h + 1) / 2;
  const uint8_t* su = src + static_cast<size_t>(src_w) * src_h;
  const uint8_t* sv = su + static_cast<size_t>(src_cw) * src_ch;
  uint8_t* du = dst + static_cast<size_t>(dst_w) * dst_h;
  uint8_t* dv = du + static_cast<size_t>(dst_cw) * dst_ch;
  libyuv::I420Scale(src, src_w, su, src_cw, sv, src_cw, src_w, src_h, dst, dst_w, du, dst_cw, dv,
                    dst_cw, dst_w, dst_h, libyuv::kFilterBox);
  return out;
}

struct Rect {
  int x, y, w, h;
};

// The largest even-sized rectangle of |src_w| x |src_h|'s shape inside |w| x |h|, centred, with
// even offsets.
Rect FitInto(int src_w, int src_h, int w, int h) {
  Rect r{0, 0, w, h};
  if (static_cast<int64_t>(src_w) * h > static_cast<int64_t>(src_h) * w) {
    r.h = static_cast<int>(static_cast<int64_t>(src_h) * w / src_w) & ~1;
  } else {
    r.w = static_cast<int>(static_cast<int64_t>(src_w) * h / src_h) & ~1;
  }
  r.w = std::max(r.w, 2);
  r.h = std::max(r.h, 2);
  r.x = ((w - r.w) / 2) & ~1;
  r.y = ((h - r.h) / 2) & ~1;
  return r;
}

}  // namespace

void Counters::CountVideo(size_t bytes, int w, int h) {
  video_bytes += static_cast<int64_t>(bytes);
  ++video_packets;
  width = static_cast<uint32_t>(w);
  height = static_cast<uint32_t>(h);
  const auto now = std::chrono::steady_clock::now();
  frame_times.push_back(now);
  while (!frame_times.empty() && now - frame_times.front() > std::chrono::seconds(1)) frame_times.pop_front();
}

void Counters::CountAudio(size_t bytes, int level) {
  audio_bytes += static_cast<int64_t>(bytes);
  ++audio_packets;
  audio_level = static_cast<uint32_t>(level);
  const double seconds = static_cast<double>(bytes) / (48000.0 * 4.0);
  const double l = level / 32767.0;
  audio_energy += l * l * seconds;
  audio_duration += seconds;
}

NetStatistics Counters::ToStatistics() {
  const auto now = std::chrono::steady_clock::now();
  while (!frame_times.empty() && now - frame_times.front() > std::chrono::seconds(1)) frame_times.pop_front();
  NetStatistics s;
  s.video.bytes = video_bytes;
  s.video.packets = video_packets;
  s.video.packetsLost = video_lost;
  s.video.lossCount = video_lost;
  s.video.width = width;
  s.video.height = height;
  s.video.frameRate = static_cast<int32_t>(frame_times.size());
  s.video.codec = "I420";
  s.audio.bytes = audio_bytes;
  s.audio.packets = audio_packets;
  s.audio.packetsLost = audio_lost;
  s.audio.codec = "PCM";
  s.audio.audioLevel = audio_level;
  s.audio.totalAudioEnergy = audio_energy;
  s.audio.totalSamplesDuration = audio_duration;
  return s;
}

void RoomServer::HandleMedia(const std::shared_ptr<Connection>& connection, const InMessage& message) {
  struct Target {
    std::shared_ptr<Connection> connection;
    std::string stream_id;
    int type;
    int width;
    int height;
  };
  std::vector<Target> targets;
  const size_t size = message.payload_size();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Participant* p = FindParticipant(connection->participant_id);
    Room* room = p ? RoomOf(*p) : nullptr;
    if (!room) return;
    auto it = room->streams.find(message.stream_id);
    if (it == room->streams.end() || it->second.owner != p->id || it->second.media_down) return;
    Stream& s = it->second;
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    if (message.type == kMessageAudio) {
      if (!s.audio || s.audio_muted || size != kAudioPacketBytes) return;
      const AudioMark mark = ReadAudioPacket(reinterpret_cast<const int16_t*>(message.payload()), kAudioPacketFrames);
      s.in.CountAudio(size, mark.level);
      if (p->audio_loss > 0.0 && chance(random_) < p->audio_loss) {
        ++s.in.audio_lost;
        return;
      }
      s.audio_queue.push_back(CopyBytes(message.payload(), size));
      if (s.audio_queue.size() > kAudioQueueLimit) s.audio_queue.pop_front();
      return;
    }
    const int w = message.width;
    const int h = message.height;
    if (!s.video || s.video_muted || w <= 0 || h <= 0 || w > kMaxFrameWidth || h > kMaxFrameHeight ||
        size != I420Size(w, h)) {
      return;
    }
    if (p->frame_rate_cap > 0) {
      const auto now = Clock::now();
      int recent = 0;
      for (auto t : s.in.frame_times) recent += now - t <= std::chrono::seconds(1);
      if (recent >= p->frame_rate_cap) return;
    }
    s.in.CountVideo(size, w, h);
    if (p->video_loss > 0.0 && chance(random_) < p->video_loss) {
      ++s.in.video_lost;
      return;
    }
    s.last_frame = message.body;
    s.last_offset = message.payload_offset;
    s.last_width = w;
    s.last_height = h;
    const bool live_source = room->has_live && LiveSourceId(*room) == s.id;
    for (Subscription& sub : room->subscriptions) {
      if (sub.media_down) continue;
      Participant* to = FindParticipant(sub.participant);
      if (!to || !to->connection) continue;
      Target t{to->connection, sub.stream, 0, w, h};
      if (sub.stream == s.id) {
        t.type = s.kind;
      } else if (live_source && sub.stream == room->live_id()) {
        t.type = kStreamLive;
        if (sub.width > 0 && sub.height > 0) {
          t.width = sub.width;
          t.height = sub.height;
        }
      } else {
        continue;
      }
      sub.out.CountVideo(I420Size(t.width, t.height), t.width, t.height);
      targets.push_back(std::move(t));
    }
  }
  // Scaled once per size, outside the lock.
  std::map<std::pair<int, int>, Bytes> scaled;
  for (const Target& t : targets) {
    if (t.width == message.width && t.height == message.height) {
      t.connection->Post(VideoMessage(t.stream_id, t.type, t.width, t.height, message.body,
                                      message.payload_offset, size));
      continue;
    }
    Bytes& picture = scaled[{t.width, t.height}];
    if (!picture.data) picture = ScalePicture(message.payload(), message.width, message.height, t.width, t.height);
    t.connection->Post(VideoMessage(t.stream_id, t.type, t.width, t.height, picture, 0, picture.size));
  }
}

void RoomServer::MediaLoop() {
  using std::chrono::milliseconds;
  auto next = Clock::now();
  int tick = 0;
  while (!exiting_.load()) {
    next += milliseconds(10);
    const auto now = Clock::now();
    if (next < now - milliseconds(100)) next = now;
    std::this_thread::sleep_until(next);
    MixAudio();
    if (++tick % 7 == 0) MixPictures();
    if (tick % 50 == 0) {
      DropDetached();
      SendHeartbeats();
    }
  }
}

void RoomServer::RecordTap(Participant& p, const std::string& stream, const uint8_t* pcm, size_t bytes) {
  const AudioMark mark = ReadAudioPacket(reinterpret_cast<const int16_t*>(pcm), static_cast<int>(bytes / 4));
  ++p.tap_packets;
  p.tap.push_back(Participant::TapEntry{stream, mark.marked, mark.tag, mark.counter, mark.level});
  if (p.tap.size() > kTapLimit) p.tap.pop_front();
}

void RoomServer::MixAudio() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& [room_id, room] : rooms_) {
    // One packet of each stream per tick; a second one from streams that fell behind (the
    // sender's clock ran ahead of ours), so queues catch up instead of dropping packets.
    for (int round = 0; round < 2; ++round) {
      struct Part {
        std::string owner;
        std::string stream;
        Bytes pcm;
      };
      std::vector<Part> parts;
      for (auto& [id, s] : room.streams) {
        if (s.audio_queue.empty() || (round == 1 && s.audio_queue.size() <= 4)) continue;
        parts.push_back(Part{s.owner, id, std::move(s.audio_queue.front())});
        s.audio_queue.pop_front();
      }
      if (parts.empty()) break;
      for (Subscription& sub : room.subscriptions) {
        if (sub.media_down || sub.audio_muted || sub.speaker_muted) continue;
        const bool mixed = room.has_live && (sub.stream == room.live_id() || sub.stream == room.mix_id());
        // The sum of everyone else's audio (the live and mix streams), or the stream's own.
        std::vector<const Part*> chosen;
        for (const Part& part : parts) {
          if (mixed ? part.owner != sub.participant : part.stream == sub.stream) chosen.push_back(&part);
        }
        if (chosen.empty()) continue;
        Participant* to = FindParticipant(sub.participant);
        if (!to || !to->connection) continue;
        Bytes out;
        if (chosen.size() == 1) {
          out = chosen.front()->pcm;
        } else {
          out = MakeBytes(kAudioPacketBytes);
          int16_t* sum = reinterpret_cast<int16_t*>(out.data.get());
          for (int i = 0; i < kAudioPacketBytes / 2; ++i) {
            int v = 0;
            for (const Part* part : chosen) v += reinterpret_cast<const int16_t*>(part->pcm.data.get())[i];
            sum[i] = static_cast<int16_t>(std::clamp(v, -32768, 32767));
          }
        }
        const int level = ReadAudioPacket(reinterpret_cast<const int16_t*>(out.data.get()), kAudioPacketFrames).level;
        sub.out.CountAudio(out.size, level);
        RecordTap(*to, sub.stream, out.data.get(), out.size);
        to->connection->Post(AudioMessage(sub.stream, out, 0, out.size));
      }
    }
  }
}

void RoomServer::MixPictures() {
  struct Job {
    std::vector<std::shared_ptr<Connection>> receivers;
    std::string mix_id;
    struct Tile {
      Bytes frame;
      size_t offset;
      int width;
      int height;
    };
    std::vector<Tile> tiles;  // Empty frames stay black.
  };
  std::vector<Job> jobs;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [room_id, room] : rooms_) {
      if (!room.has_live) continue;
      Job job;
      job.mix_id = room.mix_id();
      for (Subscription& sub : room.subscriptions) {
        if (sub.stream != job.mix_id || sub.media_down) continue;
        Participant* to = FindParticipant(sub.participant);
        if (!to || !to->connection) continue;
        job.receivers.push_back(to->connection);
        sub.out.CountVideo(I420Size(kMixWidth, kMixHeight), kMixWidth, kMixHeight);
      }
      if (job.receivers.empty()) continue;
      for (const std::string& id : room.mix_ids) {
        auto it = room.streams.find(id);
        Job::Tile tile{};
        if (it != room.streams.end() && !it->second.video_muted && !it->second.media_down) {
          tile = Job::Tile{it->second.last_frame, it->second.last_offset, it->second.last_width,
                           it->second.last_height};
        }
        job.tiles.push_back(tile);
      }
      jobs.push_back(std::move(job));
    }
  }
  for (const Job& job : jobs) {
    Bytes canvas = MakeBytes(I420Size(kMixWidth, kMixHeight));
    uint8_t* y = canvas.data.get();
    const size_t luma = static_cast<size_t>(kMixWidth) * kMixHeight;
    std::memset(y, 16, luma);
    std::memset(y + luma, 128, canvas.size - luma);
    const int n = static_cast<int>(job.tiles.size());
    int columns = 1;
    while (columns * columns < n) ++columns;
    const int rows = n == 0 ? 1 : (n + columns - 1) / columns;
    const int tile_w = (kMixWidth / columns) & ~1;
    const int tile_h = (kMixHeight / rows) & ~1;
    for (int i = 0; i < n; ++i) {
      const Job::Tile& tile = job.tiles[static_cast<size_t>(i)];
      if (!tile.frame.data || tile_w <= 0 || tile_h <= 0) continue;
      // The picture keeps its shape inside its tile, centred.
      const Rect fit = FitInto(tile.width, tile.height, tile_w, tile_h);
      Bytes scaled = ScalePicture(tile.frame.data.get() + tile.offset, tile.width, tile.height, fit.w, fit.h);
      const int x0 = (((i % columns) * kMixWidth / columns) & ~1) + fit.x;
      const int y0 = (((i / columns) * kMixHeight / rows) & ~1) + fit.y;
      const uint8_t* sy = scaled.data.get();
      const uint8_t* su = sy + static_cast<size_t>(fit.w) * fit.h;
      const uint8_t* sv = su + static_cast<size_t>(fit.w / 2) * (fit.h / 2);
      uint8_t* du = y + luma;
      uint8_t* dv = du + static_cast<size_t>(kMixWidth / 2) * (kMixHeight / 2);
      for (int r = 0; r < fit.h; ++r) {
        std::memcpy(y + static_cast<size_t>(y0 + r) * kMixWidth + x0, sy + static_cast<size_t>(r) * fit.w,
                    static_cast<size_t>(fit.w));
      }
      for (int r = 0; r < fit.h / 2; ++r) {
        const size_t row = static_cast<size_t>(y0 / 2 + r) * (kMixWidth / 2) + x0 / 2;
        std::memcpy(du + row, su + static_cast<size_t>(r) * (fit.w / 2), static_cast<size_t>(fit.w / 2));
        std::memcpy(dv + row, sv + static_cast<size_t>(r) * (fit.w / 2), static_cast<size_t>(fit.w / 2));
      }
    }
    for (const auto& receiver : job.receivers) {
      receiver->Post(VideoMessage(job.mix_id, kStreamMix, kMixWidth, kMixHeight, canvas, 0, canvas.size));
    }
  }
}

void RoomServer::DropDetached() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> gone;
  const auto now = Clock::now();
  for (const auto& [id, p] : participants_) {
    if (!p.connection && now - p.detached_at > std::chrono::milliseconds(grace_ms_)) gone.push_back(id);
  }
  for (const std::string& id : gone) RemoveParticipant(id, false);
}

void RoomServer::SendHeartbeats() {
  const OutMessage ping = JsonMessage("{\"op\":\"ping\"}");
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& [id, p] : participants_) {
    if (p.connection) p.connection->Post(ping);
  }
}

}  // namespace orvim::server
