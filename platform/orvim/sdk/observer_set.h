#pragma once

#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>

#include "orvim_sdk.h"

namespace orvim::sdk {

// The observers of one service. Each call to an observer is counted while it runs, so that
// Remove can wait until no call reaches the observer any more. Thread-safe.
class ObserverSet {
 public:
  ObserverSet() = default;
  ObserverSet(const ObserverSet&) = delete;
  ObserverSet& operator=(const ObserverSet&) = delete;

  // Adds |observer| unless it is there already.
  void Add(rtTarvo::base::RTObserver* observer);
  // Removes |observer|. With |wait|, returns only when no call to it is in progress; without
  // (a call from the service's own thread), later calls stop but a running one goes on.
  void Remove(rtTarvo::base::RTObserver* observer, bool wait);
  // Calls |call| for each observer in the order they were added. An exception from an
  // observer is swallowed.
  void ForEach(const std::function<void(rtTarvo::base::RTObserver*)>& call);
  bool Empty();

 private:
  struct Entry {
    rtTarvo::base::RTObserver* observer;
    int active = 0;
    bool removed = false;
  };
  void EraseIdleRemoved();

  std::mutex mutex_;  // Protects |entries_| and their counts.
  std::condition_variable idle_;
  std::list<Entry> entries_;
};

}  // namespace orvim::sdk
