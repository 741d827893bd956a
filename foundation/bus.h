#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "foundation/bus_param.h"
#include "foundation/lock.h"

// The message bus: windows and the SDK layer talk through text topics (the topic table is in
// foundation/bus_topics.h). A subscriber registers a handler for a topic and keeps the
// unsubscribe handle it gets back; a publisher calls the topic with typed arguments.
//
// The client reaches the bus only through GetMessageBus() (foundation/hub.h), a CxBusCast:
// - handlers run on the publishing thread, during the call, under the bus lock held for the
//   whole delivery, in ascending order of their subscription identifiers, which a bus hands out
//   from its own counter: in subscription order;
// - a handler may publish again, subscribe or unsubscribe on the same thread (the lock is
//   re-entrant); a subscription removed during a delivery is not called by it any more, one
//   added during a delivery is not called by it;
// - a handler that blocks blocks every publisher of every topic;
// - nothing is queued: every call has been delivered when it returns.
// CxSBus (foundation/thread_bus.h) keeps its topics per thread and queues work to attached task
// threads; it carries no topics in the client.
//
// Argument type rule (CxBus::MatchParamTypes): the caller's and the listener's argument lists
// match when they have the same length and at each position the type names are equal or else
// the sizes are equal. Arguments of equal size and different types are reinterpreted, so an
// int reaches an `unsigned int` listener and a `st_beauty*` reaches a `void*` listener.
// NOTE: a window passed where the listener takes a `DevConsumerDelegate*` must be converted to
// `DevConsumerDelegate*` by the publisher (`static_cast<DevConsumerDelegate*>(this)`) before the
// call: the equal-size rule never adjusts a pointer to a base class.
//
// Texts travel as `std::string`: pass a `std::string`, not a string literal, where the listener
// takes a text (a `const char*` has another size and is refused).
//
// A result object (CallWithResult) must have exactly the listener's return type (equal type
// names); a mismatch of arguments or result skips that listener, leaves the result object
// alone and raises the bus alert (SetBusAlertFunc); the other listeners still run.

class CxSbThread;
class CxSubscriptionList;

// Base of the bus classes: not copyable.
class CxNoCopy {
 public:
  CxNoCopy() = default;
  virtual ~CxNoCopy() = default;
  CxNoCopy(const CxNoCopy&) = delete;
  CxNoCopy& operator=(const CxNoCopy&) = delete;
};

// A handler receives the call's pack, the caller's result object (or null) and the topic with
// the argument types.
using CxBusHandler = std::function<void(ClsParamBase* pack, void* result, const StBusParam& param)>;
// A task: something to run later or elsewhere.
using CxBusTask = std::function<void()>;
// Removes one subscription when called; later calls (also of copies) do nothing.
using CxUnsubscribe = std::function<void()>;

// One subscription of a topic.
struct CxBusSubscription {
  std::shared_ptr<const CxBusHandler> handler;
};

// A topic's subscriptions by identifier, ascending.
using CxBusSubscriberMap = std::map<int, CxBusSubscription>;

// Shows the alert for a call whose types do not match a listener. The default shows a modal
// message box (MessageBoxA, OK only) with |caption| and |text| in code page 936 on the
// publishing thread.
using CxBusAlertFunc = void (*)(const char* caption, const char* text);

// Replaces the alert function and returns the previous one; null restores the message box.
// Thread-safe. Tests install a recorder so that a mismatch never blocks on a modal box.
CxBusAlertFunc SetBusAlertFunc(CxBusAlertFunc func);

class CxBus : public CxNoCopy {
 public:
  CxBus();
  ~CxBus() override;

  // Adds |handler| for |topic| and returns the handle that removes it again.
  virtual CxUnsubscribe Subscribe(const std::string& topic, CxBusHandler handler) = 0;
  // Runs |task| (CxBusCast: at once on the calling thread).
  virtual void Post(CxBusTask task) = 0;
  // Returns 0.
  virtual int AttachThread(CxSbThread* thread) = 0;
  virtual void DetachThread(CxSbThread* thread) = 0;
  // The topic's subscriptions, or null. Call with the bus locked.
  virtual CxBusSubscriberMap* FindTopic(const std::string& topic) = 0;
  virtual void Lock() {}
  virtual void Unlock() {}
  // Runs |task| on the thread |thread_id| (CxBusCast: at once on the calling thread).
  virtual bool PostTo(unsigned long thread_id, CxBusTask task) = 0;
  // Drops every subscription.
  virtual void Clear() = 0;

  // Delivers |pack| to every handler of |topic| under the bus lock (see the file comment).
  void Send(const std::string& topic, const std::shared_ptr<ClsParamBase>& pack, void* result);

