// Enciphers a model file for the face detection library.
//   zq_model_encipher block|plain <input> <output> [key-material length, odd 1..31, default 31]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "model_encipher.h"

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5 ||
      (std::strcmp(argv[1], "block") != 0 && std::strcmp(argv[1], "plain") != 0)) {
    std::fprintf(stderr, "usage: zq_model_encipher block|plain <input> <output> [key length]\n");
    return 2;
  }
  const auto mode =
      std::strcmp(argv[1], "block") == 0 ? zqfd::CipherMode::kBlock : zqfd::CipherMode::kPlain;
  const int key_length = argc == 5 ? std::atoi(argv[4]) : 31;

  std::ifstream in(argv[2], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return 1;
  }
  std::vector<uint8_t> plain((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  auto enciphered = zqfd::EncipherModel(plain, mode, key_length);
  if (!enciphered) {
    std::fprintf(stderr, "cannot encipher (the key length must be odd, 1 to 31)\n");
    return 1;
  }
  std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(enciphered->data()),
            static_cast<std::streamsize>(enciphered->size()));
  if (!out.flush()) {
    std::fprintf(stderr, "cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
