// The exported C interface and the process-wide handle table.
#include "zq_face_detect_api.h"

#include <map>
#include <memory>
#include <mutex>

#include "face_detector.h"
#include "face_log.h"

namespace zqfd {
namespace {

constexpr char kLibraryVersion[] = "QUENMAR_FACEDETECT_PLUS_V3.4.4";
constexpr float kScoreThreshold = 0.75f;

// Detectors are shared with the detect calls running on them, so that a handle destroyed while
// another thread detects on it is freed only when that call has finished.
std::mutex g_table_lock;  // Protects g_detectors and g_handle_counter.
std::map<int, std::shared_ptr<FaceDetector>> g_detectors;
int g_handle_counter = 0;

std::shared_ptr<FaceDetector> FindDetector(int handle) {
  std::lock_guard<std::mutex> hold(g_table_lock);
  const auto it = g_detectors.find(handle);
  return it == g_detectors.end() ? nullptr : it->second;
}

int Init(const char* model_dir, int detect_interval, int max_faces) {
  LogLine("init version: %s", kLibraryVersion);
  auto detector = std::make_shared<FaceDetector>();
  const int result =
      detector->Init(model_dir ? model_dir : "", detect_interval, kScoreThreshold, max_faces);
  if (result != 0) return result;
  std::lock_guard<std::mutex> hold(g_table_lock);
  const int handle = ++g_handle_counter;
  g_detectors[handle] = std::move(detector);
  return handle;
}

int Destroy(int handle) {
  LogLine("destroy version: %s", kLibraryVersion);
  std::shared_ptr<FaceDetector> detector;
  {
    std::lock_guard<std::mutex> hold(g_table_lock);
    const auto it = g_detectors.find(handle);
    if (it == g_detectors.end()) return -2;
    detector = std::move(it->second);
    g_detectors.erase(it);
    if (g_detectors.empty()) g_handle_counter = 0;
  }
  // Waits for a detect call running on this detector; later ones find it released.
  return detector->Release();
}

int Detect(int handle, const unsigned char* data, int width, int height, int pixel_format,
           int orientation, int size_class, int no_landmarks,
           std::vector<zq_face_detect_result>* faces, bool picture) {
  const std::shared_ptr<FaceDetector> detector = FindDetector(handle);
  if (!detector) return -2;
  DetectRequest request;
  request.data = data;
  request.width = width;
  request.height = height;
  request.pixel_format = pixel_format;
  request.orientation = orientation;
  request.size_class = size_class;
  request.no_landmarks = no_landmarks != 0;
  request.picture = picture;
  return detector->Detect(request, faces);
}

}  // namespace
}  // namespace zqfd

extern "C" {

int zq_face_detect_api_init(const char* modelDir, int detectInterval, int maxFaces,
                            const char* /*path*/) {
  try {
    return zqfd::Init(modelDir, detectInterval, maxFaces);
  } catch (...) {
    zqfd::LogLine("init failed: unexpected error");
    return -3;
  }
}

int zq_face_detect_api_detectBuffer(int handle, const unsigned char* data, int width, int height,
                                    int pixelFormat, int orientation, int sizeClass,
                                    int noLandmarks, std::vector<zq_face_detect_result>* faces) {
  try {
    return zqfd::Detect(handle, data, width, height, pixelFormat, orientation, sizeClass,
                        noLandmarks, faces, false);
  } catch (...) {
    zqfd::LogLine("detect failed: unexpected error");
    return -1;
  }
}

int zq_face_detect_api_detectPicData(int handle, const unsigned char* data, int width, int height,
                                     int pixelFormat, int orientation, int sizeClass,
                                     int noLandmarks, std::vector<zq_face_detect_result>* faces) {
  try {
    return zqfd::Detect(handle, data, width, height, pixelFormat, orientation, sizeClass,
                        noLandmarks, faces, true);
  } catch (...) {
    zqfd::LogLine("detect failed: unexpected error");
    return -1;
  }
}

int zq_face_detect_api_destroy(int handle) {
  try {
    return zqfd::Destroy(handle);
  } catch (...) {
    zqfd::LogLine("destroy failed: unexpected error");
    return -1;
  }
}

}  // extern "C"
