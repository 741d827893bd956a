#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

// The typed argument pack of one bus call and the type lists that the listener's side checks
// before it touches the arguments (see CxBus::Call and CxBus::Listen in foundation/bus.h).

// One argument or result type: its size in bytes and the compiler's run-time type name, with
// references and const removed.
struct StBusType {
  uint32_t size;
  std::string name;
};

using StBusTypeList = std::vector<StBusType>;

// What every bus handler receives besides the pack: the topic and the argument types of the
// call. Both refer to data that live for the duration of the call only.
struct StBusParam {
  const std::string& topic;
  const StBusTypeList& types;
};

namespace foundation {

// The type entry of T, built once per type.
template <class T>
const StBusType& BusTypeOf() {
  using Bare = std::remove_cv_t<std::remove_reference_t<T>>;
  static const StBusType type{static_cast<uint32_t>(sizeof(Bare)), typeid(Bare).name()};
  return type;
}

// The type list of an argument list, built once per list.
template <class... T>
const StBusTypeList& BusTypeListOf() {
  static const StBusTypeList list{BusTypeOf<T>()...};
  return list;
}

}  // namespace foundation

// The part of an argument pack that does not depend on the argument types. A pack lives for
// one call (shared by the caller and, for the posted form, the queued delivery).
class ClsParamBase {
 public:
  virtual ~ClsParamBase() = default;

  ClsParamBase(const ClsParamBase&) = delete;
  ClsParamBase& operator=(const ClsParamBase&) = delete;

  // The argument types, in order.
  const StBusTypeList& Types() const { return *types_; }
  size_t ArgumentCount() const { return types_->size(); }
  // Address of argument |index| inside the pack (index < ArgumentCount()).
  void* Argument(size_t index) const { return arguments_[index]; }

  // A Windows event handle (HANDLE) that each listener's side sets after its member has run;
  // null when nobody waits for the call. Not owned.
  void* completion_event = nullptr;
  // The caller's result object, or null when the caller wants no result, and its type.
  void* result = nullptr;
  const StBusType* result_type = nullptr;

 protected:
  ClsParamBase(const StBusTypeList* types, void* const* arguments)
      : types_(types), arguments_(arguments) {}

 private:
  const StBusTypeList* types_;
  void* const* arguments_;
};

template <class Tuple>
class ClsParam;

// The pack of a call with arguments Args...: copies of the caller's values.
template <class... Args>
class ClsParam<std::tuple<Args...>> final : public ClsParamBase {
 public:
  template <class... In>
  explicit ClsParam(In&&... in)
      : ClsParamBase(&foundation::BusTypeListOf<Args...>(), addresses_),
        values(std::forward<In>(in)...) {
    StoreAddresses(std::index_sequence_for<Args...>{});
  }

  std::tuple<Args...> values;

 private:
  template <size_t... I>
  void StoreAddresses(std::index_sequence<I...>) {
    ((addresses_[I] = static_cast<void*>(&std::get<I>(values))), ...);
  }

  void* addresses_[sizeof...(Args) == 0 ? 1 : sizeof...(Args)] = {};
};
