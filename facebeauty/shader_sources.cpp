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

const char kPlainVertex[] =
    "attribute vec2 aPosition;\n"
    "attribute vec2 aTextureCoord;\n"
    "varying vec2 vTextureCoord;\n"
    "void main() {\n"
    "  gl_Position = vec4(aPosition, 0.0, 1.0);\n"
    "  vTextureCoord = aTextureCoord;\n"
    "}\n";

// Nine taps along one line: the centre and ±1..±4 steps of 1.5 × the offset.
const char kBoxBlurVertex[] =
    "attribute vec2 aPosition;\n"
    "attribute vec2 aTextureCoord;\n"
    "uniform float texBlurWidthOffset;\n"
    "uniform float texBlurHeightOffset;\n"
    "varying vec2 vTap[9];\n"
    "void main() {\n"
    "  gl_Position = vec4(aPosition, 0.0, 1.0);\n"
    "  vec2 step = vec2(texBlurWidthOffset, texBlurHeightOffset) * 1.5;\n"
    "  vTap[0] = aTextureCoord;\n"
    "  for (int i = 1; i <= 4; ++i) {\n"
    "    vTap[2 * i - 1] = aTextureCoord - step * float(i);\n"
    "    vTap[2 * i] = aTextureCoord + step * float(i);\n"
    "  }\n"
    "}\n";

const char kBoxBlurMeanFragment[] = FB_PRECISION
    "varying highp vec2 vTap[9];\n"
    "uniform sampler2D sTexture_0;\n"
    "uniform sampler2D sTexture_1;\n"
    "void main() {\n"
    "  vec4 centre = texture2D(sTexture_0, vTap[0]);\n"
    "  float m0 = texture2D(sTexture_1, vTap[0]).r;\n"
    "  if (m0 <= 0.0) { gl_FragColor = centre; return; }\n"
    "  vec3 sum = centre.rgb;\n"
    "  float weights = 1.0;\n"
    "  for (int i = 1; i < 9; ++i) {\n"
    "    float w = 1.0 + clamp((texture2D(sTexture_1, vTap[i]).r - m0) * 7.0, -0.7, 0.7);\n"
    "    sum += texture2D(sTexture_0, vTap[i]).rgb * w;\n"
    "    weights += w;\n"
    "  }\n"
    "  gl_FragColor = vec4(sum / weights, 1.0);\n"
    "}\n";

const char kBoxBlurMeanVarFragment[] = FB_PRECISION
    "varying highp vec2 vTap[9];\n"
    "uniform sampler2D sTexture_0;\n"
    "uniform sampler2D sTexture_1;\n"
    "uniform sampler2D sTexture_2;\n"
    "void main() {\n"
    "  vec4 image = texture2D(sTexture_1, vTap[0]);\n"
    "  if (texture2D(sTexture_2, vTap[0]).r <= 0.0) { gl_FragColor = vec4(image.rgb, 0.0); return; }\n"
    "  vec3 sum = texture2D(sTexture_0, vTap[0]).rgb;\n"
    "  float weights = 1.0;\n"
    "  for (int i = 1; i < 9; ++i) {\n"
    "    float w = 1.0 + clamp((texture2D(sTexture_1, vTap[i]).r - image.r) * 7.0, -0.7, 0.7);\n"
    "    sum += texture2D(sTexture_0, vTap[i]).rgb * w;\n"
    "    weights += w;\n"
    "  }\n"
    "  vec3 mean = sum / weights;\n"
    "  vec3 d = (image.rgb - mean) * 7.07;\n"
    "  vec3 v = min(d * d, vec3(1.0));\n"
    "  gl_FragColor = vec4(mean, (v.r + v.g + v.b) * 0.3333);\n"
    "}\n";

const char kBoxBlurAlphaFragment[] = FB_PRECISION
    "varying highp vec2 vTap[9];\n"
    "uniform sampler2D sTexture_0;\n"
    "uniform sampler2D sTexture_1;\n"
    "void main() {\n"
    "  vec4 centre = texture2D(sTexture_0, vTap[0]);\n"
    "  float m0 = texture2D(sTexture_1, vTap[0]).r;\n"
    "  if (m0 <= 0.0) { gl_FragColor = centre; return; }\n"
    "  float sum = centre.a;\n"
    "  float weights = 1.0;\n"
    "  for (int i = 1; i < 9; ++i) {\n"
    "    float w = 1.0 + clamp((texture2D(sTexture_1, vTap[i]).r - m0) * 7.0, -1.0, 1.0);\n"
    "    sum += texture2D(sTexture_0, vTap[i]).a * w;\n"
    "    weights += w;\n"
    "  }\n"
    "  gl_FragColor = vec4(centre.rgb, sum / weights);\n"
    "}\n";

