// The local-media stream's sound: the SDK pulls it from the layer on its audio thread, and the
// layer takes it from the local playback window.

#include <cstring>
#include <mutex>

#include "sdk/interactive/sdk_interactive.h"
#include "windows/lod_view/lod_view_frame.h"

void CSdkInterActive::SetLodView(CLodViewFrame* view) {
  std::lock_guard<std::mutex> guard(m_lodViewMutex);
  m_pLodView = view;
}

bool CSdkInterActive::GenerateAudioFrame(uint8_t* buffer, int length) {
  if (!buffer || length <= 0) return true;
  // Held across the window's calls, so that SetLodView(nullptr) waits for this pull to end.
  std::lock_guard<std::mutex> guard(m_lodViewMutex);
  if (m_pLodView == nullptr || m_pLodView->IsPaused()) {
    std::memset(buffer, 0, static_cast<size_t>(length));
    return true;
  }
  m_pLodView->ReadSourceData(buffer, length);
  return true;
}
