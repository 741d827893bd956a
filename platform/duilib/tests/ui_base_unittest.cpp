#include "platform/duilib/ui_base.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/duilib/ui_language.h"
#include "platform/duilib/ui_manager.h"
#include "platform/duilib/ui_render.h"
#include "platform/duilib/ui_resource.h"
#include "platform/duilib/tests/test_support.h"

using namespace DuiLib;

TEST(UiBaseTest, ParsesColours) {
  struct Case {
    const wchar_t* text;
    bool ok;
    DWORD argb;
  } cases[] = {
      {L"#FF2F9AFF", true, 0xFF2F9AFF},
      {L"#2F9AFF", true, 0xFF2F9AFF},
      {L"0xFEACB2BF", true, 0xFEACB2BF},
      {L"#00000000", true, 0},
      {L"#FFGG0000", false, 0},
      {L"", false, 0},
      {L"blue", false, 0},
  };
  for (const Case& c : cases) {
    DWORD argb = 0x12345678;
    EXPECT_EQ(ParseColor(c.text, &argb), c.ok) << c.text;
    EXPECT_EQ(argb, c.ok ? c.argb : 0x12345678u) << c.text;
  }
}

TEST(UiBaseTest, NumbersOutsideIntAreMalformedNotSaturated) {
  struct Case {
    const wchar_t* text;
    bool ok;
    int value;
  } cases[] = {
      {L"2147483647", true, 2147483647},
      {L"-2147483648", true, -2147483647 - 1},
      {L" 17 ", true, 17},
      {L"2147483648", false, 0},
      {L"-2147483649", false, 0},
      {L"99999999999", false, 0},
      {L"-99999999999999999999999", false, 0},
  };
  for (const Case& c : cases) {
    int value = 42;
    EXPECT_EQ(ParseInt(c.text, &value), c.ok) << c.text;
    EXPECT_EQ(value, c.ok ? c.value : 42) << c.text;
  }
  SIZE size{1, 2};
  EXPECT_FALSE(ParseSize(L"10,99999999999", &size));
  EXPECT_EQ(size.cx, 1);
  DWORD argb = 7;
  EXPECT_FALSE(ParseColor(L"#1FFFFFFFF", &argb));
  EXPECT_FALSE(ParseColor(L"99999999999", &argb));
  EXPECT_EQ(argb, 7u);
}

TEST(UiBaseTest, ParsesRectsAndImageDescriptions) {
  RECT rc{9, 9, 9, 9};
  EXPECT_TRUE(ParseRect(L" 1, 2 ,3,4", &rc));
  EXPECT_EQ(rc.left + rc.top + rc.right + rc.bottom, 10);
  EXPECT_FALSE(ParseRect(L"1,2,3", &rc));
  EXPECT_FALSE(ParseRect(L"1,2,3,4,5", &rc));
  EXPECT_FALSE(ParseRect(L"a,b,c,d", &rc));

  TImageDesc desc;
  ASSERT_TRUE(ParseImageDesc(
      L"file='img\\blue\\combo.png' source='260,0,390,36' corner='5,30,30,5' dest='18,0,78,60' "
      L"fade='128'",
      &desc));
  EXPECT_EQ(desc.file, L"img\\blue\\combo.png");
  EXPECT_TRUE(desc.hasSource && desc.hasDest);
  EXPECT_EQ(desc.source.left, 260);
  EXPECT_EQ(desc.corner.top, 30);
  EXPECT_EQ(desc.dest.right, 78);
  EXPECT_EQ(desc.fade, 128);
  ASSERT_TRUE(ParseImageDesc(L"img\\a.png", &desc));
  EXPECT_EQ(desc.file, L"img\\a.png");
  EXPECT_FALSE(desc.hasSource);
  EXPECT_FALSE(ParseImageDesc(L"file='a.png' source='1,2'", &desc));
  EXPECT_FALSE(ParseImageDesc(L"file='a.png", &desc));
}

