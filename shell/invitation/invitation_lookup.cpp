#include "shell/invitation/invitation_lookup.h"

#include <system_error>
#include <utility>

#include "foundation/log.h"
#include "shell/invitation/redirect_reader.h"

CInvitationLookup::CInvitationLookup(Reader reader) : reader_(std::move(reader)) {
  if (!reader_) {
    reader_ = [](const std::string& url, const std::atomic<bool>& cancel) {
      return ReadRedirectAddress(url, &cancel);
    };
  }
}

CInvitationLookup::~CInvitationLookup() {
  cancel_ = true;
  Finish();
}

bool CInvitationLookup::Start(const std::string& url, Done done) {
  if (Busy()) return false;
  cancel_ = false;
  try {
    worker_ = std::thread([this, url, done = std::move(done)] {
      std::string address;
      try {
        address = reader_(url, cancel_);
      } catch (...) {
        TVLOG_ERROR() << "invitation lookup failed";
        address.clear();
      }
      try {
        done(address);
      } catch (...) {
        TVLOG_ERROR() << "invitation lookup: the result was not delivered";
      }
    });
  } catch (const std::system_error& error) {
    TVLOG_ERROR() << "invitation lookup: no thread (" << error.what() << ")";
    return false;
  }
  return true;
}

void CInvitationLookup::Finish() {
  if (worker_.joinable()) worker_.join();
}
