#include "windows/lod_view/lod_view_frame.h"

#include <io.h>

#include <cstring>

#include "foundation/log.h"
#include "foundation/text_convert.h"
#include "sdk/interactive/sdk_interactive.h"
#include "share/video/video_render_ui.h"
#include "shell/login/skin_choice.h"

namespace {

// Sound for the SDK: signed 16-bit stereo at 48000 Hz in frames of 480 samples (10 ms).
constexpr int kSampleFormatS16 = 1;
constexpr int kLayoutStereo = 1;
constexpr int kSampleRate = 48000;
constexpr int kSamplesPerFrame = 480;

const char* StateLabel(int state) {
  switch (state) {
    case kAvFileDecodeStateNone: return "None";
    case kAvFileDecodeStateOpenTry: return "OpenTry";
    case kAvFileDecodeStateOpenReady: return "OpenReady";
    case kAvFileDecodeStateRunTry: return "RunTry";
    case kAvFileDecodeStateRunReady: return "RunReady";
    case kAvFileDecodeStateFinishTry: return "FinishTry";
    case kAvFileDecodeStateFinished: return "Finished";
    default: return "Unknown";
  }
}

}  // namespace

CLodViewFrame::CLodViewFrame(ShareDelegate* owner) : m_pOwner(owner) {
  Trastor_Load();
  m_pInfoEngine = Av_CreateFileDecodeEngine(this);
}

CLodViewFrame::~CLodViewFrame() {
  DoStop();
  DoClose();
  Trastor_Free();
  DestroyEngines();
}

DuiLib::CDuiString CLodViewFrame::GetSkinFile() {
  return DuiLib::CDuiString(GetSkinIndex() == kSkinOrange ? L"xml/orange/" : L"xml/blue/") +
         L"lod_view_frame.xml";
}

DuiLib::CControlUI* CLodViewFrame::CreateControl(const wchar_t* pstrClass) {
  if (pstrClass == nullptr || wcscmp(pstrClass, L"VideoRender") != 0) return nullptr;
  m_pRender = new CVideoRenderUI(nullptr, false);
  return m_pRender;
}

void CLodViewFrame::Notify(DuiLib::TNotifyUI& msg) {
  if (msg.sType == L"windowinit") {
    if (m_pRender) m_pRender->SetVisible(true);
    return;
  }
  if (msg.sType == L"click" && msg.pSender && msg.pSender->GetName() == L"closebtn") {
    StopAndClose();
    ShowWindow(false);
  }
}

LRESULT CLodViewFrame::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_CLOSE) {
    DoStop();
    DoClose();
  }
  return CSkinDialog::HandleMessage(uMsg, wParam, lParam);
}

bool CLodViewFrame::OnVideoCapture(TrastorSource*, int, int, int, const unsigned char*, int) {
  return false;
}

bool CLodViewFrame::OnSoundCapture(TrastorSource*, const unsigned char*, int, int, int) {
  return false;
}

void CLodViewFrame::ReplaceEngine(AvFileDecodeEngine* next) {
  if (m_pEngine) m_pEngine->SetSink(nullptr);
  CxAutoLock lock(m_lock);
  AvFileDecodeEngine* previous = m_pEngine;
  m_pEngine = next;
  if (next) next->SetMaxVideoSize(m_nMaxWidth, m_nMaxHeight);
  // The audio pull cannot be inside an engine destroyed here: it runs under the same lock.
  Av_DestroyFileDecodeEngine(previous);
  Av_DestroyFileDecodeEngine(m_pRetired);
  m_pRetired = nullptr;
}

void CLodViewFrame::DestroyEngines() {
  CxAutoLock lock(m_lock);
  Av_DestroyFileDecodeEngine(m_pEngine);
  Av_DestroyFileDecodeEngine(m_pRetired);
  Av_DestroyFileDecodeEngine(m_pInfoEngine);
  m_pEngine = nullptr;
  m_pRetired = nullptr;
  m_pInfoEngine = nullptr;
}

bool CLodViewFrame::DoOpenFile(const std::wstring& path, bool loop, int /*unused*/,
                               const std::string& md5) {
  TVLOG_INFO_THIS() << "DoOpenFile = " << UnicodeToUtf8(path);
  ReplaceEngine(Av_CreateFileDecodeEngine(this));
  if (!m_pEngine) return false;
  m_pEngine->SetSink(this);
  m_bPaused.store(false);
  if (path.empty() || _waccess(path.c_str(), 0) != 0) return false;
  m_md5 = md5;
  SetLoop(loop);
  if (m_pEngine->HasFile()) m_pEngine->CloseFile();
  m_pEngine->SetAudioOutput(kSampleFormatS16, kLayoutStereo, kSampleRate, kSamplesPerFrame);
  m_pEngine->SetVideoOutput(kAvPixelYuv420p, 0, 0, 0.0);
  const int errorCode = m_pEngine->OpenFile(path.c_str(), true);
  if (errorCode != 0) {
    TVLOG_ERROR_THIS() << "DoOpenFile Failed , errorCode = " << errorCode;
    return false;
  }
  TVLOG_INFO_THIS() << "DoOpenFile Success , errorCode = " << errorCode
                    << ", format = " << m_pEngine->GetSourcePixelFormat()
                    << ", width = " << m_pEngine->GetSourceWidth()
                    << ", height = " << m_pEngine->GetSourceHeight()
                    << ", fps = " << m_pEngine->GetSourceFrameRate();
  return true;
}

