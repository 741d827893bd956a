#include "windows/picture_file/picture_file.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Rgb {
  uint8_t r, g, b;
};

// The conversion written out in doubles, for comparison.
struct Yuv {
  double y, u, v;
};
Yuv Formula(Rgb c) {
  return Yuv{0.299 * c.r + 0.587 * c.g + 0.114 * c.b,
             -0.1684 * c.r - 0.3316 * c.g + 0.5 * c.b + 128,
             0.5 * c.r - 0.4187 * c.g - 0.0813 * c.b + 128};
}
int Clamp(double value, int low, int high) {
  const int rounded = static_cast<int>(std::lround(value));
  return rounded < low ? low : rounded > high ? high : rounded;
}

// A picture of four quadrants: top-left, top-right, bottom-left, bottom-right.
const Rgb kQuadrants[4] = {{220, 30, 30}, {30, 200, 60}, {40, 60, 210}, {250, 250, 250}};

std::wstring TempFolder() {
  wchar_t path[MAX_PATH];
  GetTempPathW(MAX_PATH, path);
  return path;
}

std::set<std::wstring> TempFolderListing() {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((TempFolder() + L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    names.insert(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

void Put16(Bytes* b, size_t at, uint16_t v) {
  (*b)[at] = v & 0xFF;
  (*b)[at + 1] = v >> 8;
}
void Put32(Bytes* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = (v >> (8 * i)) & 0xFF;
}

// A BMP of the quadrant picture with `bits` per pixel (1, 4 and 8 through a palette of the
// quadrant colours, 1 bit only with two of them; 16 as 5-5-5; 24 as B, G, R), stored
// bottom-up with rows padded to 4 bytes.
Bytes MakeBmp(int bits, int width, int height) {
  const int palette_entries = bits <= 8 ? (1 << bits) : 0;
  const int row = ((width * bits + 31) / 32) * 4;
  const int offset = 14 + 40 + palette_entries * 4;
  Bytes b(offset + row * height, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(&b, 2, static_cast<uint32_t>(b.size()));
  Put32(&b, 10, offset);
  Put32(&b, 14, 40);
  Put32(&b, 18, width);
  Put32(&b, 22, height);
  Put16(&b, 26, 1);
  Put16(&b, 28, static_cast<uint16_t>(bits));
  Put32(&b, 34, row * height);
  for (int i = 0; i < palette_entries; ++i) {
    const Rgb c = kQuadrants[i % 4];
    b[54 + i * 4] = c.b;
    b[54 + i * 4 + 1] = c.g;
    b[54 + i * 4 + 2] = c.r;
  }
  for (int y = 0; y < height; ++y) {
    uint8_t* line = &b[offset + (height - 1 - y) * row];
    for (int x = 0; x < width; ++x) {
      const int quadrant = (y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0);
      const Rgb c = kQuadrants[quadrant];
      switch (bits) {
        case 1:
          if (quadrant % 2) line[x / 8] |= 0x80 >> (x % 8);
          break;
        case 4:
          line[x / 2] |= quadrant << (x % 2 ? 0 : 4);
          break;
        case 8:
          line[x] = static_cast<uint8_t>(quadrant);
          break;
        case 16: {
          const uint16_t v = ((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3);
          line[x * 2] = v & 0xFF;
          line[x * 2 + 1] = v >> 8;
          break;
        }
        default:
          line[x * 3] = c.b;
          line[x * 3 + 1] = c.g;
          line[x * 3 + 2] = c.r;
      }
    }
  }
  return b;
}

// The colour that a BMP of `bits` really stores for a quadrant.
Rgb StoredColour(int bits, int quadrant) {
  Rgb c = kQuadrants[quadrant];
  if (bits == 1) c = kQuadrants[quadrant % 2];
  if (bits == 16) {
    auto expand = [](uint8_t v) { return static_cast<uint8_t>(((v >> 3) << 3) | (v >> 5)); };
    c = Rgb{expand(c.r), expand(c.g), expand(c.b)};
  }
  return c;
}

bool WriteFileBytes(const std::wstring& path, const void* data, size_t size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) &&
                  written == size;
  CloseHandle(file);
  return ok;
}

Bytes ReadFileBytes(const std::wstring& path) {
  Bytes bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(file, nullptr));
  DWORD got = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  bytes.resize(got);
  CloseHandle(file);
  return bytes;
}

bool EncoderFor(const wchar_t* mime, CLSID* clsid) {
  UINT count = 0, size = 0;
  Gdiplus::GetImageEncodersSize(&count, &size);
  std::vector<uint8_t> buffer(size);
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  Gdiplus::GetImageEncoders(count, size, encoders);
  for (UINT i = 0; i < count; ++i) {
    if (wcscmp(encoders[i].MimeType, mime) == 0) {
      *clsid = encoders[i].Clsid;
      return true;
    }
  }
  return false;
}

// The quadrant picture saved by GDI+ as PNG or JPEG.
bool SaveQuadrants(const std::wstring& path, const wchar_t* mime, int width, int height) {
  Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
  Gdiplus::Graphics graphics(&bitmap);
  for (int q = 0; q < 4; ++q) {
    const Rgb c = kQuadrants[q];
    Gdiplus::SolidBrush brush(Gdiplus::Color(255, c.r, c.g, c.b));
    graphics.FillRectangle(&brush, (q % 2) * width / 2, (q / 2) * height / 2,
                           width - width / 2, height - height / 2);
  }
  CLSID clsid;
  if (!EncoderFor(mime, &clsid)) return false;
  return bitmap.Save(path.c_str(), &clsid, nullptr) == Gdiplus::Ok;
}

uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

void AppendPngChunk(Bytes* png, const char* type, const Bytes& data) {
  const uint32_t length = static_cast<uint32_t>(data.size());
  for (int i = 3; i >= 0; --i) png->push_back((length >> (8 * i)) & 0xFF);
  Bytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png->insert(png->end(), body.begin(), body.end());
  const uint32_t crc = Crc32(body.data(), body.size());
  for (int i = 3; i >= 0; --i) png->push_back((crc >> (8 * i)) & 0xFF);
}

// A small, well-formed PNG header that declares a `side` × `side` RGB picture.
Bytes HugePng(uint32_t side) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header(13, 0);
  for (int i = 0; i < 4; ++i) {
    header[3 - i] = (side >> (8 * i)) & 0xFF;
    header[7 - i] = (side >> (8 * i)) & 0xFF;
  }
  header[8] = 8;  // bit depth
  header[9] = 2;  // RGB
  AppendPngChunk(&png, "IHDR", header);
  AppendPngChunk(&png, "IDAT", Bytes{0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
  AppendPngChunk(&png, "IEND", Bytes{});
  return png;
}

struct Loaded {
  bool ok = false;
  int width = 0, height = 0, size = 0;
  Bytes frame;
  uint8_t Y(int x, int y) const { return frame[y * width + x]; }
  uint8_t U(int x, int y) const { return frame[width * height + (y / 2) * (width / 2) + x / 2]; }
  uint8_t V(int x, int y) const {
    return frame[width * height * 5 / 4 + (y / 2) * (width / 2) + x / 2];
  }
};

Loaded Load(const std::wstring& path) {
  PictureFile reader;
  Loaded result;
  uint8_t* buffer = reinterpret_cast<uint8_t*>(1);  // must stay untouched on failure
  result.size = -7;
  result.ok = reader.LoadPictureAsBitmap(path.c_str(), &buffer, &result.size, &result.width,
                                         &result.height);
  if (result.ok) {
    result.frame.assign(buffer, buffer + result.size);
    free(buffer);
  } else {
    EXPECT_EQ(buffer, reinterpret_cast<uint8_t*>(1));
    EXPECT_EQ(result.size, -7);
  }
  return result;
}

// The quadrant colours where the decoded frame is uniform (centres of the quadrants).
void ExpectQuadrants(const Loaded& frame, int bits, int tolerance, const std::string& what) {
  ASSERT_TRUE(frame.ok) << what;
  for (int q = 0; q < 4; ++q) {
    const int x = (q % 2) * frame.width / 2 + frame.width / 4;
    const int y = (q / 2) * frame.height / 2 + frame.height / 4;
    const Yuv want = Formula(StoredColour(bits, q));
    EXPECT_NEAR(frame.Y(x, y), Clamp(want.y, 16, 235), tolerance) << what << " quadrant " << q;
    EXPECT_NEAR(frame.U(x, y), Clamp(want.u, 16, 240), tolerance) << what << " quadrant " << q;
    EXPECT_NEAR(frame.V(x, y), Clamp(want.v, 16, 240), tolerance) << what << " quadrant " << q;
  }
}

class PictureFileTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token_, &input, nullptr);
    // A temporary folder of our own: other test programs of the run share the usual one, and
    // their files come and go while we compare listings.
    private_temp_ = TempFolder() + L"picture_file_temp_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(private_temp_.c_str(), nullptr);
    SetEnvironmentVariableW(L"TMP", private_temp_.c_str());
    SetEnvironmentVariableW(L"TEMP", private_temp_.c_str());
  }
  static void TearDownTestSuite() { RemoveDirectoryW(private_temp_.c_str()); }

  void SetUp() override {
    folder_ = TempFolder() + L"picture_file_test_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder_ + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileW((folder_ + L"\\" + data.cFileName).c_str());
      } while (FindNextFileW(find, &data));
      FindClose(find);
    }
    RemoveDirectoryW(folder_.c_str());
  }

  std::wstring File(const std::wstring& name) const { return folder_ + L"\\" + name; }

  static ULONG_PTR token_;
  static std::wstring private_temp_;
  std::wstring folder_;
};
ULONG_PTR PictureFileTest::token_ = 0;
std::wstring PictureFileTest::private_temp_;

}  // namespace

