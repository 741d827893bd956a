#include "graphics/pellix/picture_decode.h"

#include <windows.h>

#include <algorithm>
// GDI+'s headers expect min and max, which NOMINMAX keeps out of <windows.h>.
using std::max;
using std::min;
#include <objidl.h>
#include <gdiplus.h>

#include <cmath>
#include <cstring>
#include <string>

namespace pellix {
namespace {

constexpr int kMaxSide = 1024;
// A larger picture is refused before anything is allocated for it.
constexpr std::uint64_t kMaxPixels = 64ull * 1024 * 1024;

// A temporary file that is deleted when it goes out of scope.
class TempFile {
 public:
  TempFile() {
    wchar_t folder[MAX_PATH];
    wchar_t name[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length > 0 && length < MAX_PATH && GetTempFileNameW(folder, L"pel", 0, name)) path_ = name;
  }
  ~TempFile() {
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool ok() const { return !path_.empty(); }
  const wchar_t* path() const { return path_.c_str(); }

 private:
  std::wstring path_;
};

bool WriteWhole(const wchar_t* path, const void* data, std::size_t size) {
  HANDLE file =
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
  return ok && written == size;
}

bool ReadWhole(const wchar_t* path, std::vector<std::uint8_t>* bytes) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1ll << 30);
  if (ok) {
    bytes->resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    ok = ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr) &&
         read == bytes->size();
  }
  CloseHandle(file);
  return ok;
}

bool FindEncoder(const wchar_t* mime_type, CLSID* clsid) {
  UINT count = 0, size = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
  std::vector<std::uint8_t> buffer(size);
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (Gdiplus::GetImageEncoders(count, size, encoders) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (wcscmp(encoders[i].MimeType, mime_type) == 0) {
      *clsid = encoders[i].Clsid;
      return true;
    }
  }
  return false;
}

std::uint32_t ReadU32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Per output index along one axis: the first input index and the weights (out of 256) of the
// input span it averages.
struct Span {
  int first;
  std::vector<int> weights;
};

std::vector<Span> Spans(int input, int output) {
  std::vector<Span> spans(output);
  const double scale = static_cast<double>(output) / input;
  for (int i = 0; i < output; ++i) {
    const double start = i / scale;
    const double end = (i + 1) / scale;
    int first = static_cast<int>(std::floor(start));
    int last = static_cast<int>(std::floor(end));
    if (first > input - 1) first = input - 1;
    if (last > input - 1) last = input - 1;
    Span& span = spans[i];
    span.first = first;
    if (last == first) {
      span.weights = {256};
      continue;
    }
    const int first_weight = static_cast<int>((first + 1 - start) * scale * 256);
    const int last_weight = static_cast<int>((end - last) * scale * 256);
    const int between = last - first - 1;
    span.weights.assign(last - first + 1, 0);
    span.weights.front() = first_weight;
    span.weights.back() = last_weight;
    if (between > 0) {
      const int share = (256 - first_weight - last_weight) / between;
      for (int k = 1; k <= between; ++k) span.weights[k] = share;
    }
  }
  return spans;
}

}  // namespace

bool EncodeAsBmp(const void* data, std::size_t size, std::vector<std::uint8_t>* bmp) {
  if (!data || size == 0 || size > (1u << 30)) return false;
  TempFile source, encoded;
  if (!source.ok() || !encoded.ok() || !WriteWhole(source.path(), data, size)) return false;
  CLSID bmp_encoder;
  if (!FindEncoder(L"image/bmp", &bmp_encoder)) return false;
  {
    Gdiplus::Image image(source.path());
    if (image.GetLastStatus() != Gdiplus::Ok) return false;
    if (image.Save(encoded.path(), &bmp_encoder, nullptr) != Gdiplus::Ok) return false;
  }
  return ReadWhole(encoded.path(), bmp);
}

