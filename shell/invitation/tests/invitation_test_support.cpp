#include "shell/invitation/tests/invitation_test_support.h"

#include <windows.h>

#include <wincrypt.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace invitation_testing {
namespace {

std::string StateDir() {
  const char* dir = std::getenv("TARVO_TEST_DATA");
  return std::string(dir ? dir : ".") + "/https-server";
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::string HttpsBase(bool trusted) {
  const std::string port = ReadText(StateDir() + (trusted ? "/port" : "/untrusted_port"));
  return port.empty() ? std::string() : "https://127.0.0.1:" + port;
}

int HttpsRequestCount(const std::string& segment) {
  int n = 0;
  while (std::ifstream(StateDir() + "/requests/" + segment + "/" + std::to_string(n) + ".head")) {
    ++n;
  }
  return n;
}

bool TrustTestCertificate() {
  const std::string pem = ReadText(StateDir() + "/cert.pem");
  DWORD size = 0;
  if (pem.empty() ||
      !CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                            nullptr, &size, nullptr, nullptr)) {
    return false;
  }
  std::string der(size, '\0');
  if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                            reinterpret_cast<BYTE*>(&der[0]), &size, nullptr, nullptr)) {
    return false;
  }
  HCERTSTORE root =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
  if (root == nullptr) return false;
  const BOOL added = CertAddEncodedCertificateToStore(
      root, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), size,
      CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  CertCloseStore(root, 0);
  return added != FALSE;
}

std::string RedirectQuery(const std::string& location, int delay_ms) {
  std::string escaped;
  for (unsigned char c : location) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      escaped += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof(hex), "%%%02X", c);
      escaped += hex;
    }
  }
  std::string query = "?status=302&location=" + escaped;
  if (delay_ms > 0) query += "&delay=" + std::to_string(delay_ms);
  return query;
}

}  // namespace invitation_testing
