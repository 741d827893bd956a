// Reads a model file whole and deciphers it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zqfd {

// The plain bytes of the enciphered model file at |path|. Prints "Dont open <path>" and returns
// nothing when the file cannot be opened; returns nothing when it cannot be read or deciphered.
std::optional<std::vector<unsigned char>> ReadModelFile(const std::string& path);

}  // namespace zqfd
