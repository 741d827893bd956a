#include "gl_check.h"

#include <GL/glew.h>

#include <cstdio>

#include "fb_log.h"

namespace QUENMAR_FACEBEAUTY {

bool glFailed(const char* step) {
  constexpr int kMaxReads = 32;  // more than the distinct error flags a context can hold
  bool failed = false;
  for (int i = 0; i < kMaxReads; ++i) {
    GLenum error = glGetError();
    if (error == GL_NO_ERROR) break;
    logPrint("after %s() glError (0x%x)\n", step, error);
    failed = true;
  }
  return failed;
}

}  // namespace QUENMAR_FACEBEAUTY
