#include "model_file.h"

#include <cstdio>
#include <limits>
#include <memory>

#include "zq_block_cipher.h"

namespace zqfd {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::optional<std::vector<unsigned char>> ReadModelFile(const std::string& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    std::printf("Dont open %s\n", path.c_str());
    std::fflush(stdout);
    return std::nullopt;
  }
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return std::nullopt;
  const long size = std::ftell(file.get());
  if (size <= 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return std::nullopt;
  std::vector<unsigned char> bytes(static_cast<size_t>(size));
  if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return std::nullopt;

  unsigned int plain_length = 0;
  if (block_cipher_decrypt(bytes.data(), static_cast<unsigned int>(bytes.size()), &plain_length) !=
      1) {
    return std::nullopt;
  }
  bytes.resize(plain_length);
  return bytes;
}

}  // namespace zqfd
