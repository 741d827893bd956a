#pragma once

// The IUnknown part of the test devices' small COM objects (enumerators, class factory): one
// interface, a reference count starting at 1 (the creator's), and a count of the DLL's live
// objects for DllCanUnloadNow.

#include <windows.h>

#include <atomic>

namespace tarvo_test_devices {

// Live objects of the DLL.
extern std::atomic<long> g_live_objects;

template <typename Interface, const IID& kInterfaceId>
class ComObject : public Interface {
 public:
  ComObject() { ++g_live_objects; }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == kInterfaceId) {
      *out = static_cast<Interface*>(this);
      this->AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~ComObject() { --g_live_objects; }

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace tarvo_test_devices
