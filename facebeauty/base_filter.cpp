#include "base_filter.h"

#include <cstdio>
#include <cstring>

#include "fb_log.h"
#include "gl_check.h"

namespace QUENMAR_FACEBEAUTY {
namespace {

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
const std::uint16_t kQuadIndices[6] = {2, 0, 1, 2, 1, 3};
const float kFullFrameQuad[16] = {-1, -1, 0, 0, 1, -1, 1, 0, -1, 1, 0, 1, 1, 1, 1, 1};

int componentsOf(GLenum type) {
  switch (type) {
    case GL_INT: case GL_FLOAT: case GL_BOOL: return 1;
    case GL_FLOAT_VEC2: case GL_INT_VEC2: case GL_BOOL_VEC2: return 2;
    case GL_FLOAT_VEC3: case GL_INT_VEC3: case GL_BOOL_VEC3: return 3;
    case GL_FLOAT_VEC4: case GL_INT_VEC4: case GL_BOOL_VEC4: case GL_FLOAT_MAT2: return 4;
    case GL_FLOAT_MAT3: return 9;
    case GL_FLOAT_MAT4: return 16;
    default: return 0;
  }
}

GLuint compileShader(GLenum kind, const char* source) {
  GLuint shader = glCreateShader(kind);
  if (!shader) return 0;
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok) return shader;
  char log[1024] = {};
  glGetShaderInfoLog(shader, sizeof(log), nullptr, log);
  logPrint("Compile shader fail error : %s\n", log);
  glDeleteShader(shader);
  return 0;
}

}  // namespace

BaseFilter::BaseFilter(const char* className, BeautyLevels* owner)
    : className_(className), owner_(owner), indices_(kQuadIndices, kQuadIndices + 6) {
  std::memcpy(texMatrix_, kIdentity, sizeof(texMatrix_));
}

BaseFilter::~BaseFilter() = default;

bool BaseFilter::init() { return false; }
void BaseFilter::setup(const int*, int) {}
void BaseFilter::setFaceInfo(zq_face_info*, int) {}
void BaseFilter::setImage(unsigned char*, int, int, int) {}
void BaseFilter::setLevel(float) {}
float BaseFilter::level() { return 0.0f; }
bool BaseFilter::enabled() { return true; }
void BaseFilter::setSimple(bool) {}

void BaseFilter::setTexMatrix(const float matrix[16]) {
  std::memcpy(texMatrix_, matrix, sizeof(texMatrix_));
}

bool BaseFilter::initFrom(ShaderId id) {
  if (!built_) {
    const ShaderPair& pair = shaderSources(id);
    built_ = buildProgram(pair.vertex, pair.fragment) == 0;
  }
  return built_;
}

int BaseFilter::buildProgram(const char* vertexSource, const char* fragmentSource) {
  GLuint vs = compileShader(GL_VERTEX_SHADER, vertexSource);
  GLuint fs = compileShader(GL_FRAGMENT_SHADER, fragmentSource);
  int result = (vs && fs) ? 0 : -2;
  GLuint program = glCreateProgram();
  if (!program) {
    if (vs) glDeleteShader(vs);
    if (fs) glDeleteShader(fs);
    return -1;
  }
  if (vs) glAttachShader(program, vs);
  if (fs) glAttachShader(program, fs);
  glLinkProgram(program);
  GLint linked = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  // Desktop GL links a program without a fragment shader (fixed function): a shader that
  // failed fails the link as on GL ES.
  if (!linked || result != 0) {
    char log[1024] = {};
    glGetProgramInfoLog(program, sizeof(log), nullptr, log);
    logPrint("Could not link program: %s\n", log);
    logPrint("glLinkProgram fail\n");
    if (vs) glDeleteShader(vs);
    if (fs) glDeleteShader(fs);
    glDeleteProgram(program);
    return result == -2 ? -2 : -1;
  }
  glDetachShader(program, vs);
  glDetachShader(program, fs);
  glDeleteShader(vs);
  glDeleteShader(fs);
  if (program_) glDeleteProgram(program_);
  program_ = program;
  uniformInfo_.clear();
  glUseProgram(program_);
  return 0;
}

bool BaseFilter::useProgram(const char* step) {
  GLint current = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  if (static_cast<GLuint>(current) != program_) glUseProgram(program_);
  return !glFailed(step);
}

