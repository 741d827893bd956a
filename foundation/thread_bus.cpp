#include "foundation/thread_bus.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "foundation/handle.h"
#include "foundation/task_thread.h"

namespace {

constexpr DWORD kRemoteRemoveWaitMs = 5000;

}  // namespace

CxSBus::CxSBus() : tls_slot_(TlsAlloc()) {}

CxSBus::~CxSBus() {
  Clear();
  if (tls_slot_ != TLS_OUT_OF_INDEXES) TlsFree(tls_slot_);
}

CxSBus::TopicMap* CxSBus::ThreadTopics(bool create) {
  if (tls_slot_ == TLS_OUT_OF_INDEXES) return nullptr;
  auto* topics = static_cast<TopicMap*>(TlsGetValue(tls_slot_));
  if (topics || !create) return topics;
  auto owned = std::make_unique<TopicMap>();
  topics = owned.get();
  {
    CxAutoLock guard(lock_);
    maps_.push_back(std::move(owned));
  }
  TlsSetValue(tls_slot_, topics);
  return topics;
}

CxUnsubscribe CxSBus::Subscribe(const std::string& topic, CxBusHandler handler) {
  TopicMap* topics = ThreadTopics(true);
  if (!topics) return [] {};
  int id;
  {
    CxAutoLock guard(lock_);
    id = NextIdentifier();
  }
  (*topics)[topic].emplace(
      id, CxBusSubscription{std::make_shared<const CxBusHandler>(std::move(handler))});

  const unsigned long subscriber_thread = GetCurrentThreadId();
  std::weak_ptr<void> alive = AliveToken();
  return OneShot([this, alive, subscriber_thread, topic, id] {
    if (alive.expired()) return;
    Unsubscribe(subscriber_thread, topic, id);
  });
}

void CxSBus::Unsubscribe(unsigned long subscriber_thread, const std::string& topic, int id) {
  if (GetCurrentThreadId() == subscriber_thread) {
    RemoveSubscription(topic, id);
    return;
  }
  CxHandle thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, subscriber_thread));
  DWORD exit_code = 0;
  if (!thread || !GetExitCodeThread(thread.Get(), &exit_code) || exit_code != STILL_ACTIVE) {
    return;  // Its map went with it.
  }
  // The event is shared with the queued task, which may run after this wait gave up.
  auto done = std::make_shared<CxHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!*done) return;
  const bool queued = PostTo(subscriber_thread, [this, topic, id, done] {
    RemoveSubscription(topic, id);
    SetEvent(done->Get());
  });
  if (queued && WaitForSingleObject(done->Get(), kRemoteRemoveWaitMs) == WAIT_TIMEOUT) {
    std::printf(" ThrSelfRemove wait too long,we stop\r\n");
  }
}

void CxSBus::Post(CxBusTask task) {
  CxAutoLock guard(lock_);
  for (CxSbThread* thread : threads_) thread->PostTask(task);
}

int CxSBus::AttachThread(CxSbThread* thread) {
  if (!thread) return 0;
  CxAutoLock guard(lock_);
  thread->SetExitHook([this, thread] { DetachThread(thread); });
  threads_.push_back(thread);
  return 0;
}

void CxSBus::DetachThread(CxSbThread* thread) {
  {
    CxAutoLock guard(lock_);
    if (thread) {
      const unsigned long id = thread->GetThreadId();
      threads_.erase(std::remove_if(threads_.begin(), threads_.end(),
                                    [id](CxSbThread* t) { return t->GetThreadId() == id; }),
                     threads_.end());
    }
  }
  TopicMap* topics = ThreadTopics(false);
  if (!topics) return;
  TlsSetValue(tls_slot_, nullptr);
  std::unique_ptr<TopicMap> dropped;
  {
    CxAutoLock guard(lock_);
    auto it =
        std::find_if(maps_.begin(), maps_.end(),
                     [topics](const std::unique_ptr<TopicMap>& m) { return m.get() == topics; });
    if (it != maps_.end()) {
      dropped = std::move(*it);
      maps_.erase(it);
    }
    NoteTopicMapsDropped();
  }
}

CxBusSubscriberMap* CxSBus::FindTopic(const std::string& topic) {
  TopicMap* topics = ThreadTopics(false);
  if (!topics) return nullptr;
  auto it = topics->find(topic);
  return it == topics->end() ? nullptr : &it->second;
}

bool CxSBus::PostTo(unsigned long thread_id, CxBusTask task) {
  CxAutoLock guard(lock_);
  for (CxSbThread* thread : threads_) {
    if (thread->GetThreadId() == thread_id) {
      thread->PostTask(std::move(task));
      return true;
    }
  }
  return false;
}

void CxSBus::Clear() {
  // Stop the threads one by one without holding the lock: each one's exit hook detaches it,
  // which takes the lock on that thread.
  for (;;) {
    CxSbThread* thread = nullptr;
    {
      CxAutoLock guard(lock_);
      if (threads_.empty()) break;
      thread = threads_.front();
    }
    thread->Stop();
    CxAutoLock guard(lock_);
    threads_.erase(std::remove(threads_.begin(), threads_.end(), thread), threads_.end());
  }
}
