#pragma once

// Trastor: the canvas engine. A canvas is a named picture of a fixed size composed from
// sources at a steady frame rate; it either hands every composed picture to the client as an
// I420 frame (output mode 1) or draws it into a window (output mode 0).
//
// Each started canvas has its own engine thread. On every tick it fills a 32-bit picture of the
// canvas size with the background colour, then draws each source, in the order the sources
// were created, at its position scaled to its size:
//   - kind 0 (kSourcePull) asks its gsDsCaptureSink to paint the frame into a device context;
//   - kind 3 (kSourcePush) shows the last frame pushed into it, or its placeholder picture
//     until a frame comes and after ClearFrame.
// Pictures are drawn opaque (alpha is not blended).
//
// Threads: the exports and the canvas and source operations may be called from any thread.
// The capture sink, the frame-out sink and the window drawing run on the canvas's engine
// thread. No engine lock is held while a sink runs, so a sink may call GetSize, SetSize and
// IsRunning of its canvas, SetSize of its source and Stop; a size set during a tick applies
// from the next tick. Close and Trastor_DestroyCanvas are refused on the canvas's own engine
// thread (inside its sinks).
//
// Lifetime: canvases and sources belong to the engine. A destroyed canvas and its sources stay
// callable until the process ends (their calls do nothing), so a frame pushed from another
// thread while the canvas is destroyed is dropped rather than touching freed memory.

#include <windows.h>

#if defined(TRASTOR_BUILD)
#define TRASTOR_API __declspec(dllexport)
#else
#define TRASTOR_API __declspec(dllimport)
#endif

class TrastorCanvas;
class TrastorSource;

namespace trastor {

// Source kinds for TrastorCanvas::CreateSource.
constexpr int kSourcePull = 0;  // "SOURCE_AS": each frame painted by a gsDsCaptureSink.
constexpr int kSourcePush = 3;  // "SOURCE_VIDEO_SRC": fed by PushFrame.

// Frame formats for TrastorSource::PushFrame and the frame-out sink. The byte length a frame
// must have is given for a width w and height h.
constexpr int kFormatI420 = 0;   // Y, U, V planes, 4:2:0: w*h + 2*ceil(w/2)*ceil(h/2).
constexpr int kFormatNV12 = 1;   // Y plane, then interleaved U, V, 4:2:0: w*h*3/2 for even
                                 // sides, w*h + 2*ceil(w/2)*ceil(h/2) in general.
constexpr int kFormatBGR24 = 2;  // Bytes blue, green, red per pixel, top row first: w*h*3.
constexpr int kFormatBGRA = 3;   // Bytes blue, green, red, alpha, top row first: w*h*4.
constexpr int kFormatYUY2 = 5;   // Packed Y0 U Y1 V: w*h*2 (w rounded up to even).
constexpr int kFormatUYVY = 6;   // Packed U Y0 V Y1: w*h*2 (w rounded up to even).

// Output modes for TrastorCanvas::SetOutputMode.
constexpr int kOutputWindow = 0;  // Drawn into the window at the view size.
constexpr int kOutputFrames = 1;  // Handed to the gsVideoFrameOutSink as I420.

// Canvas and source sizes are accepted from 1 to this on either side.
constexpr int kMaxSide = 16384;

}  // namespace trastor

// Implemented by the client for a pull source: paints one frame.
class gsDsCaptureSink {
 public:
  // Called on the engine thread with a memory device context holding a `width` x `height`
  // bitmap of the source's size, filled with the canvas background. The sink paints from the
  // context's origin and returns true to take the picture; false keeps the source's previous
  // picture.
  virtual bool OnCaptureFrame(TrastorSource* source, HDC dc, int width, int height) = 0;

 protected:
  ~gsDsCaptureSink() = default;
};

// Implemented by the client for a canvas in output mode 1: receives each composed frame.
class gsVideoFrameOutSink {
 public:
  // Called on the engine thread. `format` is trastor::kFormatI420; `pixels` holds `length`
  // bytes (w*h + 2*ceil(w/2)*ceil(h/2)) valid during the call. The two reserved values are 0.
  virtual void OnVideoFrameOut(TrastorCanvas* canvas, int format, int width, int height,
                               const unsigned char* pixels, int length, int reserved1,
                               int reserved2) = 0;

 protected:
  ~gsVideoFrameOutSink() = default;
};

// Decoded video of a media source, for a player window. Declared for the client's playback
// window; no source of this engine calls it.
class gsVideoCaptureSink {
 public:
  // Returns true when the frame was taken.
  virtual bool OnVideoCapture(TrastorSource* source, int format, int width, int height,
                              const unsigned char* data, int length) = 0;

