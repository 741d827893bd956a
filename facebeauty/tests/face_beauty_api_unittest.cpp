// The library as its users load it: the exported C functions and class of Zq_FaceBeautyLib.dll.
#include <windows.h>

#include <gtest/gtest.h>

#include <GL/glew.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "native_models.h"
#include "zq_face_beauty.h"
#include "zq_fb_native.h"
#include "zq_opengl_helper.h"

namespace {

using namespace QUENMAR_FACEBEAUTY;

int init() { return zq_fb_native_init(modelFolder().c_str(), "", 1, false); }

TEST(FaceBeautyApiTest, HandlesCountFromOneAgainOnceAllAreGone) {
  const int a = init(), b = init();
  EXPECT_EQ(1, a);
  EXPECT_EQ(2, b);
  EXPECT_TRUE(zq_fb_native_isInited(a));
  EXPECT_FALSE(zq_fb_native_isInited(7));
  zq_fb_native_uninit(a);
  EXPECT_FALSE(zq_fb_native_isInited(a));
  zq_fb_native_uninit(a);  // unknown: nothing
  zq_fb_native_uninit(b);
  const int c = init();
  EXPECT_EQ(1, c);
  zq_fb_native_uninit(c);
  // A failed init keeps nothing and uses no handle number.
  EXPECT_EQ(-1, zq_fb_native_init("no-such-folder", "", 1, true));
  const int d = init();
  EXPECT_EQ(1, d);
  zq_fb_native_uninit(d);
}

TEST(FaceBeautyApiTest, ConcurrentInitsGetDistinctHandles) {
  std::vector<int> handles(4, 0);
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) threads.emplace_back([&handles, i] { handles[i] = init(); });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(4u, std::set<int>(handles.begin(), handles.end()).size());
  for (int h : handles) {
    EXPECT_GE(h, 1);
    EXPECT_LE(h, 4);
    zq_fb_native_uninit(h);
  }
}

TEST(FaceBeautyApiTest, ProcessResults) {
  const int h = init();
  ASSERT_EQ(1, h);
  std::vector<unsigned char> pixels(64 * 36 * 4, 120);
  const std::vector<unsigned char> original = pixels;
  zq_image_info_st frame{64, 36, 0, 8, nullptr, 0, false};
  EXPECT_EQ(-2, zq_fb_native_process(h, &frame));
  frame.data = pixels.data();
  frame.format = 5;
  frame.readBack = true;
  testing::internal::CaptureStdout();
  EXPECT_EQ(-3, zq_fb_native_process(h, &frame));
  EXPECT_EQ("format 5 is not support\n", testing::internal::GetCapturedStdout());
  EXPECT_EQ(original, pixels);
  frame.format = 8;
  EXPECT_EQ(-1, zq_fb_native_process(h + 1, &frame));
  EXPECT_EQ(-1, zq_fb_native_process(h, nullptr));
  frame.width = 0;
  EXPECT_EQ(-1, zq_fb_native_process(h, &frame));
  frame.width = 64;
  EXPECT_GT(zq_fb_native_process(h, &frame), 0);
  zq_fb_native_setBeautyLevel(h, ZQ_BEAUTY_WHITEN, 1.0f);
  zq_fb_native_setAILight(h, 0.5f);
  zq_fb_native_setSimpleMode(h, true);
  EXPECT_GT(zq_fb_native_process(h, &frame), 0);
  zq_fb_native_uninit(h);
  EXPECT_EQ(-1, zq_fb_native_process(h, &frame));
}

TEST(FaceBeautyApiTest, ExternalModeUsesTheCallersContext) {
  // A handle made before external mode keeps the library's own context alive: external mode
  // must still neither enter nor leave it.
  const int internal = init();
  ASSERT_EQ(1, internal);
  // Our own context, made by this program's copy of the context layer.
  ZqOpenglHelper* own = ZqOpenglHelper::getInstance();
  ASSERT_TRUE(own->glEnvInit());
  own->glBegin();
  const HGLRC mine = wglGetCurrentContext();
  ASSERT_NE(nullptr, mine);
  zq_fb_native_setExternalOpenGLEnv(true);
  const int h = init();
  ASSERT_EQ(2, h);
  std::vector<unsigned char> pixels(64 * 36 * 4, 120);
  zq_image_info_st frame{64, 36, 0, 8, pixels.data(), 0, true};
  const int texture = zq_fb_native_process(h, &frame);
  EXPECT_GT(texture, 0);
  EXPECT_EQ(mine, wglGetCurrentContext());
  EXPECT_TRUE(glIsTexture(static_cast<GLuint>(texture)));  // made in our context
  zq_fb_native_uninit(h);
  EXPECT_EQ(mine, wglGetCurrentContext());
  zq_fb_native_setExternalOpenGLEnv(false);
  own->glEnd();
  own->glEnvRelease();
  zq_fb_native_uninit(internal);
}

TEST(FaceBeautyApiTest, ClassAndLogSwitch) {
  ZqOpenglHelper* own = ZqOpenglHelper::getInstance();
  ASSERT_TRUE(own->glEnvInit());
  own->glBegin();
  ZqFaceBeauty beauty;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(beauty.init(false, false, nullptr));
  EXPECT_EQ("", testing::internal::GetCapturedStdout());  // log off
  zq_fb_native_log(true);
  testing::internal::CaptureStdout();
  zq_image_info_st image{4, 4, 0, 8, nullptr, 0, false};
  beauty.processArgb(&image);
  beauty.uninit();
  beauty.uninit();
  zq_fb_native_log(false);
  EXPECT_EQ("g_beautyShot is NULL\nuninit version: QUENMAR_FACEBEAUTY_V3.6.5, mIsShot:0\n"
            "uninit version: QUENMAR_FACEBEAUTY_V3.6.5, mIsShot:0\n",
            testing::internal::GetCapturedStdout());
  own->glEnd();
  own->glEnvRelease();
  // The context layer's error printer, exported by the library.
  HMODULE library = GetModuleHandleA("Zq_FaceBeautyLib.dll");
  ASSERT_NE(nullptr, library);
  using Printer = void (*)(int, const char*);
  auto print = reinterpret_cast<Printer>(reinterpret_cast<void*>(
      GetProcAddress(library, "_ZN14ZqOpenglHelper14PrintglfwErrorEiPKc")));
  ASSERT_NE(nullptr, print);
  testing::internal::CaptureStdout();
  print(3, "lost");
  EXPECT_EQ("glfwerror 3 lost\n", testing::internal::GetCapturedStdout());
}

}  // namespace