void BaseFilter::scanUniforms() {
  uniformInfo_.clear();
  if (!program_) return;
  GLint count = 0;
  glGetProgramiv(program_, GL_ACTIVE_UNIFORMS, &count);
  for (GLint i = 0; i < count; ++i) {
    char name[256] = {};
    GLint size = 0;
    GLenum type = 0;
    glGetActiveUniform(program_, i, sizeof(name), nullptr, &size, &type, name);
    GLint location = glGetUniformLocation(program_, name);
    if (location >= 0) uniformInfo_[location] = UniformRecord{static_cast<GLuint>(i), type, size};
  }
}

GLint BaseFilter::uniformLocation(const char* name) {
  if (!program_) {
    logPrint("Error: Must link program before querying uniforms!\n");
    return -1;
  }
  return glGetUniformLocation(program_, name);
}

bool BaseFilter::setUniform(const char* name, int value) {
  GLint location = uniformLocation(name);
  if (location < 0 || !useProgram("Set Uniform Value (int)")) return false;
  glUniform1i(location, value);
  return !glFailed("Set Uniform Value (int)");
}

bool BaseFilter::setUniform(const char* name, float value) {
  GLint location = uniformLocation(name);
  if (location < 0 || !useProgram("Set Uniform Value (float)")) return false;
  glUniform1f(location, value);
  return !glFailed("Set Uniform Value (float)");
}

bool BaseFilter::setUniform(const char* name, const float* values, int floatCount) {
  GLint location = uniformLocation(name);
  if (location < 0 || !values || floatCount <= 0) return false;
  if (!uniformInfo_.count(location)) scanUniforms();
  auto it = uniformInfo_.find(location);
  if (it == uniformInfo_.end()) return false;
  const int components = componentsOf(it->second.type);
  if (components == 0 || !useProgram("Set Uniform Value")) return false;
  const GLsizei n = floatCount / components;
  if (n < 1) return false;
  switch (it->second.type) {
    case GL_FLOAT: glUniform1fv(location, n, values); break;
    case GL_FLOAT_VEC2: glUniform2fv(location, n, values); break;
    case GL_FLOAT_VEC3: glUniform3fv(location, n, values); break;
    case GL_FLOAT_VEC4: glUniform4fv(location, n, values); break;
    case GL_FLOAT_MAT2: glUniformMatrix2fv(location, n, GL_FALSE, values); break;
    case GL_FLOAT_MAT3: glUniformMatrix3fv(location, n, GL_FALSE, values); break;
    case GL_FLOAT_MAT4: glUniformMatrix4fv(location, n, GL_FALSE, values); break;
    default: return false;  // integer and boolean uniforms take the int setter
  }
  return !glFailed("Set Uniform Value");
}

bool BaseFilter::addAttribute(const char* name, int components, int stride, int offset) {
  if (!program_) {
    logPrint("ShaderProgram: Error: Must link program before querying attributes!\n");
    return false;
  }
  GLint location = glGetAttribLocation(program_, name);
  if (location < 0) {
    logPrint("Shader Program: Attempting to access invalid variable!\n");
    return false;
  }
  attributes_[name] = Attribute{location, components, GL_FLOAT, false, stride, offset};
  return true;
}

bool BaseFilter::uploadVertices(const float* data, int floatCount) {
  if (!data || floatCount <= 0) return false;
  const int bytes = floatCount * static_cast<int>(sizeof(float));
  if (!vertexBuffer_) {
    glGenBuffers(1, &vertexBuffer_);
    if (glFailed("Generating VBO") || !vertexBuffer_) {
      logPrint("Could not create vertex buffer!\n");
      vertexBuffer_ = 0;
      return false;
    }
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    if (glFailed("VBO Bind Buffer")) return false;
    glBufferData(GL_ARRAY_BUFFER, bytes, data, GL_STATIC_DRAW);
    if (glFailed("VBO Data Upload")) return false;
    vertexBufferSize_ = bytes;
    return true;
  }
  if (bytes > vertexBufferSize_) {
    logPrint(
        "Attempting to upload more data (%d bytes) than fits inside the vertex frame (%d "
        "bytes)!\n",
        bytes, vertexBufferSize_);
    return false;
  }
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
  if (glFailed("VBO Bind Buffer")) return false;
  glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, data);
  if (glFailed("VBO Data Upload")) return false;
  vertexBufferSize_ = bytes;
  return true;
}

void BaseFilter::release() {
  if (vertexBuffer_) glDeleteBuffers(1, &vertexBuffer_);
  if (program_) glDeleteProgram(program_);
  for (GLuint texture : ownedTextures_) glDeleteTextures(1, &texture);
  ownedTextures_.clear();
  vertexBuffer_ = 0;
  vertexBufferSize_ = 0;
  program_ = 0;
  uniformInfo_.clear();
  attributes_.clear();
  inputTextures_.clear();
  inputTargets_.clear();
  built_ = false;
  clearBeforeDraw = true;
  blend = false;
}