// The diagonal half-step coordinates are not read by the fragment shader.
const char kHighPassVertex[] =
    "attribute vec2 aPosition;\n"
    "attribute vec2 aTextureCoord;\n"
    "uniform float widthOffset;\n"
    "uniform float heightOffset;\n"
    "varying vec2 vTextureCoord;\n"
    "varying vec4 vDiagonal[2];\n"
    "void main() {\n"
    "  gl_Position = vec4(aPosition, 0.0, 1.0);\n"
    "  vTextureCoord = aTextureCoord;\n"
    "  vec2 h = vec2(widthOffset, heightOffset) * 0.5;\n"
    "  vDiagonal[0] = vec4(aTextureCoord - h, aTextureCoord + h);\n"
    "  vDiagonal[1] = vec4(aTextureCoord + vec2(h.x, -h.y), aTextureCoord + vec2(-h.x, h.y));\n"
    "}\n";

const char kHighPassFragment[] = FB_PRECISION
    "varying highp vec2 vTextureCoord;\n"
    "uniform sampler2D sTexture_0;\n"
    "uniform sampler2D sTexture_1;\n"
    "uniform sampler2D sTexture_2;\n"
    "uniform float blurAlpha;\n"
    "uniform float sharpen;\n"
    "uniform vec4 frequencyRangeValue;\n"
    "uniform vec4 frequencyRangeBlur;\n"
    "void main() {\n"
    "  vec4 image = texture2D(sTexture_0, vTextureCoord);\n"
    "  if (texture2D(sTexture_2, vTextureCoord).r <= 0.0) { gl_FragColor = image; return; }\n"
    "  vec4 stats = texture2D(sTexture_1, vTextureCoord);\n"
    "  float p = clamp((min(image.r, stats.r - 0.1) - 0.2) * 4.0, 0.0, 1.0);\n"
    "  float k = (1.0 - stats.a / (stats.a + 0.1)) * p * blurAlpha;\n"
    "  if (k > 1.0 - frequencyRangeValue.x) k *= frequencyRangeBlur.x;\n"
    "  else if (k > 1.0 - frequencyRangeValue.y) k *= frequencyRangeBlur.y;\n"
    "  else if (k > 1.0 - frequencyRangeValue.z) k *= frequencyRangeBlur.z;\n"
    "  else k *= frequencyRangeBlur.w;\n"
    "  gl_FragColor = vec4(mix(image.rgb, stats.rgb, k), image.a);\n"
    "}\n";

// The 64-level cube of 8 × 8 tiles of 64 × 64 texels: blue picks the tile, red and green the
// texel inside it.
#define FB_LOOKUP                                                                      \
  "vec3 lookup(sampler2D cube, vec3 colour) {\n"                                       \
  "  colour = clamp(colour, 0.0, 1.0);\n"                                              \
  "  float b = colour.b * 63.0;\n"                                                     \
  "  float t0 = floor(b);\n"                                                           \
  "  float t1 = ceil(b);\n"                                                            \
  "  vec2 inTile = vec2(0.5 / 512.0) + 0.123046875 * colour.rg;\n"                     \
  "  vec2 p0 = vec2(mod(t0, 8.0), floor(t0 / 8.0)) * 0.125 + inTile;\n"                \
  "  vec2 p1 = vec2(mod(t1, 8.0), floor(t1 / 8.0)) * 0.125 + inTile;\n"                \
  "  return clamp(mix(texture2D(cube, p0).rgb, texture2D(cube, p1).rgb, fract(b)), 0.0, 1.0);\n" \
  "}\n"