TEST(PictureFileSizeTest, FitsInto1920By1080AndRoundsDown) {
  struct Case {
    int width, height, want_width, want_height;
  } cases[] = {
      {4000, 3000, 1440, 1080}, {1001, 701, 1000, 700}, {1920, 1080, 1920, 1080},
      {3840, 1000, 1920, 500},  {1000, 4000, 268, 1080}, {1921, 1081, 1916, 1080},
      {3, 2, 0, 2},             {16384, 1, 1920, 0},     {0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    int w = -1, h = -1;
    PictureFile::FitFrameSize(c.width, c.height, &w, &h);
    EXPECT_EQ(w, c.want_width) << c.width << "x" << c.height;
    EXPECT_EQ(h, c.want_height) << c.width << "x" << c.height;
  }
}

TEST(PictureFileConversionTest, ColoursFollowTheFormulaRounded) {
  const PictureFile reader;
  const Rgb colours[] = {{255, 255, 255}, {0, 0, 0},     {255, 0, 0},   {0, 255, 0},
                         {0, 0, 255},     {255, 255, 0}, {0, 255, 255}, {255, 0, 255},
                         {128, 128, 128}, {1, 2, 3},     {200, 100, 50}};
  for (const Rgb& c : colours) {
    uint8_t bgr[2 * 2 * 3];
    for (int i = 0; i < 4; ++i) {
      bgr[i * 3] = c.b;
      bgr[i * 3 + 1] = c.g;
      bgr[i * 3 + 2] = c.r;
    }
    uint8_t i420[6] = {};
    reader.Rgb24ToI420(bgr, 6, 2, 2, i420);
    const Yuv want = Formula(c);
    const std::string what = std::to_string(c.r) + "," + std::to_string(c.g) + "," +
                             std::to_string(c.b);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(i420[i], Clamp(want.y, 16, 235), 1) << what;
    EXPECT_NEAR(i420[4], Clamp(want.u, 16, 240), 1) << what;
    EXPECT_NEAR(i420[5], Clamp(want.v, 16, 240), 1) << what;
  }
  // White exactly: the halves of 255 are not truncated, so U and V come out at 128.
  const uint8_t white[12] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
  uint8_t i420[6] = {};
  reader.Rgb24ToI420(white, 6, 2, 2, i420);
  EXPECT_EQ(i420[0], 235);
  EXPECT_EQ(i420[4], 128);
  EXPECT_EQ(i420[5], 128);

  // U and V are the mean of a 2 × 2 block; rows are read at their stride, top row first.
  const uint8_t mixed[2 * 8] = {255, 0, 0, 0, 0, 0, 0xEE, 0xEE,   // blue, black, padding
                                0, 0, 0,   0, 0, 0, 0xEE, 0xEE};  // black, black, padding
  reader.Rgb24ToI420(mixed, 8, 2, 2, i420);
  EXPECT_EQ(i420[0], Clamp(0.114 * 255, 16, 235));
  EXPECT_EQ(i420[1], 16);
  EXPECT_EQ(i420[4], Clamp((0.5 * 255) / 4 + 128, 16, 240));
  EXPECT_EQ(i420[5], Clamp((-0.0813 * 255) / 4 + 128, 16, 240));
}

TEST_F(PictureFileTest, ReadsBmpOfEveryDepthPngAndJpeg) {
  const std::set<std::wstring> before = TempFolderListing();
  for (int bits : {1, 4, 8, 16, 24}) {
    const Bytes bmp = MakeBmp(bits, 64, 32);
    const std::wstring path = File(L"quadrants" + std::to_wstring(bits) + L".bmp");
    ASSERT_TRUE(WriteFileBytes(path, bmp.data(), bmp.size()));
    const Loaded frame = Load(path);
    ASSERT_TRUE(frame.ok) << bits;
    EXPECT_EQ(frame.width, 64);
    EXPECT_EQ(frame.height, 32);
    EXPECT_EQ(frame.size, 64 * 32 * 3 / 2);
    ExpectQuadrants(frame, bits, bits == 16 ? 2 : 1, "BMP " + std::to_string(bits) + " bits");
  }
  ASSERT_TRUE(SaveQuadrants(File(L"quadrants.png"), L"image/png", 64, 32));
  ExpectQuadrants(Load(File(L"quadrants.png")), 24, 1, "PNG");
  ASSERT_TRUE(SaveQuadrants(File(L"quadrants.jpg"), L"image/jpeg", 64, 32));
  ExpectQuadrants(Load(File(L"quadrants.jpg")), 24, 6, "JPEG");
  // Loading leaves nothing behind in the temporary folder.
  EXPECT_EQ(TempFolderListing(), before);
}

TEST_F(PictureFileTest, LargePicturesAreFittedAndOddSizesRoundedDown) {
  struct Case {
    int width, height, want_width, want_height;
    const wchar_t* mime;
    const wchar_t* name;
  } cases[] = {
      {4000, 3000, 1440, 1080, L"image/jpeg", L"large.jpg"},
      {1001, 701, 1000, 700, L"image/png", L"odd.png"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SaveQuadrants(File(c.name), c.mime, c.width, c.height));
    const Loaded frame = Load(File(c.name));
    ASSERT_TRUE(frame.ok);
    EXPECT_EQ(frame.width, c.want_width);
    EXPECT_EQ(frame.height, c.want_height);
    ExpectQuadrants(frame, 24, 6, "fitted");
  }
  // A uniformly white picture.
  {
    Gdiplus::Bitmap white(640, 360, PixelFormat24bppRGB);
    Gdiplus::Graphics(&white).Clear(Gdiplus::Color(255, 255, 255, 255));
    CLSID png;
    ASSERT_TRUE(EncoderFor(L"image/png", &png));
    ASSERT_EQ(white.Save(File(L"white.png").c_str(), &png, nullptr), Gdiplus::Ok);
  }
  const Loaded white = Load(File(L"white.png"));
  ASSERT_TRUE(white.ok);
  for (int y = 0; y < white.height; y += 37) {
    for (int x = 0; x < white.width; x += 29) {
      ASSERT_EQ(white.Y(x, y), 235);
      ASSERT_EQ(white.U(x, y), 128);
      ASSERT_EQ(white.V(x, y), 128);
    }
  }
}

TEST_F(PictureFileTest, MalformedFilesFailWithoutLeavingFiles) {
  const std::set<std::wstring> before = TempFolderListing();

  const char text[] = "this is not a picture, only text in a file named like one\n";
  ASSERT_TRUE(WriteFileBytes(File(L"text.jpg"), text, sizeof(text) - 1));
  EXPECT_FALSE(Load(File(L"text.jpg")).ok);

  const Bytes huge = HugePng(30000);
  ASSERT_TRUE(WriteFileBytes(File(L"huge.png"), huge.data(), huge.size()));
  EXPECT_FALSE(Load(File(L"huge.png")).ok);
  const Bytes wide = HugePng(16385);
  ASSERT_TRUE(WriteFileBytes(File(L"wide.png"), wide.data(), wide.size()));
  EXPECT_FALSE(Load(File(L"wide.png")).ok);

  ASSERT_TRUE(WriteFileBytes(File(L"empty.png"), "", 0));
  EXPECT_FALSE(Load(File(L"empty.png")).ok);
  EXPECT_FALSE(Load(File(L"missing.png")).ok);
  // Too small to leave a frame once rounded down.
  const Bytes tiny = MakeBmp(24, 3, 3);
  ASSERT_TRUE(WriteFileBytes(File(L"tiny.bmp"), tiny.data(), tiny.size()));
  EXPECT_FALSE(Load(File(L"tiny.bmp")).ok);

  // A BMP whose header promises more rows than the file holds, and a JPEG cut in half: the
  // decoder may fill the missing part or refuse, but nothing breaks.
  Bytes short_bmp = MakeBmp(24, 64, 32);
  short_bmp.resize(short_bmp.size() / 3);
  ASSERT_TRUE(WriteFileBytes(File(L"short.bmp"), short_bmp.data(), short_bmp.size()));
  Load(File(L"short.bmp"));
  ASSERT_TRUE(SaveQuadrants(File(L"whole.jpg"), L"image/jpeg", 640, 480));
  Bytes jpeg = ReadFileBytes(File(L"whole.jpg"));
  ASSERT_GT(jpeg.size(), 200u);
  jpeg.resize(jpeg.size() / 2);
  ASSERT_TRUE(WriteFileBytes(File(L"cut.jpg"), jpeg.data(), jpeg.size()));
  const Loaded cut = Load(File(L"cut.jpg"));
  if (cut.ok) {
    EXPECT_EQ(cut.width, 640);
    EXPECT_EQ(cut.height, 480);
  }

  PictureFile reader;
  uint8_t* buffer = nullptr;
  int size = 0, width = 0, height = 0;
  EXPECT_FALSE(reader.LoadPictureAsBitmap(nullptr, &buffer, &size, &width, &height));
  EXPECT_FALSE(reader.LoadPictureAsBitmap(File(L"whole.jpg").c_str(), nullptr, &size, &width,
                                          &height));

  // Nothing was left in the temporary folder (our own test folder is the only change).
  std::set<std::wstring> after = TempFolderListing();
  EXPECT_EQ(after, before);
}
