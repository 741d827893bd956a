// One process-wide off-screen OpenGL environment: a hidden window of our own class with an
// RGBA pixel format, a WGL context (compatibility profile) and GLEW's entry points.
//
// Threads: any thread may bracket GL work with glBegin()/glEnd(). glBegin takes a recursive
// lock and makes the context current on the calling thread; glEnd releases the context and the
// lock when the outermost bracket closes, so one thread at a time draws. glEnvInit and
// glEnvRelease take the same lock. The hidden window belongs to the thread that called
// glEnvInit; glEnvRelease should run on that thread (elsewhere the window is left to the
// system when that thread ends).
#pragma once

#include <windows.h>

#include <mutex>

// The beauty library exports PrintglfwError from the copy of this layer linked into it.
#if defined(ZQ_OPENGL_EXPORTING)
#define ZQ_OPENGL_EXPORT __declspec(dllexport)
#else
#define ZQ_OPENGL_EXPORT
#endif

class ZqOpenglHelper {
 public:
  static ZqOpenglHelper* getInstance();

  // Makes the environment usable; a second call while it exists does nothing. False when the
  // window, the pixel format, the context or GLEW could not be set up (nothing is kept then).
  bool glEnvInit();
  // Blocks until no other thread is inside a bracket, then makes the context current here.
  // Without an environment the lock is still taken (and glEnd still releases it).
  void glBegin();
  void glEnd();
  // Ends the environment; glEnvInit may make a new one afterwards.
  void glEnvRelease();

  // The context of the environment (null without one).
  HGLRC context() const { return context_; }

  // Prints "glfwerror <code> <text>" on standard output.
  static ZQ_OPENGL_EXPORT void PrintglfwError(int code, const char* text);

 private:
  ZqOpenglHelper() = default;
  void destroy();

  std::recursive_mutex lock_;
  int depth_ = 0;  // open brackets of the thread holding lock_
  HWND window_ = nullptr;
  HDC dc_ = nullptr;
  HGLRC context_ = nullptr;
};
