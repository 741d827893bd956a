#include "graphics/pellix/call_gate.h"

#include <atomic>

namespace pellix {
namespace {
std::atomic<CallGate> g_gate{nullptr};
}  // namespace

void SetCallGateForTesting(CallGate gate) { g_gate.store(gate); }

HRESULT PassGate(const char* step, const char* call) {
  CallGate gate = g_gate.load();
  return gate ? gate(step, call) : S_OK;
}

}  // namespace pellix
