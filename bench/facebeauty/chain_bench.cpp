// The whole beauty chain per 640x360 RGBA frame: zq_fb_native_process with read-back and one
// face (a bright patch the stand-in detector finds), and drawSoftBeautyFrame alone on the GL
// device, against OpenCV's CPU bilateral filter on the same frame.
#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include <vector>

#include "base_filter.h"
#include "native_models.h"
#include "zq_face_beauty.h"
#include "zq_fb_native.h"
#include "zq_opengl_helper.h"

namespace {

using namespace QUENMAR_FACEBEAUTY;

constexpr int kW = 640, kH = 360;

std::vector<unsigned char> frameWithFace() {
  std::vector<unsigned char> p = patchFrame(kW, kH, {{260, 120}}, 120);
  for (size_t i = 0; i < p.size(); ++i) {
    if (i % 4 != 3) p[i] = static_cast<unsigned char>(p[i] / 2 + (i * 29 + i / 4096) % 60 + 20);
  }
  return p;
}

void BM_NativeProcessWithReadBack640x360(benchmark::State& state) {
  if (modelFolder().empty()) {
    state.SkipWithError("no model folder");
    return;
  }
  const int handle = zq_fb_native_init(modelFolder().c_str(), "", 2, true);
  if (handle < 1) {
    state.SkipWithError("init failed");
    return;
  }
  const std::vector<unsigned char> picture = frameWithFace();
  std::vector<unsigned char> data = picture;
  zq_image_info_st frame{kW, kH, 0, 8, data.data(), 0, true};
  for (int i = 0; i < 5; ++i) zq_fb_native_process(handle, &frame);  // the face is found
  for (auto _ : state) {
    std::copy(picture.begin(), picture.end(), data.begin());
    benchmark::DoNotOptimize(zq_fb_native_process(handle, &frame));
  }
  zq_fb_native_uninit(handle);
}
BENCHMARK(BM_NativeProcessWithReadBack640x360)->Unit(benchmark::kMillisecond);

void BM_DrawSoftBeautyFrame640x360(benchmark::State& state) {
  ZqOpenglHelper* gl = ZqOpenglHelper::getInstance();
  if (!gl->glEnvInit()) {
    state.SkipWithError("no OpenGL environment");
    return;
  }
  gl->glBegin();
  {
    ZqFaceBeauty beauty;
    beauty.init(false, false, nullptr);
    GLuint image = BaseFilter::makeTexture(true), out = BaseFilter::makeTexture(true);
    BaseFilter::uploadTexture(frameWithFace().data(), image, kW, kH, GL_RGBA);
    GLuint framebuffer = BaseFilter::makeFramebuffer(out, kW, kH);
    float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    unsigned char pixel[4];
    for (auto _ : state) {
      beauty.drawSoftBeautyFrame(static_cast<int>(image), identity, kW, kH, kW, kH,
                                 static_cast<int>(framebuffer), 1.0f);
      BaseFilter::bindFramebuffer(framebuffer);
      glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);  // waits for the draws
      BaseFilter::bindFramebuffer(0);
      benchmark::DoNotOptimize(pixel[0]);
    }
    beauty.uninit();
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &image);
    glDeleteTextures(1, &out);
  }
  gl->glEnd();
}
BENCHMARK(BM_DrawSoftBeautyFrame640x360)->Unit(benchmark::kMillisecond);

void BM_CpuBilateral640x360(benchmark::State& state) {
  std::vector<unsigned char> rgba = frameWithFace();
  cv::Mat src(kH, kW, CV_8UC4, rgba.data()), bgr, dst;
  cv::cvtColor(src, bgr, cv::COLOR_RGBA2BGR);
  for (auto _ : state) {
    cv::bilateralFilter(bgr, dst, 9, 30.0, 5.0);
    benchmark::DoNotOptimize(dst.data);
  }
}
BENCHMARK(BM_CpuBilateral640x360)->Unit(benchmark::kMillisecond);

}  // namespace
