#include "platform/orvim/sdk/sdk_threads.h"

#include <atomic>

namespace orvim::sdk {

namespace {

std::atomic<int> g_live_threads{0};
thread_local const void* t_owner = nullptr;

}  // namespace

ThreadHooks SdkThreadHooks(const void* owner) {
  ThreadHooks hooks;
  hooks.on_start = [owner] {
    t_owner = owner;
    g_live_threads.fetch_add(1);
  };
  hooks.on_exit = [] { g_live_threads.fetch_sub(1); };
  return hooks;
}

int LiveSdkThreads() { return g_live_threads.load(); }

const void* CurrentThreadOwner() { return t_owner; }

}  // namespace orvim::sdk
