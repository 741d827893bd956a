#include "platform/streamviewer/stream_block_reader.h"

#include <windows.h>

#include <libyuv/convert_argb.h>

#include <cstring>
#include <utility>

namespace {

const wchar_t* const kNames[kStreamBlockCount] = {L"livestream_share", L"mixstream_share",
                                                  L"caststream_share", L"camerastream_share"};
const char* const kLabels[kStreamBlockCount] = {"live", "mix", "cast", "camera"};

unsigned ReadU16(const std::uint8_t* at) { return at[0] | (at[1] << 8); }

unsigned ReadU32(const std::uint8_t* at) {
  return static_cast<unsigned>(at[0]) | (static_cast<unsigned>(at[1]) << 8) |
         (static_cast<unsigned>(at[2]) << 16) | (static_cast<unsigned>(at[3]) << 24);
}

}  // namespace

const wchar_t* StreamBlockName(int block) {
  return block >= 0 && block < kStreamBlockCount ? kNames[block] : L"";
}

const char* StreamBlockLabel(int block) {
  return block >= 0 && block < kStreamBlockCount ? kLabels[block] : "";
}

std::uint64_t I420Size(unsigned width, unsigned height) {
  const std::uint64_t chroma =
      (static_cast<std::uint64_t>(width) + 1) / 2 * ((static_cast<std::uint64_t>(height) + 1) / 2);
  return static_cast<std::uint64_t>(width) * height + 2 * chroma;
}

bool ParseStreamRecord(const std::uint8_t* record, std::size_t length, StreamPicture* picture,
                       std::string* why) {
  if (!record || length < kStreamRecordHeader) {
    if (why) *why = "record shorter than its header (" + std::to_string(length) + " bytes)";
    return false;
  }
  const unsigned width = ReadU16(record);
  const unsigned height = ReadU16(record + 2);
  if (width == 0 || height == 0) {
    if (why)
      *why = "no picture size (" + std::to_string(width) + "x" + std::to_string(height) + ")";
    return false;
  }
  const std::uint64_t need = I420Size(width, height);
  const std::uint64_t have = length - kStreamRecordHeader;
  if (need > have) {
    if (why) {
      *why = "record holds " + std::to_string(have) + " of the " + std::to_string(need) +
             " bytes a " + std::to_string(width) + "x" + std::to_string(height) + " picture needs";
    }
    return false;
  }
  picture->width = width;
  picture->height = height;
  picture->frame_length = ReadU32(record + 4);
  picture->i420.assign(record + kStreamRecordHeader,
                       record + kStreamRecordHeader + static_cast<std::size_t>(need));
  return true;
}

void I420ToBgra(const StreamPicture& picture, std::vector<std::uint32_t>* pixels) {
  const int width = static_cast<int>(picture.width);
  const int height = static_cast<int>(picture.height);
  pixels->assign(static_cast<std::size_t>(width) * height, 0xFF000000u);
  if (width == 0 || height == 0 || picture.i420.size() < I420Size(picture.width, picture.height)) {
    return;
  }
  const int chroma_width = (width + 1) / 2;
  const std::uint8_t* y = picture.i420.data();
  const std::uint8_t* u = y + static_cast<std::size_t>(width) * height;
  const std::uint8_t* v = u + static_cast<std::size_t>(chroma_width) * ((height + 1) / 2);
  libyuv::I420ToARGB(y, width, u, chroma_width, v, chroma_width,
                     reinterpret_cast<std::uint8_t*>(pixels->data()), width * 4, width, height);
}

void FrameRateMeter::Add(std::uint64_t tick_ms) {
  ticks_.push_back(tick_ms);
  while (ticks_.size() > 1 && ticks_.front() + 2000 < tick_ms) ticks_.pop_front();
}

double FrameRateMeter::Rate(std::uint64_t now_ms) const {
  if (ticks_.size() < 2 || ticks_.back() + 2000 < now_ms) return 0.0;
  const std::uint64_t span = ticks_.back() - ticks_.front();
  return span == 0 ? 0.0 : (ticks_.size() - 1) * 1000.0 / static_cast<double>(span);
}

StreamBlockReader::StreamBlockReader(std::wstring name) : name_(std::move(name)) {}

bool StreamBlockReader::WriterGone() const {
  void* quit = channel_.GetQuitEvent();
  return quit && WaitForSingleObject(quit, 0) == WAIT_OBJECT_0;
}

StreamBlockReader::Result StreamBlockReader::Next(unsigned timeout_ms, StreamPicture* picture,
                                                  std::string* why) {
  if (!channel_.HasMapping()) {
    // The consuming side only opens what the writer made; it fails while there is none, and a
    // block whose writer has already closed it again is let go at once.
    if (!channel_.Create(name_.c_str(), kStreamBlockCapacity, false) || WriterGone()) {
      channel_.Close();
      Sleep(timeout_ms);
      return Result::kClosed;
    }
    record_.resize(channel_.GetCapacity());
  }
  switch (channel_.Wait(timeout_ms)) {
    case 1:
      break;
    case 0:
      if (!WriterGone()) return Result::kNothing;
      channel_.Close();
      return Result::kClosed;
    default:
      channel_.Close();
      return Result::kClosed;
  }
  // Read copies the record under the channel's lock and clears the writer's event.
  const unsigned length = channel_.Read(record_.data(), static_cast<unsigned>(record_.size()));
  if (length == 0) {
    // A record longer than the block is not taken, so the writer's event stays set until its
    // next write: pace the retries instead of spinning on it.
    Sleep(timeout_ms < 20 ? timeout_ms : 20);
    if (why) *why = "empty record, or one longer than the block";
    return Result::kSkipped;
  }
  return ParseStreamRecord(record_.data(), length, picture, why) ? Result::kPicture
                                                                 : Result::kSkipped;
}
