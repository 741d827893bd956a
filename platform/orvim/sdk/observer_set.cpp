#include "platform/orvim/sdk/observer_set.h"

#include <vector>

namespace orvim::sdk {

void ObserverSet::Add(rtTarvo::base::RTObserver* observer) {
  if (!observer) return;
  std::lock_guard<std::mutex> lock(mutex_);
  for (Entry& entry : entries_) {
    if (entry.observer == observer && !entry.removed) return;
  }
  entries_.push_back(Entry{observer});
}

void ObserverSet::Remove(rtTarvo::base::RTObserver* observer, bool wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (Entry& entry : entries_) {
    if (entry.observer == observer) entry.removed = true;
  }
  if (wait) {
    idle_.wait(lock, [&] {
      for (const Entry& entry : entries_) {
        if (entry.observer == observer && entry.active > 0) return false;
      }
      return true;
    });
  }
  EraseIdleRemoved();
}

void ObserverSet::ForEach(const std::function<void(rtTarvo::base::RTObserver*)>& call) {
  std::vector<Entry*> snapshot;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Entry& entry : entries_) {
      if (entry.removed) continue;
      ++entry.active;  // Keeps the entry in the list until this loop is done with it.
      snapshot.push_back(&entry);
    }
  }
  for (Entry* entry : snapshot) {
    bool removed = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      removed = entry->removed;
    }
    if (!removed) {
      try {
        call(entry->observer);
      } catch (...) {
        // An observer's failure stays in its callback.
      }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    --entry->active;
    if (entry->active == 0) idle_.notify_all();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  EraseIdleRemoved();
}

bool ObserverSet::Empty() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Entry& entry : entries_) {
    if (!entry.removed) return false;
  }
  return true;
}

void ObserverSet::EraseIdleRemoved() {
  entries_.remove_if([](const Entry& entry) { return entry.removed && entry.active == 0; });
}

}  // namespace orvim::sdk
