#pragma once

// Test access to the TLS recording server (tls_recording_server.py, fixture "https_server"):
// its two addresses, trust in its test certificate, and the query text of a redirect answer.

#include <string>

namespace invitation_testing {

// "https://127.0.0.1:<port>" of the port whose certificate the tests trust (|trusted|) or of
// the one nobody trusts; "" when the server is not running.
std::string HttpsBase(bool trusted);
// Requests recorded under |segment| so far by the TLS server.
int HttpsRequestCount(const std::string& segment);
// Adds the server's test certificate to the prefix's machine root store, as an administrator
// trusts a company's own certificate authority. True once it is there.
bool TrustTestCertificate();
// The query string of an answer that redirects to |location| after |delay_ms|:
// "?status=302&location=<escaped>" (and "&delay=<ms>").
std::string RedirectQuery(const std::string& location, int delay_ms = 0);

}  // namespace invitation_testing