const char kBeautyWhiteFragment[] = FB_PRECISION
    "varying highp vec2 vTextureCoord;\n"
    "uniform sampler2D sTexture_0;\n"
    "uniform sampler2D sTexture_1;\n"
    "uniform sampler2D sTexture_2;\n"
    "uniform float strength;\n"
    FB_LOOKUP
    "void main() {\n"
    "  vec4 image = texture2D(sTexture_0, vTextureCoord);\n"
    "  float mask = texture2D(sTexture_1, vTextureCoord).r;\n"
    "  if (mask <= 0.0) { gl_FragColor = image; return; }\n"
    "  vec3 c = lookup(sTexture_2, image.rgb);\n"
    "  vec3 e = (c - 0.5) / 0.5;\n"
    "  c = clamp(c + strength * 0.5 * (strength * 0.06) * (1.0 - e * e), 0.0, 1.0);\n"
    "  gl_FragColor = vec4(clamp(mix(image.rgb, c, strength * mask), 0.0, 1.0), image.a);\n"
    "}\n";

const char kWhiteFragment[] = FB_PRECISION
    "varying highp vec2 vTextureCoord;\n"
    "uniform sampler2D sTexture_0;\n"
    "uniform sampler2D sTexture_1;\n"
    "uniform float strength;\n"
    FB_LOOKUP
    "void main() {\n"
    "  vec4 image = texture2D(sTexture_0, vTextureCoord);\n"
    "  vec3 c = lookup(sTexture_1, image.rgb);\n"
    "  gl_FragColor = vec4(clamp(mix(image.rgb, c, strength), 0.0, 1.0), image.a);\n"
    "}\n";

#define FB_FIVE_TAPS                                                                   \
  "uniform vec2 singleOffsetStep;\n"                                                   \
  "vec4 fiveTaps(sampler2D s, vec2 c) {\n"                                             \
  "  return (texture2D(s, c) + texture2D(s, c + vec2(singleOffsetStep.x, 0.0)) +\n"    \
  "          texture2D(s, c - vec2(singleOffsetStep.x, 0.0)) +\n"                      \
  "          texture2D(s, c + vec2(0.0, singleOffsetStep.y)) +\n"                      \
  "          texture2D(s, c - vec2(0.0, singleOffsetStep.y))) / 5.0;\n"                \
  "}\n"

const char kSharpen0Fragment[] = FB_PRECISION
    "varying highp vec2 vTextureCoord;\n"
    "uniform sampler2D sTexture_0;\n"
    FB_FIVE_TAPS
    "void main() {\n"
    "  vec3 image = texture2D(sTexture_0, vTextureCoord).rgb;\n"
    "  vec3 d = image - fiveTaps(sTexture_0, vTextureCoord).rgb;\n"
    "  vec3 v = min((d * 7.07) * (d * 7.07), vec3(1.0));\n"
    "  gl_FragColor = vec4(clamp(d + 0.5, 0.0, 1.0), (v.r + v.g + v.b) / 3.0);\n"
    "}\n";

const char kSharpen1Fragment[] = FB_PRECISION
    "varying highp vec2 vTextureCoord;\n"
    "uniform sampler2D sTexture_0;\n"
    "uniform sampler2D sTexture_1;\n"
    "uniform int useMask;\n"
    "void main() {\n"
    "  vec4 h = texture2D(sTexture_0, vTextureCoord);\n"
    "  float scale = 3.0;\n"
    "  float threshold = 0.0157;\n"
    "  if (useMask == 1) {\n"
    "    float g = texture2D(sTexture_1, vTextureCoord).g;\n"
    "    scale += 1.1 * g;\n"
    "    threshold -= 0.00785 * g;\n"
    "  }\n"
    "  gl_FragColor = vec4(step(threshold, clamp(scale * abs(h.rgb - 0.5), 0.0, 1.0)), h.a);\n"
    "}\n";

const char kSharpen2Fragment[] = FB_PRECISION
    "varying highp vec2 vTextureCoord;\n"
    "uniform sampler2D sTexture_0;\n"
    FB_FIVE_TAPS
    "void main() { gl_FragColor = fiveTaps(sTexture_0, vTextureCoord); }\n";

