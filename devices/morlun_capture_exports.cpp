// The camera, microphone and speaker engines' exports.

#include <cstdint>
#include <new>

#include "devices/av_camera.h"
#include "devices/av_log.h"
#include "devices/av_microphone.h"
#include "devices/av_speaker.h"

namespace {

unsigned PointerValue(const void* pointer) {
  return static_cast<unsigned>(reinterpret_cast<uintptr_t>(pointer));
}

template <typename Engine>
Engine* CreateEngine(const char* name) {
  Engine* engine = nullptr;
  try {
    engine = new (std::nothrow) Engine();
  } catch (...) {
    engine = nullptr;
  }
  AvLog("%s, pInst = (%08x)", name, PointerValue(engine));
  return engine;
}

// The interfaces have no virtual destructor: the concrete engine is deleted, which stops it.
template <typename Engine, typename Interface>
void DestroyEngine(Interface* engine, const char* name) {
  AvLog("%s, pInst = (%08x)", name, PointerValue(engine));
  if (!engine) return;
  try {
    delete static_cast<Engine*>(engine);
  } catch (...) {
    AvLog("%s: destruction threw", name);
  }
}

}  // namespace

extern "C" {

MORLUN_API AvCameraEngine* __cdecl Av_CreateCameraEngine() {
  return CreateEngine<AvCamera>("Av_CreateCameraEngine");
}

MORLUN_API void __cdecl Av_DestroyCameraEngine(AvCameraEngine* engine) {
  DestroyEngine<AvCamera>(engine, "Av_DestroyCameraEngine");
}

MORLUN_API AvMicrophoneEngine* __cdecl Av_CreateMicrophoneEngine() {
  return CreateEngine<AvMicrophone>("Av_CreateMicrophoneEngine");
}

MORLUN_API void __cdecl Av_DestroyMicrophoneEngine(AvMicrophoneEngine* engine) {
  DestroyEngine<AvMicrophone>(engine, "Av_DestroyMicrophoneEngine");
}

MORLUN_API AvSpeakerEngine* __cdecl Av_CreateSpeakerEngine() {
  return CreateEngine<AvSpeaker>("Av_CreateSpeakerEngine");
}

MORLUN_API void __cdecl Av_DestroySpeakerEngine(AvSpeakerEngine* engine) {
  DestroyEngine<AvSpeaker>(engine, "Av_DestroySpeakerEngine");
}

}  // extern "C"
