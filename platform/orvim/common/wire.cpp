#include "platform/orvim/common/wire.h"

#include <ws2tcpip.h>

#include <cstring>

namespace orvim {

namespace {

void PutU32(std::string* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Length word and type byte of a message whose body is |body_size| bytes.
std::string Prefix(MessageType type, size_t body_size) {
  std::string head;
  PutU32(&head, static_cast<uint32_t>(1 + body_size));
  head.push_back(static_cast<char>(type));
  return head;
}

std::string MediaIdPart(const std::string& stream_id) {
  std::string part;
  const size_t n = stream_id.size() > 255 ? 255 : stream_id.size();
  part.push_back(static_cast<char>(n));
  part.append(stream_id, 0, n);
  return part;
}

bool ReadAll(SOCKET socket, uint8_t* data, size_t size) {
  while (size > 0) {
    const int chunk = size > (1u << 30) ? (1 << 30) : static_cast<int>(size);
    const int got = recv(socket, reinterpret_cast<char*>(data), chunk, 0);
    if (got <= 0) return false;
    data += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

bool WriteAll(SOCKET socket, const uint8_t* data, size_t size) {
  while (size > 0) {
    const int chunk = size > (1u << 30) ? (1 << 30) : static_cast<int>(size);
    const int sent = send(socket, reinterpret_cast<const char*>(data), chunk, 0);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

}  // namespace

size_t I420Size(int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  const size_t w = static_cast<size_t>(width);
  const size_t h = static_cast<size_t>(height);
  return w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2);
}

Bytes MakeBytes(size_t size) {
  Bytes bytes;
  bytes.data = std::shared_ptr<uint8_t[]>(new uint8_t[size > 0 ? size : 1]);
  bytes.size = size;
  return bytes;
}

Bytes CopyBytes(const void* data, size_t size) {
  Bytes bytes = MakeBytes(size);
  if (size > 0) std::memcpy(bytes.data.get(), data, size);
  return bytes;
}

OutMessage JsonMessage(const std::string& json) {
  OutMessage message;
  message.type = kMessageJson;
  message.head = Prefix(kMessageJson, json.size());
  message.head += json;
  return message;
}

OutMessage VideoMessage(const std::string& stream_id, int source_type, int width, int height,
                        const Bytes& payload, size_t offset, size_t length) {
  OutMessage message;
  message.type = kMessageVideo;
  std::string header = MediaIdPart(stream_id);
  PutU32(&header, static_cast<uint32_t>(source_type));
  PutU32(&header, static_cast<uint32_t>(width));
  PutU32(&header, static_cast<uint32_t>(height));
  message.head = Prefix(kMessageVideo, header.size() + length) + header;
  message.payload = payload;
  message.payload_offset = offset;
  message.payload_length = length;
  return message;
}

OutMessage AudioMessage(const std::string& stream_id, const Bytes& payload, size_t offset,
                        size_t length) {
  OutMessage message;
  message.type = kMessageAudio;
  const std::string header = MediaIdPart(stream_id);
  message.head = Prefix(kMessageAudio, header.size() + length) + header;
  message.payload = payload;
  message.payload_offset = offset;
  message.payload_length = length;
  return message;
}

bool ReadBytes(SOCKET socket, void* data, size_t size) {
  return ReadAll(socket, static_cast<uint8_t*>(data), size);
}

bool ReadMessage(SOCKET socket, InMessage* out, std::string* error) {
  uint8_t prefix[kMessagePrefixBytes];
  if (!ReadAll(socket, prefix, sizeof(prefix))) {
    *error = "connection ended";
    return false;
  }
  return ReadMessageAfterPrefix(socket, prefix, out, error);
}

bool ReadMessageAfterPrefix(SOCKET socket, const uint8_t* prefix, InMessage* out,
                            std::string* error) {
  const uint32_t length = GetU32(prefix);
  if (length < 1 || length > kMaxMessageBytes) {
    *error = "message length out of range";
    return false;
  }
  const uint8_t type = prefix[4];
  if (type != kMessageJson && type != kMessageVideo && type != kMessageAudio) {
    *error = "unknown message type";
    return false;
  }
  out->type = static_cast<MessageType>(type);
  out->body = MakeBytes(length - 1);
  if (!ReadAll(socket, out->body.data.get(), out->body.size)) {
    *error = "message truncated";
    return false;
  }
  out->stream_id.clear();
  out->source_type = out->width = out->height = 0;
  out->payload_offset = 0;
  if (out->type == kMessageJson) return true;

  const uint8_t* body = out->body.data.get();
  const size_t size = out->body.size;
  if (size < 1 || size < 1u + body[0]) {
    *error = "media header truncated";
    return false;
  }
  const size_t id_length = body[0];
  out->stream_id.assign(reinterpret_cast<const char*>(body + 1), id_length);
  size_t offset = 1 + id_length;
  if (out->type == kMessageVideo) {
    if (size < offset + 12) {
      *error = "video header truncated";
      return false;
    }
    out->source_type = static_cast<int32_t>(GetU32(body + offset));
    out->width = static_cast<int32_t>(GetU32(body + offset + 4));
    out->height = static_cast<int32_t>(GetU32(body + offset + 8));
    offset += 12;
  }
  out->payload_offset = offset;
  return true;
}

bool WriteMessage(SOCKET socket, const OutMessage& message) {
  if (!WriteAll(socket, reinterpret_cast<const uint8_t*>(message.head.data()), message.head.size())) {
    return false;
  }
  if (message.payload_length == 0) return true;
  return WriteAll(socket, message.payload.data.get() + message.payload_offset,
                  message.payload_length);
}

WinsockScope::WinsockScope() {
  WSADATA data;
  ok_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WinsockScope::~WinsockScope() {
  if (ok_) WSACleanup();
}

bool ParseAddress(const std::string& address, std::string* host, uint16_t* port) {
  const size_t colon = address.rfind(':');
  std::string port_text = colon == std::string::npos ? address : address.substr(colon + 1);
  *host = colon == std::string::npos || colon == 0 ? "127.0.0.1" : address.substr(0, colon);
  if (port_text.empty() || port_text.size() > 5) return false;
  unsigned value = 0;
  for (char c : port_text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 65535) return false;
  *port = static_cast<uint16_t>(value);
  return true;
}

void TuneSocket(SOCKET socket) {
  const BOOL no_delay = TRUE;
  setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&no_delay),
             sizeof(no_delay));
  const int buffer = 4 * 1024 * 1024;
  setsockopt(socket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&buffer), sizeof(buffer));
  setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&buffer), sizeof(buffer));
}

SOCKET ConnectTo(const std::string& address) {
  std::string host;
  uint16_t port = 0;
  if (!ParseAddress(address, &host, &port)) return INVALID_SOCKET;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  if (inet_pton(AF_INET, host == "localhost" ? "127.0.0.1" : host.c_str(), &target.sin_addr) != 1) {
    return INVALID_SOCKET;
  }
  ScopedSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!socket.valid()) return INVALID_SOCKET;
  if (connect(socket.get(), reinterpret_cast<const sockaddr*>(&target), sizeof(target)) != 0) {
    return INVALID_SOCKET;
  }
  TuneSocket(socket.get());
  return socket.release();
}

void ScopedSocket::reset(SOCKET socket) {
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
  socket_ = socket;
}

}  // namespace orvim