const char kSharpen3Fragment[] = FB_PRECISION
    "varying highp vec2 vTextureCoord;\n"
    "uniform sampler2D sTexture_0;\n"
    "uniform sampler2D sTexture_1;\n"
    "uniform sampler2D sTexture_2;\n"
    "uniform sampler2D sTexture_3;\n"
    "uniform float sharpness;\n"
    "uniform int useMask;\n"
    "void main() {\n"
    "  vec4 image = texture2D(sTexture_0, vTextureCoord);\n"
    "  vec3 h = texture2D(sTexture_1, vTextureCoord).rgb;\n"
    "  vec4 m = texture2D(sTexture_2, vTextureCoord);\n"
    "  float skin = useMask == 1 ? texture2D(sTexture_3, vTextureCoord).r : 0.0;\n"
    "  vec3 sharp = clamp(image.rgb + (2.0 * h - 1.0) * 2.4, 0.0, 1.0);\n"
    "  sharp = mix(image.rgb, sharp, m.rgb);\n"
    "  float k = 1.0 - m.a / (m.a + 0.1);\n"
    "  float amount = (1.0 - 0.5 * k * k) * sharpness * (1.0 - skin);\n"
    "  gl_FragColor = vec4(mix(image.rgb, sharp, amount), image.a);\n"
    "}\n";

// Mesh passes: positions in pixels of the face's frame, the second coordinate on a mask image.
const char kMeshVertex[] =
    "attribute vec2 aPosition;\n"
    "attribute vec2 aTextureCoord;\n"
    "uniform float width;\n"
    "uniform float height;\n"
    "varying vec2 vImageCoord;\n"
    "varying vec2 vMaskCoord;\n"
    "void main() {\n"
    "  vImageCoord = aPosition / vec2(width, height);\n"
    "  gl_Position = vec4(vImageCoord * 2.0 - 1.0, 0.0, 1.0);\n"
    "  vMaskCoord = aTextureCoord;\n"
    "}\n";

const char kFaceMaskDetailFragment[] = FB_PRECISION
    "varying highp vec2 vImageCoord;\n"
    "varying highp vec2 vMaskCoord;\n"
    "uniform sampler2D sTexture_0;\n"
    "uniform sampler2D sTexture_1;\n"
    "uniform sampler2D sTexture_2;\n"
    "uniform float eyeIntensity;\n"
    "uniform float noseIntensity;\n"
    "uniform float fEyeIntensity;\n"
    "void main() {\n"
    "  vec4 image = texture2D(sTexture_0, vImageCoord);\n"
    "  vec3 blur = texture2D(sTexture_1, vImageCoord).rgb;\n"
    "  vec3 mask = texture2D(sTexture_2, vMaskCoord).rgb;\n"
    "  vec3 result = image.rgb;\n"
    "  if (mask.r > 0.003 && eyeIntensity >= 0.01) {\n"
    "    vec3 d = clamp((blur - image.rgb) * 1.3 + 0.03 * blur, 0.0, 0.2);\n"
    "    result = mix(image.rgb, min(image.rgb + d, 1.0), eyeIntensity * mask.r);\n"
    "  }\n"
    "  if (mask.g > 0.003 && mask.r < 0.003 && noseIntensity >= 0.01) {\n"
    "    vec3 d = clamp((blur - image.rgb) * 1.4 + 0.05 * blur, 0.0, 0.3);\n"
    "    result = mix(image.rgb, min(image.rgb + d, 1.0), noseIntensity * mask.g);\n"
    "  }\n"
    "  if (mask.b > 0.003 && mask.r < 0.003 && fEyeIntensity >= 0.01) {\n"
    "    float o = 2.0 * 0.0013888;\n"
    "    vec3 s = (result + texture2D(sTexture_0, vImageCoord + vec2(o, 0.0)).rgb +\n"
    "              texture2D(sTexture_0, vImageCoord - vec2(o, 0.0)).rgb +\n"
    "              texture2D(sTexture_0, vImageCoord + vec2(0.0, o)).rgb +\n"
    "              texture2D(sTexture_0, vImageCoord - vec2(0.0, o)).rgb) / 5.0;\n"
    "    s = clamp(s + (result - s) * 4.0, 0.0, 1.0);\n"
    "    result = mix(result, s, mask.b * fEyeIntensity);\n"
    "  }\n"
    "  gl_FragColor = vec4(result, image.a);\n"
    "}\n";

const char kFaceMaskSoftLightFragment[] = FB_PRECISION
    "varying highp vec2 vImageCoord;\n"
    "varying highp vec2 vMaskCoord;\n"
    "uniform sampler2D sTexture_0;\n"
    "uniform sampler2D sTexture_1;\n"
    "uniform float intensity;\n"
    "void main() {\n"
    "  vec4 image = texture2D(sTexture_0, vImageCoord);\n"
    "  vec3 b = image.rgb;\n"
    "  vec3 s = texture2D(sTexture_1, vMaskCoord).rgb;\n"
    "  vec3 low = 2.0 * b * s + b * b * (1.0 - 2.0 * s);\n"
    "  vec3 high = sqrt(b) * (2.0 * s - 1.0) + 2.0 * b * (1.0 - s);\n"
    "  vec3 soft = mix(low, high, step(0.5, s));\n"
    "  gl_FragColor = vec4(soft * intensity + b * (1.0 - intensity), image.a);\n"
    "}\n";

