#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/bus.h"
#include "foundation/lock.h"

// CxSBus: the bus variant that keeps one topic map per thread and hands tasks to attached task
// threads (CxSbThread). A thread subscribes into its own map and publishes to its own
// subscribers only; Post queues a task to every attached thread, PostTo to one of them.
//
// An unsubscribe handle called on the subscribing thread removes at once. Called on another
// thread it queues the removal to the subscribing thread (which must be attached) and waits for
// it at most 5000 ms; a subscribing thread that has ended or is not attached keeps its map
// untouched (an attached thread's map is destroyed when the thread ends).
//
// The attached-thread list is guarded by a lock; the topic maps need none, as each is used by
// its own thread only. Lock and Unlock do nothing.
class CxSBus : public CxBus {
 public:
  CxSBus();
  ~CxSBus() override;

  CxUnsubscribe Subscribe(const std::string& topic, CxBusHandler handler) override;
  void Post(CxBusTask task) override;
  // Sets |thread|'s exit hook to detach it from this bus and adds it to the list. Returns 0.
  int AttachThread(CxSbThread* thread) override;
  // Removes the thread with |thread|'s identifier from the list and destroys the calling
  // thread's own topic map.
  void DetachThread(CxSbThread* thread) override;
  CxBusSubscriberMap* FindTopic(const std::string& topic) override;
  // False when no attached thread has |thread_id|.
  bool PostTo(unsigned long thread_id, CxBusTask task) override;
  // Stops every attached thread (quit, wake, join) and removes it from the list.
  void Clear() override;

 private:
  using TopicMap = std::map<std::string, CxBusSubscriberMap, std::less<>>;

  // The calling thread's map; created when |create| is set and none exists yet.
  TopicMap* ThreadTopics(bool create);
  void Unsubscribe(unsigned long subscriber_thread, const std::string& topic, int id);

  unsigned long tls_slot_;  // Holds the calling thread's TopicMap*.
  CxLock lock_;             // Protects |threads_|, |maps_| and the identifier counter.
  std::vector<CxSbThread*> threads_;
  // Every thread's map, owned here so that a thread that never detaches leaks nothing.
  std::vector<std::unique_ptr<TopicMap>> maps_;
};
