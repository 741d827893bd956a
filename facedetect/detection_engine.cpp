#include "detection_engine.h"

#include <atomic>

#include "model_file.h"

namespace zqfd {
namespace {

std::unique_ptr<FaceEngine> CreateDetectionEngine() { return std::make_unique<DetectionEngine>(); }

std::atomic<FaceEngineFactory> g_factory{nullptr};

}  // namespace

std::unique_ptr<FaceEngine> CreateFaceEngine() {
  const FaceEngineFactory factory = g_factory.load();
  return factory ? factory() : CreateDetectionEngine();
}

void SetFaceEngineFactory(FaceEngineFactory factory) { g_factory = factory; }

bool DetectionEngine::Setup(const std::string& model_dir, int detect_interval,
                            float score_threshold, bool /*classifier_enabled*/,
                            int /*head_pose_network*/, int max_faces) {
  const auto model = ReadModelFile(model_dir + kDetectionModelFile);
  if (!model) return false;
  DetectionSetup setup;
  setup.model = model->data();
  setup.model_length = model->size();
  setup.detect_interval = detect_interval;
  setup.score_threshold = score_threshold;
  max_faces_ = max_faces;
  return detector_.Init(setup);
}

std::vector<EngineFace> DetectionEngine::Run(const cv::Mat& image, bool /*picture*/) {
  std::vector<EngineFace> faces;
  for (const FaceCandidate& candidate : detector_.Detect(image)) {
    if (static_cast<int>(faces.size()) >= max_faces_) break;
    EngineFace face;
    face.face_id = static_cast<int32_t>(faces.size());
    face.box = cv::Rect(candidate.x, candidate.y, candidate.width, candidate.height);
    faces.push_back(std::move(face));
  }
  return faces;
}

}  // namespace zqfd
