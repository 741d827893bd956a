// The picture stream (a still picture published in place of the camera) and the face-beauty
// parameters.

#include "foundation/log.h"
#include "sdk/interactive/beauty_block.h"
#include "sdk/interactive/sdk_interactive.h"

void CSdkInterActive::SetBeautyDev(const std::string& deviceId, void* beauty, bool /*unused*/) {
  // The beauty settings window passes a pointer to its own block, valid during the call.
  if (!beauty) {
    TVLOG_ERROR_THIS() << " beauty block is null, devid=" << deviceId;
    return;
  }
  SetBeautyParams(deviceId, *static_cast<const st_beauty*>(beauty), false);
}

void CSdkInterActive::SetBeautyParams(const std::string& /*deviceId*/, st_beauty beauty, bool /*unused*/) {
  const StBeautyParam block = MakeBeautyParam(beauty);
  std::lock_guard<std::mutex> guard(m_beautyMutex);
  if (m_pBeautyFace) m_pBeautyFace->SetParam(block);
}

StBeautyParam CSdkInterActive::GetBeautyParam() {
  std::lock_guard<std::mutex> guard(m_beautyMutex);
  return m_pBeautyFace ? m_pBeautyFace->param() : DefaultBeautyParam();
}
