#pragma once

// Morlun's media-file decode engine, as its users see it.
//
// A user creates an engine with Av_CreateFileDecodeEngine, handing it an IAVFrame receiver for
// the decoded pictures, and destroys it with Av_DestroyFileDecodeEngine. Pictures arrive on the
// engine's pacing thread through IAVFrame::OnVideoFrame; audio is pulled by the user through
// AvFileDecodeEngine::PullAudio; position, end-of-playback and state notifications arrive on the
// thread that created the engine, through AvFileDecodeSink, as window messages of a hidden
// window (so that thread must pump messages).
//
// Calling order: create; SetSink; SetMaxVideoSize; SetAudioOutput and SetVideoOutput;
// SetLoopCount; OpenFile; Reset to start; then any control while PullAudio is called;
// Finish or CloseFile to stop; destroy.
//
// The order of the virtual operations below is part of the binary interface: never reorder,
// insert or remove one.

#include <cstdint>

#if defined(MORLUN_BUILD)
#define MORLUN_API __declspec(dllexport)
#else
#define MORLUN_API __declspec(dllimport)
#endif

// Engine states, the `state` argument of OnAvFileDecodeStateChanged.
enum AvFileDecodeState {
  kAvFileDecodeStateNone = 0,
  kAvFileDecodeStateOpenTry = 1,    // OpenFile begins; a failed open reports its code with it.
  kAvFileDecodeStateOpenReady = 2,  // OpenFile succeeded.
  kAvFileDecodeStateRunTry = 3,     // Reset begins; a failed start reports its code with it.
  kAvFileDecodeStateRunReady = 4,   // The demux thread has started.
  kAvFileDecodeStateFinishTry = 5,  // Finish begins.
  kAvFileDecodeStateFinished = 6,   // Playback ended (end of file with no loop left, or Finish).
};

// Error codes carried by the notifications (and returned by OpenFile).
enum AvFileDecodeError {
  kAvFileDecodeErrorNone = 0,
  kAvFileDecodeErrorEmptyPath = 1,
  kAvFileDecodeErrorOpenInput = 2,     // Not openable, or its stream information unreadable.
  kAvFileDecodeErrorNoStream = 3,      // Neither an audio nor a video stream could be opened.
  kAvFileDecodeErrorReopenInput = 4,   // Reset could not reopen the file.
  kAvFileDecodeErrorReopenStream = 5,  // Reset found no audio or video stream.
  kAvFileDecodeErrorAudioFilter = 6,   // Reset could not build the audio filter graph.
  kAvFileDecodeErrorVideoFilter = 7,   // Reset could not build the video filter graph.
  kAvFileDecodeErrorPlayedOut = 10,    // OnAvFileDecodeFinished: the last loop was played out.
};

// Pixel codes of GetSourcePixelFormat, GetOutputPixelFormat and SetVideoOutput.
enum AvPixelCode {
  kAvPixelYuv420p = 0,  // Also every other source format.
  kAvPixelBgr24 = 2,
  kAvPixelBgra = 3,
  kAvPixelYuyv422 = 4,
  kAvPixelYvyu422 = 5,
  kAvPixelUyvy422 = 6,
  kAvPixelUyvy422Alt = 7,  // Accepted by SetVideoOutput as UYVY422.
};

class AvFileDecodeEngine;

// Receives the engine's notifications, on the thread that created the engine.
class AvFileDecodeSink {
 public:
  // The playback position changed: seconds, or percent in percent mode (0..65535).
  virtual void OnAvFileDecodePosChanged(AvFileDecodeEngine* pInst, bool bManual, int posValue) = 0;
  // Playback ended: errorCode 0 after Finish, 10 after the last loop was played out.
  virtual void OnAvFileDecodeFinished(AvFileDecodeEngine* pInst, bool bManual, int errorCode) = 0;
  // The engine entered `state` (AvFileDecodeState) with `errorCode` (AvFileDecodeError).
  virtual void OnAvFileDecodeStateChanged(AvFileDecodeEngine* pInst, int state, int errorCode) = 0;

 protected:
  ~AvFileDecodeSink() = default;
};

// Receives decoded pictures, on the engine's pacing thread.
class IAVFrame {
 public:
  virtual ~IAVFrame() = default;
  // One I420 picture (Y plane, then U, then V, rows packed): `size` = width * height * 3 / 2
  // bytes, valid only during the call. Width and height are even.
  // The receiver may call the engine from here. OpenFile, CloseFile, Reset and Finish called
  // from here while another thread stops playback (those four, or destroy) do nothing: they
  // log it and return 2, false or nothing.
  virtual void OnVideoFrame(int width, int height, const uint8_t* data, int size) = 0;
  // Never called by the engine; implement it with an empty body.
  virtual void OnVideoFrameUnused() = 0;
};

