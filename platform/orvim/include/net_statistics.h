#pragma once

#include <cstdint>
#include <string>

// The network counters of one media stream, as the real-time SDK reports them with a
// connection statistics result: a video part and an audio part. The client keeps one record
// per published, subscribed and local-media stream and turns the difference between two copies
// into rates.
//
// Counters grow while a stream lives and start again from 0 with a new stream, so a difference
// between two copies can be negative.
//
// A plain value type: copy it freely; not thread-safe (the holder locks around copies).

struct NetVideoStatistics {
  int64_t bytes = 0;        // Bytes sent (published streams) or received (subscribed stream).
  int32_t packets = 0;      // Packets sent or received.
  int32_t packetsLost = 0;  // Packets lost, as shown to the user.
  int32_t lossCount = 0;    // The loss counter the windowed loss rate is computed from.
  uint32_t width = 0;       // Frame size in pixels.
  uint32_t height = 0;
  int32_t frameRate = 0;  // Frames per second.
  std::string codec;      // Codec name.
  int32_t rtt = -1;       // Round trip of the statistics request in ms; -1 unknown.

  // Zeroes the counters, the frame rate and |rtt|; the codec and the size stay.
  void Reset() {
    bytes = 0;
    packets = 0;
    packetsLost = 0;
    lossCount = 0;
    frameRate = 0;
    rtt = 0;
  }
};

struct NetAudioStatistics {
  int64_t bytes = 0;
  int32_t packets = 0;
  int32_t packetsLost = 0;
  uint32_t packetsDiscarded = 0;  // Packets the receiving side threw away.
  std::string codec;
  int32_t rtt = 0;                  // As the video part's.
  uint32_t audioLevel = 0;          // Level of the last packet, 0 to 32767.
  double totalAudioEnergy = 0.0;    // Sum over packets of (level / 32767)^2 x duration.
  double totalSamplesDuration = 0.0;  // Seconds of audio counted.

  // Zeroes the counters and |rtt|; the codec, the level and the two sums stay.
  void Reset() {
    bytes = 0;
    packets = 0;
    packetsLost = 0;
    packetsDiscarded = 0;
    rtt = 0;
  }
};

struct NetStatistics {
  NetVideoStatistics video;
  NetAudioStatistics audio;

  void Reset() {
    video.Reset();
    audio.Reset();
  }
};
