#include "zq_opengl_helper.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <thread>

namespace {

// Clears a small framebuffer of its own to a colour and reads one pixel back.
std::array<unsigned char, 4> drawAndRead(float r, float g, float b) {
  GLuint texture = 0, fbo = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  glViewport(0, 0, 4, 4);
  glClearColor(r, g, b, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  std::array<unsigned char, 4> px{};
  glReadPixels(1, 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &fbo);
  glDeleteTextures(1, &texture);
  return px;
}

TEST(GlContextTest, InitIsIdempotentAndThreadsTakeTurns) {
  ZqOpenglHelper* gl = ZqOpenglHelper::getInstance();
  ASSERT_EQ(gl, ZqOpenglHelper::getInstance());
  ASSERT_TRUE(gl->glEnvInit());
  HGLRC first = gl->context();
  ASSERT_TRUE(gl->glEnvInit());
  EXPECT_EQ(first, gl->context());

  gl->glBegin();
  EXPECT_EQ(first, wglGetCurrentContext());
  gl->glBegin();  // nested bracket on the same thread
  gl->glEnd();
  EXPECT_EQ(first, wglGetCurrentContext());
  EXPECT_EQ((std::array<unsigned char, 4>{255, 0, 0, 255}), drawAndRead(1, 0, 0));
  gl->glEnd();
  EXPECT_EQ(nullptr, wglGetCurrentContext());

  std::array<unsigned char, 4> seen[2];
  auto worker = [&](int i) {
    gl->glBegin();
    seen[i] = drawAndRead(0, i == 0 ? 1.0f : 0.0f, i == 1 ? 1.0f : 0.0f);
    gl->glEnd();
  };
  std::thread a(worker, 0);
  std::thread b(worker, 1);
  a.join();
  b.join();
  EXPECT_EQ((std::array<unsigned char, 4>{0, 255, 0, 255}), seen[0]);
  EXPECT_EQ((std::array<unsigned char, 4>{0, 0, 255, 255}), seen[1]);

  gl->glEnvRelease();
  EXPECT_EQ(nullptr, gl->context());
  ASSERT_TRUE(gl->glEnvInit());
  gl->glBegin();
  EXPECT_EQ((std::array<unsigned char, 4>{255, 255, 0, 255}), drawAndRead(1, 1, 0));
  gl->glEnd();
  gl->glEnd();  // unmatched: ignored
  gl->glEnvRelease();
}

TEST(GlContextTest, PrintglfwErrorText) {
  testing::internal::CaptureStdout();
  ZqOpenglHelper::PrintglfwError(65543, "no context");
  EXPECT_EQ("glfwerror 65543 no context\n", testing::internal::GetCapturedStdout());
}

}  // namespace
