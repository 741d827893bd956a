#pragma once

#include "foundation/lock.h"
#include "foundation/thread.h"

// A named shared-memory channel between two processes (or two parts of one process).
//
// The creator makes a named file mapping "N" of capacity + 8 bytes, three manual-reset events
// "Global\quit-N", "Global\creator-N", "Global\consumer-N" and the mutex "Global\mutex-N"; the
// consumer opens them by the same name. The events and the mutex carry a NULL DACL, so a peer
// of any user may open them. The mapping starts with a header read by both sides:
//   offset 0: length   (unsigned 32-bit, bytes of the current record)
//   offset 4: capacity (unsigned 32-bit, the writer's capacity)
//   offset 8: the record.
// A side writes one record, which clears the peer's event and sets its own; the other side
// waits for that event, reads (clearing it) and may answer the same way. The creator's Close
// sets the quit event. Reads and writes of the mapping are serialised across both processes by
// the named mutex.

// The channel as its users hold it.
class CxMemShare {
 public:
  virtual ~CxMemShare() = default;
  // Creates (|creator|) or opens the channel |name| with room for |size| bytes of record.
  virtual bool Create(const wchar_t* name, unsigned size, bool creator) = 0;
  virtual void Close() = 0;
  // Writes one record; false without a channel or when |length| exceeds the capacity.
  virtual bool Write(const void* data, unsigned length) = 0;
  // Copies up to |size| bytes of the current record; returns the count, 0 on failure.
  virtual unsigned Read(void* buffer, unsigned size) = 0;
  // Waits for the peer's event: 1 set, 0 time-out, -1 no channel, -2 the wait failed.
  virtual int Wait(unsigned timeout_ms) = 0;
};

// Thread contract: one side may be used from several threads; each operation takes the channel
// lock where it touches the mapping. Create and Close must not race with other calls.
//
// The CxThread base is never started: its body is the peer-wait loop no user runs.
class CxShareMemory : public CxMemShare, public CxThread {
 public:
  static constexpr unsigned kHeaderSize = 8;

  CxShareMemory();
  ~CxShareMemory() override;

  // First closes what is open. Creator: creates the mapping, the events and the mutex and
  // clears the quit event. Consumer: opens them; fails when the creator does not exist yet.
  // Both: fail when the named mutex cannot be made or the view cannot be mapped, leaving
  // nothing open. The consumer's capacity is its |size|, but never more than the mapping holds.
  bool Create(const wchar_t* name, unsigned size, bool creator) override;
  // Sets the quit event on the creator side, then closes everything. Safe to call again.
  void Close() override;
  bool Write(const void* data, unsigned length) override;
  // A header whose length exceeds this side's capacity is a failed read (0).
  unsigned Read(void* buffer, unsigned size) override;
  int Wait(unsigned timeout_ms) override;

  // Clears the peer's event, then sets this side's; for writers that fill the view themselves
  // under GetChannelLock(). Needs no lock: call it after the view is filled, with the channel
  // lock held or already released. In this order a peer that answers at once never has its
  // answer's signal cleared.
  void SignalPeer();

  // The mapped view (header first), or null without a channel.
  unsigned char* GetView() const { return view_; }
  unsigned GetCapacity() const { return capacity_; }
  bool HasMapping() const { return mapping_ != nullptr; }
  bool IsCreator() const { return creator_; }
  // The quit event (set when the creator closes), or null.
  void* GetQuitEvent() const { return quit_event_; }
  // The named mutex that guards the view across both processes.
  CxLock& GetChannelLock() { return channel_lock_; }

  // Waits for the peer's event until the quit flag is set or the wait fails.
  void Run() override;

 private:
  void* OwnEvent() const { return creator_ ? creator_event_ : consumer_event_; }
  void* PeerEvent() const { return creator_ ? consumer_event_ : creator_event_; }

  unsigned char* view_ = nullptr;
  unsigned capacity_ = 0;  // The size given to Create, never more than the view holds.
  bool creator_ = false;
  void* quit_event_ = nullptr;  // HANDLEs, owned.
  void* creator_event_ = nullptr;
  void* consumer_event_ = nullptr;
  void* mapping_ = nullptr;
  CxLock channel_lock_;  // Guards |view_|'s contents; the named mutex once created.
};