// The decode engine. Unless stated otherwise, operations may be called from any thread.
// Morlun creates and frees every engine; never delete one yourself.
class MORLUN_API AvFileDecodeEngine {
 public:
  // Fills `dst` with `len` bytes of decoded PCM (the format of SetAudioOutput; signed 16-bit
  // interleaved by default); silence where nothing is decoded yet, or while paused. Called on
  // the user's audio thread; the pull drives the playback clock.
  virtual void PullAudio(uint8_t* dst, unsigned len) = 0;
  // Where notifications go; null drops them, also those already queued.
  virtual void SetSink(AvFileDecodeSink* sink) = 0;
  // The box pictures are fitted into; 0 x 0 (the default) means no pictures.
  virtual void SetMaxVideoSize(int width, int height) = 0;
  // Returns 0 on success, else an AvFileDecodeError (1 to 3).
  virtual int OpenFile(const wchar_t* path, bool preReadDuration) = 0;
  virtual void CloseFile() = 0;
  virtual bool HasFile() = 0;
  // The stored path (empty text when none); valid until the next OpenFile or CloseFile.
  virtual const wchar_t* GetFilePath() = 0;
  // 0 plays endlessly; n plays the file n times.
  virtual void SetLoopCount(int count) = 0;
  virtual int GetLoopCount() = 0;
  // Playback speed (1.0 normal); values below 0.5 or above 100 are refused.
  virtual void SetSpeed(double speed) = 0;
  virtual float GetSpeed() = 0;
  // Volume in percent (100 unchanged).
  virtual void SetVolume(double volume) = 0;
  virtual float GetVolume() = 0;
  // Starts playback from the beginning. Returns false (and posts state 3 with 4..7) on failure.
  virtual bool Reset() = 0;
  virtual void Finish() = 0;
  // False once everything is played out, the demux thread has stopped and no loop is left.
  virtual bool IsActive() = 0;
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  virtual bool IsPaused() = 0;
  virtual bool HasAudio() = 0;
  virtual bool HasVideo() = 0;
  // In percent mode Seek and GetProgress speak percent of the duration instead of seconds.
  virtual void SetPercentMode(bool percent) = 0;
  virtual bool IsPercentMode() = 0;
  virtual void Seek(int target) = 0;
  virtual int GetProgress() = 0;
  virtual void StepBackward() = 0;
  virtual void StepForward() = 0;
  virtual int GetDurationCeil() = 0;
  virtual int GetStreamTimeCeil() = 0;
  virtual double GetDuration() = 0;
  // Seconds of file time being played now.
  virtual double GetStreamTime() = 0;
  virtual int GetSourcePixelFormat() = 0;
  virtual int GetSourceWidth() = 0;
  virtual int GetSourceHeight() = 0;
  virtual double GetSourceFrameRate() = 0;
  virtual int GetOutputPixelFormat() = 0;
  virtual int GetOutputWidth() = 0;
  virtual int GetOutputHeight() = 0;
  virtual double GetOutputFrameRate() = 0;
  // sampleFormat: FFmpeg code 0 or 2..11, else signed 16-bit; channelLayout: an index of the
  // standard layouts (0 mono, 1 stereo, ...); 0 for rate or samples per frame keeps the source.
  virtual void SetAudioOutput(int sampleFormat, int channelLayout, int sampleRate,
                              int samplesPerFrame) = 0;
  // pixelCode: AvPixelCode; 0 for width, height or frame rate keeps the source's.
  virtual void SetVideoOutput(int pixelCode, int width, int height, double frameRate) = 0;

 protected:
  ~AvFileDecodeEngine() = default;
};

extern "C" {
// Builds an engine that hands its pictures to `receiver` (not owned; it must outlive the
// engine). Call on a thread that pumps window messages. Returns null when out of memory.
MORLUN_API AvFileDecodeEngine* __cdecl Av_CreateFileDecodeEngine(IAVFrame* receiver);
// Stops and destroys `engine`; null is accepted. Call on the creating thread; called on another
// thread it still stops and frees the engine at once, delivers nothing more, and the hidden
// window closes itself on the creating thread. Never call it while PullAudio runs.
MORLUN_API void __cdecl Av_DestroyFileDecodeEngine(AvFileDecodeEngine* engine);
}
