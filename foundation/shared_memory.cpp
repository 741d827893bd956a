#include "foundation/shared_memory.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace {

void CloseAndClear(void*& handle) {
  if (handle) CloseHandle(handle);
  handle = nullptr;
}

// Header words are read and written as plain 32-bit values (little-endian on Windows).
unsigned ReadWord(const unsigned char* at) {
  unsigned value;
  std::memcpy(&value, at, sizeof(value));
  return value;
}

void WriteWord(unsigned char* at, unsigned value) { std::memcpy(at, &value, sizeof(value)); }

}  // namespace

CxShareMemory::CxShareMemory() = default;

CxShareMemory::~CxShareMemory() { Close(); }

bool CxShareMemory::Create(const wchar_t* name, unsigned size, bool creator) {
  Close();
  if (!name || !*name || size > 0xFFFFFFFFu - kHeaderSize) return false;
  const std::wstring channel(name);
  const std::wstring quit_name = L"Global\\quit-" + channel;
  const std::wstring creator_name = L"Global\\creator-" + channel;
  const std::wstring consumer_name = L"Global\\consumer-" + channel;
  const std::wstring mutex_name = L"Global\\mutex-" + channel;

  creator_ = creator;
  bool mutex_ready = false;
  if (creator) {
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, TRUE};
    // Read/write pages only: nothing in the channel is ever executed.
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  size + kHeaderSize, channel.c_str());
    creator_event_ = CreateEventW(&attributes, TRUE, FALSE, creator_name.c_str());
    consumer_event_ = CreateEventW(&attributes, TRUE, FALSE, consumer_name.c_str());
    quit_event_ = CreateEventW(&attributes, TRUE, FALSE, quit_name.c_str());
    mutex_ready = channel_lock_.CreateNamedMutex(mutex_name);
    if (quit_event_) ResetEvent(quit_event_);
  } else {
    creator_event_ = OpenEventW(EVENT_ALL_ACCESS, FALSE, creator_name.c_str());
    consumer_event_ = OpenEventW(EVENT_ALL_ACCESS, FALSE, consumer_name.c_str());
    quit_event_ = OpenEventW(EVENT_ALL_ACCESS, FALSE, quit_name.c_str());
    mutex_ready = channel_lock_.CreateNamedMutex(mutex_name);
    mapping_ = OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, channel.c_str());
  }
  // Without the named mutex the two sides could not keep each other out of the view.
  if (!mapping_ || !mutex_ready) {
    Close();
    return false;
  }
  view_ =
      static_cast<unsigned char*>(MapViewOfFile(mapping_, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
  MEMORY_BASIC_INFORMATION region{};
  if (!view_ || VirtualQuery(view_, &region, sizeof(region)) != sizeof(region) ||
      region.RegionSize < kHeaderSize) {
    Close();
    return false;
  }
  // The real size of the view bounds every access, whatever either side was told.
  const unsigned view_data_size = static_cast<unsigned>(region.RegionSize) - kHeaderSize;
  capacity_ = size < view_data_size ? size : view_data_size;
  if (!creator_event_ || !consumer_event_) {
    Close();
    return false;
  }
  return true;
}

void CxShareMemory::Close() {
  if (creator_ && quit_event_) SetEvent(quit_event_);
  CloseAndClear(quit_event_);
  CloseAndClear(creator_event_);
  CloseAndClear(consumer_event_);
  {
    CxAutoLock guard(channel_lock_);
    if (view_) UnmapViewOfFile(view_);
    view_ = nullptr;
  }
  CloseAndClear(mapping_);
  capacity_ = 0;
}

bool CxShareMemory::Write(const void* data, unsigned length) {
  if (!mapping_ || length > capacity_ || (!data && length > 0)) return false;
  CxAutoLock guard(channel_lock_);
  if (!view_) return false;
  WriteWord(view_, length);
  WriteWord(view_ + 4, capacity_);
  if (length > 0) std::memcpy(view_ + kHeaderSize, data, length);
  SignalPeer();
  return true;
}

unsigned CxShareMemory::Read(void* buffer, unsigned size) {
  if (!mapping_ || (!buffer && size > 0)) return 0;
  CxAutoLock guard(channel_lock_);
  if (!view_) return 0;
  const unsigned length = ReadWord(view_);
  // The length comes from the other process: one above the capacity is malformed, even where
  // the view's last page would still hold it (those bytes were never written as a record).
  if (length > capacity_) return 0;
  const unsigned count = size < length ? size : length;
  if (count > 0) std::memcpy(buffer, view_ + kHeaderSize, count);
  if (PeerEvent()) ResetEvent(PeerEvent());
  return count;
}

int CxShareMemory::Wait(unsigned timeout_ms) {
  HANDLE peer = PeerEvent();
  if (!peer) return -1;
  switch (WaitForSingleObject(peer, timeout_ms)) {
    case WAIT_OBJECT_0:
      return 1;
    case WAIT_TIMEOUT:
      return 0;
    default:
      return -2;
  }
}

void CxShareMemory::SignalPeer() {
  // Clear first: a peer that answers as soon as our event is set must find its own event set.
  if (PeerEvent()) ResetEvent(PeerEvent());
  if (OwnEvent()) SetEvent(OwnEvent());
}

void CxShareMemory::Run() {
  while (!GetQuit()) {
    HANDLE peer = PeerEvent();
    if (!peer || WaitForSingleObject(peer, INFINITE) == WAIT_FAILED) break;
  }
}
