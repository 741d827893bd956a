#include "platform/orvim/sdk/sdk_threads.h"

#include <atomic>

namespace orvim::sdk {

namespace {

std::atomic<int> g_live_threads{0};
thread_local const void* t_owner = nullptr;

}  // namespace

ThreadHooks SdkThreadHooks(const void* owner) {
  ThreadHooks hooks;
  // Counted from its creation, so that a thread that has not run yet is not missed.
  hooks.on_create = [] { g_live_threads.fetch_add(1); };
  hooks.on_start = [owner] { t_owner = owner; };
  hooks.on_exit = [] { g_live_threads.fetch_sub(1); };
  return hooks;
}

int LiveSdkThreads() { return g_live_threads.load(); }

const void* CurrentThreadOwner() { return t_owner; }

}  // namespace orvim::sdk