void BaseFilter::setInputs(const int* inputs, int count) {
  inputTextures_.clear();
  inputTargets_.clear();
  for (int i = 0; inputs && i < count; ++i) {
    inputTextures_.push_back(static_cast<GLuint>(inputs[i]));
    inputTargets_.push_back(GL_TEXTURE_2D);
  }
}

void BaseFilter::useFullFrameQuad() {
  uploadVertices(kFullFrameQuad, 16);
  addAttribute("aPosition", 2, 16, 0);
  addAttribute("aTextureCoord", 2, 16, 8);
}

void BaseFilter::setIndices(const std::uint16_t* data, int count) {
  indices_.assign(data, data + count);
  indexCount_ = count;
}

bool BaseFilter::bindInputs() {
  for (size_t i = 0; i < inputTextures_.size(); ++i) {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(i));
    glBindTexture(inputTargets_[i], inputTextures_[i]);
    std::string name = "sTexture_" + std::to_string(i);
    if (glGetUniformLocation(program_, name.c_str()) < 0) {
      logPrint(
          "ShaderProgram: Shader does not seem to support %d number of inputs! Missing "
          "uniform 'sTexture_%d'!\n",
          static_cast<int>(inputTextures_.size()), static_cast<int>(i));
      glActiveTexture(GL_TEXTURE0);
      return false;
    }
    glUniform1i(glGetUniformLocation(program_, name.c_str()), static_cast<GLint>(i));
  }
  glActiveTexture(GL_TEXTURE0);
  return !glFailed("BindInputTextures");
}

bool BaseFilter::render(const int* inputs, int count, int width, int height, int framebuffer) {
  if (!enabled()) return false;
  if (!init()) logPrint("initGL fail: %s\n", className_);
  if (!program_) {
    logPrint("unexecutable program!\n");
    return false;
  }
  width_ = static_cast<float>(width);
  height_ = static_cast<float>(height);
  if (framebuffer != 0) {
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    if (glFailed("FBO Binding")) return false;
  }
  glViewport(0, 0, width, height);
  setup(inputs, count);

  bool ok = useProgram("couldn't initialize gl for drawing!");
  if (ok) {
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    for (const auto& entry : attributes_) {
      const Attribute& a = entry.second;
      glEnableVertexAttribArray(a.location);
      glVertexAttribPointer(a.location, a.components, a.type, a.normalised, a.stride,
                            reinterpret_cast<const void*>(static_cast<intptr_t>(a.offset)));
    }
    if (clearBeforeDraw) {
      glClearColor(0, 0, 0, 0);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }
    if (blend) {
      glEnable(GL_BLEND);
      glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    } else {
      glDisable(GL_BLEND);
    }
    if (glFailed("Preparing")) {
      logPrint("couldn't initialize gl for drawing!\n");
      ok = false;
    }
  } else {
    logPrint("couldn't initialize gl for drawing!\n");
  }
  if (ok && !bindInputs()) {
    logPrint("BindInputTextures failed\n");
    ok = false;
  }
  if (ok) {
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    const int n = indexCount_ < static_cast<int>(indices_.size())
                      ? indexCount_
                      : static_cast<int>(indices_.size());
    glDrawElements(GL_TRIANGLES, n, GL_UNSIGNED_SHORT, indices_.data());
  }
  for (const auto& entry : attributes_) glDisableVertexAttribArray(entry.second.location);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  if (glFailed("Popping Vertex Attributes")) ok = false;
  if (ok && glFailed("Rendering")) ok = false;
  if (framebuffer != 0) glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDisable(GL_BLEND);
  if (!ok) logPrint("Unable to render frame\n");
  return ok;
}

GLuint BaseFilter::makeTexture(bool linear) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  const GLint filter = linear ? GL_LINEAR : GL_NEAREST;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  return texture;
}

GLuint BaseFilter::makeFramebuffer(GLuint texture, int width, int height) {
  if (!texture || width < 1 || height < 1) return 0;
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  GLuint framebuffer = 0;
  glGenFramebuffers(1, &framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  if (!complete) {
    glDeleteFramebuffers(1, &framebuffer);
    return 0;
  }
  return framebuffer;
}

void BaseFilter::uploadTexture(const void* pixels, GLuint texture, int width, int height,
                               GLenum format) {
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
}

void BaseFilter::bindFramebuffer(GLuint framebuffer) {
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
}

bool BaseFilter::readPixels(unsigned char* out, int width, int height) {
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, out);
  return !glFailed("FBO Pixel Readout");
}

}  // namespace QUENMAR_FACEBEAUTY
