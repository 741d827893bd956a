#include "face_engine.h"

#include <atomic>

#include "tracking_engine.h"

namespace zqfd {
namespace {

std::atomic<FaceEngineFactory> g_factory{nullptr};

}  // namespace

std::unique_ptr<FaceEngine> CreateFaceEngine() {
  const FaceEngineFactory factory = g_factory.load();
  return factory ? factory() : std::make_unique<FaceTrackingEngine>();
}

void SetFaceEngineFactory(FaceEngineFactory factory) { g_factory = factory; }

}  // namespace zqfd