 protected:
  ~gsVideoCaptureSink() = default;
};

// Decoded sound of a media source, for a player window. Declared for the client's playback
// window; no source of this engine calls it.
class gsSoundCaptureSink {
 public:
  // 16-bit interleaved samples. Returns true when they were taken.
  virtual bool OnSoundCapture(TrastorSource* source, const unsigned char* samples, int length,
                              int sample_rate, int channels) = 0;

 protected:
  ~gsSoundCaptureSink() = default;
};

// One picture input of a canvas. Created by TrastorCanvas::CreateSource.
class TrastorSource {
 public:
  // Top-left corner on the canvas; may lie partly outside it.
  virtual void SetPosition(int x, int y) = 0;
  // Size on the canvas (and of a pull source's device context). False for sides outside
  // 1..trastor::kMaxSide (logged, nothing changes).
  virtual bool SetSize(int width, int height) = 0;
  // Forgets the last pushed or pulled picture: the placeholder shows until the next frame.
  virtual void ClearFrame() = 0;
  // Copies one frame of a push source. Dropped (false) while the canvas is not running, for a
  // pull source, for an unknown format, sides outside 1..trastor::kMaxSide, a null buffer or
  // `length` below what the format needs.
  virtual bool PushFrame(int format, int width, int height, const unsigned char* data,
                         int length) = 0;
  // Decodes the picture file (PNG or another format stb_image reads) shown before the first
  // frame and after ClearFrame. False when it cannot be read; there is then no placeholder.
  virtual bool SetPlaceholderImage(const wchar_t* path) = 0;
  // The sink that paints each frame of a pull source; null stops pulling.
  virtual void SetCaptureSink(gsDsCaptureSink* sink) = 0;

 protected:
  ~TrastorSource() = default;
};

// A named canvas. Created by Trastor_CreateCanvas.
class TrastorCanvas {
 public:
  // A new source of `kind` (trastor::kSourcePull or kSourcePush) drawn above the earlier ones;
  // null for another kind. `reserved` is not used.
  virtual TrastorSource* CreateSource(int kind, const char* name, int reserved) = 0;
  // Stops the canvas and lets go of everything the client gave it: sources (they drop frames
  // from now on), window and frame-out sink. The canvas can be set up again.
  virtual void Close() = 0;
  // Picture size; false for sides outside 1..trastor::kMaxSide. 640 x 480 until set.
  virtual bool SetSize(int width, int height) = 0;
  virtual void GetSize(int* width, int* height) = 0;
  // Ticks per second; false for values <= 0 or not a number. 15 until set.
  virtual bool SetFrameRate(float frames_per_second) = 0;
  // The window drawn into in output mode 0 (null: none).
  virtual void SetWindow(HWND window) = 0;
  // The size the picture is stretched to in the window; the window's client size until set.
  virtual bool SetViewSize(int width, int height) = 0;
  // trastor::kOutputWindow or kOutputFrames; false for another value.
  virtual bool SetOutputMode(int mode) = 0;
  // Starts the engine thread; true when it runs (also when it already ran).
  virtual bool Start() = 0;
  // Stops the engine thread and returns after a tick in progress has ended. On the engine
  // thread itself (inside a sink) it marks the canvas stopped and returns at once.
  virtual void Stop() = 0;
  virtual bool IsRunning() = 0;
  // Receives each composed frame in output mode 1 (null: none).
  virtual void SetFrameOutSink(gsVideoFrameOutSink* sink) = 0;
  // 0xAARRGGBB; drawn opaque. 0xFF000000 until set.
  virtual void SetBackground(unsigned int argb) = 0;

 protected:
  ~TrastorCanvas() = default;
};

extern "C" {

// The client's main window. Stored; the engine draws into no window but canvas windows.
TRASTOR_API void Trastor_SetMainWnd(HWND window);

// Counts one user of the engine; returns the number of users.
TRASTOR_API int Trastor_Load(void);

// Ends one user (an extra call is harmless). When the last user ends, every live canvas is
// stopped; canvases stay valid until destroyed and can be started again.
TRASTOR_API void Trastor_Free(void);

// A new canvas named `name`; null when the name is empty or already in use.
TRASTOR_API TrastorCanvas* Trastor_CreateCanvas(const char* name);

// The live canvas named `name`, or null.
TRASTOR_API TrastorCanvas* Trastor_GetCanvas(const char* name);

// Stops and closes the canvas and frees its name. A pointer that is not a live canvas is
// ignored.
TRASTOR_API void Trastor_DestroyCanvas(TrastorCanvas* canvas);

}  // extern "C"
