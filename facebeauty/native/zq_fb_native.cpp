// The exported C interface and the process-wide handle map.
#include "zq_fb_native.h"

#include <map>
#include <memory>
#include <mutex>

#include "fb_log.h"
#include "native_beauty_engine.h"
#include "zq_opengl_helper.h"

namespace QUENMAR_FACEBEAUTY {
namespace {

// Engines are shared with the calls running on them: a handle removed while another thread
// processes is released when that call has finished (release waits for the engine's mutex).
std::mutex g_mapLock;  // guards g_engines and g_counter; never held while an engine works
std::map<int, std::shared_ptr<NativeBeautyEngine>> g_engines;
int g_counter = 0;

std::shared_ptr<NativeBeautyEngine> find(int handle) {
  std::lock_guard<std::mutex> guard(g_mapLock);
  const auto it = g_engines.find(handle);
  return it == g_engines.end() ? nullptr : it->second;
}

// Ends the library's GL environment when no handle is left.
void releaseGlWhenUnused() {
  if (externalGlEnv()) return;
  std::lock_guard<std::mutex> guard(g_mapLock);
  if (g_engines.empty()) ZqOpenglHelper::getInstance()->glEnvRelease();
}

}  // namespace
}  // namespace QUENMAR_FACEBEAUTY

using namespace QUENMAR_FACEBEAUTY;

extern "C" {

int zq_fb_native_init(const char* modelDir, const char* path, int threadCount, bool useSkinMask) {
  try {
    if (!externalGlEnv()) ZqOpenglHelper::getInstance()->glEnvInit();
    auto engine = std::make_shared<NativeBeautyEngine>();
    if (engine->init(modelDir, path, threadCount, useSkinMask) != 0) {
      // Nothing of a failed engine is kept: pool, detector, segmenter and beauty object go.
      engine->release();
      engine.reset();
      releaseGlWhenUnused();
      return -1;
    }
    std::lock_guard<std::mutex> guard(g_mapLock);
    const int handle = ++g_counter;
    g_engines[handle] = std::move(engine);
    return handle;
  } catch (...) {
    return -1;
  }
}

bool zq_fb_native_isInited(int handle) {
  try {
    const std::shared_ptr<NativeBeautyEngine> engine = find(handle);
    return engine && engine->isInited();
  } catch (...) {
    return false;
  }
}

void zq_fb_native_log(bool on) { setLogEnabled(on); }

int zq_fb_native_process(int handle, zq_image_info_st* frame) {
  try {
    const std::shared_ptr<NativeBeautyEngine> engine = find(handle);
    if (!engine) return -1;
    return engine->process(frame);
  } catch (...) {
    return -1;
  }
}

void zq_fb_native_setAILight(int handle, float level) {
  try {
    if (auto engine = find(handle)) engine->setAILight(level);
  } catch (...) {
  }
}

void zq_fb_native_setBeautyLevel(int handle, zq_beauty_type type, float level) {
  try {
    if (auto engine = find(handle)) engine->setBeautyLevel(type, level);
  } catch (...) {
  }
}

void zq_fb_native_setExternalOpenGLEnv(bool external) { setExternalGlEnv(external); }

void zq_fb_native_setSimpleMode(int handle, bool simple) {
  try {
    if (auto engine = find(handle)) engine->setSimpleMode(simple);
  } catch (...) {
  }
}

void zq_fb_native_uninit(int handle) {
  try {
    std::shared_ptr<NativeBeautyEngine> engine;
    {
      std::lock_guard<std::mutex> guard(g_mapLock);
      const auto it = g_engines.find(handle);
      if (it == g_engines.end()) return;
      engine = std::move(it->second);
      g_engines.erase(it);
      if (g_engines.empty()) g_counter = 0;
    }
    engine->release();
    engine.reset();
    releaseGlWhenUnused();
  } catch (...) {
  }
}

}  // extern "C"