TEST(UiBaseTest, ParsesTextAlignmentKeepingTheOtherFlags) {
  const UINT base = DT_SINGLELINE | DT_END_ELLIPSIS;
  struct Case {
    const wchar_t* text;
    bool horizontal;
    bool ok;
    UINT style;  // from base | DT_RIGHT | DT_BOTTOM
  } cases[] = {
      {L"left", true, true, base | DT_LEFT | DT_BOTTOM},
      {L"center", true, true, base | DT_CENTER | DT_BOTTOM},
      {L"right", true, true, base | DT_RIGHT | DT_BOTTOM},
      {L"top", false, true, base | DT_RIGHT | DT_TOP},
      {L"vcenter", false, true, base | DT_RIGHT | DT_VCENTER},
      {L"bottom", false, true, base | DT_RIGHT | DT_BOTTOM},
      {L"top", true, false, 0},
      {L"center", false, false, 0},
      {L"Left", true, false, 0},
      {L"", true, false, 0},
  };
  for (const Case& c : cases) {
    const UINT before = base | DT_RIGHT | DT_BOTTOM;
    UINT style = before;
    EXPECT_EQ(
        c.horizontal ? ParseHorizontalAlign(c.text, &style) : ParseVerticalAlign(c.text, &style),
        c.ok)
        << c.text;
    EXPECT_EQ(style, c.ok ? c.style : before) << c.text;
  }
}

TEST(UiBaseTest, SkinArchiveAcceptsBothSeparatorsAndDecodesPng) {
  std::string bytes;
  HMODULE self = GetModuleHandleW(nullptr);
  EXPECT_TRUE(CResourceStore::ReadFromZipResource(self, 130, L"xml\\blue\\demo_frame.xml", &bytes));
  EXPECT_NE(bytes.find("<Window"), std::string::npos);
  std::string again;
  EXPECT_TRUE(CResourceStore::ReadFromZipResource(self, 130, L"XML/Blue/demo_frame.xml", &again));
  EXPECT_EQ(bytes, again);
  EXPECT_FALSE(CResourceStore::ReadFromZipResource(self, 130, L"xml/blue/none.xml", &bytes));
  EXPECT_FALSE(CResourceStore::ReadFromZipResource(self, 131, L"xml/language.xml", &bytes));

  ASSERT_TRUE(CPaintManagerUI::SetResourceZipResource(130));
  const TImageInfo* image = CRenderEngine::GetImage(L"img\\orange\\combo.png");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->cx, 390);
  EXPECT_EQ(image->cy, 36);
}

namespace {

std::wstring TempFile(const wchar_t* name, const std::string& bytes) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  std::wstring path = std::wstring(folder) + name;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return path;
}

// A 24-bit bottom-up BMP of `cx` by 1 pixels, all (r, g, b).
std::string Bmp(int cx, BYTE r, BYTE g, BYTE b) {
  const int row = (cx * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + row;
  info.biSize = sizeof(info);
  info.biWidth = cx;
  info.biHeight = 1;
  info.biPlanes = 1;
  info.biBitCount = 24;
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
  bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
  std::string pixels(row, '\0');
  for (int x = 0; x < cx; ++x) {
    pixels[x * 3] = static_cast<char>(b);
    pixels[x * 3 + 1] = static_cast<char>(g);
    pixels[x * 3 + 2] = static_cast<char>(r);
  }
  return bytes + pixels;
}

// The pixel at (x, y) of a decoded image as 0xAARRGGBB.
DWORD PixelOf(const TImageInfo* image, int x, int y) {
  DIBSECTION dib{};
  if (!image || GetObjectW(image->hBitmap, sizeof(dib), &dib) != sizeof(dib)) return 0;
  return static_cast<const DWORD*>(dib.dsBm.bmBits)[y * image->cx + x];
}

}  // namespace

