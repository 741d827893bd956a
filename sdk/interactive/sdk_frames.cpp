// The frame flow: remote frames into their stream blocks, local camera frames through the
// transform into the camera block, the publish stream's sender and the bus preview; the stored
// picture frame sent again.
//
// Locks: the camera-stream mutex only inside GetLocalStreamInfo; the frame mutex, then the
// sender lock, then a block's channel lock, in that order where they nest.

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "foundation/log.h"
#include "sdk/interactive/gl_print.h"
#include "sdk/interactive/sdk_interactive.h"

namespace {

constexpr int kPreviewLong = 640;
constexpr int kPreviewShort = 360;
constexpr int kMaxSide = 0xFFFF;  // Block records carry 16-bit sizes.

// Bytes of an I420 frame of width x height (chroma planes of (w + 1) / 2 x (h + 1) / 2).
int64_t I420Bytes(int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  return int64_t{width} * height + 2 * int64_t{(width + 1) / 2} * ((height + 1) / 2);
}

// A description whose sizes a block record can carry and whose data can hold a picture.
bool Plausible(const rtTarvo::rtc::FrameDescription& d) {
  return d.data && d.width > 0 && d.height > 0 && d.width <= kMaxSide && d.height <= kMaxSide && d.length > 0;
}

// The printers shared by more than one frame path.
StGlPrint& SendImagePrinter() {
  static StGlPrint printer(" SendImage Live: type=6, ");
  return printer;
}

}  // namespace

void CSdkInterActive::OnVideoFrameYUVData(std::string streamId, int sourceType, rtTarvo::rtc::VideoFrame* frame) {
  if (!m_bIn_meet.load() || !frame) return;
  rtTarvo::rtc::FrameDescription d;
  frame->GetDescription(&d);

  CxShareMemory* block = nullptr;
  const char* failure = nullptr;
  StGlPrint* printer = nullptr;
  switch (sourceType) {
    case rtTarvo::rtc::kStreamCamera: {
      static StGlPrint camera(" SetVideoFrame Camera: type=");
      camera.Print(sourceType, d.width, d.height);
      LocalVideoFrameHandle(streamId, frame);
      return;
    }
    case 3:
    case 6:
    case rtTarvo::rtc::kStreamLocalMedia: {
      static StGlPrint others(" SetVideoFrame Camera: type=");
      others.Print(sourceType, d.width, d.height);
      LocalVideoFrameHandle(streamId, frame);
      return;
    }
    case rtTarvo::rtc::kStreamScreenShare: {
      static StGlPrint cast(" SetVideoFrame kScreenCast: type=");
      block = &m_castBlock;
      failure = " CastShare = ";
      printer = &cast;
      break;
    }
    case rtTarvo::rtc::kStreamMix: {
      static StGlPrint mix(" SetVideoFrame Mix: type=");
      block = &m_mixBlock;
      failure = " MixShare = ";
      printer = &mix;
      break;
    }
    case rtTarvo::rtc::kStreamLive: {
      static StGlPrint live(" SetVideoFrame Live: type=");
      block = &m_liveBlock;
      failure = " LiveShare = ";
      printer = &live;
      break;
    }
    default:
      return;
  }
  // The description is the SDK's word on the buffer: no more than it says, and no more than
  // the picture it names, is read.
  bool written = false;
  if (Plausible(d)) {
    const uint32_t length = static_cast<uint32_t>(std::min<int64_t>(d.length, I420Bytes(d.width, d.height)));
    const StFrameHeader header{static_cast<uint16_t>(d.width), static_cast<uint16_t>(d.height), length};
    written = WriteFrameBlock(*block, header, d.data, length, BlockCopy());
  }
  if (!written) TVLOG_INFO_THIS() << failure << d.length;
  printer->Print(sourceType, d.width, d.height);
}

void CSdkInterActive::LocalVideoFrameHandle(const std::string& streamId, rtTarvo::rtc::VideoFrame* frame) {
  rtTarvo::rtc::FrameDescription d;
  frame->GetDescription(&d);
  StAppConfig* config = GetAppConfig();
  if (!config->use_mode.load()) {
    // Picture mode: each camera frame sends the stored picture instead.
    ResendLastLocalFrame();
    return;
  }
  LocalStreamInfo info;
  if (!GetLocalStreamInfo(info, streamId)) {
    TVLOG_INFO_THIS() << "GetInfo Stream Is Not Exist" << streamId;
    return;
  }
  if (!Plausible(d) || d.length < I420Bytes(d.width, d.height)) {
    TVLOG_INFO_THIS() << "CameraShare = " << d.length;
    return;
  }

  int length = d.length;
  int width = d.width;
  int height = d.height;
  uint8_t* pixels = info.transform->Transform(d.data, &length, &width, &height, config->rotation,
                                              config->mirror != 0, config->flip != 0, true);
  if (info.bpublish) {
    if (info.bbeauty && m_pBeautyFace && !config->beauty_suspended.load()) {
      std::lock_guard<std::mutex> guard(m_beautyMutex);
      m_pBeautyFace->BeautyFaceProcess(pixels, static_cast<unsigned>(length), width, height);
    }
    if (!m_bVideoMutex.load()) {
      SetShareMemory(pixels, length, width, height);
      if (pixels == d.data && width == d.width && height == d.height) {
        SendFrameObject(0, frame);
      } else {
        SendFrame(0, pixels, width, height);
      }
    }
  }
  if (m_nConsumerCount.load() <= 0) return;

  const int targetWidth = width >= height ? kPreviewLong : kPreviewShort;
  const int targetHeight = width >= height ? kPreviewShort : kPreviewLong;
  // The scaler writes into the same work buffer the transform left its result in: the result
  // goes back into the SDK's frame (writable during this callback) first.
  if (pixels != d.data) std::memcpy(d.data, pixels, static_cast<size_t>(std::min(length, d.length)));
  uint8_t* preview =
      info.transform->Scale(d.data, length, width, height, targetWidth, targetHeight, libyuv::kFilterNone);
  if (preview == d.data && (width != targetWidth || height != targetHeight)) return;  // Not scaled.
  StYuvImage image;
  image.width = targetWidth;
  image.height = targetHeight;
  image.size = static_cast<int32_t>(I420Bytes(targetWidth, targetHeight));
  image.data = preview;
  CxBus::Call(GetMessageBus(), kTopicYuvData, image);
}

