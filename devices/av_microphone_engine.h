#pragma once

// Morlun's microphone engine, as its users see it: the audio counterpart of the camera engine
// (devices/av_camera_engine.h), with the same threading rules. Captured buffers arrive through
// AvMicrophoneSink::OnAudio on DirectShow's streaming thread.
//
// The order of the virtual operations below is part of the binary interface: never reorder,
// insert or remove one.

#include <cstdint>

#include "devices/morlun_api.h"

// Implemented by the user of a microphone engine.
class AvMicrophoneSink {
 public:
  // 1 when capture started, 0 when it stopped; on the thread that called Start or Stop.
  virtual void OnState(int state) = 0;
  // One captured buffer, on DirectShow's streaming thread; `data` is valid only during the
  // call. `length` is the number of bytes captured; the format is the connected wave format.
  virtual void OnAudio(const uint8_t* data, int length, int formatTag, int channels,
                       int sampleRate, int bitsPerSample) = 0;

 protected:
  ~AvMicrophoneSink() = default;
};

// The microphone engine. Morlun creates and frees every engine; never delete one yourself.
class MORLUN_API AvMicrophoneEngine {
 public:
  virtual void SetSink(AvMicrophoneSink* sink) = 0;
  // Builds the graph and lists the devices. 1 on success, 0 when the graph cannot be made.
  virtual int Init() = 0;
  virtual void Uninit() = 0;
  // Lists the audio capture devices again: their number, or -1.
  virtual int EnumDevices() = 0;
  // Null out of range; valid until the next EnumDevices.
  virtual const wchar_t* GetDeviceName(int index) = 0;
  virtual const wchar_t* GetDevicePath(int index) = 0;
  // As for the camera engine: name and path, or either alone. 1 on success, else 0.
  virtual int OpenDevice(const wchar_t* name, const wchar_t* path) = 0;
  virtual void CloseDevice() = 0;
  virtual bool IsOpened() = 0;
  virtual const wchar_t* GetOpenedName() = 0;
  virtual const wchar_t* GetOpenedPath() = 0;
  // Applies capability `index` and, when a buffer size is set, asks the device for buffers of
  // that many samples. 1 once the format is applied, else 0.
  virtual int SelectCap(int index) = 0;
  virtual int GetCapCount() = 0;
  virtual int GetSelectedCap() = 0;
  // Fields of capability `index`; 0 (or "UNKNOWN") out of range. The name is a static text.
  virtual const wchar_t* GetCapFormatName(int index) = 0;
  virtual int GetCapFormatTag(int index) = 0;
  virtual int GetCapChannels(int index) = 0;
  virtual int GetCapSampleRate(int index) = 0;
  virtual int GetCapBitsPerSample(int index) = 0;
  // Samples per capture buffer for the next SelectCap; 0 leaves the device's own size.
  virtual void SetBufferSamples(int samples) = 0;
  virtual int GetBufferSamples() = 0;
  // Runs the capture graph into the sink. 1 when started (or already started), else 0; a
  // sink must be set and the device's current format must be a wave format.
  virtual int Start() = 0;
  // Stops capture; waits for a buffer callback in progress unless called from inside it.
  virtual void Stop() = 0;
  virtual bool IsStarted() = 0;

 protected:
  ~AvMicrophoneEngine() = default;
};

extern "C" {
// Builds a microphone engine; null when out of memory.
MORLUN_API AvMicrophoneEngine* __cdecl Av_CreateMicrophoneEngine();
// Stops and destroys `engine`; null is accepted. Never call it from inside a callback of the
// same engine.
MORLUN_API void __cdecl Av_DestroyMicrophoneEngine(AvMicrophoneEngine* engine);
}
