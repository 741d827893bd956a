// The engine behind one handle of the zq_fb_native_ functions. Per frame: a 320-wide copy for
// face detection and skin segmentation on the worker pool (never awaited), the upload, the
// texture-mode chain into the engine's own framebuffer, and the read-back into the caller's
// buffer through three pixel-pack buffers (the pixels written are those of two calls before).
//
// Locks, in the order they may be taken: engineLock_ (every public operation, whole run), then
// copyLock_ (the copy), released before glLock_ (the beauty object's drawing and its face and
// mask updates). Pool tasks take copyLock_, then skinLock_ (the segmenter), then glLock_, never
// two at once, and touch no GL state: faces and mask are stored and the next draw uploads them.
// The handle-map mutex of the C interface is never held with any of these.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "zq_face_beauty.h"
#include "zq_skin_mask.h"

namespace QUENMAR_FACEBEAUTY {

class ThreadPool;

// true: the caller has made its own GL context current; the library makes, enters and
// releases none.
void setExternalGlEnv(bool external);
bool externalGlEnv();

class NativeBeautyEngine {
 public:
  static constexpr int kCopyWidth = 320;
  static constexpr int kMaxFaces = 5;
  static constexpr int kPointFloats = 200;
  static constexpr int kMaskSide = 112;

  NativeBeautyEngine();
  ~NativeBeautyEngine();
  NativeBeautyEngine(const NativeBeautyEngine&) = delete;
  NativeBeautyEngine& operator=(const NativeBeautyEngine&) = delete;

  // 0, or -1 when the beauty object or the face detector could not be made.
  int init(const char* modelDir, const char* path, int threadCount, bool useSkinMask);
  // Output texture id (> 0); -1 not initialised, null frame or a size that cannot be a frame;
  // -2 neither texture nor data; -3 a format the library does not take.
  int process(zq_image_info_st* frame);
  void setAILight(float level);
  void setBeautyLevel(zq_beauty_type type, float level);
  void setSimpleMode(bool simple);
  void release();
  bool isInited();

  // Seen by tests: the copy's size, the segmenter's presence, the last mask handed on.
  int copyWidth();
  int copyHeight();
  bool hasSkinMask();
  std::vector<unsigned char> lastMask();
  int lastFaceCount();
  int detectionsRun() const { return detections_.load(); }
  // Waits until no task is queued or running.
  void waitForTasks();

 private:
  bool makeCopy(const zq_image_info_st& frame);
  std::vector<unsigned char> copyAsBgr(int* width, int* height, int* format);
  void detectionTask();
  void skinTask();
  void faceStep(const unsigned char* bgr, int width, int height);
  void makeFrameObjects(int width, int height);
  void deleteFrameObjects();
  bool uploadFrame(const zq_image_info_st& frame);
  void readBack(const zq_image_info_st& frame);
  void deletePackBuffers();
  void glEnter();
  void glLeave();

  std::mutex engineLock_;
  std::mutex glLock_;
  std::mutex copyLock_;
  std::mutex skinLock_;

  std::unique_ptr<ZqFaceBeauty> beauty_;
  bool inited_ = false;
  std::atomic<bool> simple_{false};

  // Guarded by glLock_.
  int faceFrameWidth_ = -1;
  int faceFrameHeight_ = -1;
  zq_face_info faces_[kMaxFaces] = {};
  std::vector<float> points_[kMaxFaces];
  int lastFaceCount_ = 0;
  std::vector<unsigned char> lastMask_;

  std::unique_ptr<ZqSkinMask> skinMask_;  // guarded by skinLock_
  std::vector<unsigned char> maskImage_;  // written by the one skin task running
  std::atomic<bool> detectionRunning_{false};
  std::atomic<bool> skinRunning_{false};
  std::atomic<int> tasksPending_{0};
  std::atomic<int> detections_{0};
  bool useSkinMask_ = true;

  // Guarded by copyLock_.
  std::vector<unsigned char> copy_;
  int copyWidth_ = 0;
  int copyHeight_ = 0;
  int copyFormat_ = 0;
  int copyTextureId_ = 0;

  // GL objects, used on the calling thread inside process and release.
  unsigned int packBuffers_[3] = {0, 0, 0};
  int packWidth_ = 0;
  int packHeight_ = 0;
  int packIndex_ = 0;
  int packWarmup_ = 0;
  unsigned int framebuffer_ = 0;
  unsigned int outputTexture_ = 0;
  unsigned int uploadTexture_ = 0;
  int frameWidth_ = 0;
  int frameHeight_ = 0;
  std::vector<unsigned char> rgba_;  // the frame converted for the upload

  int detector_ = -1;
  std::unique_ptr<ThreadPool> pool_;
};

}  // namespace QUENMAR_FACEBEAUTY
