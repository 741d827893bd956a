// The engine's exports: the canvas registry, the user count and the test exports.

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "canvas.h"
#include "platform/trastor/trastor.h"
#include "platform/trastor/trastor_testing.h"
#include "trastor_log.h"

namespace trastor {
namespace {

// Canvases by name, and every canvas ever made. A destroyed canvas leaves the name table but
// stays allocated (closed, its pixels freed) until the process ends, so that a call racing
// the destruction on another thread never reaches freed memory.
struct Registry {
  std::mutex mutex;  // Protects everything below.
  std::map<std::string, Canvas*> live;
  std::vector<std::unique_ptr<Canvas>> all;
  int users = 0;
  HWND main_window = nullptr;

  Canvas* FindLive(TrastorCanvas* canvas) {
    for (auto& entry : live) {
      if (static_cast<TrastorCanvas*>(entry.second) == canvas) return entry.second;
    }
    return nullptr;
  }
};

// Never destroyed: engine threads may still run while the process ends.
Registry& TheRegistry() {
  static Registry* registry = new Registry;
  return *registry;
}

}  // namespace
}  // namespace trastor

using trastor::Canvas;
using trastor::Log;
using trastor::TheRegistry;

extern "C" {

TRASTOR_API void Trastor_SetMainWnd(HWND window) {
  std::lock_guard<std::mutex> lock(TheRegistry().mutex);
  TheRegistry().main_window = window;
}

TRASTOR_API int Trastor_Load(void) {
  std::lock_guard<std::mutex> lock(TheRegistry().mutex);
  return ++TheRegistry().users;
}

TRASTOR_API void Trastor_Free(void) {
  std::vector<Canvas*> to_stop;
  {
    std::lock_guard<std::mutex> lock(TheRegistry().mutex);
    if (TheRegistry().users == 0) return;
    if (--TheRegistry().users > 0) return;
    for (auto& entry : TheRegistry().live) to_stop.push_back(entry.second);
  }
  // Without the registry lock: a sink of a canvas being stopped may look canvases up.
  for (Canvas* canvas : to_stop) canvas->Stop();
}

TRASTOR_API TrastorCanvas* Trastor_CreateCanvas(const char* name) {
  if (!name || !*name) {
    Log("a canvas needs a name");
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(TheRegistry().mutex);
  auto& registry = TheRegistry();
  if (registry.live.count(name)) {
    Log("canvas name %s is in use", name);
    return nullptr;
  }
  try {
    registry.all.push_back(std::make_unique<Canvas>(name));
    Canvas* canvas = registry.all.back().get();
    registry.live[canvas->name()] = canvas;
    return canvas;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

TRASTOR_API TrastorCanvas* Trastor_GetCanvas(const char* name) {
  if (!name) return nullptr;
  std::lock_guard<std::mutex> lock(TheRegistry().mutex);
  auto found = TheRegistry().live.find(name);
  return found == TheRegistry().live.end() ? nullptr : found->second;
}

TRASTOR_API void Trastor_DestroyCanvas(TrastorCanvas* canvas) {
  Canvas* found;
  {
    std::lock_guard<std::mutex> lock(TheRegistry().mutex);
    found = TheRegistry().FindLive(canvas);
    if (!found) {
      if (canvas) Log("destroy: not a live canvas");
      return;
    }
    if (found->IsTickingThread()) {
      Log("canvas %s: destroy refused inside its own tick", found->name().c_str());
      return;
    }
    TheRegistry().live.erase(found->name());
  }
  found->Retire();
}

TRASTOR_API bool TrastorTest_RunTick(TrastorCanvas* canvas, unsigned timeout_ms) {
  Canvas* found;
  {
    std::lock_guard<std::mutex> lock(TheRegistry().mutex);
    found = TheRegistry().FindLive(canvas);
  }
  return found && found->RunTick(timeout_ms);
}

TRASTOR_API bool TrastorTest_GetLastPicture(TrastorCanvas* canvas, unsigned char* pixels,
                                            int capacity, int* width, int* height) {
  Canvas* found;
  {
    std::lock_guard<std::mutex> lock(TheRegistry().mutex);
    found = TheRegistry().FindLive(canvas);
  }
  if (!found) {
    if (width) *width = 0;
    if (height) *height = 0;
    return false;
  }
  return found->GetLastPicture(pixels, capacity, width, height);
}

TRASTOR_API bool TrastorTest_GetCanvasCounters(TrastorCanvas* canvas,
                                               TrastorCanvasCounters* counters) {
  if (!counters) return false;
  std::lock_guard<std::mutex> lock(TheRegistry().mutex);
  Canvas* found = TheRegistry().FindLive(canvas);
  if (!found) return false;
  found->GetCounters(counters);
  return true;
}

TRASTOR_API TrastorSource* TrastorTest_GetSource(TrastorCanvas* canvas, int index) {
  std::lock_guard<std::mutex> lock(TheRegistry().mutex);
  Canvas* found = TheRegistry().FindLive(canvas);
  return found ? found->GetSource(index) : nullptr;
}

TRASTOR_API void TrastorTest_GetSourceCounters(TrastorSource* source,
                                               TrastorSourceCounters* counters) {
  if (!source || !counters) return;
  static_cast<trastor::Source*>(source)->GetCounters(counters);
}

TRASTOR_API int TrastorTest_LiveCanvasCount(void) {
  std::lock_guard<std::mutex> lock(TheRegistry().mutex);
  return static_cast<int>(TheRegistry().live.size());
}

TRASTOR_API int TrastorTest_UserCount(void) {
  std::lock_guard<std::mutex> lock(TheRegistry().mutex);
  return TheRegistry().users;
}

}  // extern "C"
