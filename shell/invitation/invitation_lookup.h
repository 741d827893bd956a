#pragma once

// CInvitationLookup: reads one invitation link's redirect address on a worker thread, so that
// the thread that asked (the UI thread) keeps running while the server answers, which may take
// up to the request's timeout.
//
// One lookup at a time: Start refuses while the worker of the last one has not been collected
// (Finish). The owner collects it when the result has reached its own thread; the destructor
// cancels a lookup in progress and waits for its worker, so the worker never outlives its owner.
// With ReadRedirectAddress that wait is about a second at most.
//
// Threads: Start, Busy, Finish and the destructor on the owner's thread; the reader and |done|
// run on the worker.

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class CInvitationLookup {
 public:
  // Reads the redirect address of |url|; ends early, with an empty address, once |cancel| is
  // set.
  using Reader = std::function<std::string(const std::string& url, const std::atomic<bool>& cancel)>;
  // Receives the address (empty: none) on the worker thread.
  using Done = std::function<void(const std::string& address)>;

  // |reader| defaults to ReadRedirectAddress.
  explicit CInvitationLookup(Reader reader = nullptr);
  ~CInvitationLookup();
  CInvitationLookup(const CInvitationLookup&) = delete;
  CInvitationLookup& operator=(const CInvitationLookup&) = delete;

  // Starts reading |url|; false (and |done| is not called) while a lookup is busy or when no
  // thread can start.
  bool Start(const std::string& url, Done done);
  // A lookup was started and not yet collected.
  bool Busy() const { return worker_.joinable(); }
  // Collects the worker of a lookup whose result has arrived (waits for it to end; it has
  // nothing left to do once |done| returned).
  void Finish();

 private:
  Reader reader_;
  std::thread worker_;
  std::atomic<bool> cancel_{false};
};
