#pragma once

// CxHandle: the single owner of one Windows kernel handle (thread, event, mutex, mapping,
// process). The handle is closed when the owner is destroyed or reset. Move-only.
//
// The header stays free of <windows.h>: a HANDLE is a `void*`, so callers pass their HANDLE
// values unchanged. Both 0 and INVALID_HANDLE_VALUE count as "no handle".
//
// Not thread-safe: one thread owns a CxHandle at a time.
class CxHandle {
 public:
  using NativeHandle = void*;

  CxHandle() = default;
  explicit CxHandle(NativeHandle handle);
  ~CxHandle();

  CxHandle(const CxHandle&) = delete;
  CxHandle& operator=(const CxHandle&) = delete;
  CxHandle(CxHandle&& other) noexcept;
  CxHandle& operator=(CxHandle&& other) noexcept;

  // Closes the handle (CloseHandle) when one is held; the owner is empty afterwards.
  // GetLastError is kept across the call.
  void Close();

  // Closes the held handle and takes ownership of |handle|.
  void Reset(NativeHandle handle = nullptr);

  // Gives up ownership without closing; the caller closes the returned handle.
  [[nodiscard]] NativeHandle Release();

  NativeHandle Get() const { return handle_; }
  bool IsValid() const;
  explicit operator bool() const { return IsValid(); }

 private:
  NativeHandle handle_ = nullptr;
};
