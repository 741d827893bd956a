#pragma once

// CLodViewFrame: the hidden window that plays a local media file into the broadcast. It owns
// Morlun decode engines: each decoded picture goes to the SDK layer as a frame of the local-media
// stream, the SDK layer pulls the sound through ReadSourceData, and progress, end and start
// failures go to the owner (ShareDelegate::OnLocalPlayback: status 1 playing with duration and
// position in seconds, 3 finished, 0 start failed).
//
//   auto* lod = new CLodViewFrame(shareDelegate);
//   lod->SetSdk(sdk);
//   lod->Create(mainWindow, L"CLodViewFrame", WS_POPUP, 0);  // stays hidden
//   sdk->SetLodView(lod);
//   lod->SetMaxVideoSize(1280, 720);
//   if (lod->DoOpenFile(path, loop, 100, md5) &&
//       sdk->Start_LocalMedia_Stream(lod->GetEngine(), 1280, 720, muted) == 0) lod->DoRun(false);
//   ...
//   sdk->SetLodView(nullptr);  // before the window goes: no audio pull uses it after this
//   lod->Close(); delete lod;  // after the window is destroyed
//
// Threads: every operation and the engine notifications on the UI thread (the engines are made
// there); OnVideoFrame on the current engine's pacing thread; ReadSourceData on the SDK's audio
// thread. The window's lock guards the audio pull against replacing or destroying an engine.

#include <atomic>
#include <cstdint>
#include <string>

#include "devices/av_file_decode_engine.h"
#include "foundation/lock.h"
#include "platform/trastor/trastor.h"
#include "share/share_delegate.h"
#include "windows/common/skin_dialog.h"

class CSdkInterActive;
class CVideoRenderUI;

class CLodViewFrame : public CSkinDialog,
                      public gsVideoCaptureSink,
                      public gsSoundCaptureSink,
                      public AvFileDecodeSink,
                      public IAVFrame {
 public:
  // Playback statuses sent to the owner.
  enum { kStatusStartFailed = 0, kStatusPlaying = 1, kStatusFinished = 3 };

  // `owner` (not owned, may be null) gets the playback reports. Loads the canvas engine and
  // makes the engine that probes files.
  explicit CLodViewFrame(ShareDelegate* owner);
  // Stops and closes the playback and destroys every engine. The owner must have cleared this
  // window from the SDK layer (SetLodView(nullptr)) first.
  ~CLodViewFrame() override;
  CLodViewFrame(const CLodViewFrame&) = delete;
  CLodViewFrame& operator=(const CLodViewFrame&) = delete;

  // The SDK layer that the pictures and the stream's stop go to (not owned; null drops them).
  void SetSdk(CSdkInterActive* sdk) { m_pSdk.store(sdk); }

  // Prepares a fresh engine for the wide `path` (the previous one is destroyed): sound as
  // signed 16-bit stereo at 48000 Hz in 480-sample frames, pictures as I420 at the source size
  // and rate, `loop` as SetLoop. `unused` is not read. False when the file does not exist, no
  // engine could be made or the engine cannot open the file.
  bool DoOpenFile(const std::wstring& path, bool loop, int unused, const std::string& md5);
  // Plays: resumes when `resume`, else starts from the beginning. False without a file (never
  // opened, or played out) or when the start fails.
  bool DoRun(bool resume);
  // Pauses pictures at once (and the sound). False without a file.
  bool DoPause();
  // Finishes the playback when it is active.
  void DoStop();
  // Closes the file; the picture box becomes 0 x 0.
  void DoClose();
  void StopAndClose();
  // Virtual so that the SDK layer reaches the pull through the pointer it holds.
  virtual bool IsPaused() const { return m_bPaused.load(); }
  // The box the pictures are fitted into, kept for later files too.
  void SetMaxVideoSize(int width, int height);
  // Endless looping (true) or one pass.
  void SetLoop(bool loop);
  // The size class of the file's pictures: 1920 x 1080, 1280 x 720 or 640 x 360. False when
  // the file cannot be opened.
  bool GetMediaInfo(const std::wstring& path, int* width, int* height);
  // The engine of the file being played; null before an open and after the end.
  AvFileDecodeEngine* GetEngine() const { return m_pEngine; }

  // The SDK's audio thread: `length` bytes of the playback's sound, or silence without a file.
  virtual void ReadSourceData(uint8_t* buffer, int length);

  // DuiLib
  const wchar_t* GetWindowClassName() const override { return L"CLodViewFrame"; }
  DuiLib::CControlUI* CreateControl(const wchar_t* pstrClass) override;
  void Notify(DuiLib::TNotifyUI& msg) override;

  // The canvas engine's media sinks: this window takes nothing from them.
  bool OnVideoCapture(TrastorSource* source, int format, int width, int height,
                      const unsigned char* data, int length) override;
  bool OnSoundCapture(TrastorSource* source, const unsigned char* samples, int length,
                      int sample_rate, int channels) override;

  // AvFileDecodeSink (UI thread); only the current engine's notifications count.
  void OnAvFileDecodePosChanged(AvFileDecodeEngine* pInst, bool bManual, int posValue) override;
  void OnAvFileDecodeFinished(AvFileDecodeEngine* pInst, bool bManual, int errorCode) override;
  void OnAvFileDecodeStateChanged(AvFileDecodeEngine* pInst, int state, int errorCode) override;

  // IAVFrame (the pacing thread): each picture becomes a frame of the local-media stream,
  // except while paused.
  void OnVideoFrame(int width, int height, const uint8_t* data, int size) override;
  void OnVideoFrameUnused() override {}

 protected:
  // "lod_view_frame.xml" of the current skin theme.
  DuiLib::CDuiString GetSkinFile() override;
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

 private:
  // Makes `next` the current engine; the previous one, with its sink taken away, is destroyed
  // under the lock (with any retired one).
  void ReplaceEngine(AvFileDecodeEngine* next);
  // Destroys the current, retired and info engines under the lock.
  void DestroyEngines();
  void Report(int status, int total, int current);

  ShareDelegate* m_pOwner;
  std::atomic<CSdkInterActive*> m_pSdk{nullptr};
  CxLock m_lock;  // Guards the audio pull against replacing and destroying engines.
  AvFileDecodeEngine* m_pEngine = nullptr;   // Written under |m_lock|, on the UI thread.
  AvFileDecodeEngine* m_pRetired = nullptr;  // The finished engine, until the next open.
  AvFileDecodeEngine* m_pInfoEngine = nullptr;
  std::atomic<bool> m_bPaused{false};  // Read on the pacing and audio threads.
  std::string m_md5;
  int m_nMaxWidth = 0;
  int m_nMaxHeight = 0;
  CVideoRenderUI* m_pRender = nullptr;  // Owned by the layout.
};
