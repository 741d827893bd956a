#include "platform/orvim/sdk/room_mirror.h"

#include <algorithm>
#include <utility>

namespace orvim::sdk {

using rtTarvo::rtc::ParticipantInfo;
using rtTarvo::rtc::StreamEntry;

void RoomMirror::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  participants_.clear();
  streams_.clear();
}

void RoomMirror::SetParticipants(std::vector<ParticipantInfo> participants) {
  std::lock_guard<std::mutex> lock(mutex_);
  participants_ = std::move(participants);
}

void RoomMirror::SetStreams(std::vector<StreamEntry> streams) {
  std::lock_guard<std::mutex> lock(mutex_);
  streams_ = std::move(streams);
}

void RoomMirror::PutParticipant(const ParticipantInfo& participant) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (ParticipantInfo& p : participants_) {
    if (p.id == participant.id) {
      p = participant;
      return;
    }
  }
  participants_.push_back(participant);
}

void RoomMirror::RemoveParticipant(const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  participants_.erase(std::remove_if(participants_.begin(), participants_.end(),
                                     [&](const ParticipantInfo& p) { return p.id == id; }),
                      participants_.end());
}

void RoomMirror::PutStream(const StreamEntry& stream) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (StreamEntry& s : streams_) {
    if (s.stream_id == stream.stream_id) {
      s = stream;
      return;
    }
  }
  streams_.push_back(stream);
}

void RoomMirror::RemoveStream(const std::string& stream_id) {
  std::lock_guard<std::mutex> lock(mutex_);
  streams_.erase(std::remove_if(streams_.begin(), streams_.end(),
                                [&](const StreamEntry& s) { return s.stream_id == stream_id; }),
                 streams_.end());
}

std::vector<ParticipantInfo> RoomMirror::Participants() {
  std::lock_guard<std::mutex> lock(mutex_);
  return participants_;
}

std::vector<StreamEntry> RoomMirror::Streams() {
  std::lock_guard<std::mutex> lock(mutex_);
  return streams_;
}

bool RoomMirror::FindParticipant(const std::string& id, ParticipantInfo* out) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const ParticipantInfo& p : participants_) {
    if (p.id == id) {
      *out = p;
      return true;
    }
  }
  return false;
}

bool RoomMirror::FindParticipantByStream(const std::string& stream_id, ParticipantInfo* out) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const ParticipantInfo& p : participants_) {
    if (!stream_id.empty() && p.stream_id == stream_id) {
      *out = p;
      return true;
    }
  }
  return false;
}

bool RoomMirror::FindStream(const std::string& stream_id, StreamEntry* out) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const StreamEntry& s : streams_) {
    if (s.stream_id == stream_id) {
      *out = s;
      return true;
    }
  }
  return false;
}

std::string RoomMirror::FirstStreamOfKind(int kind) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const StreamEntry& s : streams_) {
    if (s.kind == kind) return s.stream_id;
  }
  return std::string();
}

}  // namespace orvim::sdk
