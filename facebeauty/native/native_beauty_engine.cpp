#include "native_beauty_engine.h"

#include <GL/glew.h>
#include <libyuv/convert_argb.h>
#include <libyuv/convert.h>
#include <libyuv/convert_from_argb.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <opencv2/imgproc.hpp>

#include "fb_log.h"
#include "thread_pool.h"
#include "zq_face_detect_api.h"
#include "zq_opengl_helper.h"

namespace QUENMAR_FACEBEAUTY {
namespace {

std::atomic<bool> g_externalGl{false};

float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

long long nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

long long steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool knownFormat(int format) {
  return format == 2 || format == 4 || format == 6 || format == 7 || format == 8 || format == 9;
}

int bytesPerPixelTimes2(int format) {
  switch (format) {
    case 2: case 4: return 3;
    case 6: case 8: return 8;
    default: return 6;
  }
}

void say(const char* format, int code) {
  std::printf(format, code);
  std::fflush(stdout);
}

}  // namespace

void setExternalGlEnv(bool external) { g_externalGl.store(external); }
bool externalGlEnv() { return g_externalGl.load(); }

NativeBeautyEngine::NativeBeautyEngine() = default;

NativeBeautyEngine::~NativeBeautyEngine() { pool_.reset(); }

void NativeBeautyEngine::glEnter() {
  if (externalGlEnv()) return;
  ZqOpenglHelper::getInstance()->glEnvInit();
  ZqOpenglHelper::getInstance()->glBegin();
}

void NativeBeautyEngine::glLeave() {
  if (!externalGlEnv()) ZqOpenglHelper::getInstance()->glEnd();
}

int NativeBeautyEngine::init(const char* modelDir, const char* path, int threadCount,
                             bool useSkinMask) {
  std::lock_guard<std::mutex> engine(engineLock_);
  useSkinMask_ = useSkinMask;
  if (useSkinMask) {
    std::lock_guard<std::mutex> skin(skinLock_);
    skinMask_.reset(new ZqSkinMask());
    skinMask_->setLogable(logEnabled());
    skinMask_->setThreadNumber(2);
    skinMask_->setMNNForwardType(0);
    skinMask_->setBlurEffectParams(7, 180);
    skinMask_->init(modelDir, kMaskSide);
    maskImage_.assign(kMaskSide * kMaskSide, 0);
  }
  pool_.reset(new ThreadPool(threadCount));
  beauty_.reset(new ZqFaceBeauty());
  {
    std::lock_guard<std::mutex> copy(copyLock_);
    copy_.clear();
    copyWidth_ = copyHeight_ = copyFormat_ = copyTextureId_ = 0;
  }
  inited_ = false;
  if (beauty_->init(false, false, path)) {
    beauty_->setUseOES(false);
    inited_ = true;
  }
  const int detector = zq_face_detect_api_init(modelDir ? modelDir : "", 10, 5, path);
  if (detector < 0) {
    std::printf("facedetect init fail \n");
    std::fflush(stdout);
    inited_ = false;
  } else {
    detector_ = detector;
  }
  return inited_ ? 0 : -1;
}

bool NativeBeautyEngine::isInited() {
  std::lock_guard<std::mutex> engine(engineLock_);
  return inited_ && beauty_;
}

void NativeBeautyEngine::setAILight(float level) {
  std::lock_guard<std::mutex> engine(engineLock_);
  if (inited_ && beauty_) beauty_->setAILightLevel(level);
}

void NativeBeautyEngine::setBeautyLevel(zq_beauty_type type, float level) {
  std::lock_guard<std::mutex> engine(engineLock_);
  if (inited_ && beauty_) beauty_->setBeautyLevel(type, level);
}

void NativeBeautyEngine::setSimpleMode(bool simple) {
  std::lock_guard<std::mutex> engine(engineLock_);
  simple_ = simple;
}

int NativeBeautyEngine::process(zq_image_info_st* frame) {
  std::lock_guard<std::mutex> engine(engineLock_);
  if (!inited_ || !beauty_ || !frame) return -1;
  if (frame->textureId <= 0 && !frame->data) return -2;
  if (frame->width < 1 || frame->height < 1) return -1;
  const bool dataUsed = frame->textureId <= 0 || (frame->readBack && frame->data);
  if (dataUsed) {
    if (!knownFormat(frame->format)) {
      say("format %d is not support\n", frame->format);
      return -3;
    }
    if ((frame->format == 2 || frame->format == 4) && (frame->width % 2 || frame->height % 2)) {
      return -1;
    }
  }
  glEnter();
  const bool runDetect = !simple_ && !detectionRunning_;
  const bool runSkin = useSkinMask_ && !skinRunning_;
  if (runDetect || runSkin) {
    bool copied;
    {
      std::lock_guard<std::mutex> copy(copyLock_);
      copied = makeCopy(*frame);
    }
    if (copied) {
      auto queue = [this](std::atomic<bool>& running, void (NativeBeautyEngine::*task)()) {
        running = true;
        ++tasksPending_;
        try {
          pool_->enqueue([this, task] { (this->*task)(); });
        } catch (const std::exception&) {
          running = false;
          --tasksPending_;
        }
      };
      if (runDetect) queue(detectionRunning_, &NativeBeautyEngine::detectionTask);
      if (runSkin) queue(skinRunning_, &NativeBeautyEngine::skinTask);
    }
  }
  int result;
  {
    std::lock_guard<std::mutex> gl(glLock_);
    if (frame->width != frameWidth_ || frame->height != frameHeight_) {
      makeFrameObjects(frame->width, frame->height);
    }
    int input = frame->textureId;
    if (input <= 0) {
      uploadFrame(*frame);
      input = static_cast<int>(uploadTexture_);
    }
    if (simple_) {
      beauty_->drawSoftBeautyFrame(input, kIdentity, frame->width, frame->height, frame->width,
                                   frame->height, static_cast<int>(framebuffer_), 1.0f);
    } else {
      beauty_->drawFaceBeautyFrame(input, kIdentity, frame->width, frame->height, frame->width,
                                   frame->height, static_cast<int>(framebuffer_), 1.0f);
    }
    if (frame->readBack && frame->data) readBack(*frame);
    result = static_cast<int>(outputTexture_);
  }
  glLeave();
  return result;
}

bool NativeBeautyEngine::makeCopy(const zq_image_info_st& frame) {
  const int w = kCopyWidth;
  int h = static_cast<int>(static_cast<long long>(frame.height) * kCopyWidth / frame.width);
  if (h % 2) ++h;
  if (h < 2) return false;
  if (!frame.data) {  // texture input: read at the copy's size
    copy_.resize(static_cast<size_t>(w) * h * 4);
    copyFormat_ = 8;
    beauty_->glReadPixel(frame.textureId, kIdentity, frame.width, frame.height, w, h,
                         copy_.data());
  } else {
    const int format = frame.format;
    copy_.resize(static_cast<size_t>(w) * h * bytesPerPixelTimes2(format) / 2);
    copyFormat_ = format;
    const int fw = frame.width, fh = frame.height;
    unsigned char* src = frame.data;
    if (format == 2) {
      cv::Mat in(fh * 3 / 2, fw, CV_8UC1, src), out(h * 3 / 2, w, CV_8UC1, copy_.data());
      cv::resize(in, out, out.size(), 0, 0, cv::INTER_LINEAR);
    } else if (format == 4) {
      cv::Mat yIn(fh, fw, CV_8UC1, src), yOut(h, w, CV_8UC1, copy_.data());
      cv::resize(yIn, yOut, yOut.size(), 0, 0, cv::INTER_LINEAR);
      cv::Mat vuIn(fh / 2, fw / 2, CV_8UC2, src + static_cast<size_t>(fw) * fh);
      cv::Mat vuOut(h / 2, w / 2, CV_8UC2, copy_.data() + static_cast<size_t>(w) * h);
      cv::resize(vuIn, vuOut, vuOut.size(), 0, 0, cv::INTER_LINEAR);
    } else {
      const int type = (format == 6 || format == 8) ? CV_8UC4 : CV_8UC3;
      cv::Mat in(fh, fw, type, src), out(h, w, type, copy_.data());
      cv::resize(in, out, out.size(), 0, 0, cv::INTER_LINEAR);
    }
  }
  copyWidth_ = w;
  copyHeight_ = h;
  copyTextureId_ = frame.textureId;
  return true;
}

std::vector<unsigned char> NativeBeautyEngine::copyAsBgr(int* width, int* height, int* format) {
  std::lock_guard<std::mutex> copy(copyLock_);
  *width = copyWidth_;
  *height = copyHeight_;
  *format = copyFormat_;
  std::vector<unsigned char> bgr;
  if (copy_.empty() || copyWidth_ < 1 || copyHeight_ < 1) return bgr;
  const int w = copyWidth_, h = copyHeight_;
  bgr.resize(static_cast<size_t>(w) * h * 3);
  cv::Mat out(h, w, CV_8UC3, bgr.data());
  unsigned char* src = copy_.data();
  switch (copyFormat_) {
    case 2: cv::cvtColor(cv::Mat(h * 3 / 2, w, CV_8UC1, src), out, cv::COLOR_YUV2BGR_I420); break;
    case 4: cv::cvtColor(cv::Mat(h * 3 / 2, w, CV_8UC1, src), out, cv::COLOR_YUV2BGR_NV21); break;
    case 6: cv::cvtColor(cv::Mat(h, w, CV_8UC4, src), out, cv::COLOR_BGRA2BGR); break;
    case 8: cv::cvtColor(cv::Mat(h, w, CV_8UC4, src), out, cv::COLOR_RGBA2BGR); break;
    case 9: cv::cvtColor(cv::Mat(h, w, CV_8UC3, src), out, cv::COLOR_RGB2BGR); break;
    case 7: std::memcpy(bgr.data(), src, bgr.size()); break;
    default: bgr.clear();
  }
  return bgr;
}

void NativeBeautyEngine::detectionTask() {
  ++detections_;
  try {
    int w = 0, h = 0, format = 0;
    std::vector<unsigned char> bgr = copyAsBgr(&w, &h, &format);
    if (bgr.empty()) {
      say("format convert face fail! %d\n", format);
    } else {
      faceStep(bgr.data(), w, h);
    }
  } catch (const std::exception&) {
  }
  detectionRunning_ = false;
  --tasksPending_;
}

void NativeBeautyEngine::faceStep(const unsigned char* bgr, int width, int height) {
  {
    std::lock_guard<std::mutex> gl(glLock_);
    if (faceFrameWidth_ < 0 || faceFrameHeight_ < 0 || faceFrameWidth_ != width ||
        faceFrameHeight_ != height) {
      // The point buffers are kept; only the records change with the analysis size.
      faceFrameWidth_ = width;
      faceFrameHeight_ = height;
      for (int i = 0; i < kMaxFaces; ++i) {
        points_[i].assign(kPointFloats, 0.0f);
        faces_[i] = zq_face_info{0, 0, 0, width, height, kPointFloats, points_[i].data()};
      }
    }
  }
  const long long start = steadyMs();
  std::vector<zq_face_detect_result> results;
  const int status =
      zq_face_detect_api_detectBuffer(detector_, bgr, width, height, 7, 0, 1, 0, &results);
  if (status != 0) results.clear();
  const long long detected = steadyMs();
  logPrint("facedetect use : %lld\n", detected - start);
  std::lock_guard<std::mutex> gl(glLock_);
  for (std::vector<float>& p : points_) std::fill(p.begin(), p.end(), 0.0f);
  int count = 0;
  for (const zq_face_detect_result& r : results) {
    if (count == kMaxFaces) break;
    // Landmarks 64 and 73 must be there (148 values) and their centre inside the copy.
    if (r.landmarks.size() < 148) break;
    const float x = (r.landmarks[128] + r.landmarks[146]) * 0.5f;
    const float y = (r.landmarks[129] + r.landmarks[147]) * 0.5f;
    if (!(x > 0 && x < width && y > 0 && y < height)) break;
    const size_t n = std::min(r.landmarks.size(), static_cast<size_t>(faces_[count].pointCapacity));
    std::memcpy(faces_[count].points, r.landmarks.data(), n * sizeof(float));
    ++count;
  }
  beauty_->setFaceInfo(faces_, count);
  lastFaceCount_ = count;
  logPrint("face_num : %d, use : %lld, time : %lld\n", count, steadyMs() - start, nowMs());
}

void NativeBeautyEngine::skinTask() {
  try {
    const long long start = steadyMs();
    int w = 0, h = 0, format = 0;
    std::vector<unsigned char> bgr = copyAsBgr(&w, &h, &format);
    if (bgr.empty()) {
      say("format convert skin fail! %d\n", format);
    } else {
      bool segmented = false;
      {
        std::lock_guard<std::mutex> skin(skinLock_);
        if (skinMask_) {
          segmented = skinMask_->segmentMask(bgr.data(), w, h, 7, 0, kMaskSide, kMaskSide,
                                             maskImage_.data());
        }
      }
      logPrint("skin detect :%lld\n", steadyMs() - start);
      if (segmented) {
        std::lock_guard<std::mutex> gl(glLock_);
        if (useSkinMask_) {
          beauty_->setMask(maskImage_.data(), kMaskSide, kMaskSide);
          lastMask_ = maskImage_;
        }
        logPrint("skin use :%lld, time : %lld\n", steadyMs() - start, nowMs());
      }
    }
  } catch (const std::exception&) {
  }
  skinRunning_ = false;
  --tasksPending_;
}

void NativeBeautyEngine::makeFrameObjects(int width, int height) {
  deleteFrameObjects();
  frameWidth_ = width;
  frameHeight_ = height;
  glActiveTexture(GL_TEXTURE0);
  auto make = [width, height]() {
    GLuint t = 0;
    glGenTextures(1, &t);
    glBindTexture(GL_TEXTURE_2D, t);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return t;
  };
  outputTexture_ = make();
  glGenFramebuffers(1, &framebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, outputTexture_, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  uploadTexture_ = make();
  glBindTexture(GL_TEXTURE_2D, 0);
}

void NativeBeautyEngine::deleteFrameObjects() {
  if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
  if (outputTexture_) glDeleteTextures(1, &outputTexture_);
  if (uploadTexture_) glDeleteTextures(1, &uploadTexture_);
  framebuffer_ = outputTexture_ = uploadTexture_ = 0;
  frameWidth_ = frameHeight_ = 0;
}

bool NativeBeautyEngine::uploadFrame(const zq_image_info_st& frame) {
  const int w = frame.width, h = frame.height;
  rgba_.resize(static_cast<size_t>(w) * h * 4);
  unsigned char* src = frame.data;
  cv::Mat out(h, w, CV_8UC4, rgba_.data());
  switch (frame.format) {
    case 2:
      libyuv::I420ToABGR(src, w, src + w * h, w / 2, src + w * h + (w / 2) * (h / 2), w / 2,
                         rgba_.data(), w * 4, w, h);
      break;
    case 4:
      libyuv::NV21ToABGR(src, w, src + w * h, w, rgba_.data(), w * 4, w, h);
      break;
    case 6: cv::cvtColor(cv::Mat(h, w, CV_8UC4, src), out, cv::COLOR_BGRA2RGBA); break;
    case 7: cv::cvtColor(cv::Mat(h, w, CV_8UC3, src), out, cv::COLOR_BGR2RGBA); break;
    case 8: std::memcpy(rgba_.data(), src, rgba_.size()); break;
    case 9: cv::cvtColor(cv::Mat(h, w, CV_8UC3, src), out, cv::COLOR_RGB2RGBA); break;
    default: return false;
  }
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, uploadTexture_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba_.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  return true;
}

void NativeBeautyEngine::deletePackBuffers() {
  for (unsigned int& b : packBuffers_) {
    if (b) glDeleteBuffers(1, &b);
    b = 0;
  }
}

void NativeBeautyEngine::readBack(const zq_image_info_st& frame) {
  const int w = frame.width, h = frame.height;
  const GLsizeiptr bytes = static_cast<GLsizeiptr>(w) * h * 4;
  if (packWidth_ != w || packHeight_ != h || !packBuffers_[0]) {
    packWidth_ = w;
    packHeight_ = h;
    deletePackBuffers();
    glGenBuffers(3, packBuffers_);
    for (unsigned int b : packBuffers_) {
      glBindBuffer(GL_PIXEL_PACK_BUFFER, b);
      glBufferData(GL_PIXEL_PACK_BUFFER, bytes, nullptr, GL_STREAM_READ);
    }
    packWarmup_ = 0;
    packIndex_ = 0;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, packBuffers_[packIndex_]);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  const int next = (packIndex_ + 1) % 3;
  glBindBuffer(GL_PIXEL_PACK_BUFFER, packBuffers_[next]);
  const unsigned char* pixels =
      static_cast<const unsigned char*>(glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, bytes, GL_MAP_READ_BIT));
  if (pixels) {
    if (packWarmup_ < 2) {
      ++packWarmup_;
    } else {
      unsigned char* out = frame.data;
      const cv::Mat in(h, w, CV_8UC4, const_cast<unsigned char*>(pixels));
      switch (frame.format) {
        case 8: std::memcpy(out, pixels, static_cast<size_t>(bytes)); break;
        case 9: cv::cvtColor(in, cv::Mat(h, w, CV_8UC3, out), cv::COLOR_RGBA2RGB); break;
        case 7: cv::cvtColor(in, cv::Mat(h, w, CV_8UC3, out), cv::COLOR_RGBA2BGR); break;
        case 6: cv::cvtColor(in, cv::Mat(h, w, CV_8UC4, out), cv::COLOR_RGBA2BGRA); break;
        case 2:
          libyuv::ABGRToI420(pixels, w * 4, out, w, out + w * h, w / 2,
                             out + w * h + (w / 2) * (h / 2), w / 2, w, h);
          break;
        case 4: libyuv::ABGRToNV21(pixels, w * 4, out, w, out + w * h, w, w, h); break;
        default: say("format %d is Not finished yet\n", frame.format);
      }
    }
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  packIndex_ = next;
}

void NativeBeautyEngine::release() {
  std::lock_guard<std::mutex> engine(engineLock_);
  glEnter();
  inited_ = false;
  pool_.reset();  // queued tasks run first
  {
    std::lock_guard<std::mutex> gl(glLock_);
    for (int i = 0; i < kMaxFaces; ++i) {
      points_[i].clear();
      points_[i].shrink_to_fit();
      faces_[i] = zq_face_info{};
    }
    faceFrameWidth_ = faceFrameHeight_ = -1;
  }
  if (detector_ >= 0) zq_face_detect_api_destroy(detector_);
  detector_ = -1;
  {
    std::lock_guard<std::mutex> skin(skinLock_);
    if (skinMask_) skinMask_->release();
    skinMask_.reset();
    maskImage_.clear();
  }
  if (beauty_) beauty_->uninit();
  beauty_.reset();
  deleteFrameObjects();
  {
    std::lock_guard<std::mutex> copy(copyLock_);
    copy_.clear();
    copy_.shrink_to_fit();
    copyWidth_ = copyHeight_ = 0;
  }
  detectionRunning_ = skinRunning_ = false;
  packWidth_ = packHeight_ = packIndex_ = packWarmup_ = 0;
  deletePackBuffers();
  glLeave();
}

int NativeBeautyEngine::copyWidth() {
  std::lock_guard<std::mutex> copy(copyLock_);
  return copyWidth_;
}

int NativeBeautyEngine::copyHeight() {
  std::lock_guard<std::mutex> copy(copyLock_);
  return copyHeight_;
}

bool NativeBeautyEngine::hasSkinMask() {
  std::lock_guard<std::mutex> skin(skinLock_);
  return skinMask_ != nullptr;
}

std::vector<unsigned char> NativeBeautyEngine::lastMask() {
  std::lock_guard<std::mutex> gl(glLock_);
  return lastMask_;
}

int NativeBeautyEngine::lastFaceCount() {
  std::lock_guard<std::mutex> gl(glLock_);
  return lastFaceCount_;
}

void NativeBeautyEngine::waitForTasks() {
  while (tasksPending_.load() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

}  // namespace QUENMAR_FACEBEAUTY
