#include "platform/orvim/common/media_pattern.h"

#include <cmath>
#include <cstring>

namespace orvim {

namespace {

constexpr int kGrid = 8;
constexpr uint8_t kWhite = 235;
constexpr uint8_t kBlack = 16;
constexpr uint8_t kBackground = 80;
constexpr int kSyncRow[kGrid] = {1, 0, 1, 1, 0, 0, 1, 0};
constexpr int kSyncColumn[kGrid] = {1, 0, 1, 1, 0, 1, 0, 0};  // Rows 0 to 7 of column 0.
constexpr int kDataBits = (kGrid - 1) * (kGrid - 1);          // 49.

struct Rect {
  int x, y, w, h;
};

// The central 16:9 (landscape) or 9:16 (portrait) area of a width x height picture.
Rect PatternArea(int width, int height) {
  Rect r{0, 0, width, height};
  if (width >= height) {
    if (static_cast<int64_t>(width) * 9 > static_cast<int64_t>(height) * 16) {
      r.w = height * 16 / 9;
    } else {
      r.h = width * 9 / 16;
    }
  } else {
    if (static_cast<int64_t>(height) * 9 > static_cast<int64_t>(width) * 16) {
      r.h = width * 16 / 9;
    } else {
      r.w = height * 9 / 16;
    }
  }
  r.x = (width - r.w) / 2;
  r.y = (height - r.h) / 2;
  return r;
}

void EncodeBits(const PictureMark& mark, int bits[kDataBits]) {
  uint64_t value = static_cast<uint64_t>(mark.tag) | (static_cast<uint64_t>(mark.camera & 0xF) << 16) |
                   (static_cast<uint64_t>(mark.counter & 0xFFFFFF) << 20);
  int ones = 0;
  for (int i = 0; i < 44; ++i) {
    bits[i] = static_cast<int>((value >> i) & 1);
    ones += bits[i];
  }
  for (int i = 0; i < 5; ++i) bits[44 + i] = (ones >> i) & 1;
}

bool DecodeBits(const int bits[kDataBits], PictureMark* mark) {
  uint64_t value = 0;
  int ones = 0;
  for (int i = 0; i < 44; ++i) {
    value |= static_cast<uint64_t>(bits[i]) << i;
    ones += bits[i];
  }
  int check = 0;
  for (int i = 0; i < 5; ++i) check |= bits[44 + i] << i;
  if (check != (ones & 31)) return false;
  mark->tag = static_cast<uint16_t>(value & 0xFFFF);
  mark->camera = static_cast<uint8_t>((value >> 16) & 0xF);
  mark->counter = static_cast<uint32_t>((value >> 20) & 0xFFFFFF);
  return true;
}

// The cell grid as drawn: 1 white, 0 black.
void MarkGrid(const PictureMark& mark, int grid[kGrid][kGrid]) {
  int bits[kDataBits];
  EncodeBits(mark, bits);
  for (int c = 0; c < kGrid; ++c) grid[0][c] = kSyncRow[c];
  for (int r = 0; r < kGrid; ++r) grid[r][0] = kSyncColumn[r];
  int i = 0;
  for (int r = 1; r < kGrid; ++r) {
    for (int c = 1; c < kGrid; ++c) grid[r][c] = bits[i++];
  }
}

// Where the drawn cell (r, c) is seen after orientation |o| (0 to 7: four rotations, each with
// and without a mirror).
void Orient(int o, int r, int c, int* out_r, int* out_c) {
  const int n = kGrid - 1;
  if (o & 4) c = n - c;
  switch (o & 3) {
    case 0: *out_r = r; *out_c = c; break;
    case 1: *out_r = c; *out_c = n - r; break;
    case 2: *out_r = n - r; *out_c = n - c; break;
    default: *out_r = n - c; *out_c = r; break;
  }
}

}  // namespace

void DrawPictureMark(uint8_t* i420, int width, int height, const PictureMark& mark) {
  if (!i420 || width <= 0 || height <= 0) return;
  const size_t luma = static_cast<size_t>(width) * static_cast<size_t>(height);
  const size_t chroma = static_cast<size_t>((width + 1) / 2) * static_cast<size_t>((height + 1) / 2);
  std::memset(i420, kBackground, luma);
  std::memset(i420 + luma, 128, 2 * chroma);
  int grid[kGrid][kGrid];
  MarkGrid(mark, grid);
  const Rect area = PatternArea(width, height);
  for (int r = 0; r < kGrid; ++r) {
    const int y0 = area.y + r * area.h / kGrid;
    const int y1 = area.y + (r + 1) * area.h / kGrid;
    for (int c = 0; c < kGrid; ++c) {
      const int x0 = area.x + c * area.w / kGrid;
      const int x1 = area.x + (c + 1) * area.w / kGrid;
      const uint8_t value = grid[r][c] ? kWhite : kBlack;
      for (int y = y0; y < y1; ++y) {
        std::memset(i420 + static_cast<size_t>(y) * width + x0, value, static_cast<size_t>(x1 - x0));
      }
    }
  }
}

bool ReadPictureMarkInRect(const uint8_t* luma, int stride, int x, int y, int w, int h,
                           PictureMark* mark) {
  if (!luma || w < kGrid || h < kGrid) return false;
  const Rect area = PatternArea(w, h);
  int seen[kGrid][kGrid];
  for (int r = 0; r < kGrid; ++r) {
    for (int c = 0; c < kGrid; ++c) {
      // Average a small patch at the cell's centre.
      const int cx = x + area.x + (2 * c + 1) * area.w / (2 * kGrid);
      const int cy = y + area.y + (2 * r + 1) * area.h / (2 * kGrid);
      const int rx = area.w / (kGrid * 6) > 0 ? area.w / (kGrid * 6) : 0;
      const int ry = area.h / (kGrid * 6) > 0 ? area.h / (kGrid * 6) : 0;
      int sum = 0;
      int count = 0;
      for (int yy = cy - ry; yy <= cy + ry; ++yy) {
        for (int xx = cx - rx; xx <= cx + rx; ++xx) {
          sum += luma[static_cast<size_t>(yy) * stride + xx];
          ++count;
        }
      }
      seen[r][c] = sum / count >= 128 ? 1 : 0;
    }
  }
  for (int o = 0; o < 8; ++o) {
    bool sync = true;
    for (int i = 0; i < kGrid && sync; ++i) {
      int r = 0;
      int c = 0;
      Orient(o, 0, i, &r, &c);
      sync = seen[r][c] == kSyncRow[i];
      Orient(o, i, 0, &r, &c);
      sync = sync && seen[r][c] == kSyncColumn[i];
    }
    if (!sync) continue;
    int bits[kDataBits];
    int i = 0;
    for (int r = 1; r < kGrid; ++r) {
      for (int c = 1; c < kGrid; ++c) {
        int rr = 0;
        int cc = 0;
        Orient(o, r, c, &rr, &cc);
        bits[i++] = seen[rr][cc];
      }
    }
    if (DecodeBits(bits, mark)) return true;
  }
  return false;
}

bool ReadPictureMark(const uint8_t* i420, int width, int height, PictureMark* mark) {
  return ReadPictureMarkInRect(i420, width, 0, 0, width, height, mark);
}

void FillMicrophonePacket(int16_t* samples, int frames, uint16_t tag, uint32_t counter, int level) {
  if (frames < 2) return;
  if (level < 0) level = 0;
  if (level > 32767) level = 32767;
  samples[0] = static_cast<int16_t>(tag);
  samples[1] = kAudioMarker;
  samples[2] = static_cast<int16_t>(counter & 0xFFFF);
  samples[3] = static_cast<int16_t>(counter >> 16);
  for (int f = 2; f < frames; ++f) {
    // 1 kHz at 48 kHz: 24 frames high, 24 low, in phase with the running counter.
    const uint32_t position = counter + static_cast<uint32_t>(f);
    const int16_t v = static_cast<int16_t>(((position / 24) & 1) ? -level : level);
    samples[2 * f] = v;
    samples[2 * f + 1] = v;
  }
}

AudioMark ReadAudioPacket(const int16_t* samples, int frames) {
  AudioMark mark;
  if (!samples || frames < 3) return mark;
  mark.marked = samples[1] == kAudioMarker;
  if (mark.marked) {
    mark.tag = static_cast<uint16_t>(samples[0]);
    mark.counter = static_cast<uint32_t>(static_cast<uint16_t>(samples[2])) |
                   (static_cast<uint32_t>(static_cast<uint16_t>(samples[3])) << 16);
  }
  mark.level = RmsLevel(samples + 4, static_cast<size_t>(frames - 2) * 2);
  return mark;
}

int RmsLevel(const int16_t* samples, size_t count) {
  if (!samples || count == 0) return 0;
  double sum = 0.0;
  for (size_t i = 0; i < count; ++i) sum += static_cast<double>(samples[i]) * samples[i];
  const double rms = std::sqrt(sum / static_cast<double>(count));
  return rms >= 32767.0 ? 32767 : static_cast<int>(rms + 0.5);
}

uint16_t TagFromText(const char* text) {
  uint32_t hash = 2166136261u;
  for (const char* p = text; p && *p; ++p) {
    hash ^= static_cast<uint8_t>(*p);
    hash *= 16777619u;
  }
  const uint16_t tag = static_cast<uint16_t>(hash ^ (hash >> 16));
  return tag == 0 ? 1 : tag;
}

}  // namespace orvim
