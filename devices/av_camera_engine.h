#pragma once

// Morlun's camera engine, as its users see it.
//
// A user creates an engine with Av_CreateCameraEngine and destroys it with
// Av_DestroyCameraEngine. Init initialises COM on the calling thread when that thread has no
// apartment yet (Uninit balances it), builds a DirectShow graph and lists the video capture
// devices; OpenDevice binds one, SelectCap picks one of its capture formats, Start runs the
// capture graph and every frame arrives through AvCameraSink::OnFrame on DirectShow's streaming
// thread.
//
// Unless stated otherwise, call the operations from one thread at a time. Stop may also be
// called from inside OnFrame: it then ends the callbacks at once and reports OnState (0); the
// graph itself is torn down by the next Start, Uninit or destroy.
//
// The order of the virtual operations below is part of the binary interface: never reorder,
// insert or remove one.

#include <cstdint>

#include "devices/morlun_api.h"

// Video formats (GetCapFormat, OnFrame's `format`).
enum AvVideoFormat {
  kAvVideoNone = 0,
  kAvVideoRgb24 = 1,
  kAvVideoRgb32 = 2,
  kAvVideoArgb32 = 3,
  kAvVideoI420 = 4,
  kAvVideoYv12 = 5,
  kAvVideoY41p = 6,
  kAvVideoYvu9 = 7,
  kAvVideoYvyu = 8,
  kAvVideoYuy2 = 9,
  kAvVideoUyvy = 10,
  kAvVideoHdyc = 11,
  kAvVideoMpeg2 = 12,
  kAvVideoH264 = 13,
  kAvVideoDvsl = 14,
  kAvVideoDvsd = 15,
  kAvVideoDvhd = 16,
  kAvVideoMjpg = 17,
};

// Implemented by the user of a camera engine.
class AvCameraSink {
 public:
  // 1 when capture started, 0 when it stopped; on the thread that called Start or Stop.
  virtual void OnState(int state) = 0;
  // One frame, on DirectShow's streaming thread; `data` is valid only during the call.
  // `size` is the number of bytes delivered; `width`, `height` and `format` (AvVideoFormat)
  // describe the frame as connected to the engine. RGB32 frames (format 2) are bottom-up
  // bitmaps: the first row in memory is the bottom row of the picture.
  virtual void OnFrame(const uint8_t* data, int size, int width, int height, int format) = 0;

 protected:
  ~AvCameraSink() = default;
};

// The camera engine. Morlun creates and frees every engine; never delete one yourself.
class MORLUN_API AvCameraEngine {
 public:
  // Where states and frames go (not owned; it must outlive the engine or be replaced).
  virtual void SetSink(AvCameraSink* sink) = 0;
  // Builds the graph and lists the devices. 1 on success, 0 when the graph cannot be made.
  virtual int Init() = 0;
  // Stops, closes the device and releases the graph.
  virtual void Uninit() = 0;
  // Lists the video capture devices again: their number, or -1 when the system device
  // enumerator cannot be used.
  virtual int EnumDevices() = 0;
  // Name and path of a listed device (valid until the next EnumDevices); null out of range.
  virtual const wchar_t* GetDeviceName(int index) = 0;
  virtual const wchar_t* GetDevicePath(int index) = 0;
  // Opens the first device whose name and path both match; an empty (or null) path matches by
  // name alone, an empty name by path alone. 1 on success, else 0.
  virtual int OpenDevice(const wchar_t* name, const wchar_t* path) = 0;
  virtual void CloseDevice() = 0;
  virtual bool IsOpened() = 0;
  // The opened device's name and path (empty texts when none).
  virtual const wchar_t* GetOpenedName() = 0;
  virtual const wchar_t* GetOpenedPath() = 0;
  // The opened device's capture formats.
  virtual int GetCapCount() = 0;
  // Applies capability `index` to the device. 1 on success, else 0.
  virtual int SelectCap(int index) = 0;
  virtual int GetSelectedCap() = 0;
  // Fields of capability `index`; 0 (or "None") out of range.
  virtual int GetCapWidth(int index) = 0;
  virtual int GetCapHeight(int index) = 0;
  virtual int GetCapFrameInterval(int index) = 0;  // 100 ns units
  virtual int GetCapFormat(int index) = 0;         // AvVideoFormat
  virtual const wchar_t* GetCapFormatName(int index) = 0;
  // Runs the capture graph into the sink. 1 when started (or already started), else 0; a
  // sink must be set.
  virtual int Start() = 0;
  // Stops capture; waits for a frame callback in progress unless called from inside it.
  virtual void Stop() = 0;
  virtual bool IsStarted() = 0;

 protected:
  ~AvCameraEngine() = default;
};

extern "C" {
// Builds a camera engine; null when out of memory.
MORLUN_API AvCameraEngine* __cdecl Av_CreateCameraEngine();
// Stops and destroys `engine` (Uninit first); null is accepted. Never call it from inside a
// callback of the same engine.
MORLUN_API void __cdecl Av_DestroyCameraEngine(AvCameraEngine* engine);
}
