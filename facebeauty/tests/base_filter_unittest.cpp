#include <gtest/gtest.h>

#include <string>

#include "gl_check.h"
#include "gl_test_env.h"
#include "normal_filter.h"

namespace QUENMAR_FACEBEAUTY {
namespace {

const char kVertex[] =
    "attribute vec2 aPosition;\n"
    "attribute vec2 aTextureCoord;\n"
    "varying vec2 vTextureCoord;\n"
    "void main() { gl_Position = vec4(aPosition, 0.0, 1.0); vTextureCoord = aTextureCoord; }\n";
const char kOneInput[] =
    "varying vec2 vTextureCoord;\n"
    "uniform sampler2D sTexture_0;\n"
    "void main() { gl_FragColor = texture2D(sTexture_0, vTextureCoord); }\n";

// A pass made of given shader texts, drawing given vertices (x, y, s, t) or the full frame.
class TextFilter : public BaseFilter {
 public:
  TextFilter(const char* vs, const char* fs) : BaseFilter("TextFilter"), vs_(vs), fs_(fs) {}
  bool init() override {
    if (!built_) built_ = buildProgram(vs_, fs_) == 0;
    return built_;
  }
  void setup(const int* inputs, int count) override {
    if (quad_.empty()) {
      useFullFrameQuad();
    } else {
      uploadVertices(quad_.data(), static_cast<int>(quad_.size()));
      addAttribute("aPosition", 2, 16, 0);
      addAttribute("aTextureCoord", 2, 16, 8);
    }
    setInputs(inputs, count);
  }
  std::vector<float> quad_;
  using BaseFilter::uploadVertices;

