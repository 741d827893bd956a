#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One picture of a page as the engine sends it (a screencast frame): decoded to 32-bit BGRA
// rows, top row first, ready for SetDIBitsToDevice.
struct PageFrame {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// Decodes |base64| (PNG or JPEG data in Base64, as the protocol carries it). Null when the text
// or the picture is not valid, or the picture is larger than 8192 x 8192.
std::shared_ptr<PageFrame> DecodePageFrame(const std::string& base64);

// Base64 (RFC 4648, "=" padding optional) to bytes; false on any other character.
bool DecodeBase64(const std::string& text, std::string* bytes);
