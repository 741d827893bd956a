// The base of every beauty pass: one GL program, its vertex data and attributes, the input
// textures of the current draw, a texture matrix and the drawing flags; render() carries out
// one draw. Also the texture and framebuffer utilities the engines use.
//
// Filters are used only on the thread where the GL context is current and hold no locks, except
// where a derived pass says otherwise. setFaceInfo may run on another thread with no context:
// passes only store there and upload in setup.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "beauty_levels.h"
#include "shader_sources.h"
#include "zq_face_info.h"

namespace QUENMAR_FACEBEAUTY {

class BaseFilter {
 public:
  struct UniformRecord {
    GLuint index;
    GLenum type;
    GLint size;
  };
  struct Attribute {
    GLint location;
    int components;
    GLenum type;
    bool normalised;
    int stride;
    int offset;
  };

  // className names the pass in messages; owner holds the beauty levels (null for passes that
  // read none).
  explicit BaseFilter(const char* className, BeautyLevels* owner = nullptr);
  virtual ~BaseFilter();

  virtual bool init();
  virtual void setup(const int* inputs, int count);
  virtual void setFaceInfo(zq_face_info* faces, int count);
  virtual void setImage(unsigned char* pixels, int width, int height, int format);
  virtual void setLevel(float level);
  virtual float level();
  virtual bool enabled();
  virtual void setSimple(bool simple);

  // One draw of inputs into framebuffer (0: the one bound now) at width × height.
  bool render(const int* inputs, int count, int width, int height, int framebuffer);
  void setTexMatrix(const float matrix[16]);
  // 0 built; -1 program creation or link failed; -2 a shader failed to compile.
  int buildProgram(const char* vertexSource, const char* fragmentSource);

  // Each makes the program current first; false when the program lacks the uniform, is not
  // built, or the value does not fit the uniform's declared type.
  bool setUniform(const char* name, int value);
  bool setUniform(const char* name, float value);
  // floatCount ÷ (components of the declared type) elements.
  bool setUniform(const char* name, const float* values, int floatCount);

  bool addAttribute(const char* name, int components, int stride, int offset);
  // The first upload sizes the vertex buffer; later ones may not be larger.
  bool uploadVertices(const float* data, int floatCount);
  void scanUniforms();
  void release();

  static GLuint makeTexture(bool linear);
  // Gives texture RGBA storage of width × height and attaches it to a new framebuffer (0 on
  // failure).
  static GLuint makeFramebuffer(GLuint texture, int width, int height);
  static void uploadTexture(const void* pixels, GLuint texture, int width, int height,
                            GLenum format);
  static void bindFramebuffer(GLuint framebuffer);
  static bool readPixels(unsigned char* out, int width, int height);

  GLuint program() const { return program_; }
  bool clearBeforeDraw = true;
  bool blend = false;

 protected:
  // Builds the class's shader pair once; later calls retry while it is not built.
  bool initFrom(ShaderId id);
  // Records the inputs of this draw (all 2D textures).
  void setInputs(const int* inputs, int count);
  // The full-frame quad of (x, y, s, t) with attributes aPosition and aTextureCoord.
  void useFullFrameQuad();
  // Draws indexCount indices from indices (mesh passes replace the quad's six).
  void setIndices(const std::uint16_t* data, int count);
  // Textures the pass made for itself (tables, masks); release() deletes them.
  std::vector<GLuint> ownedTextures_;

  const char* className_;
  BeautyLevels* owner_;
  int vertexCount_ = 0;
  GLuint program_ = 0;
  std::map<GLint, UniformRecord> uniformInfo_;
  std::map<std::string, Attribute> attributes_;
  bool built_ = false;
  std::vector<GLuint> inputTextures_;
  std::vector<GLenum> inputTargets_;
  GLuint vertexBuffer_ = 0;
  int vertexBufferSize_ = 0;
  float width_ = 0;
  float height_ = 0;
  float texMatrix_[16];
  std::vector<std::uint16_t> indices_;
  int indexCount_ = 6;

 private:
  bool useProgram(const char* step);
  GLint uniformLocation(const char* name);
  bool bindInputs();
};

}  // namespace QUENMAR_FACEBEAUTY