  // Publishes |topic| with copies of |args| and returns after every handler ran.
  template <class... A>
  static void Call(CxBus& bus, const std::string& topic, A&&... args);
  // Same, and the listeners' answer lands in |*result| (the last listener's answer wins; no
  // listener, or none whose types match, leaves it unchanged). R must be exactly the
  // listener's return type.
  template <class R, class... A>
  static void CallWithResult(CxBus& bus, const std::string& topic, R* result, A&&... args);
  // The posted form: hands the delivery to the bus's Post (CxBusCast delivers at once).
  template <class... A>
  static void PostCall(CxBus& bus, const std::string& topic, A&&... args);

  // Subscribes |object|'s |member| to |topic| and keeps the handle in |list|; when the list's
  // replace flag is set, the list's earlier handles of the topic are removed first. The object
  // must outlive the subscription (keep |list| inside it).
  template <class Obj, class Owner, class R, class... P>
  static void Listen(CxSubscriptionList& list, CxBus& bus, const std::string& topic,
                     R (Owner::*member)(P...), Obj* object);
  template <class Obj, class Owner, class R, class... P>
  static void Listen(CxSubscriptionList& list, CxBus& bus, const std::string& topic,
                     R (Owner::*member)(P...) const, Obj* object);

  // The argument type rule (see the file comment).
  static bool MatchParamTypes(const StBusTypeList& a, const StBusTypeList& b);

  // Listener-side helpers used by Listen.
  static bool MatchResultType(const StBusType* listener_result, const ClsParamBase& pack,
                              const void* result);
  static void ReportMismatch(const std::string& topic);
  static void SignalCompletion(void* event);

 protected:
  // Removes subscription |id| of |topic| if it is still there. Takes the bus lock.
  void RemoveSubscription(const std::string& topic, int id);
  // Wraps |remove| into a handle that runs it on its first call only, also across copies.
  static CxUnsubscribe OneShot(std::function<void()> remove);
  // Call (with the bus locked) whenever topic maps are destroyed, so that a delivery in
  // progress looks its topic up again.
  void NoteTopicMapsDropped() { ++topic_maps_generation_; }
  // Expires when the bus is destroyed; handles check it before they touch the bus.
  std::weak_ptr<void> AliveToken() const { return alive_; }
  // The next subscription identifier of this bus: unique among its subscriptions of every topic
  // and thread, so that a stale handle can never match a newer subscription. Call with the lock
  // that guards the calling bus's topic maps held.
  int NextIdentifier() { return ++last_identifier_; }

 private:
  template <class R, class... P, class Owner, class Member, size_t... I>
  static void Invoke(Owner* owner, Member member, ClsParamBase* pack, void* result,
                     std::index_sequence<I...>);
  template <class R, class... P, class Owner, class Member>
  static void ListenImpl(CxSubscriptionList& list, CxBus& bus, const std::string& topic,
                         Owner* owner, Member member);

  std::atomic<uint32_t> topic_maps_generation_{0};
  std::shared_ptr<void> alive_;
  int last_identifier_ = 0;  // Guarded by the subclass's lock (see NextIdentifier).
};

// CxBusCast: the bus the client uses. One re-entrant lock guards every subscription change and
// every delivery. All operations are thread-safe. An unsubscribe handle removes its
// subscription at once under the bus lock, from whatever thread calls it, also after the
// subscribing thread has ended.
class CxBusCast : public CxBus {
 public:
  CxBusCast();
  ~CxBusCast() override;

  CxUnsubscribe Subscribe(const std::string& topic, CxBusHandler handler) override;
  void Post(CxBusTask task) override;
  int AttachThread(CxSbThread* thread) override;
  void DetachThread(CxSbThread* thread) override;
  CxBusSubscriberMap* FindTopic(const std::string& topic) override;
  void Lock() override;
  void Unlock() override;
  bool PostTo(unsigned long thread_id, CxBusTask task) override;
  void Clear() override;

 private:
  std::map<std::string, CxBusSubscriberMap, std::less<>> topics_;  // Protected by |lock_|.
  CxLock lock_;  // Critical section: re-entrant on one thread.
};

// Holds a bus's lock for one scope.
class CxBusAutoLock {
 public:
  explicit CxBusAutoLock(CxBus* bus) : bus_(bus) { bus_->Lock(); }
  ~CxBusAutoLock() { bus_->Unlock(); }
  CxBusAutoLock(const CxBusAutoLock&) = delete;
  CxBusAutoLock& operator=(const CxBusAutoLock&) = delete;

 private:
  CxBus* bus_;
};

// The subscriptions an object owns: removed by topic, all at once, and when the list is
// destroyed. Keep it as a member of the subscribing object so that its handlers never outlive
// the object. Not thread-safe: used by its owner's thread.
class CxSubscriptionList : public CxNoCopy {
 public:
  CxSubscriptionList() = default;
  ~CxSubscriptionList() override;

