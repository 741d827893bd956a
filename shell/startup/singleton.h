#pragma once

#include <new>

// Singleton<T>::Instance(): the process-wide T, made on first use and never destroyed. Only the UI
// thread makes the first call; a failed allocation yields null.
template <typename T>
class Singleton {
 public:
  static T* Instance() {
    static T* instance = new (std::nothrow) T();
    return instance;
  }
};
