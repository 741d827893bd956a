#include "foundation/handle.h"

#include <windows.h>

CxHandle::CxHandle(NativeHandle handle) : handle_(handle) {}

CxHandle::~CxHandle() { Close(); }

CxHandle::CxHandle(CxHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

CxHandle& CxHandle::operator=(CxHandle&& other) noexcept {
  if (this != &other) {
    Reset(other.handle_);
    other.handle_ = nullptr;
  }
  return *this;
}

bool CxHandle::IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

void CxHandle::Close() {
  if (IsValid()) {
    const DWORD last_error = GetLastError();
    CloseHandle(handle_);
    SetLastError(last_error);
  }
  handle_ = nullptr;
}

void CxHandle::Reset(NativeHandle handle) {
  if (handle == handle_) return;
  Close();
  handle_ = handle;
}

CxHandle::NativeHandle CxHandle::Release() {
  NativeHandle handle = handle_;
  handle_ = nullptr;
  return handle;
}