  // When set, CxBus::Listen first removes the list's earlier handles of the same topic.
  void SetReplace(bool replace) { replace_ = replace; }
  bool GetReplace() const { return replace_; }

  void Add(CxUnsubscribe handle, const std::string& topic);
  // Calls and drops every handle of |topic|; the other topics' handles stay.
  void Remove(const std::string& topic);
  // Calls and drops every handle.
  void RemoveAll();
  size_t Size() const { return entries_.size(); }

 private:
  struct Entry {
    CxUnsubscribe handle;
    std::string topic;
  };
  bool replace_ = false;
  std::list<Entry> entries_;
};

// ---------------------------------------------------------------------------------------------
// Template definitions.

template <class... A>
void CxBus::Call(CxBus& bus, const std::string& topic, A&&... args) {
  std::shared_ptr<ClsParamBase> pack =
      std::make_shared<ClsParam<std::tuple<std::decay_t<A>...>>>(std::forward<A>(args)...);
  bus.Send(topic, pack, nullptr);
}

template <class R, class... A>
void CxBus::CallWithResult(CxBus& bus, const std::string& topic, R* result, A&&... args) {
  std::shared_ptr<ClsParamBase> pack =
      std::make_shared<ClsParam<std::tuple<std::decay_t<A>...>>>(std::forward<A>(args)...);
  if (result) {
    pack->result = result;
    pack->result_type = &foundation::BusTypeOf<R>();
  }
  bus.Send(topic, pack, result);
}

template <class... A>
void CxBus::PostCall(CxBus& bus, const std::string& topic, A&&... args) {
  std::shared_ptr<ClsParamBase> pack =
      std::make_shared<ClsParam<std::tuple<std::decay_t<A>...>>>(std::forward<A>(args)...);
  CxBus* target = &bus;
  bus.Post([target, topic, pack] { target->Send(topic, pack, nullptr); });
}

template <class R, class... P, class Owner, class Member, size_t... I>
void CxBus::Invoke(Owner* owner, Member member, [[maybe_unused]] ClsParamBase* pack, void* result,
                   std::index_sequence<I...>) {
  // Each argument is read at its own address in the pack as the listener's parameter type; the
  // type rule has made sure that the sizes agree.
  if constexpr (std::is_void_v<R>) {
    static_cast<void>(result);
    (owner->*member)(
        *static_cast<std::remove_cv_t<std::remove_reference_t<P>>*>(pack->Argument(I))...);
  } else if (result) {
    *static_cast<R*>(result) = (owner->*member)(
        *static_cast<std::remove_cv_t<std::remove_reference_t<P>>*>(pack->Argument(I))...);
  } else {
    (owner->*member)(
        *static_cast<std::remove_cv_t<std::remove_reference_t<P>>*>(pack->Argument(I))...);
  }
}

template <class R, class... P, class Owner, class Member>
void CxBus::ListenImpl(CxSubscriptionList& list, CxBus& bus, const std::string& topic, Owner* owner,
                       Member member) {
  static_assert(!(std::is_rvalue_reference_v<P> || ...),
                "bus listeners take their parameters by value or by reference");
  if (list.GetReplace()) list.Remove(topic);
  CxBusHandler handler = [owner, member](ClsParamBase* pack, void* result,
                                         const StBusParam& param) {
    const StBusType* own_result = nullptr;
    if constexpr (!std::is_void_v<R>) own_result = &foundation::BusTypeOf<R>();
    if (MatchParamTypes(
            foundation::BusTypeListOf<std::remove_cv_t<std::remove_reference_t<P>>...>(),
            param.types) &&
        MatchResultType(own_result, *pack, result)) {
      Invoke<R, P...>(owner, member, pack, result, std::index_sequence_for<P...>{});
    } else {
      ReportMismatch(param.topic);
    }
    SignalCompletion(pack->completion_event);
  };
  list.Add(bus.Subscribe(topic, std::move(handler)), topic);
}

template <class Obj, class Owner, class R, class... P>
void CxBus::Listen(CxSubscriptionList& list, CxBus& bus, const std::string& topic,
                   R (Owner::*member)(P...), Obj* object) {
  Owner* owner = object;
  ListenImpl<R, P...>(list, bus, topic, owner, member);
}

template <class Obj, class Owner, class R, class... P>
void CxBus::Listen(CxSubscriptionList& list, CxBus& bus, const std::string& topic,
                   R (Owner::*member)(P...) const, Obj* object) {
  const Owner* owner = object;
  ListenImpl<R, P...>(list, bus, topic, owner, member);
}
