// The picture stream (a still picture published in place of the camera) and the face-beauty
// parameters.

#include <cstdlib>
#include <cstring>
#include <memory>

#include "foundation/app_config.h"
#include "foundation/log.h"
#include "foundation/text_convert.h"
#include "sdk/interactive/beauty_block.h"
#include "sdk/interactive/sdk_interactive.h"
#include "share/yuv/yuv_transform.h"
#include "windows/picture_file/picture_file.h"

namespace {

struct FreeDeleter {
  void operator()(uint8_t* p) const { free(p); }
};
using MallocBuffer = std::unique_ptr<uint8_t, FreeDeleter>;

}  // namespace

void CSdkInterActive::Open_Picture_Stream() {
  if (OutofMeeting(true)) return;
  StAppConfig* config = GetAppConfig();
  const std::string path = config->picture_path;
  const std::wstring widePath = AnsiToUnicode(path);

  // Load and orient the picture before anything changes: a picture that cannot be read leaves
  // the stored frame, the publish stream and the owner as they were.
  PictureFile reader;
  uint8_t* raw = nullptr;
  int length = 0, width = 0, height = 0;
  if (!reader.LoadPictureAsBitmap(widePath.c_str(), &raw, &length, &width, &height)) {
    TVLOG_ERROR_THIS() << "Image Failed";
    PostWebLog("Open_Picture_Stream open failed!");
    return;
  }
  MallocBuffer loaded(raw);
  MallocBuffer frame;
  {
    CxYuvTransform transform;
    const uint8_t* oriented = transform.Transform(loaded.get(), &length, &width, &height, config->rotation,
                                                  config->mirror != 0, config->flip != 0, false);
    frame.reset(static_cast<uint8_t*>(malloc(static_cast<size_t>(length))));
    if (!frame) {
      TVLOG_ERROR_THIS() << "Image Failed, no memory for " << length << " bytes";
      PostWebLog("Open_Picture_Stream open failed!");
      return;
    }
    std::memcpy(frame.get(), oriented, static_cast<size_t>(length));
  }

  // Lock order: the frame mutex, then (inside CreatePublishStream) the sender lock.
  std::lock_guard<std::mutex> guard(m_frameMutex);
  free(m_pLastFrame);
  m_pLastFrame = frame.release();
  m_nLastFrameLength = static_cast<uint32_t>(length);
  m_nLastFrameWidth = static_cast<uint16_t>(width);
  m_nLastFrameHeight = static_cast<uint16_t>(height);
  TVLOG_INFO_THIS() << " strimg=" << path;
  CreatePublishStream(width, height, 24, 0);
  if (m_pOwner) m_pOwner->OnPictureStream(true);
  PostWebLog("Open_Picture_Stream img= " + path);
}

std::vector<uint8_t> CSdkInterActive::GetStoredFrame(int* width, int* height) {
  std::lock_guard<std::mutex> guard(m_frameMutex);
  if (width) *width = m_nLastFrameWidth;
  if (height) *height = m_nLastFrameHeight;
  if (!m_pLastFrame) return {};
  return std::vector<uint8_t>(m_pLastFrame, m_pLastFrame + m_nLastFrameLength);
}

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