const char kFaceMaskMultiplyFragment[] = FB_PRECISION
    "varying highp vec2 vImageCoord;\n"
    "varying highp vec2 vMaskCoord;\n"
    "uniform sampler2D sTexture_0;\n"
    "uniform sampler2D sTexture_1;\n"
    "uniform float intensity;\n"
    "void main() {\n"
    "  vec4 image = texture2D(sTexture_0, vImageCoord);\n"
    "  vec3 s = texture2D(sTexture_1, vMaskCoord).rgb;\n"
    "  gl_FragColor = vec4(image.rgb * s * intensity + s * (1.0 - intensity), image.a);\n"
    "}\n";

const char kReshapingVertex[] =
    "attribute vec2 aPosition;\n"
    "varying vec2 vTextureCoord;\n"
    "void main() {\n"
    "  gl_Position = vec4(aPosition * 2.0 - 1.0, 0.0, 1.0);\n"
    "  vTextureCoord = aPosition;\n"
    "}\n";

// Warps the sampling coordinate n = xy_ratio × c through the ten steps of the face's parts.
const char kReshapingFragment[] = FB_PRECISION
    "varying highp vec2 vTextureCoord;\n"
    "uniform sampler2D sTexture_0;\n"
    "uniform sampler2D sTexture_1;\n"
    "uniform int findex;\n"
    "uniform float bigEyeAspect;\n"
    "uniform vec2 xy_ratio;\n"
    "uniform float fEyeLevel[2];\n"
    "uniform vec2 slim_key_coord[100];\n"
    "uniform float slim_key_radius[100];\n"
    "uniform float slim_key_radius2[100];\n"
    "uniform vec2 slim_key_plus[100];\n"
    "uniform vec2 slim_key_plus2[100];\n"
    "float weight(vec2 q, float r, vec2 n) {\n"
    "  return texture2D(sTexture_1, smoothstep(q - r, q + r, n)).r;\n"
    "}\n"
    "float weightAspect(vec2 q, float r, vec2 n) {\n"
    "  vec2 a = vec2(bigEyeAspect, 1.0);\n"
    "  return texture2D(sTexture_1, smoothstep(q * a - r, q * a + r, n * a)).r;\n"
    "}\n"
    "float scaleFun(float x) {\n"
    "  return x <= 0.4 ? sin(1.5707963 * x / 0.4) : pow(1.4 - x, 8.0);\n"
    "}\n"
    "float scaleFun2(float x) {\n"
    "  return x <= 0.4 ? sin(1.5707963 * x / 0.4) : 1.0;\n"
    "}\n"
    "void main() {\n"
    "  int b = findex * 20;\n"
    "  vec2 n = xy_ratio * vTextureCoord;\n"
    "  float m;\n"
    "  for (int i = 2; i <= 3; ++i) {\n"
    "    vec2 eye = slim_key_coord[b + i];\n"
    "    m = weightAspect(eye, slim_key_radius[b + 2], n);\n"
    "    n = mix(n, eye, fEyeLevel[0] * scaleFun(1.0 - m));\n"
    "    n -= slim_key_plus[b + i] * scaleFun2(m);\n"
    "    n -= slim_key_plus2[b + i] * scaleFun2(m);\n"
    "  }\n"
    "  vec2 mouth = slim_key_coord[b + 13];\n"
    "  m = weightAspect(mouth, slim_key_radius[b + 13], n);\n"
    "  n = mix(n, mouth, fEyeLevel[1] * scaleFun(1.0 - m));\n"
    "  m = weightAspect(mouth, 0.7 * slim_key_radius[b + 13], n);\n"
    "  n -= slim_key_plus[b + 13] * scaleFun2(m);\n"
    "  for (int i = 0; i <= 1; ++i) {\n"
    "    n -= slim_key_plus[b + i] * weight(slim_key_coord[b + i], slim_key_radius[b], n);\n"
    "  }\n"
    "  for (int i = 18; i <= 19; ++i) {\n"
    "    n -= slim_key_plus[b + i] * weight(slim_key_coord[b + i], slim_key_radius[b + 18], n);\n"
    "    n -= slim_key_plus2[b + i] * weight(slim_key_coord[b + i], slim_key_radius2[b + 18], n);\n"
    "  }\n"
    "  n -= slim_key_plus[b + 4] * weight(slim_key_coord[b + 4], slim_key_radius[b + 4], n);\n"
    "  m = weightAspect(slim_key_coord[b + 4], slim_key_radius2[b + 4], n);\n"
    "  n -= slim_key_plus2[b + 4] * scaleFun2(m);\n"
    "  for (int i = 16; i <= 17; ++i) {\n"
    "    n -= slim_key_plus[b + i] * weight(slim_key_coord[b + i], slim_key_radius[b + 16], n);\n"
    "  }\n"
    "  for (int i = 16; i <= 17; ++i) {\n"
    "    n -= slim_key_plus2[b + i] * weight(slim_key_coord[b + i - 2], slim_key_radius2[b + 16], n);\n"
    "  }\n"
    "  for (int i = 14; i <= 15; ++i) {\n"
    "    vec2 q = slim_key_coord[b + i];\n"
    "    n -= slim_key_plus[b + i] * weight(q, slim_key_radius[b + 14], n);\n"
    "    n -= slim_key_plus2[b + i] * weight(q, slim_key_radius2[b + 14], n);\n"
    "    n -= slim_key_plus2[b + i - 3] * weight(q, slim_key_radius[b + 14], n);\n"
    "  }\n"
    "  for (int i = 5; i <= 6; ++i) {\n"
    "    n -= slim_key_plus[b + i] * weight(slim_key_coord[b + i], slim_key_radius[b + 5], n);\n"
    "  }\n"
    "  m = weight(slim_key_coord[b + 10], slim_key_radius[b + 10], n);\n"
    "  n -= slim_key_plus[b + 10] * scaleFun2(m);\n"
    "  for (int i = 8; i <= 9; ++i) {\n"
    "    n -= slim_key_plus[b + i] * weight(slim_key_coord[b + i], slim_key_radius[b + 8], n);\n"
    "  }\n"
    "  for (int i = 11; i <= 12; ++i) {\n"
    "    n -= slim_key_plus[b + i] * weight(slim_key_coord[b + i], slim_key_radius[b + 11], n);\n"
    "  }\n"
    "  vec4 colour = texture2D(sTexture_0, n / xy_ratio);\n"
    "  gl_FragColor = vec4(colour.rgb * colour.a, colour.a);\n"
    "}\n";

