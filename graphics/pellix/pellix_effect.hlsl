// Pellix's effect: solid and textured rectangles, RGB textures with gamma, six YUV layouts
// turned into RGB, and RGB turned into YUV. Each technique has one pass; the effect layer
// compiles its vertex and pixel shaders separately (vs_4_0 / ps_4_0).

Texture2D g_texture;
matrix g_worldMatrix;
float4 g_outputColor;
float g_gamma;
// Linear filtering, wrap addressing in U and V (built by the effect's description).
SamplerState g_sampler;

struct SolidVertex {
  float3 pos : POSITION;
  float4 color : COLOR;
};
struct SolidPixel {
  float4 pos : SV_POSITION;
  float4 color : COLOR0;
};
struct TextureVertex {
  float3 pos : POSITION;
  float2 tex : TEXCOORD;
};
struct TexturePixel {
  float4 pos : SV_POSITION;
  float2 tex : TEXCOORD0;
};

SolidPixel VS_Solid(SolidVertex input) {
  SolidPixel output;
  output.pos = mul(float4(input.pos, 1.0f), g_worldMatrix);
  output.color = input.color;
  return output;
}

TexturePixel VS_Texture(TextureVertex input) {
  TexturePixel output;
  output.pos = mul(float4(input.pos, 1.0f), g_worldMatrix);
  output.tex = input.tex;
  return output;
}

// The colour conversions are macros: Wine's shader compiler does not call user functions.
// BT.601, studio range.
#define YUV601_TO_RGB(yuv)                                                                \
  saturate(float3(1.164384f * (yuv).x + 1.596027f * (yuv).z - 0.874202f,                  \
                  1.164384f * (yuv).x - 0.391762f * (yuv).y - 0.812968f * (yuv).z + 0.531668f, \
                  1.164384f * (yuv).x + 2.017232f * (yuv).y - 1.085631f))

// BT.709, studio range.
#define YUV709_TO_RGB(yuv)                                                                \
  saturate(float3(1.164384f * (yuv).x + 1.792741f * (yuv).z - 0.972945f,                  \
                  1.164384f * (yuv).x - 0.213249f * (yuv).y - 0.532909f * (yuv).z + 0.301483f, \
                  1.164384f * (yuv).x + 2.112402f * (yuv).y - 1.133402f))

#define FINISH_YUV(rgb) (float4(pow((rgb), g_gamma), 1.0f) * g_outputColor)

float4 PS_Solid(SolidPixel input) : SV_Target {
  return input.color;
}

float4 PS_TextureRGB(TexturePixel input) : SV_Target {
  float4 c = g_texture.Sample(g_sampler, input.tex) * g_outputColor;
  c.rgb = pow(c.rgb, g_gamma);
  return c;
}

float4 PS_TextureI420(TexturePixel input) : SV_Target {
  float4 s = g_texture.Sample(g_sampler, input.tex);
  return FINISH_YUV(YUV601_TO_RGB(s.rgb));
}

float4 PS_TextureYV12(TexturePixel input) : SV_Target {
  float4 s = g_texture.Sample(g_sampler, input.tex);
  return FINISH_YUV(YUV601_TO_RGB(s.rbg));
}

float4 PS_TextureYVYU(TexturePixel input) : SV_Target {
  float4 s = g_texture.Sample(g_sampler, input.tex);
  return FINISH_YUV(YUV601_TO_RGB(float3(s.r, s.a, s.g)));
}

float4 PS_TextureYUY2(TexturePixel input) : SV_Target {
  float4 s = g_texture.Sample(g_sampler, input.tex);
  return FINISH_YUV(YUV601_TO_RGB(float3(s.r, s.g, s.a)));
}

float4 PS_TextureUYVY(TexturePixel input) : SV_Target {
  float4 s = g_texture.Sample(g_sampler, input.tex);
  return FINISH_YUV(YUV601_TO_RGB(s.grb));
}

float4 PS_TextureHDYC(TexturePixel input) : SV_Target {
  float4 s = g_texture.Sample(g_sampler, input.tex);
  return FINISH_YUV(YUV709_TO_RGB(s.grb));
}

float4 PS_AlphaIgnore(TexturePixel input) : SV_Target {
  float4 c = float4(g_texture.Sample(g_sampler, input.tex).rgb, 1.0f) * g_outputColor;
  c.rgb = pow(c.rgb, g_gamma);
  return c;
}

// RGB to YUV (BT.601, studio range), written as (V, Y, U, alpha) so that a B8G8R8A8 target
// holds U, Y, V in bytes 0, 1, 2.
float4 PS_RgbToYuv(TexturePixel input) : SV_Target {
  float4 s = g_texture.Sample(g_sampler, input.tex);
  float y = 0.257f * s.r + 0.504f * s.g + 0.098f * s.b + 0.0625f;
  float u = -0.148f * s.r - 0.291f * s.g + 0.439f * s.b + 0.5f;
  float v = 0.439f * s.r - 0.368f * s.g - 0.071f * s.b + 0.5f;
  return float4(saturate(v), saturate(y), saturate(u), s.a);
}
