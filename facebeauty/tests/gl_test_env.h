// GL fixture of the beauty tests: the shared context current for the whole test, RGBA textures
// made from bytes and framebuffers read back as bytes.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "base_filter.h"
#include "fb_log.h"
#include "zq_opengl_helper.h"

namespace QUENMAR_FACEBEAUTY {

using Pixels = std::vector<unsigned char>;

class GlTest : public testing::Test {
 protected:
  void SetUp() override {
    setLogEnabled(true);  // the tests read the passes' messages
    ASSERT_TRUE(ZqOpenglHelper::getInstance()->glEnvInit());
    ZqOpenglHelper::getInstance()->glBegin();
  }
  void TearDown() override {
    for (GLuint f : framebuffers_) glDeleteFramebuffers(1, &f);
    for (GLuint t : textures_) glDeleteTextures(1, &t);
    ZqOpenglHelper::getInstance()->glEnd();
  }

  GLuint texture(const Pixels& rgba, int w, int h, bool linear = true) {
    GLuint t = BaseFilter::makeTexture(linear);
    BaseFilter::uploadTexture(rgba.data(), t, w, h, GL_RGBA);
    textures_.push_back(t);
    return t;
  }
  // A target of w × h filled with rgba; its texture in *tex.
  GLuint target(const Pixels& rgba, int w, int h, GLuint* tex = nullptr) {
    GLuint t = BaseFilter::makeTexture(true);
    textures_.push_back(t);
    GLuint f = BaseFilter::makeFramebuffer(t, w, h);
    framebuffers_.push_back(f);
    BaseFilter::uploadTexture(rgba.data(), t, w, h, GL_RGBA);
    if (tex) *tex = t;
    return f;
  }
  Pixels read(GLuint framebuffer, int w, int h) {
    Pixels out(static_cast<size_t>(w) * h * 4);
    BaseFilter::bindFramebuffer(framebuffer);
    EXPECT_TRUE(BaseFilter::readPixels(out.data(), w, h));
    BaseFilter::bindFramebuffer(0);
    return out;
  }
  static Pixels fill(int w, int h, unsigned char r, unsigned char g, unsigned char b,
                     unsigned char a) {
    Pixels p(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < p.size(); i += 4) {
      p[i] = r;
      p[i + 1] = g;
      p[i + 2] = b;
      p[i + 3] = a;
    }
    return p;
  }
  // Distinct bytes per pixel and channel.
  static Pixels pattern(int w, int h) {
    Pixels p(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<unsigned char>((i * 37 + i / 4) % 256);
    for (size_t i = 3; i < p.size(); i += 4) p[i] = 255;
    return p;
  }

  std::vector<GLuint> textures_;
  std::vector<GLuint> framebuffers_;
};

}  // namespace QUENMAR_FACEBEAUTY
