#pragma once

#include <winsock2.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The wire format between OrvimSDK.dll and the room server, over one TCP connection:
//
//   u32 length (little-endian; bytes that follow: 1 + body), u8 type, body
//
// type 1 JSON: a UTF-8 JSON object {"op": ..., ...} (signalling and control).
// type 2 video: u8 id length, stream id, i32 source type, i32 width, i32 height, I420 pixels.
// type 3 audio: u8 id length, stream id, 16-bit PCM (48000 Hz, 2 channels, 1920 bytes = 10 ms).
//
// A message longer than kMaxMessageBytes, an unknown type, a media body too short for its
// header or a body that is no JSON object makes the reader drop the connection.

namespace orvim {

enum MessageType : uint8_t { kMessageJson = 1, kMessageVideo = 2, kMessageAudio = 3 };

inline constexpr uint32_t kMaxMessageBytes = 16u * 1024u * 1024u;
inline constexpr int kMaxFrameWidth = 3840;
inline constexpr int kMaxFrameHeight = 2160;
inline constexpr int kAudioPacketBytes = 1920;  // 10 ms of 48 kHz stereo 16-bit.

// Bytes of an I420 picture of width x height.
size_t I420Size(int width, int height);

// Shared, immutable-once-sent bytes.
struct Bytes {
  std::shared_ptr<uint8_t[]> data;
  size_t size = 0;
};
Bytes MakeBytes(size_t size);
Bytes CopyBytes(const void* data, size_t size);

// One message to send: a head (length, type and the media header) and an optional payload
// that several messages may share.
struct OutMessage {
  std::string head;
  Bytes payload;
  size_t payload_offset = 0;
  size_t payload_length = 0;
  MessageType type = kMessageJson;
};

OutMessage JsonMessage(const std::string& json);
// |payload| from |offset| for |length| bytes follows the media header.
OutMessage VideoMessage(const std::string& stream_id, int source_type, int width, int height,
                        const Bytes& payload, size_t offset, size_t length);
OutMessage AudioMessage(const std::string& stream_id, const Bytes& payload, size_t offset,
                        size_t length);

// One message as read.
struct InMessage {
  MessageType type = kMessageJson;
  Bytes body;  // Everything after the type byte.
  // Media messages: the parsed header and where the payload starts in |body|.
  std::string stream_id;
  int32_t source_type = 0;
  int32_t width = 0;
  int32_t height = 0;
  size_t payload_offset = 0;

  uint8_t* payload() const { return body.data.get() + payload_offset; }
  size_t payload_size() const { return body.size - payload_offset; }
  std::string json() const { return std::string(reinterpret_cast<const char*>(body.data.get()), body.size); }
};

// The length word and the type byte.
inline constexpr size_t kMessagePrefixBytes = 5;

// Reads one whole message. False (with a reason in |error|) when the connection ended or the
// message is malformed; the caller then drops the connection.
bool ReadMessage(SOCKET socket, InMessage* out, std::string* error);
// ReadMessage for a message whose kMessagePrefixBytes were read already (into |prefix|).
bool ReadMessageAfterPrefix(SOCKET socket, const uint8_t* prefix, InMessage* out,
                            std::string* error);
// Reads exactly |size| bytes; false when the connection ended first.
bool ReadBytes(SOCKET socket, void* data, size_t size);

// Sends one whole message (blocking). False when the connection failed.
bool WriteMessage(SOCKET socket, const OutMessage& message);

// Winsock for the lifetime of the object.
class WinsockScope {
 public:
  WinsockScope();
  ~WinsockScope();
  WinsockScope(const WinsockScope&) = delete;
  WinsockScope& operator=(const WinsockScope&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};

// Splits "host:port" (host defaults to 127.0.0.1). False for anything else.
bool ParseAddress(const std::string& address, std::string* host, uint16_t* port);

// A connected TCP socket to |address| with no Nagle delay and large buffers, or
// INVALID_SOCKET.
SOCKET ConnectTo(const std::string& address);

// Large buffers and no Nagle delay on an accepted or connected socket.
void TuneSocket(SOCKET socket);

// Owns one socket.
class ScopedSocket {
 public:
  ScopedSocket() = default;
  explicit ScopedSocket(SOCKET socket) : socket_(socket) {}
  ~ScopedSocket() { reset(); }
  ScopedSocket(ScopedSocket&& other) noexcept : socket_(other.release()) {}
  ScopedSocket& operator=(ScopedSocket&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ScopedSocket(const ScopedSocket&) = delete;
  ScopedSocket& operator=(const ScopedSocket&) = delete;

  SOCKET get() const { return socket_; }
  bool valid() const { return socket_ != INVALID_SOCKET; }
  void reset(SOCKET socket = INVALID_SOCKET);
  [[nodiscard]] SOCKET release() {
    SOCKET s = socket_;
    socket_ = INVALID_SOCKET;
    return s;
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace orvim