void CSdkInterActive::SetShareMemory(const uint8_t* data, int length, int width, int height) {
  // At most |length| bytes exist at |data|; an odd size's picture may need more than the
  // caller's length says, so the record carries what was written.
  const int64_t bytes = std::min<int64_t>(std::max(length, 0), I420Bytes(width, height));
  const StFrameHeader header{static_cast<uint16_t>(width), static_cast<uint16_t>(height), static_cast<uint32_t>(bytes)};
  if (bytes <= 0 || !WriteFrameBlock(m_cameraBlock, header, data, static_cast<uint32_t>(bytes), BlockCopy())) {
    TVLOG_INFO_THIS() << "CameraShare = " << length;
  }
}

bool CSdkInterActive::WriteFrameBlock(CxShareMemory& block, const StFrameHeader& header, const uint8_t* data,
                                      uint32_t length, const BlockCopy& copy) {
  if (!block.HasMapping() || uint64_t{length} + 8 > block.GetCapacity()) return false;
  {
    CxAutoLock hold(block.GetChannelLock());
    unsigned char* view = block.GetView();
    if (!view) return false;
    const uint32_t words[2] = {length + 8, block.GetCapacity()};
    std::memcpy(view, words, sizeof(words));
    std::memcpy(view + 8, &header.width, 2);
    std::memcpy(view + 10, &header.height, 2);
    std::memcpy(view + 12, &header.length, 4);
    if (copy) {
      copy(view, 16);
    } else if (data) {
      std::memcpy(view + 16, data, length);
    }
  }
  block.SignalPeer();
  return true;
}

void CSdkInterActive::ResendLastLocalFrame() {
  if (m_bVideoMutex.load()) return;
  std::lock_guard<std::mutex> guard(m_frameMutex);
  if (!m_pLastFrame) return;
  SendFrame(0, m_pLastFrame, m_nLastFrameWidth, m_nLastFrameHeight);
  const StFrameHeader header{m_nLastFrameWidth, m_nLastFrameHeight, m_nLastFrameLength};
  WriteFrameBlock(m_cameraBlock, header, m_pLastFrame, m_nLastFrameLength, BlockCopy());
}

void CSdkInterActive::SendFrame(int kind, const uint8_t* data, int width, int height) {
  if (kind < 0 || kind > 1) return;
  CxAutoLock hold(m_senderLock);
  if (m_senders[kind].sender) {
    m_senders[kind].sender->SendI420(data, width, height);
    SendImagePrinter().Print(6, width, height);
  } else {
    static StGlPrint dropped(" SendFrame live6 w=wStream h=pSend ");
    dropped.Print(6, kind, 0);
  }
}

void CSdkInterActive::SendFrameObject(int kind, rtTarvo::rtc::VideoFrame* frame) {
  if (kind < 0 || kind > 1) return;
  CxAutoLock hold(m_senderLock);
  if (m_senders[kind].sender) {
    m_senders[kind].sender->SendFrame(frame);
    rtTarvo::rtc::FrameDescription d;
    frame->GetDescription(&d);
    SendImagePrinter().Print(6, d.width, d.height);
  } else {
    static StGlPrint dropped(" SendFrame w=wStream h=pSend ");
    dropped.Print(6, kind, 0);
  }
}

bool CSdkInterActive::GetLocalStreamInfo(LocalStreamInfo& out, const std::string& streamId) {
  if (streamId.empty()) return false;  // Records wait for their stream with an empty id.
  std::lock_guard<std::mutex> guard(m_localVideoMutex);
  for (LocalVideoStream& stream : m_localVideoStreams) {
    if (stream.streamId != streamId) continue;
    if (!stream.transform) stream.transform = std::make_shared<CxYuvTransform>();
    out.bpublish = stream.bpublish;
    out.bbeauty = stream.bbeauty;
    out.deviceId = stream.deviceId;
    out.streamId = streamId;
    out.transform = stream.transform;
    return true;
  }
  return false;
}

void CSdkInterActive::StoreLastLocalFrame(const uint8_t* data, uint32_t length, uint16_t width, uint16_t height) {
  uint8_t* copy = length ? static_cast<uint8_t*>(malloc(length)) : nullptr;
  if (copy) std::memcpy(copy, data, length);
  std::lock_guard<std::mutex> guard(m_frameMutex);
  free(m_pLastFrame);
  m_pLastFrame = copy;
  m_nLastFrameLength = copy ? length : 0;
  m_nLastFrameWidth = copy ? width : 0;
  m_nLastFrameHeight = copy ? height : 0;
}