 private:
  const char* vs_;
  const char* fs_;
};

using BaseFilterTest = GlTest;

TEST_F(BaseFilterTest, BrokenShaderIsReportedAndNeverDraws) {
  TextFilter broken(kVertex, "void main() { gl_FragColor = nonsense; }\n");
  GLuint fb = target(fill(4, 4, 9, 8, 7, 255), 4, 4);
  int input = static_cast<int>(texture(fill(4, 4, 200, 0, 0, 255), 4, 4));
  testing::internal::CaptureStdout();
  EXPECT_FALSE(broken.render(&input, 1, 4, 4, fb));
  EXPECT_FALSE(broken.render(&input, 1, 4, 4, fb));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(std::string::npos, out.find("Compile shader fail error : ")) << out;
  EXPECT_NE(std::string::npos, out.find("Could not link program: ")) << out;
  EXPECT_NE(std::string::npos, out.find("glLinkProgram fail\n")) << out;
  size_t first = out.find("initGL fail: TextFilter\nunexecutable program!\n");
  ASSERT_NE(std::string::npos, first) << out;
  EXPECT_NE(std::string::npos, out.find("unexecutable program!\n", first + 30)) << out;
  EXPECT_EQ(fill(4, 4, 9, 8, 7, 255), read(fb, 4, 4));
  EXPECT_EQ(-2, broken.buildProgram(kVertex, "void main() { x; }\n"));
  // With the library's log switch off nothing is printed.
  setLogEnabled(false);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(broken.render(&input, 1, 4, 4, fb));
  EXPECT_EQ("", testing::internal::GetCapturedStdout());
}

TEST_F(BaseFilterTest, MissingInputUniformRefusesTheDraw) {
  TextFilter filter(kVertex, kOneInput);
  GLuint fb = target(fill(4, 4, 9, 8, 7, 255), 4, 4);
  int inputs[2] = {static_cast<int>(texture(fill(4, 4, 200, 0, 0, 255), 4, 4)),
                   static_cast<int>(texture(fill(4, 4, 0, 200, 0, 255), 4, 4))};
  testing::internal::CaptureStdout();
  EXPECT_FALSE(filter.render(inputs, 2, 4, 4, fb));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(std::string::npos,
            out.find("ShaderProgram: Shader does not seem to support 2 number of inputs! "
                     "Missing uniform 'sTexture_1'!\n"))
      << out;
  EXPECT_NE(std::string::npos, out.find("Unable to render frame")) << out;
  EXPECT_TRUE(filter.render(inputs, 1, 4, 4, fb));
  EXPECT_EQ(fill(4, 4, 200, 0, 0, 255), read(fb, 4, 4));
}

TEST_F(BaseFilterTest, ClearAndBlendFlags) {
  // The left half of the frame only.
  const std::vector<float> leftHalf = {-1, -1, 0, 0, 0, -1, 1, 0, -1, 1, 0, 1, 0, 1, 1, 1};
  int input = static_cast<int>(texture(fill(4, 2, 100, 0, 0, 128), 4, 2));
  for (bool clear : {true, false}) {
    TextFilter filter(kVertex, kOneInput);
    filter.quad_ = leftHalf;
    filter.clearBeforeDraw = clear;
    GLuint fb = target(fill(4, 2, 0, 60, 0, 255), 4, 2);
    ASSERT_TRUE(filter.render(&input, 1, 4, 2, fb));
    Pixels out = read(fb, 4, 2);
    EXPECT_EQ(100, out[0]);
    const size_t right = 3 * 4;  // pixel (3, 0)
    EXPECT_EQ(clear ? 0 : 60, out[right + 1]) << clear;
  }
  // Blending one, one minus source alpha: 100 + 0 × ..., 0 + 60 × (1 − 128/255).
  TextFilter filter(kVertex, kOneInput);
  filter.blend = true;
  filter.clearBeforeDraw = false;
  GLuint fb = target(fill(4, 2, 0, 60, 0, 255), 4, 2);
  ASSERT_TRUE(filter.render(&input, 1, 4, 2, fb));
  Pixels out = read(fb, 4, 2);
  EXPECT_EQ(100, out[0]);
  EXPECT_NEAR(60 * (1 - 128 / 255.0), out[1], 1);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(BaseFilterTest, SettersFollowTheDeclaredType) {
  const char fs[] =
      "uniform float f; uniform vec2 v2; uniform vec3 v3; uniform vec4 v4;\n"
      "uniform mat2 m2; uniform mat3 m3; uniform mat4 m4; uniform float arr[3]; uniform int i;\n"
      "uniform sampler2D sTexture_0; varying vec2 vTextureCoord;\n"
      "void main() { gl_FragColor = texture2D(sTexture_0, vTextureCoord) * (f + v2.x + v3.x +\n"
      "  v4.x + m2[0][0] + m3[0][0] + m4[0][0] + arr[0] + arr[1] + arr[2] + float(i)); }\n";
  TextFilter filter(kVertex, fs);
  ASSERT_TRUE(filter.init());
  float values[16];
  for (int i = 0; i < 16; ++i) values[i] = static_cast<float>(i + 1);
  struct Case {
    const char* name;
    int count;
  } cases[] = {{"v2", 2}, {"v3", 3}, {"v4", 4}, {"m2", 4}, {"m3", 9}, {"m4", 16}, {"arr", 3}};
  for (const Case& c : cases) {
    ASSERT_TRUE(filter.setUniform(c.name, values, c.count)) << c.name;
    GLint location = glGetUniformLocation(filter.program(), c.name);
    float got[16] = {};
    if (std::string(c.name) == "arr") {
      for (int k = 0; k < 3; ++k) {
        std::string element = "arr[" + std::to_string(k) + "]";
        glGetUniformfv(filter.program(), glGetUniformLocation(filter.program(), element.c_str()),
                       &got[k]);
      }
    } else {
      glGetUniformfv(filter.program(), location, got);
    }
    for (int k = 0; k < c.count; ++k) EXPECT_EQ(values[k], got[k]) << c.name << k;
  }
  EXPECT_TRUE(filter.setUniform("f", 2.5f));
  EXPECT_TRUE(filter.setUniform("i", 7));
  GLint gotInt = 0;
  glGetUniformiv(filter.program(), glGetUniformLocation(filter.program(), "i"), &gotInt);
  EXPECT_EQ(7, gotInt);
  EXPECT_FALSE(filter.setUniform("absent", 1.0f));
  EXPECT_FALSE(filter.setUniform("absent", values, 4));
  EXPECT_FALSE(filter.setUniform("v4", values, 3));  // fewer values than one element

  TextFilter unbuilt(kVertex, fs);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(unbuilt.setUniform("f", 1.0f));
  EXPECT_EQ("Error: Must link program before querying uniforms!\n",
            testing::internal::GetCapturedStdout());
}

TEST_F(BaseFilterTest, LargerSecondUploadIsRefused) {
  TextFilter filter(kVertex, kOneInput);
  float data[20] = {};
  ASSERT_TRUE(filter.uploadVertices(data, 16));
  testing::internal::CaptureStdout();
  EXPECT_FALSE(filter.uploadVertices(data, 20));
  EXPECT_EQ(
      "Attempting to upload more data (80 bytes) than fits inside the vertex frame (64 bytes)!\n",
      testing::internal::GetCapturedStdout());
  EXPECT_TRUE(filter.uploadVertices(data, 8));
}

TEST_F(BaseFilterTest, CopyIsExactAlsoFlipped) {
  const int w = 7, h = 5;
  Pixels source = pattern(w, h);
  int input = static_cast<int>(texture(source, w, h));
  GLuint fb = target(fill(w, h, 0, 0, 0, 0), w, h);
  NormalFilter copy;
  ASSERT_TRUE(copy.render(&input, 1, w, h, fb));
  EXPECT_EQ(source, read(fb, w, h));

  const float flip[16] = {1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 1, 0, 1};
  ReadPixelFilter reader;
  reader.setTexMatrix(flip);
  ASSERT_TRUE(reader.render(&input, 1, w, h, fb));
  Pixels flipped = read(fb, w, h);
  for (int y = 0; y < h; ++y) {
    for (int k = 0; k < w * 4; ++k) {
      ASSERT_EQ(source[(h - 1 - y) * w * 4 + k], flipped[y * w * 4 + k]) << y << " " << k;
    }
  }
  copy.release();
  reader.release();
}

TEST_F(BaseFilterTest, ErrorReadingEndsWithoutAContext) {
  ZqOpenglHelper::getInstance()->glEnd();
  testing::internal::CaptureStdout();
  glFailed("Nothing");  // must return whatever glGetError keeps answering
  testing::internal::GetCapturedStdout();
  ZqOpenglHelper::getInstance()->glBegin();
  glGetError();
  EXPECT_FALSE(glFailed("Clean"));
}

}  // namespace
}  // namespace QUENMAR_FACEBEAUTY