const ShaderPair kTable[] = {
    {kMatrixVertex, kCopyFragment},             // kNormal
    {kMatrixVertex, kCopyFragment},             // kReadPixel
    {kBoxBlurVertex, kBoxBlurMeanFragment},     // kBoxBlurMean
    {kBoxBlurVertex, kBoxBlurMeanVarFragment},  // kBoxBlurMeanVar
    {kBoxBlurVertex, kBoxBlurAlphaFragment},    // kBoxBlurAlpha
    {kHighPassVertex, kHighPassFragment},       // kHighPassSoft
    {kPlainVertex, kBeautyWhiteFragment},       // kBeautyWhite
    {kPlainVertex, kWhiteFragment},             // kWhite
    {kPlainVertex, kSharpen0Fragment},          // kSharpen0
    {kPlainVertex, kSharpen1Fragment},          // kSharpen1
    {kPlainVertex, kSharpen2Fragment},          // kSharpen2
    {kPlainVertex, kSharpen3Fragment},          // kSharpen3
    {kMeshVertex, kFaceMaskDetailFragment},     // kFaceMaskDetail
    {kMeshVertex, kFaceMaskSoftLightFragment},  // kFaceMaskSoftLight
    {kMeshVertex, kFaceMaskMultiplyFragment},   // kFaceMaskMultiply
    {kReshapingVertex, kReshapingFragment},     // kReshaping
};
static_assert(sizeof(kTable) / sizeof(kTable[0]) == static_cast<int>(ShaderId::kCount),
              "one shader pair per pass");

}  // namespace

const ShaderPair& shaderSources(ShaderId id) { return kTable[static_cast<int>(id)]; }

}  // namespace QUENMAR_FACEBEAUTY
