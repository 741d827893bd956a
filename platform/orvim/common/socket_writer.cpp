#include "platform/orvim/common/socket_writer.h"

#include <windows.h>

#include <utility>

namespace orvim {

void NameCurrentThread(const wchar_t* name) {
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  static const auto set_description = reinterpret_cast<SetDescription>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
  if (set_description) set_description(GetCurrentThread(), name);
}

std::thread StartThread(const wchar_t* name, const ThreadHooks& hooks, std::function<void()> body) {
  std::wstring thread_name = name;
  if (hooks.on_create) hooks.on_create();
  try {
    return std::thread([thread_name, hooks, body = std::move(body)] {
      if (hooks.on_start) hooks.on_start();
      NameCurrentThread(thread_name.c_str());
      try {
        body();
      } catch (...) {
        // A thread of the SDK or the server never ends the process.
      }
      if (hooks.on_exit) hooks.on_exit();
    });
  } catch (...) {
    if (hooks.on_exit) hooks.on_exit();
    throw;
  }
}

SocketWriter::SocketWriter(SOCKET socket, const wchar_t* thread_name, const ThreadHooks& hooks,
                           size_t max_media_bytes)
    : socket_(socket), max_media_bytes_(max_media_bytes) {
  thread_ = StartThread(thread_name, hooks, [this] { Run(); });
}

SocketWriter::~SocketWriter() { Stop(); }

bool SocketWriter::Post(OutMessage message) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_ || finishing_ || failed_) return false;
  if (message.type != kMessageJson) {
    const size_t bytes = message.head.size() + message.payload_length;
    if (media_bytes_ > 0 && media_bytes_ + bytes > max_media_bytes_) {
      ++dropped_;
      return false;
    }
    media_bytes_ += bytes;
  }
  queue_.push_back(std::move(message));
  wake_.notify_one();
  return true;
}

void SocketWriter::Finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  finishing_ = true;
  wake_.notify_one();
}

void SocketWriter::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    wake_.notify_one();
  }
  if (thread_.joinable()) thread_.join();
}

size_t SocketWriter::dropped() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dropped_;
}

bool SocketWriter::failed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failed_;
}

void SocketWriter::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || finishing_ || !queue_.empty(); });
    if (stopping_) return;
    if (queue_.empty()) {  // Finishing and everything is sent.
      shutdown(socket_, SD_SEND);
      return;
    }
    OutMessage message = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    const bool ok = WriteMessage(socket_, message);
    lock.lock();
    if (message.type != kMessageJson) media_bytes_ -= message.head.size() + message.payload_length;
    if (!ok) {
      failed_ = true;
      queue_.clear();
      media_bytes_ = 0;
      // Wakes the connection's reader, which then ends the connection.
      shutdown(socket_, SD_BOTH);
      return;
    }
  }
}

}  // namespace orvim
