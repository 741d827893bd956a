// The exports of OrvimSDK.dll: CreateRTService, ReleaseRTService and OrvimControl.

#include <windows.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "orvim_control.h"
#include "orvim_sdk.h"
#include "platform/orvim/common/json.h"
#include "platform/orvim/common/wire.h"
#include "platform/orvim/sdk/sdk_threads.h"
#include "platform/orvim/sdk/service.h"
#include "platform/orvim/sdk/virtual_devices.h"

// Exported through orvim_sdk.def only.
#define ORVIM_EXPORT extern "C"

namespace orvim::sdk {
namespace {

// The live services of the process, in creation order. Control commands hold a reference
// while they run, so a service released meanwhile is destroyed when they are done.
class Registry {
 public:
  // Never destroyed: at process exit the services' threads are gone already, and waiting for
  // them while the library unloads could only hang.
  static Registry& Instance() {
    static Registry* registry = new Registry;
    return *registry;
  }

  Service* Create() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!winsock_) winsock_ = std::make_unique<WinsockScope>();
    services_.push_back(std::make_shared<Service>(++last_number_));
    return services_.back().get();
  }

  std::shared_ptr<Service> Take(rtTarvo::base::RTService* service) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = services_.begin(); it != services_.end(); ++it) {
      if (static_cast<rtTarvo::base::RTService*>(it->get()) == service) {
        std::shared_ptr<Service> taken = std::move(*it);
        services_.erase(it);
        return taken;
      }
    }
    return nullptr;
  }

  bool Contains(rtTarvo::base::RTService* service) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& s : services_) {
      if (static_cast<rtTarvo::base::RTService*>(s.get()) == service) return true;
    }
    return false;
  }

  // The service |number|, or the newest when |number| is 0.
  std::shared_ptr<Service> Find(int number) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (number == 0) return services_.empty() ? nullptr : services_.back();
    for (const auto& s : services_) {
      if (s->number() == number) return s;
    }
    return nullptr;
  }

  std::vector<std::shared_ptr<Service>> All() {
    std::lock_guard<std::mutex> lock(mutex_);
    return services_;
  }

 private:
  std::mutex mutex_;  // Protects everything below.
  std::unique_ptr<WinsockScope> winsock_;  // Started with the first service, kept.
  std::vector<std::shared_ptr<Service>> services_;
  int last_number_ = 0;
};

// How long a removed camera's streams may take to end.
constexpr int kCameraEndTimeoutMs = 10000;

std::string HandleControl(const std::string& text) {
  JsonPtr request = ParseObject(text);
  if (!request) return ErrorAnswer("the request is no JSON object");
  const std::string command = GetString(request.get(), "cmd");
  if (command == "services") {
    JsonPtr answer = NewObject();
    PutBool(answer.get(), "ok", true);
    cJSON* list = cJSON_AddArrayToObject(answer.get(), "services");
    for (const auto& service : Registry::Instance().All()) cJSON_AddItemToArray(list, service->Describe());
    return ToText(answer.get());
  }
  if (command == "threads") {
    JsonPtr answer = NewObject();
    PutBool(answer.get(), "ok", true);
    PutInt(answer.get(), "threads", LiveSdkThreads());
    return ToText(answer.get());
  }
  if (command == "devices") {
    std::string answer = VirtualDevices::Instance().HandleDevices(request.get());
    if (GetString(request.get(), "action") == "remove" && GetBool(ParseObject(answer).get(), "ok")) {
      // As when a camera is unplugged: its streams end, and no frame of it follows the answer.
      const std::string id = GetString(request.get(), "id");
      for (const auto& service : Registry::Instance().All()) {
        if (!service->EndCameraStreams(id, kCameraEndTimeoutMs)) {
          return ErrorAnswer("the streams of camera " + id + " did not end");
        }
      }
    }
    return answer;
  }
  if (command == "level") return VirtualDevices::Instance().HandleLevel(request.get());
  if (command == "camera_rate") return VirtualDevices::Instance().HandleCameraRate(request.get());
  if (command == "server" && Has(request.get(), "address")) {
    // A server command needs no service when the address is given.
    WinsockScope winsock;
    return ForwardToServer(GetString(request.get(), "address"), request.get());
  }
  std::shared_ptr<Service> service = Registry::Instance().Find(GetInt(request.get(), "service"));
  if (!service) return ErrorAnswer("no such service");
  return service->Control(command, request.get());
}

// An answer that did not fit the caller's buffer, kept for the caller's next call with the
// same request (commands such as "journal" with "clear", "tap" with "drain" or "emit" must
// not run twice, and a growing answer would never fit).
struct HeldAnswer {
  bool held = false;
  std::string request;
  std::string answer;
};

// Held answers by calling thread. Never destroyed (no thread-local destructor either): the
// library may be unloaded at process exit while other threads are gone.
class HeldAnswers {
 public:
  static HeldAnswers& Instance() {
    static HeldAnswers* answers = new HeldAnswers;
    return *answers;
  }
  // The answer held for |request| of the calling thread, taken; false when none. Any other
  // answer held for the thread is dropped.
  bool Take(const std::string& request, std::string* answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = held_.find(GetCurrentThreadId());
    if (it == held_.end()) return false;
    const bool match = it->second.request == request;
    if (match) *answer = std::move(it->second.answer);
    held_.erase(it);
    return match;
  }
  void Hold(const std::string& request, const std::string& answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    held_[GetCurrentThreadId()] = HeldAnswer{true, request, answer};
  }

 private:
  std::mutex mutex_;
  std::map<unsigned long, HeldAnswer> held_;
};

}  // namespace
}  // namespace orvim::sdk

ORVIM_EXPORT rtTarvo::base::RTService* CreateRTService() {
  try {
    return orvim::sdk::Registry::Instance().Create();
  } catch (...) {
    return nullptr;
  }
}

ORVIM_EXPORT void ReleaseRTService(rtTarvo::base::RTService* service) {
  if (!service) return;
  // From one of the service's own callbacks the service cannot wait for its threads.
  auto& registry = orvim::sdk::Registry::Instance();
  if (!registry.Contains(service)) return;
  if (orvim::sdk::CurrentThreadOwner() == static_cast<orvim::sdk::Service*>(service)) return;
  std::shared_ptr<orvim::sdk::Service> taken = registry.Take(service);
  if (taken) taken->Shutdown();
}

ORVIM_EXPORT int OrvimControl(const char* request, char* answer, int capacity) {
  const std::string request_text = request ? request : "";
  auto& held = orvim::sdk::HeldAnswers::Instance();
  std::string text;
  if (!held.Take(request_text, &text)) {
    try {
      text = orvim::sdk::HandleControl(request_text);
    } catch (...) {
      text = orvim::ErrorAnswer("the command failed");
    }
  }
  if (capacity <= 0 || text.size() >= static_cast<size_t>(capacity)) held.Hold(request_text, text);
  if (answer && capacity > 0) {
    const size_t n = text.size() < static_cast<size_t>(capacity - 1) ? text.size() : capacity - 1;
    std::memcpy(answer, text.data(), n);
    answer[n] = '\0';
  }
  return static_cast<int>(text.size());
}