bool ParseBmp(const std::uint8_t* data, std::size_t size, Picture* picture) {
  if (!data || size < 54 || data[0] != 'B' || data[1] != 'M') return false;
  const std::uint32_t pixel_offset = ReadU32(data + 10);
  const std::uint32_t header_size = ReadU32(data + 14);
  const std::int32_t width = static_cast<std::int32_t>(ReadU32(data + 18));
  const std::int32_t raw_height = static_cast<std::int32_t>(ReadU32(data + 22));
  const int bits = data[28] | (data[29] << 8);
  const std::uint32_t compression = ReadU32(data + 30);
  // Uncompressed rows only (bit fields keep the plain byte order of 32-bit pixels).
  if (compression != BI_RGB && compression != BI_BITFIELDS) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
  if (width <= 0 || raw_height == 0 || raw_height == INT32_MIN) return false;
  const bool bottom_up = raw_height > 0;
  const std::int64_t height = bottom_up ? raw_height : -static_cast<std::int64_t>(raw_height);
  if (static_cast<std::uint64_t>(width) * height > kMaxPixels) return false;
  const std::uint64_t stride = ((static_cast<std::uint64_t>(width) * bits + 31) / 32) * 4;
  if (pixel_offset > size || stride * height > size - pixel_offset) return false;
  // The colour table follows the information header, whatever its version.
  const std::uint64_t table = 14ull + header_size;

  Picture out;
  out.width = width;
  out.height = static_cast<int>(height);
  out.pixels.assign(static_cast<std::size_t>(width) * height * 4, 0);
  for (std::int64_t y = 0; y < height; ++y) {
    const std::int64_t file_row = bottom_up ? height - 1 - y : y;
    const std::uint8_t* row = data + pixel_offset + file_row * stride;
    std::uint8_t* pixel = out.pixels.data() + static_cast<std::size_t>(y) * width * 4;
    for (std::int32_t x = 0; x < width; ++x, pixel += 4) {
      switch (bits) {
        case 1: {
          const std::uint8_t value = (row[x / 8] >> (7 - x % 8)) & 1 ? 0xFF : 0;
          pixel[0] = pixel[1] = pixel[2] = value;
          pixel[3] = 0xFF;
          break;
        }
        case 4:
        case 8: {
          const unsigned index = bits == 8 ? row[x] : (row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
          const std::uint64_t entry = table + index * 4ull;
          if (entry + 3 > size) return false;
          pixel[0] = data[entry + 2];
          pixel[1] = data[entry + 1];
          pixel[2] = data[entry];
          pixel[3] = 0xFF;
          break;
        }
        case 24: {
          const std::uint8_t* in = row + x * 3;
          pixel[0] = in[2], pixel[1] = in[1], pixel[2] = in[0], pixel[3] = 0xFF;
          break;
        }
        case 32: {
          const std::uint8_t* in = row + x * 4;
          pixel[0] = in[2], pixel[1] = in[1], pixel[2] = in[0], pixel[3] = in[3];
          break;
        }
      }
    }
  }
  *picture = std::move(out);
  return true;
}

void FitSize(int width, int height, int* fit_width, int* fit_height) {
  *fit_width = width;
  *fit_height = height;
  if (width <= kMaxSide && height <= kMaxSide) return;
  if (width >= height) {
    *fit_width = kMaxSide;
    *fit_height = static_cast<int>(static_cast<std::int64_t>(height) * kMaxSide / width);
  } else {
    *fit_height = kMaxSide;
    *fit_width = static_cast<int>(static_cast<std::int64_t>(width) * kMaxSide / height);
  }
  if (*fit_width < 1) *fit_width = 1;
  if (*fit_height < 1) *fit_height = 1;
}

Picture Shrink(const Picture& source, int width, int height) {
  const std::vector<Span> columns = Spans(source.width, width);
  const std::vector<Span> rows = Spans(source.height, height);
  // Along rows first, into a buffer of the output width and the input height.
  std::vector<std::uint8_t> narrow(static_cast<std::size_t>(width) * source.height * 4);
  for (int y = 0; y < source.height; ++y) {
    const std::uint8_t* in = source.pixels.data() + static_cast<std::size_t>(y) * source.width * 4;
    std::uint8_t* out = narrow.data() + static_cast<std::size_t>(y) * width * 4;
    for (int x = 0; x < width; ++x) {
      const Span& span = columns[x];
      for (int c = 0; c < 4; ++c) {
        int sum = 0;
        for (std::size_t k = 0; k < span.weights.size(); ++k)
          sum += in[(span.first + k) * 4 + c] * span.weights[k];
        out[x * 4 + c] = static_cast<std::uint8_t>(std::min(sum >> 8, 255));
      }
    }
  }
  Picture out;
  out.width = width;
  out.height = height;
  out.pixels.assign(static_cast<std::size_t>(width) * height * 4, 0);
  const std::size_t row_bytes = static_cast<std::size_t>(width) * 4;
  for (int y = 0; y < height; ++y) {
    const Span& span = rows[y];
    std::uint8_t* target = out.pixels.data() + y * row_bytes;
    for (std::size_t i = 0; i < row_bytes; ++i) {
      int sum = 0;
      for (std::size_t k = 0; k < span.weights.size(); ++k)
        sum += narrow[(span.first + k) * row_bytes + i] * span.weights[k];
      target[i] = static_cast<std::uint8_t>(std::min(sum >> 8, 255));
    }
  }
  return out;
}

bool DecodePicture(const void* data, std::size_t size, Picture* picture) {
  std::vector<std::uint8_t> bmp;
  Picture parsed;
  if (!EncodeAsBmp(data, size, &bmp) || !ParseBmp(bmp.data(), bmp.size(), &parsed)) return false;
  int width, height;
  FitSize(parsed.width, parsed.height, &width, &height);
  if (width != parsed.width || height != parsed.height) parsed = Shrink(parsed, width, height);
  *picture = std::move(parsed);
  return true;
}

}  // namespace pellix
