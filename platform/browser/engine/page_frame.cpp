#include "platform/browser/engine/page_frame.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include "stb_image.h"
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

constexpr int kMaxSide = 8192;

int Sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

bool DecodeBase64(const std::string& text, std::string* bytes) {
  bytes->clear();
  bytes->reserve(text.size() / 4 * 3);
  size_t end = text.size();
  while (end > 0 && text[end - 1] == '=') --end;
  if (text.size() - end > 2) return false;
  uint32_t group = 0;
  int bits = 0;
  for (size_t i = 0; i < end; ++i) {
    const int value = Sextet(text[i]);
    if (value < 0) return false;
    group = (group << 6) | static_cast<uint32_t>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes->push_back(static_cast<char>((group >> bits) & 0xFF));
    }
  }
  return true;
}

std::shared_ptr<PageFrame> DecodePageFrame(const std::string& base64) {
  std::string bytes;
  if (!DecodeBase64(base64, &bytes) || bytes.empty()) return nullptr;
  int width = 0, height = 0, channels = 0;
  const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
  const int length = static_cast<int>(bytes.size());
  if (!stbi_info_from_memory(data, length, &width, &height, &channels) || width <= 0 ||
      height <= 0 || width > kMaxSide || height > kMaxSide) {
    return nullptr;
  }
  stbi_uc* rgba = stbi_load_from_memory(data, length, &width, &height, &channels, 4);
  if (rgba == nullptr) return nullptr;
  auto frame = std::make_shared<PageFrame>();
  frame->width = width;
  frame->height = height;
  frame->pixels.resize(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < frame->pixels.size(); ++i) {
    const stbi_uc* p = rgba + i * 4;
    frame->pixels[i] = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
  stbi_image_free(rgba);
  return frame;
}
