#pragma once

// Morlun's speaker test engine, as its users see it: it lists the audio outputs, opens one
// through DirectSound, loads a WAV file image and plays it once, telling the user when playback
// starts and ends.
//
// Init initialises COM on the calling thread when that thread has no apartment yet (Uninit
// balances it) and creates a hidden window on that thread. Call the operations from one thread
// at a time; OnState (0) arrives on a watcher thread when a sound ends by itself, and the
// operations may be called from inside OnState.
//
// The order of the virtual operations below is part of the binary interface: never reorder,
// insert or remove one.

#include <cstdint>

#include "devices/morlun_api.h"

// Implemented by the user of a speaker engine.
class AvSpeakerSink {
 public:
  // 1 when playback starts, 0 when it ended or was stopped.
  virtual void OnState(int state) = 0;

 protected:
  ~AvSpeakerSink() = default;
};

// The speaker test engine. Morlun creates and frees every engine; never delete one yourself.
class MORLUN_API AvSpeakerEngine {
 public:
  virtual void SetSink(AvSpeakerSink* sink) = 0;
  // Creates the hidden window, builds the graph and lists the devices. 1 on success.
  virtual int Init() = 0;
  // Stops, closes the device, releases the graph and destroys the window.
  virtual void Uninit() = 0;
  // Lists the audio outputs again (each once, by its wave-out name): their number, or -1.
  virtual int EnumDevices() = 0;
  // Null out of range; valid until the next EnumDevices.
  virtual const wchar_t* GetDeviceName(int index) = 0;
  virtual const wchar_t* GetDevicePath(int index) = 0;
  // Opens an output by name and path (either alone when the other is empty) and its
  // DirectSound device. Wave-out names are cut to 31 characters: a name of exactly 31
  // characters matches the DirectSound output whose description starts with it. 1 or 0.
  virtual int OpenDevice(const wchar_t* name, const wchar_t* path) = 0;
  virtual void CloseDevice() = 0;
  virtual bool IsOpened() = 0;
  virtual const wchar_t* GetOpenedName() = 0;
  virtual const wchar_t* GetOpenedPath() = 0;
  // Plays the loaded sound once from its start. 0 when nothing is loaded; 1 otherwise (also
  // when no device is open, which plays nothing). A Play while playing restarts the sound
  // without reporting a stop.
  virtual int Play() = 0;
  // Stops playback; reports OnState (0) when a sound was playing.
  virtual void Stop() = 0;
  virtual bool IsPlaying() = 0;
  // Loads a WAV file image (RIFF/WAVE with "fmt " and "data" chunks) of `size` bytes; the
  // image is copied. 1 when it is valid (and, with an open device, its sound buffer was made),
  // else 0 with nothing loaded.
  virtual int LoadWave(const uint8_t* image, unsigned size) = 0;
  // Stops and forgets the loaded sound. Returns 0.
  virtual int Unload() = 0;

 protected:
  ~AvSpeakerEngine() = default;
};

extern "C" {
// Builds a speaker engine; null when out of memory.
MORLUN_API AvSpeakerEngine* __cdecl Av_CreateSpeakerEngine();
// Stops and destroys `engine`; null is accepted.
MORLUN_API void __cdecl Av_DestroySpeakerEngine(AvSpeakerEngine* engine);
}
