#include "foundation/bus.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <vector>

namespace {

// "总线消息错误" and "调用与监听参数不匹配请检查参数信息\r\nEvent:[%s]" in code page 936.
constexpr char kMismatchCaption[] = "\xD7\xDC\xCF\xDF\xCF\xFB\xCF\xA2\xB4\xED\xCE\xF3";
constexpr char kMismatchFormat[] =
    "\xB5\xF7\xD3\xC3\xD3\xEB\xBC\xE0\xCC\xFD\xB2\xCE\xCA\xFD\xB2\xBB\xC6\xA5\xC5\xE4\xC7\xEB"
    "\xBC\xEC\xB2\xE9\xB2\xCE\xCA\xFD\xD0\xC5\xCF\xA2\r\nEvent:[%s]";
constexpr size_t kMismatchTextSize = 200;

void ShowMismatchBox(const char* caption, const char* text) {
  MessageBoxA(nullptr, text, caption, MB_OK);
}

std::atomic<CxBusAlertFunc> g_alert{&ShowMismatchBox};

}  // namespace

CxBusAlertFunc SetBusAlertFunc(CxBusAlertFunc func) {
  return g_alert.exchange(func ? func : &ShowMismatchBox);
}

// ---------------------------------------------------------------------------------------------
// CxBus

CxBus::CxBus() : alive_(std::make_shared<char>(0)) {}

CxBus::~CxBus() = default;

void CxBus::Send(const std::string& topic, const std::shared_ptr<ClsParamBase>& pack,
                 void* result) {
  if (!pack) return;
  CxBusAutoLock guard(this);
  CxBusSubscriberMap* subscribers = FindTopic(topic);
  if (!subscribers || subscribers->empty()) return;

  // Handlers run from a snapshot, so that handlers may subscribe and unsubscribe. Each entry
  // keeps its handler alive while it runs, even when it removes its own subscription.
  struct Pending {
    int id = 0;
    std::shared_ptr<const CxBusHandler> handler;
  };
  // Most topics have a handful of subscribers: keep their snapshot off the heap.
  constexpr size_t kInlineSnapshot = 8;
  Pending inline_snapshot[kInlineSnapshot];
  std::vector<Pending> heap_snapshot;
  Pending* snapshot = inline_snapshot;
  const size_t count = subscribers->size();
  if (count > kInlineSnapshot) {
    heap_snapshot.resize(count);
    snapshot = heap_snapshot.data();
  }
  size_t taken = 0;
  for (const auto& [id, subscription] : *subscribers) {
    snapshot[taken++] = Pending{id, subscription.handler};
  }

  const StBusParam param{topic, pack->Types()};
  uint32_t generation = topic_maps_generation_.load();
  for (size_t i = 0; i < taken; ++i) {
    const Pending& pending = snapshot[i];
    if (generation != topic_maps_generation_) {
      generation = topic_maps_generation_.load();
      subscribers = FindTopic(topic);
      if (!subscribers) return;
    }
    // Skip every subscription that was removed since the snapshot was taken.
    auto it = subscribers->find(pending.id);
    if (it == subscribers->end() || it->second.handler != pending.handler) continue;
    (*pending.handler)(pack.get(), result, param);
  }
}

bool CxBus::MatchParamTypes(const StBusTypeList& a, const StBusTypeList& b) {
  if (&a == &b) return true;  // Lists are built once per type list, so equal lists are shared.
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name && a[i].size != b[i].size) return false;
  }
  return true;
}

bool CxBus::MatchResultType(const StBusType* listener_result, const ClsParamBase& pack,
                            const void* result) {
  if (!result) return true;  // The caller wants no answer: any return type will do.
  // The answer is assigned through the caller's pointer, so only the very same type is safe.
  return listener_result && pack.result_type && pack.result_type->name == listener_result->name;
}

void CxBus::ReportMismatch(const std::string& topic) {
  char text[kMismatchTextSize];
  std::snprintf(text, sizeof(text), kMismatchFormat, topic.c_str());
  g_alert.load()(kMismatchCaption, text);
}

void CxBus::SignalCompletion(void* event) {
  if (event) SetEvent(event);
}

void CxBus::RemoveSubscription(const std::string& topic, int id) {
  CxBusAutoLock guard(this);
  CxBusSubscriberMap* subscribers = FindTopic(topic);
  if (subscribers) subscribers->erase(id);
}

CxUnsubscribe CxBus::OneShot(std::function<void()> remove) {
  // Copies of a handle share the flag: whichever is called first removes, the others do nothing.
  auto used = std::make_shared<std::atomic<bool>>(false);
  return [used, remove = std::move(remove)] {
    if (!used->exchange(true)) remove();
  };
}

// ---------------------------------------------------------------------------------------------
// CxBusCast

CxBusCast::CxBusCast() = default;

CxBusCast::~CxBusCast() { Clear(); }

CxUnsubscribe CxBusCast::Subscribe(const std::string& topic, CxBusHandler handler) {
  int id;
  {
    CxAutoLock guard(lock_);
    id = NextIdentifier();
    topics_[topic].emplace(
        id, CxBusSubscription{std::make_shared<const CxBusHandler>(std::move(handler))});
  }
  // The subscription is removed under the bus lock from whatever thread calls the handle: the
  // subscriber may have ended, and its object must not be called any more.
  std::weak_ptr<void> alive = AliveToken();
  return OneShot([this, alive, topic, id] {
    if (alive.expired()) return;
    RemoveSubscription(topic, id);
  });
}

void CxBusCast::Post(CxBusTask task) {
  if (task) task();
}

int CxBusCast::AttachThread(CxSbThread* /*thread*/) { return 0; }

void CxBusCast::DetachThread(CxSbThread* /*thread*/) {}

CxBusSubscriberMap* CxBusCast::FindTopic(const std::string& topic) {
  CxAutoLock guard(lock_);
  auto it = topics_.find(topic);
  return it == topics_.end() ? nullptr : &it->second;
}

void CxBusCast::Lock() { lock_.Lock(); }

void CxBusCast::Unlock() { lock_.Unlock(); }

bool CxBusCast::PostTo(unsigned long /*thread_id*/, CxBusTask task) {
  if (task) task();
  return true;
}

void CxBusCast::Clear() {
  // The handlers are destroyed after the lock is released, so that whatever they own may
  // unsubscribe from this bus while it goes.
  std::map<std::string, CxBusSubscriberMap, std::less<>> dropped;
  {
    CxAutoLock guard(lock_);
    dropped.swap(topics_);
    NoteTopicMapsDropped();
  }
}

// ---------------------------------------------------------------------------------------------
// CxSubscriptionList

CxSubscriptionList::~CxSubscriptionList() { RemoveAll(); }

void CxSubscriptionList::Add(CxUnsubscribe handle, const std::string& topic) {
  entries_.push_back(Entry{std::move(handle), topic});
}

void CxSubscriptionList::Remove(const std::string& topic) {
  // Take the topic's entries out first, so that a handle cannot disturb the walk.
  std::list<Entry> removed;
  for (auto it = entries_.begin(); it != entries_.end();) {
    auto next = std::next(it);
    if (it->topic == topic && it->handle) removed.splice(removed.end(), entries_, it);
    it = next;
  }
  for (Entry& entry : removed) entry.handle();
}

void CxSubscriptionList::RemoveAll() {
  std::list<Entry> removed;
  removed.swap(entries_);
  for (Entry& entry : removed) {
    if (entry.handle) entry.handle();
  }
}
