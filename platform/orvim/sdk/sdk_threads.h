#pragma once

#include "platform/orvim/common/socket_writer.h"

// Every thread the SDK starts is counted while it runs (the control's "threads") and knows the
// service it belongs to.

namespace orvim::sdk {

// Hooks for a thread of the service |owner|.
ThreadHooks SdkThreadHooks(const void* owner);

// SDK threads running now, in the whole process.
int LiveSdkThreads();

// The service the calling thread belongs to, or null for threads the SDK did not start.
const void* CurrentThreadOwner();

}  // namespace orvim::sdk
