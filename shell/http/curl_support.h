#pragma once

// What the client's libcurl users share: the library's one-time start, and the check of the
// certificates an HTTPS server showed against the system's trusted roots and the host name.
//
// libcurl uses Schannel here. Schannel is asked to check certificates (CURLOPT_SSL_VERIFYPEER
// and CURLOPT_SSL_VERIFYHOST stay on), but where the TLS layer leaves that check to its caller
// (Wine's does) a transfer to an untrusted server still succeeds; a caller that depends on the
// server's identity asks for CURLOPT_CERTINFO and checks the chain itself with
// CurlServerIsTrusted once the transfer has ended.
//
// Threads: both may be called from any thread.

#include <curl/curl.h>

#include <string>

// Starts libcurl once for the process (curl_global_init); later calls do nothing.
void EnsureCurlStarted();

// True when the certificates |curl| reports (CURLINFO_CERTINFO, after a transfer with
// CURLOPT_CERTINFO on) chain to a trusted root and name |host|. No certificates: false.
bool CurlServerIsTrusted(CURL* curl, const std::wstring& host);
