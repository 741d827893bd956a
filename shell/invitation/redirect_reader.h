#pragma once

// Reads the address that an invitation link redirects to: one GET of the link through
// libcurl's easy interface, without following the redirect.
//
// Certificates are checked: an HTTPS server whose certificate does not chain to a trusted root
// or does not name the link's host gives no address. The request blocks its caller for up to
// kRedirectTimeoutSeconds; run it on a worker thread (CInvitationLookup).
//
// Threads: any thread; each call has its own transfer.

#include <atomic>
#include <string>

// The whole request may take this long.
constexpr long kRedirectTimeoutSeconds = 100;

// The address |url| (an http or https address, ANSI code page) redirects to, as the server's
// Location names it made absolute; empty after a failed transfer, an untrusted certificate or an
// answer that is not a redirect. Setting |*cancel| (when given) ends a transfer in progress
// within about a second; it then gives an empty address.
std::string ReadRedirectAddress(const std::string& url,
                                const std::atomic<bool>* cancel = nullptr);
