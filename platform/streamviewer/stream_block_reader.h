#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "foundation/shared_memory.h"

// The consuming side of the client's four stream blocks: named shared-memory channels into
// which the client writes the newest picture of each received stream and of its own camera.
//
// A block's record (the bytes after the channel's length and capacity words):
//   offset 0: unsigned 16-bit width, offset 2: unsigned 16-bit height,
//   offset 4: unsigned 32-bit frame length (as the writer's frame header says),
//   offset 8: I420 pixels: Y (width x height), then U, then V ((w + 1) / 2 x (h + 1) / 2 each).
// Each write replaces the previous record and sets the writer's event.

constexpr int kStreamBlockCount = 4;
constexpr unsigned kStreamBlockCapacity = 1920u * 1080u * 2u;  // Bytes of record per block.
constexpr unsigned kStreamRecordHeader = 8;

// Pane order: 0 live, 1 mix, 2 cast, 3 camera.
const wchar_t* StreamBlockName(int block);
const char* StreamBlockLabel(int block);

// Bytes of an I420 picture of |width| x |height|.
std::uint64_t I420Size(unsigned width, unsigned height);

struct StreamPicture {
  unsigned width = 0;
  unsigned height = 0;
  unsigned frame_length = 0;       // What the record's header says.
  std::vector<std::uint8_t> i420;  // Exactly I420Size(width, height) bytes.
};

// Takes the picture out of one record (header and pixels). A record that cannot be drawn
// (shorter than its header, no size, fewer pixel bytes than its size needs) gives false and
// says why; |picture| is then unchanged.
bool ParseStreamRecord(const std::uint8_t* record, std::size_t length, StreamPicture* picture,
                       std::string* why);

// The picture as 32-bit pixels for GDI (0xAARRGGBB, top row first).
void I420ToBgra(const StreamPicture& picture, std::vector<std::uint32_t>* pixels);

// Frames per second over the last two seconds of arrival times (milliseconds of any clock).
class FrameRateMeter {
 public:
  void Add(std::uint64_t tick_ms);
  double Rate(std::uint64_t now_ms) const;

 private:
  std::deque<std::uint64_t> ticks_;
};

// Reads one block. Opens it when the writer has made it, waits on the writer's event and
// copies the newest record under the channel's lock; never writes the block. When the writer
// closes the block (its quit event) the reader lets go of it and opens it again once the
// writer has made it anew.
//
// Threads: one thread uses a reader at a time.
class StreamBlockReader {
 public:
  enum class Result {
    kPicture,  // |picture| holds the newest picture.
    kNothing,  // No new record within the time-out.
    kSkipped,  // A new record that cannot be drawn; |why| says why.
    kClosed,   // The block is not there (yet, or any more); waited out the time-out.
  };

  explicit StreamBlockReader(std::wstring name);
  StreamBlockReader(const StreamBlockReader&) = delete;
  StreamBlockReader& operator=(const StreamBlockReader&) = delete;

  Result Next(unsigned timeout_ms, StreamPicture* picture, std::string* why);
  bool IsOpen() const { return channel_.HasMapping(); }
  void Close() { channel_.Close(); }

 private:
  bool WriterGone() const;

  std::wstring name_;
  CxShareMemory channel_;
  std::vector<std::uint8_t> record_;
};
