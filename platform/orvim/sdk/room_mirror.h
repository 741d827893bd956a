#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "orvim_sdk.h"

namespace orvim::sdk {

// What a service knows of its room: participants and streams, kept from the server's messages
// (or, offline, set by the control). Thread-safe; getters return copies.
class RoomMirror {
 public:
  void Clear();
  void SetParticipants(std::vector<rtTarvo::rtc::ParticipantInfo> participants);
  void SetStreams(std::vector<rtTarvo::rtc::StreamEntry> streams);
  // Adds or replaces by id.
  void PutParticipant(const rtTarvo::rtc::ParticipantInfo& participant);
  void RemoveParticipant(const std::string& id);
  void PutStream(const rtTarvo::rtc::StreamEntry& stream);
  void RemoveStream(const std::string& stream_id);

  std::vector<rtTarvo::rtc::ParticipantInfo> Participants();
  std::vector<rtTarvo::rtc::StreamEntry> Streams();
  bool FindParticipant(const std::string& id, rtTarvo::rtc::ParticipantInfo* out);
  // The participant whose camera publish stream is |stream_id|.
  bool FindParticipantByStream(const std::string& stream_id, rtTarvo::rtc::ParticipantInfo* out);
  bool FindStream(const std::string& stream_id, rtTarvo::rtc::StreamEntry* out);
  // The id of the first stream of |kind|, or empty.
  std::string FirstStreamOfKind(int kind);

 private:
  std::mutex mutex_;  // Protects both lists.
  std::vector<rtTarvo::rtc::ParticipantInfo> participants_;
  std::vector<rtTarvo::rtc::StreamEntry> streams_;
};

}  // namespace orvim::sdk
