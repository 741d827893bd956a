#include "shader_sources.h"

namespace QUENMAR_FACEBEAUTY {
namespace {

// Fragment shaders open with empty precision words so that ES-style texts compile on desktop GL.
#define FB_PRECISION "#define highp\n#define mediump\n#define lowp\n"

const char kMatrixVertex[] =
    "attribute vec2 aPosition;\n"
    "attribute vec2 aTextureCoord;\n"
    "uniform mat4 uTexMatrix;\n"
    "varying vec2 vTextureCoord;\n"
    "void main() {\n"
    "  gl_Position = vec4(aPosition, 0.0, 1.0);\n"
    "  vTextureCoord = (uTexMatrix * vec4(aTextureCoord, 1.0, 1.0)).xy;\n"
    "}\n";

const char kCopyFragment[] = FB_PRECISION
    "varying highp vec2 vTextureCoord;\n"
    "uniform sampler2D sTexture_0;\n"
    "void main() {\n"
    "  gl_FragColor = texture2D(sTexture_0, vTextureCoord);\n"
    "}\n";

const ShaderPair kTable[] = {
    {kMatrixVertex, kCopyFragment},  // kNormal
    {kMatrixVertex, kCopyFragment},  // kReadPixel
};
static_assert(sizeof(kTable) / sizeof(kTable[0]) == static_cast<int>(ShaderId::kCount),
              "one shader pair per pass");

}  // namespace

const ShaderPair& shaderSources(ShaderId id) { return kTable[static_cast<int>(id)]; }

}  // namespace QUENMAR_FACEBEAUTY