TEST(UiBaseTest, PicturesOnDiskIncludingBinaryPpmWithinTheSizeBound) {
  duilib_test::LogCapture log;
  struct Case {
    const wchar_t* name;
    std::string bytes;
    int cx;  // 0: refused
    int cy;
    DWORD pixel;
  } cases[] = {
      {L"duilib_ppm_plain.ppm",
       std::string("P6\n2 1\n255\n") + std::string("\x11\x22\x33\xFF\x00\x80", 6), 2, 1,
       0xFF112233},
      {L"duilib_ppm_comment.ppm",
       std::string("P6 # made by a test\n1\n# size\n1 255\n") + "\x0A\x0B\x0C", 1, 1, 0xFF0A0B0C},
      {L"duilib_ppm_short.ppm", std::string("P6\n2 2\n255\n") + "\x11\x22\x33", 0, 0, 0},
      {L"duilib_ppm_wide.ppm", std::string("P6\n16385 1\n255\n") + std::string(16385 * 3, 'a'), 0,
       0, 0},
      {L"duilib_ppm_deep.ppm", std::string("P6\n1 1\n65535\n") + "\x00\x01\x00\x02\x00\x03", 0, 0,
       0},
      {L"duilib_ppm_huge.ppm", "P6\n99999999999 1\n255\n", 0, 0, 0},
      {L"duilib_bmp_edge.bmp", Bmp(16384, 0x40, 0x80, 0xC0), 16384, 1, 0xFF4080C0},
      {L"duilib_bmp_wide.bmp", Bmp(16385, 0x40, 0x80, 0xC0), 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
    const std::wstring path = TempFile(c.name, c.bytes);
    const TImageInfo* image = CRenderEngine::GetImage(path);
    if (c.cx == 0) {
      EXPECT_EQ(image, nullptr);
    } else {
      ASSERT_NE(image, nullptr);
      EXPECT_EQ(image->cx, c.cx);
      EXPECT_EQ(image->cy, c.cy);
      EXPECT_EQ(PixelOf(image, 0, 0), c.pixel);
    }
    DeleteFileW(path.c_str());
  }
  // An absolute path that does not exist is no image, and no resource is looked up for it.
  EXPECT_EQ(CRenderEngine::GetImage(L"C:\\no\\such\\picture.png"), nullptr);
  EXPECT_TRUE(CRenderEngine::IsAbsoluteImagePath(L"c:/pictures/a.png"));
  EXPECT_TRUE(CRenderEngine::IsAbsoluteImagePath(L"\\\\server\\share\\a.png"));
  EXPECT_FALSE(CRenderEngine::IsAbsoluteImagePath(L"img\\blue\\combo.png"));
  CRenderEngine::FreeImageCache();
}

TEST(UiBaseTest, DamagedArchiveIsRefused) {
  duilib_test::LogCapture log;
  const char junk[] = "PK\x03\x04 this is not really an archive";
  EXPECT_FALSE(CPaintManagerUI::SetResourceZip(junk, sizeof(junk)));
  EXPECT_TRUE(log.Contains(L"ZIP"));
}

TEST(UiBaseTest, ArchiveWithLyingOrDamagedFieldsIsRefusedWhole) {
  using duilib_test::StoredZip;
  const std::vector<std::pair<std::string, std::string>> entries = {
      {"xml/a.xml", "<Label/>"}, {"img/b.png", "12345"}, {"xml/c.xml", "<Button/>"}};
  struct Case {
    const char* what;
    void (*damage)(StoredZip*);
    const wchar_t* logged;
  } cases[] = {
      {"a central size of 4 GiB",
       [](StoredZip* zip) {
         zip->Put32(zip->central_headers[1] + StoredZip::kCentralSize, 0xFFFFFFFFu);
       },
       L"img/b.png declares"},
      {"a size smaller than the data",
       [](StoredZip* zip) {
         zip->Put32(zip->local_headers[1] + StoredZip::kLocalSize, 3);
         zip->Put32(zip->central_headers[1] + StoredZip::kCentralSize, 3);
       },
       L"img/b.png is damaged"},
      {"a size larger than the data",
       [](StoredZip* zip) {
         zip->Put32(zip->local_headers[1] + StoredZip::kLocalSize, 4000);
         zip->Put32(zip->central_headers[1] + StoredZip::kCentralSize, 4000);
       },
       L"img/b.png is damaged"},
      {"a damaged central header after the first",
       [](StoredZip* zip) { zip->bytes[zip->central_headers[1]] = 'X'; }, L"central directory"},
      {"a damaged last central header",
       [](StoredZip* zip) { zip->bytes[zip->central_headers[2] + 1] = 'X'; }, L"central directory"},
  };
  for (const Case& c : cases) {
    StoredZip zip = duilib_test::MakeStoredZip(entries);
    ASSERT_NE(CZipArchive::FromMemory(zip.bytes.data(), zip.bytes.size()), nullptr) << c.what;
    c.damage(&zip);
    duilib_test::LogCapture log;
    EXPECT_EQ(CZipArchive::FromMemory(zip.bytes.data(), zip.bytes.size()), nullptr) << c.what;
    EXPECT_TRUE(log.Contains(c.logged)) << c.what;
    // Through the resource source: false with a log line, the previous source kept.
    ASSERT_TRUE(CPaintManagerUI::SetResourceZipResource(130));
    EXPECT_FALSE(
        CPaintManagerUI::SetResourceZip(zip.bytes.data(), static_cast<unsigned>(zip.bytes.size())))
        << c.what;
    std::string bytes;
    EXPECT_TRUE(CResourceStore::Read(L"xml/blue/demo_frame.xml", &bytes)) << c.what;
  }
}

TEST(UiBaseTest, ArchiveEntryNamesOfAnyLengthAreReadWhole) {
  for (size_t length : {511, 512, 513, 600, 4000}) {
    const std::string name = "xml/" + std::string(length - 8, 'n') + ".xml";
    const std::string last = "xml/" + std::string(length - 8, 'n') + ".png";
    duilib_test::StoredZip zip =
        duilib_test::MakeStoredZip({{name, "<Label/>"}, {last, "picture"}});
    std::unique_ptr<CZipArchive> archive =
        CZipArchive::FromMemory(zip.bytes.data(), zip.bytes.size());
    ASSERT_NE(archive, nullptr) << length;
    EXPECT_EQ(archive->GetEntryCount(), 2u) << length;
    std::string bytes;
    EXPECT_TRUE(archive->Read(Utf8ToWide(name), &bytes)) << length;
    EXPECT_EQ(bytes, "<Label/>") << length;
    EXPECT_TRUE(archive->Read(Utf8ToWide(last), &bytes)) << length;
    EXPECT_EQ(bytes, "picture") << length;
    // A name cut where a fixed buffer would have cut it names nothing.
    EXPECT_FALSE(
        archive->Read(Utf8ToWide(name.substr(0, std::min<size_t>(511, length - 1))), &bytes))
        << length;
  }
}

TEST(UiLanguageTest, LoadsEachLanguageAndKeepsTheTableOnFailure) {
  CMutiLanSupport* table = CMutiLanSupport::Instance();
  struct Case {
    const wchar_t* language;
    const wchar_t* title;
  } cases[] = {{L"zh_CN", L"演示窗口"}, {L"zh_TW", L"演示視窗"}, {L"en_US", L"Demo window"}};
  for (const Case& c : cases) {
    ASSERT_TRUE(table->LoadFromResFile(130, L"xml\\language.xml", true, c.language, L"xml"));
    EXPECT_EQ(table->GetTextForId(L"s.demo.title"), c.title);
    EXPECT_EQ(table->GetLanguage(), c.language);
  }
  duilib_test::LogCapture log;
  EXPECT_FALSE(table->LoadFromResFile(130, L"xml\\language.xml", true, L"fr_FR", L"xml"));
  EXPECT_FALSE(table->LoadFromXml("<Language><en_US>", L"en_US"));
  EXPECT_FALSE(table->LoadFromResFile(130, L"xml\\missing.xml", true, L"en_US", L"xml"));
  EXPECT_EQ(table->GetLanguage(), L"en_US");
  EXPECT_EQ(table->GetTextForId(L"s.demo.ok"), L"OK");
  EXPECT_EQ(table->GetTextForId(L"s.no.such.id"), L"");
  EXPECT_TRUE(log.Contains(L"s.no.such.id"));
}