bool CLodViewFrame::DoRun(bool resume) {
  TVLOG_INFO_THIS() << "DoRun";
  if (!m_pEngine) return false;
  m_bPaused.store(false);
  bool ok = true;
  if (resume) {
    m_pEngine->Resume();
  } else {
    ok = m_pEngine->Reset();
  }
  if (ok) TVLOG_INFO_THIS() << "DoRun Success";
  return ok;
}

bool CLodViewFrame::DoPause() {
  if (!m_pEngine) return false;
  m_bPaused.store(true);
  m_pEngine->Pause();
  return true;
}

void CLodViewFrame::DoStop() {
  TVLOG_INFO_THIS() << "DoStop";
  m_bPaused.store(false);
  if (m_pEngine && m_pEngine->IsActive()) m_pEngine->Finish();
  TVLOG_INFO_THIS() << "DoStop Success";
}

void CLodViewFrame::DoClose() {
  if (m_pEngine) m_pEngine->CloseFile();
  m_nMaxWidth = 0;
  m_nMaxHeight = 0;
}

void CLodViewFrame::StopAndClose() {
  DoStop();
  DoClose();
}

void CLodViewFrame::SetMaxVideoSize(int width, int height) {
  m_nMaxWidth = width;
  m_nMaxHeight = height;
  if (m_pEngine) m_pEngine->SetMaxVideoSize(width, height);
}

void CLodViewFrame::SetLoop(bool loop) {
  if (m_pEngine) m_pEngine->SetLoopCount(loop ? 0 : 1);
}

bool CLodViewFrame::GetMediaInfo(const std::wstring& path, int* width, int* height) {
  if (!m_pInfoEngine || !width || !height) return false;
  if (m_pInfoEngine->HasFile()) m_pInfoEngine->CloseFile();
  if (m_pInfoEngine->OpenFile(path.c_str(), false) != 0) return false;
  const int sourceWidth = m_pInfoEngine->GetSourceWidth();
  const int sourceHeight = m_pInfoEngine->GetSourceHeight();
  if (sourceWidth >= 1920 || sourceHeight >= 1080) {
    *width = 1920;
    *height = 1080;
  } else if (sourceWidth >= 1280 || sourceHeight >= 720) {
    *width = 1280;
    *height = 720;
  } else {
    *width = 640;
    *height = 360;
  }
  m_pInfoEngine->CloseFile();
  return true;
}

void CLodViewFrame::ReadSourceData(uint8_t* buffer, int length) {
  if (!buffer || length <= 0) return;
  CxAutoLock lock(m_lock);
  if (m_pEngine) {
    m_pEngine->PullAudio(buffer, static_cast<unsigned>(length));
  } else {
    std::memset(buffer, 0, static_cast<size_t>(length));
  }
}

void CLodViewFrame::Report(int status, int total, int current) {
  if (m_pOwner) m_pOwner->OnLocalPlayback(m_md5, status, total, current);
}

void CLodViewFrame::OnAvFileDecodePosChanged(AvFileDecodeEngine* pInst, bool bManual,
                                             int posValue) {
  (TVLOG_INFO_THIS() << "pInst = ").AppendPointer(pInst) << ", bManual = " << bManual
                    << ", posValue =" << posValue;
  if (pInst == nullptr || pInst != m_pEngine) return;
  const int duration = pInst->GetDurationCeil();
  if (posValue < duration) Report(kStatusPlaying, duration, posValue);
}

void CLodViewFrame::OnAvFileDecodeFinished(AvFileDecodeEngine* pInst, bool bManual,
                                           int errorCode) {
  (TVLOG_INFO_THIS() << "pInst = ").AppendPointer(pInst) << ", bManual = " << bManual
                    << ", errorCode =" << errorCode;
  if (pInst == nullptr || pInst != m_pEngine) return;
  pInst->CloseFile();
  {
    // Kept until the next open or destruction: notifications still queued for it find it.
    CxAutoLock lock(m_lock);
    if (m_pRetired) Av_DestroyFileDecodeEngine(m_pRetired);
    m_pRetired = pInst;
    m_pEngine = nullptr;
  }
  if (!bManual) {
    if (CSdkInterActive* sdk = m_pSdk.load()) sdk->Stop_LocalMedia_Stream();
  }
  Report(kStatusFinished, 0, 0);
}

void CLodViewFrame::OnAvFileDecodeStateChanged(AvFileDecodeEngine* pInst, int state,
                                               int errorCode) {
  (TVLOG_INFO_THIS() << "pInst = ").AppendPointer(pInst) << ", state = " << StateLabel(state)
                    << ", errorCode = " << errorCode;
  if (pInst == nullptr || pInst != m_pEngine) return;
  if (state == kAvFileDecodeStateRunTry && errorCode != 0) Report(kStatusStartFailed, 0, 0);
}

void CLodViewFrame::OnVideoFrame(int width, int height, const uint8_t* data, int size) {
  if (m_bPaused.load()) return;
  if (CSdkInterActive* sdk = m_pSdk.load()) sdk->SendShareStreamData(data, size, width, height);
}
