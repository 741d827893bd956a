#include "platform/orvim/server/room_server.h"

#include <ws2tcpip.h>

#include <cstdio>
#include <utility>

#include "platform/orvim/server/page_files.h"

namespace orvim::server {

namespace {

constexpr size_t kMaxQueuedMediaBytes = 8u * 1024u * 1024u;

}  // namespace

RoomServer::RoomServer() {}

RoomServer::~RoomServer() {
  exiting_.store(true);
  listener_.reset();
  if (media_thread_.joinable()) media_thread_.join();
  ReapConnections(true);
}

bool RoomServer::Listen(uint16_t port) {
  listener_.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!listener_.valid()) return false;
  // A restarted server takes its old port again at once.
  const BOOL reuse = TRUE;
  setsockopt(listener_.get(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
             sizeof(reuse));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  if (bind(listener_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener_.get(), SOMAXCONN) != 0) {
    listener_.reset();
    return false;
  }
  int length = sizeof(address);
  getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  return true;
}

void RoomServer::Run() {
  media_thread_ = StartThread(L"orvim server: media", hooks_, [this] { MediaLoop(); });
  while (!exiting_.load()) {
    SOCKET accepted = accept(listener_.get(), nullptr, nullptr);
    if (accepted == INVALID_SOCKET) {
      if (exiting_.load()) break;
      Sleep(10);
      continue;
    }
    TuneSocket(accepted);
    auto connection = std::make_shared<Connection>();
    connection->socket.reset(accepted);
    connection->writer = std::make_unique<SocketWriter>(accepted, L"orvim server: writer", hooks_,
                                                        kMaxQueuedMediaBytes);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      connection->id = next_connection_id_++;
      connections_[connection->id] = connection;
    }
    connection->reader = StartThread(L"orvim server: reader", hooks_, [this, connection] {
      Serve(connection);
      connection->finished.store(true);
    });
    ReapConnections(false);
  }
  if (media_thread_.joinable()) media_thread_.join();
  ReapConnections(true);
}

void RoomServer::ReapConnections(bool all) {
  std::vector<std::shared_ptr<Connection>> ended;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      if (all || it->second->finished.load()) {
        if (all) shutdown(it->second->socket.get(), SD_BOTH);
        ended.push_back(std::move(it->second));
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& connection : ended) {
    if (connection->reader.joinable()) connection->reader.join();
    shutdown(connection->socket.get(), SD_BOTH);
    if (connection->writer) connection->writer->Stop();
  }
}

void RoomServer::Serve(const std::shared_ptr<Connection>& connection) {
  uint8_t prefix[kMessagePrefixBytes];
  if (!ReadBytes(connection->socket.get(), prefix, sizeof(prefix))) {
    ConnectionEnded(connection);
    return;
  }
  if (!page_root_.empty() && StartsHttpRequest(prefix, sizeof(prefix))) {
    ServePageRequest(connection->socket.get(),
                     std::string(reinterpret_cast<const char*>(prefix), sizeof(prefix)), page_root_);
    ConnectionEnded(connection);
    return;
  }
  bool first = true;
  bool prefix_read = true;
  for (;;) {
    InMessage message;
    std::string error;
    const bool read = prefix_read
                          ? ReadMessageAfterPrefix(connection->socket.get(), prefix, &message, &error)
                          : ReadMessage(connection->socket.get(), &message, &error);
    prefix_read = false;
    if (!read) break;
    if (message.type != kMessageJson) {
      std::string participant;
      bool farewell = false;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        participant = connection->participant_id;
        farewell = connection->farewell;
      }
      if (farewell) continue;          // Sent before the client saw the goodbye.
      if (participant.empty()) break;  // Media before a login.
      HandleMedia(connection, message);
      continue;
    }
    JsonPtr json = ParseObject(message.json());
    if (!json) break;
    const bool ok = first ? HandleFirst(connection, json.get()) : HandleClientJson(connection, json.get());
    if (!ok) break;
    first = false;
  }
  ConnectionEnded(connection);
}

bool RoomServer::HandleFirst(const std::shared_ptr<Connection>& connection, const cJSON* message) {
  const std::string op = GetString(message, "op");
  if (op == "control") {
    const std::string answer = Control(cJSON_GetObjectItemCaseSensitive(message, "request"));
    connection->Post(JsonMessage(answer));
    // A control connection may send further requests: {"op": "control", "request": ...}.
    for (;;) {
      InMessage next;
      std::string error;
      if (!ReadMessage(connection->socket.get(), &next, &error) || next.type != kMessageJson) return false;
      JsonPtr json = ParseObject(next.json());
      if (!json || GetString(json.get(), "op") != "control") return false;
      connection->Post(JsonMessage(Control(cJSON_GetObjectItemCaseSensitive(json.get(), "request"))));
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (op == "login") {
    Login(connection, message);
    return true;
  }
  if (op == "resume") return Resume(connection, message);
  return false;
}

void RoomServer::ConnectionEnded(const std::shared_ptr<Connection>& connection) {
  std::lock_guard<std::mutex> lock(mutex_);
  shutdown(connection->socket.get(), SD_BOTH);
  Participant* p = FindParticipant(connection->participant_id);
  if (p && p->connection == connection) {
    // Kept for a while: the client may come back and resume.
    p->connection.reset();
    p->detached_at = Clock::now();
  }
}

Participant* RoomServer::FindParticipant(const std::string& id) {
  auto it = participants_.find(id);
  return it == participants_.end() ? nullptr : &it->second;
}

Room* RoomServer::RoomOf(const Participant& p) {
  auto it = rooms_.find(p.room);
  return it == rooms_.end() ? nullptr : &it->second;
}

Subscription* RoomServer::FindSubscription(Room& room, const std::string& participant,
                                           const std::string& stream) {
  for (Subscription& s : room.subscriptions) {
    if (s.participant == participant && s.stream == stream) return &s;
  }
  return nullptr;
}

void RoomServer::SendTo(const std::string& participant_id, const cJSON* json) {
  Participant* p = FindParticipant(participant_id);
  if (p && p->connection) p->connection->PostJson(json);
}

void RoomServer::Broadcast(Room& room, const cJSON* json, const std::string& except) {
  const OutMessage message = JsonMessage(ToText(json));
  for (const std::string& id : room.members) {
    if (id == except) continue;
    Participant* p = FindParticipant(id);
    if (p && p->connection) p->connection->Post(message);
  }
}

}  // namespace orvim::server
