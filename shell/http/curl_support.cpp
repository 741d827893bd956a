#include "shell/http/curl_support.h"

#include <windows.h>

#include <wincrypt.h>

#include <cstring>

#include "foundation/log.h"

void EnsureCurlStarted() {
  static const CURLcode started = curl_global_init(CURL_GLOBAL_ALL);
  (void)started;
}

namespace {

// The store of the certificates a server showed; *leaf is the first one (the server's own).
class ShownCertificates {
 public:
  explicit ShownCertificates(const curl_certinfo* info)
      : store_(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr)) {
    if (store_ == nullptr) return;
    for (int i = 0; i < info->num_of_certs; ++i) {
      for (const curl_slist* item = info->certinfo[i]; item != nullptr; item = item->next) {
        if (std::strncmp(item->data, "Cert:", 5) == 0) Add(item->data + 5, i == 0);
      }
    }
  }
  ~ShownCertificates() {
    if (leaf_ != nullptr) CertFreeCertificateContext(leaf_);
    if (store_ != nullptr) CertCloseStore(store_, 0);
  }
  ShownCertificates(const ShownCertificates&) = delete;
  ShownCertificates& operator=(const ShownCertificates&) = delete;

  HCERTSTORE store() const { return store_; }
  PCCERT_CONTEXT leaf() const { return leaf_; }

 private:
  void Add(const char* pem, bool first) {
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem, 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                              nullptr)) {
      return;
    }
    std::string der(size, '\0');
    if (!CryptStringToBinaryA(pem, 0, CRYPT_STRING_BASE64HEADER, reinterpret_cast<BYTE*>(&der[0]),
                              &size, nullptr, nullptr)) {
      return;
    }
    CertAddEncodedCertificateToStore(store_, X509_ASN_ENCODING,
                                     reinterpret_cast<const BYTE*>(der.data()), size,
                                     CERT_STORE_ADD_ALWAYS,
                                     first && leaf_ == nullptr ? &leaf_ : nullptr);
  }

  HCERTSTORE store_;
  PCCERT_CONTEXT leaf_ = nullptr;
};

}  // namespace

bool CurlServerIsTrusted(CURL* curl, const std::wstring& host) {
  curl_certinfo* info = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_CERTINFO, &info) != CURLE_OK || info == nullptr ||
      info->num_of_certs < 1) {
    return false;
  }
  const ShownCertificates shown(info);
  if (shown.store() == nullptr || shown.leaf() == nullptr) return false;
  CERT_CHAIN_PARA chain_para{};
  chain_para.cbSize = sizeof(chain_para);
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!CertGetCertificateChain(nullptr, shown.leaf(), nullptr, shown.store(), &chain_para, 0,
                               nullptr, &chain)) {
    return false;
  }
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof(ssl);
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.pwszServerName = const_cast<wchar_t*>(host.c_str());
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof(policy);
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof(status);
  const bool trusted =
      CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) &&
      status.dwError == 0;
  if (!trusted) TVLOG_WARN() << "server certificate refused: " << status.dwError;
  CertFreeCertificateChain(chain);
  return trusted;
}
