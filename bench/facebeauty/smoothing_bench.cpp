#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include <vector>

#include "base_filter.h"
#include "smoothing_filters.h"
#include "zq_opengl_helper.h"

namespace {

using namespace QUENMAR_FACEBEAUTY;

constexpr int kW = 640, kH = 360, kSw = kW / 3, kSh = kH / 3;

std::vector<unsigned char> picture(int w, int h, bool mask) {
  std::vector<unsigned char> p(static_cast<size_t>(w) * h * 4);
  for (size_t i = 0; i < p.size(); ++i) {
    p[i] = mask ? 255 : static_cast<unsigned char>((i * 29 + i / 4096) % 200 + 30);
  }
  return p;
}

struct Target {
  GLuint texture = BaseFilter::makeTexture(true);
  GLuint framebuffer;
  Target(int w, int h) : framebuffer(BaseFilter::makeFramebuffer(texture, w, h)) {}
  ~Target() {
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &texture);
  }
};

void BM_GlSmoothing640x360(benchmark::State& state) {
  ZqOpenglHelper* gl = ZqOpenglHelper::getInstance();
  if (!gl->glEnvInit()) {
    state.SkipWithError("no OpenGL environment");
    return;
  }
  gl->glBegin();
  {
    GLuint image = BaseFilter::makeTexture(true), mask = BaseFilter::makeTexture(true);
    BaseFilter::uploadTexture(picture(kW, kH, false).data(), image, kW, kH, GL_RGBA);
    BaseFilter::uploadTexture(picture(kW, kH, true).data(), mask, kW, kH, GL_RGBA);
    Target a(kSw, kSh), b(kSw, kSh), out(kW, kH);
    BeautyLevels levels;
    BoxBlurFilter mean0(0, 0, &levels), mean1(1, 0, &levels), var0(0, 1, &levels),
        var1(1, 1, &levels);
    HighPassSoftFilter soft(&levels);
    const int img = static_cast<int>(image), msk = static_cast<int>(mask);
    unsigned char pixel[4];
    for (auto _ : state) {
      int in0[2] = {img, msk};
      mean0.render(in0, 2, kSw, kSh, a.framebuffer);
      int in1[3] = {static_cast<int>(a.texture), img, msk};
      mean1.render(in1, 3, kSw, kSh, b.framebuffer);
      int in2[2] = {static_cast<int>(b.texture), msk};
      var0.render(in2, 2, kSw, kSh, a.framebuffer);
      int in3[2] = {static_cast<int>(a.texture), msk};
      var1.render(in3, 2, kSw, kSh, b.framebuffer);
      int in4[3] = {img, static_cast<int>(b.texture), msk};
      soft.render(in4, 3, kW, kH, out.framebuffer);
      BaseFilter::bindFramebuffer(out.framebuffer);
      glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);  // waits for the draws
      BaseFilter::bindFramebuffer(0);
      benchmark::DoNotOptimize(pixel[0]);
    }
    mean0.release(), mean1.release(), var0.release(), var1.release(), soft.release();
    glDeleteTextures(1, &image);
    glDeleteTextures(1, &mask);
  }
  gl->glEnd();
}
BENCHMARK(BM_GlSmoothing640x360)->Unit(benchmark::kMillisecond);

void BM_CpuBilateral640x360(benchmark::State& state) {
  std::vector<unsigned char> rgba = picture(kW, kH, false);
  cv::Mat src(kH, kW, CV_8UC4, rgba.data()), bgr, dst;
  cv::cvtColor(src, bgr, cv::COLOR_RGBA2BGR);
  for (auto _ : state) {
    cv::bilateralFilter(bgr, dst, 9, 30.0, 5.0);
    benchmark::DoNotOptimize(dst.data);
  }
}
BENCHMARK(BM_CpuBilateral640x360)->Unit(benchmark::kMillisecond);

}  // namespace
