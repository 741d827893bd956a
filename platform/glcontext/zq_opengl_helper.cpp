#include "zq_opengl_helper.h"

#include <GL/glew.h>

#include <cstdio>

namespace {

const wchar_t kWindowClass[] = L"ZqOpenglHelperWindow";

bool registerWindowClass() {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_OWNDC;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kWindowClass;
  if (RegisterClassExW(&wc)) return true;
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

ZqOpenglHelper* ZqOpenglHelper::getInstance() {
  static ZqOpenglHelper instance;
  return &instance;
}

void ZqOpenglHelper::PrintglfwError(int code, const char* text) {
  std::printf("glfwerror %d %s\n", code, text ? text : "");
  std::fflush(stdout);
}

bool ZqOpenglHelper::glEnvInit() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (context_) return true;
  if (!registerWindowClass()) return false;
  window_ = CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 16, 16, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (!window_) return false;
  dc_ = GetDC(window_);
  PIXELFORMATDESCRIPTOR pfd = {};
  pfd.nSize = sizeof(pfd);
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 32;
  pfd.cAlphaBits = 8;
  pfd.cDepthBits = 24;
  pfd.cStencilBits = 8;
  pfd.iLayerType = PFD_MAIN_PLANE;
  int format = dc_ ? ChoosePixelFormat(dc_, &pfd) : 0;
  if (format == 0 || !SetPixelFormat(dc_, format, &pfd)) {
    destroy();
    return false;
  }
  context_ = wglCreateContext(dc_);
  if (!context_ || !wglMakeCurrent(dc_, context_)) {
    destroy();
    return false;
  }
  glewExperimental = GL_TRUE;
  const bool glewReady = glewInit() == GLEW_OK;
  // A bracket open on this thread keeps its context current.
  if (depth_ == 0) wglMakeCurrent(nullptr, nullptr);
  if (!glewReady) {
    destroy();
    return false;
  }
  return true;
}

void ZqOpenglHelper::glBegin() {
  lock_.lock();
  if (depth_++ == 0 && context_) wglMakeCurrent(dc_, context_);
}

void ZqOpenglHelper::glEnd() {
  // A glEnd without its glBegin on this thread is ignored rather than unlocking another's lock.
  if (!lock_.try_lock()) return;
  if (depth_ == 0) {
    lock_.unlock();
    return;
  }
  if (--depth_ == 0 && context_) wglMakeCurrent(nullptr, nullptr);
  lock_.unlock();  // the try_lock above
  lock_.unlock();  // the matching glBegin
}

void ZqOpenglHelper::glEnvRelease() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  destroy();
}

void ZqOpenglHelper::destroy() {
  if (context_) {
    if (wglGetCurrentContext() == context_) wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(context_);
    context_ = nullptr;
  }
  if (dc_) {
    ReleaseDC(window_, dc_);
    dc_ = nullptr;
  }
  if (window_) {
    DestroyWindow(window_);
    window_ = nullptr;
  }
}
