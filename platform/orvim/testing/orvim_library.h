#pragma once

#include <string>

#include "orvim_control.h"
#include "orvim_sdk.h"
#include "platform/orvim/common/json.h"

namespace orvim::testing {

// OrvimSDK.dll as tests use it: loaded from beside the test program, with its control export.
class OrvimLibrary {
 public:
  // Loads the library; ok() tells whether it and its three exports were found.
  OrvimLibrary();
  ~OrvimLibrary();  // The library stays loaded (as the client keeps it).
  OrvimLibrary(const OrvimLibrary&) = delete;
  OrvimLibrary& operator=(const OrvimLibrary&) = delete;

  bool ok() const { return create_ && release_ && control_; }
  rtTarvo::base::RTService* Create() const { return create_ ? create_() : nullptr; }
  void Release(rtTarvo::base::RTService* service) const {
    if (release_) release_(service);
  }

  // The control export itself.
  OrvimControlFunc control() const { return control_; }
  // Sends one control request and returns the answer text.
  std::string Control(const std::string& request) const;
  // The answer parsed (null when it is no JSON object).
  JsonPtr ControlJson(const std::string& request) const;
  // True when the answer says "ok".
  bool ControlOk(const std::string& request) const;

 private:
  void* module_ = nullptr;  // HMODULE, never freed.
  CreateRTServiceFunc create_ = nullptr;
  ReleaseRTServiceFunc release_ = nullptr;
  OrvimControlFunc control_ = nullptr;
};

}  // namespace orvim::testing
