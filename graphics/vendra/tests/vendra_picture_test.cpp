// Pictures from files and memory: formats, the shrink above 1024, and bad input.

#include <string>
#include <vector>

#include "stb_image_write.h"
#include "vendra_test_support.h"

using namespace vendra_test;

namespace {

void Append(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(context);
  auto* bytes = static_cast<std::uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

// A picture whose top half is red and bottom half blue (red, green, blue, alpha rows).
std::vector<std::uint8_t> Encode(const char* format, int w, int h) {
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = rgba.data() + (static_cast<std::size_t>(y) * w + x) * 4;
      const bool top = y < h / 2;
      p[0] = top ? 255 : 0;
      p[2] = top ? 0 : 255;
      p[1] = 0;
      p[3] = 255;
    }
  }
  std::vector<std::uint8_t> out;
  const std::string f = format;
  if (f == "png") stbi_write_png_to_func(Append, &out, w, h, 4, rgba.data(), w * 4);
  if (f == "bmp") stbi_write_bmp_to_func(Append, &out, w, h, 4, rgba.data());
  if (f == "jpg") stbi_write_jpg_to_func(Append, &out, w, h, 4, rgba.data(), 95);
  return out;
}

class TempFile {
 public:
  TempFile(const std::wstring& name, const std::vector<std::uint8_t>& bytes) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    path_ = std::wstring(folder) + name;
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (!bytes.empty()) {
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    CloseHandle(file);
  }
  ~TempFile() { DeleteFileW(path_.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  std::string Utf8() const {
    int n = WideCharToMultiByte(CP_UTF8, 0, path_.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path_.c_str(), -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
  }

 private:
  std::wstring path_;
};

void ExpectRedOverBlue(gsTextureBase* texture, const char* what) {
  const int w = texture->GetWidth();
  const int h = texture->GetHeight();
  std::vector<std::uint8_t> pixels = ReadPixels(texture);
  ExpectNear(PixelAt(pixels, w, h, w / 2, h / 4), {0, 0, 255, 0}, 8, what);
  ExpectNear(PixelAt(pixels, w, h, w / 2, h * 3 / 4), {255, 0, 0, 0}, 8, what);
}

}  // namespace

TEST(VendraPictureTest, PngJpegAndBmpFromMemoryAndFromFiles) {
  SystemPtr system = MakeSystem();
  for (const char* format : {"png", "jpg", "bmp"}) {
    SCOPED_TRACE(format);
    std::vector<std::uint8_t> bytes = Encode(format, 40, 20);
    ASSERT_FALSE(bytes.empty());
    TexturePtr from_memory(
        system->CreateTextureFromMemory(bytes.data(), static_cast<int>(bytes.size())));
    ASSERT_NE(from_memory, nullptr);
    EXPECT_EQ(from_memory->GetType(), gs::kTextureWrite);
    EXPECT_EQ(from_memory->GetWidth(), 40);
    EXPECT_EQ(from_memory->GetHeight(), 20);
    ExpectRedOverBlue(from_memory.get(), "from memory");

    // A file name outside ASCII travels as UTF-8.
    TempFile file(std::wstring(L"vendra_\u00e9\u4e2d.") + std::wstring(format, format + 3), bytes);
    TexturePtr from_file(system->CreateTextureFromFile(file.Utf8().c_str()));
    ASSERT_NE(from_file, nullptr);
    EXPECT_EQ(ReadPixels(from_file.get()), ReadPixels(from_memory.get()));
  }
}

TEST(VendraPictureTest, LargePicturesShrinkToFit1024) {
  SystemPtr system = MakeSystem();
  struct Case {
    int w, h, fitted_w, fitted_h;
  } cases[] = {{2000, 1000, 1024, 512},
               {1024, 1024, 1024, 1024},
               {1025, 10, 1024, 9},
               {10, 1025, 9, 1024},
               {3000, 2, 1024, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    std::vector<std::uint8_t> bytes = Encode("png", c.w, c.h);
    TexturePtr texture(
        system->CreateTextureFromMemory(bytes.data(), static_cast<int>(bytes.size())));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetWidth(), c.fitted_w);
    EXPECT_EQ(texture->GetHeight(), c.fitted_h);
  }
  std::vector<std::uint8_t> bytes = Encode("png", 2000, 1000);
  TexturePtr shrunk(system->CreateTextureFromMemory(bytes.data(), static_cast<int>(bytes.size())));
  ExpectRedOverBlue(shrunk.get(), "shrunk");
  EXPECT_EQ(PixelAt(ReadPixels(shrunk.get()), 1024, 512, 5, 5).a, 255);
}

TEST(VendraPictureTest, BadPicturesAreRefused) {
  SystemPtr system = MakeSystem();
  std::vector<std::uint8_t> png = Encode("png", 64, 64);
  std::vector<std::uint8_t> jpg = Encode("jpg", 64, 64);
  const std::string text = "this is not a picture at all";
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"truncated png", std::vector<std::uint8_t>(png.begin(), png.begin() + png.size() / 2)},
      {"png header only", std::vector<std::uint8_t>(png.begin(), png.begin() + 16)},
      {"jpeg header only", std::vector<std::uint8_t>(jpg.begin(), jpg.begin() + 20)},
      {"text", std::vector<std::uint8_t>(text.begin(), text.end())},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(system->CreateTextureFromMemory(c.bytes.data(), static_cast<int>(c.bytes.size())),
              nullptr);
    TempFile file(L"vendra_bad.bin", c.bytes);
    EXPECT_EQ(system->CreateTextureFromFile(file.Utf8().c_str()), nullptr);
  }
  TempFile empty(L"vendra_empty.png", {});
  EXPECT_EQ(system->CreateTextureFromFile(empty.Utf8().c_str()), nullptr);
  EXPECT_EQ(system->CreateTextureFromFile("Z:\\no\\such\\folder\\picture.png"), nullptr);
  EXPECT_EQ(system->CreateTextureFromFile(nullptr), nullptr);
  EXPECT_EQ(system->CreateTextureFromMemory(nullptr, 10), nullptr);
  EXPECT_EQ(system->CreateTextureFromMemory(png.data(), 0), nullptr);
}
