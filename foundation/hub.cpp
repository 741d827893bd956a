#include "foundation/hub.h"

namespace {

// Builds the hub before the program's entry code runs (when this file is linked in).
[[maybe_unused]] CxAdapter& g_hub = CxAdapter::Instance();

}  // namespace

CxAdapter::CxAdapter() { sbus_.AttachThread(&ui_thread_); }

CxAdapter::~CxAdapter() { sbus_.DetachThread(&ui_thread_); }

CxAdapter& CxAdapter::Instance() {
  static CxAdapter hub;
  return hub;
}

void CxAdapter::OnIdle() {
  if (run_all_) {
    while (ui_thread_.RunOneTask()) {
    }
  } else {
    ui_thread_.RunOneTask();
  }
}

CxBusCast& GetMessageBus() { return CxAdapter::Instance().GetBusCast(); }
