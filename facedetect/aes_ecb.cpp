#include "aes_ecb.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>

namespace zqfd {
namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

// The largest piece handed to one CNG call: a multiple of the block size below ULONG's range.
constexpr size_t kMaxPiece = 0x40000000;

}  // namespace

struct AesEcb::Handles {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_KEY_HANDLE key = nullptr;
  ~Handles() {
    if (key != nullptr) BCryptDestroyKey(key);
    if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

AesEcb::AesEcb(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}
AesEcb::~AesEcb() = default;

std::unique_ptr<AesEcb> AesEcb::Create(const uint8_t* key, size_t key_length) {
  if (key == nullptr || (key_length != 16 && key_length != 24 && key_length != 32)) return nullptr;
  auto handles = std::make_unique<Handles>();
  if (!Succeeded(
          BCryptOpenAlgorithmProvider(&handles->algorithm, BCRYPT_AES_ALGORITHM, nullptr, 0))) {
    handles->algorithm = nullptr;
    return nullptr;
  }
  if (!Succeeded(
          BCryptSetProperty(handles->algorithm, BCRYPT_CHAINING_MODE,
                            reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB)),
                            sizeof(BCRYPT_CHAIN_MODE_ECB), 0))) {
    return nullptr;
  }
  if (!Succeeded(BCryptGenerateSymmetricKey(handles->algorithm, &handles->key, nullptr, 0,
                                            const_cast<PUCHAR>(key), static_cast<ULONG>(key_length),
                                            0))) {
    handles->key = nullptr;
    return nullptr;
  }
  return std::unique_ptr<AesEcb>(new AesEcb(std::move(handles)));
}

bool AesEcb::Encrypt(uint8_t* data, size_t length) const {
  if (length % 16 != 0) return false;
  for (size_t done = 0; done < length;) {
    const ULONG piece = static_cast<ULONG>(std::min(length - done, kMaxPiece));
    ULONG written = 0;
    if (!Succeeded(BCryptEncrypt(handles_->key, data + done, piece, nullptr, nullptr, 0,
                                 data + done, piece, &written, 0)) ||
        written != piece) {
      return false;
    }
    done += piece;
  }
  return true;
}

bool AesEcb::Decrypt(uint8_t* data, size_t length) const {
  if (length % 16 != 0) return false;
  for (size_t done = 0; done < length;) {
    const ULONG piece = static_cast<ULONG>(std::min(length - done, kMaxPiece));
    ULONG written = 0;
    if (!Succeeded(BCryptDecrypt(handles_->key, data + done, piece, nullptr, nullptr, 0,
                                 data + done, piece, &written, 0)) ||
        written != piece) {
      return false;
    }
    done += piece;
  }
  return true;
}

}  // namespace zqfd
