#include "platform/orvim/testing/orvim_library.h"

#include <windows.h>

#include <vector>

#include "tests/support/test_process.h"

namespace orvim::testing {

namespace {

template <class F>
F Lookup(void* module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name)));
}

}  // namespace

OrvimLibrary::OrvimLibrary() {
  module_ = LoadLibraryW(tarvo_test::ProgramBeside(L"OrvimSDK.dll").c_str());
  if (!module_) return;
  create_ = Lookup<CreateRTServiceFunc>(module_, "CreateRTService");
  release_ = Lookup<ReleaseRTServiceFunc>(module_, "ReleaseRTService");
  control_ = Lookup<OrvimControlFunc>(module_, "OrvimControl");
}

OrvimLibrary::~OrvimLibrary() = default;

std::string OrvimLibrary::Control(const std::string& request) const {
  if (!control_) return "{\"ok\":false,\"error\":\"no library\"}";
  std::vector<char> answer(4096);
  for (;;) {
    const int n = control_(request.c_str(), answer.data(), static_cast<int>(answer.size()));
    if (n < static_cast<int>(answer.size())) return std::string(answer.data(), static_cast<size_t>(n));
    answer.resize(static_cast<size_t>(n) + 1);
  }
}

JsonPtr OrvimLibrary::ControlJson(const std::string& request) const { return ParseObject(Control(request)); }

bool OrvimLibrary::ControlOk(const std::string& request) const {
  JsonPtr answer = ControlJson(request);
  return answer && GetBool(answer.get(), "ok");
}

}  // namespace orvim::testing
