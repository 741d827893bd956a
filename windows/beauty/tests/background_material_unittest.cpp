// The background page of the beauty settings window: the built-in and own materials, importing
// with its limits and refusals, removing, keying and blur, thumbnails, and how the page looks.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/hub.h"
#include "foundation/text_convert.h"
#include "share/video/video_render_ui.h"
#include "windows/beauty/tests/beauty_test_support.h"
#include "windows/common/file_dialog.h"

using namespace DuiLib;
using namespace beauty_test;
using setting_test::Enabled;
using setting_test::Get;
using setting_test::Pump;
using setting_test::PumpUntil;
using setting_test::Visible;

namespace {

uint32_t Crc32(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

std::string Be32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

std::string Chunk(const char* kind, const std::string& data) {
  const std::string body = std::string(kind, 4) + data;
  return Be32(static_cast<uint32_t>(data.size())) + body + Be32(Crc32(body));
}

// An 8 x 8 PNG of one colour (0xRRGGBB), padded with a comment to exactly `total` bytes when
// `total` is not 0.
std::string SolidPng(uint32_t rgb, size_t total = 0) {
  std::string raw;
  for (int y = 0; y < 8; ++y) {
    raw.push_back(0);
    for (int x = 0; x < 8; ++x) {
      raw.push_back(static_cast<char>(rgb >> 16));
      raw.push_back(static_cast<char>(rgb >> 8));
      raw.push_back(static_cast<char>(rgb));
    }
  }
  // zlib with one stored block.
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  const uint16_t len = static_cast<uint16_t>(raw.size());
  std::string zlib = {'\x78',
                      '\x01',
                      '\x01',
                      static_cast<char>(len & 0xFF),
                      static_cast<char>(len >> 8),
                      static_cast<char>(~len & 0xFF),
                      static_cast<char>((~len >> 8) & 0xFF)};
  zlib += raw + Be32((b << 16) | a);
  const std::string header = Be32(8) + Be32(8) + std::string("\x08\x02\x00\x00\x00", 5);
  std::string png = "\x89PNG\r\n\x1a\n" + Chunk("IHDR", header);
  const std::string tail = Chunk("IDAT", zlib) + Chunk("IEND", "");
  if (total != 0) {
    const size_t fixed = png.size() + tail.size() + 12 + 8;  // chunk frame and "Comment\0"
    png += Chunk("tEXt", std::string("Comment\0", 8) + std::string(total - fixed, 'x'));
  }
  return png + tail;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  CloseHandle(file);
  return ok;
}

unsigned long long SizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA info{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info)) return 0;
  return (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The test data folder (media fixtures).
std::wstring TestData(const std::wstring& name) {
  const char* dir = std::getenv("TARVO_TEST_DATA");
  return Utf8ToUnicode(dir ? dir : ".") + L"\\" + name;
}

// The open-file dialog answers `path`; `before` runs first (to remove or lock the file).
void ChooseNext(const std::wstring& path, std::function<void()> before = nullptr) {
  file_dialog::SetOpenFunc([path, before](OPENFILENAMEW* ofn) {
    if (before) before();
    if (path.empty()) return FALSE;
    wcsncpy(ofn->lpstrFile, path.c_str(), ofn->nMaxFile - 1);
    return TRUE;
  });
}

// The custom tiles of "window_Layout", in order: their options' user data (paths).
std::vector<std::wstring> CustomTiles(CPaintManagerUI* pm) {
  std::vector<std::wstring> out;
  auto* tiles = Get<CTileLayoutUI>(pm, L"window_Layout");
  for (int i = 0; i < tiles->GetCount(); ++i) {
    auto* tile = static_cast<CContainerUI*>(tiles->GetItemAt(i)->GetInterface(L"Container"));
    if (!tile || tile->GetCount() != 2) continue;
    const std::wstring name = tile->GetItemAt(0)->GetName();
    if (name.compare(0, 11, L"custom_mat_") == 0) out.push_back(tile->GetItemAt(0)->GetUserData());
  }
  return out;
}

CControlUI* CustomOption(CPaintManagerUI* pm, const std::wstring& path) {
  auto* tiles = Get<CTileLayoutUI>(pm, L"window_Layout");
  for (int i = 0; i < tiles->GetCount(); ++i) {
    auto* tile = static_cast<CContainerUI*>(tiles->GetItemAt(i)->GetInterface(L"Container"));
    if (tile && tile->GetCount() == 2 && tile->GetItemAt(0)->GetUserData() == path) {
      return tile->GetItemAt(0);
    }
  }
  return nullptr;
}

// Scrolls "window_Layout" so that `control` (one of its tiles, or inside one) is in view.
void ScrollIntoView(CPaintManagerUI* pm, CControlUI* control) {
  auto* tiles = Get<CTileLayoutUI>(pm, L"window_Layout");
  dialog_test::LayOut(pm);
  const RECT area = tiles->GetPos();
  const RECT rc = control->GetPos();
  if (rc.top < area.top || rc.bottom > area.bottom) {
    tiles->SetScrollPos(tiles->GetScrollPos() + rc.top - area.top);
    dialog_test::LayOut(pm);
  }
}

// Clicks the add tile's button, brought into view first.
void ClickAdd(HWND hwnd, CPaintManagerUI* pm) {
  ScrollIntoView(pm, pm->FindControl(L"add_custom_tile"));
  dialog_test::ClickOn(hwnd, pm, L"b_add_custom_btn");
}

// Moves the pointer to the client point `at` (the real one too: the window tracks it leaving).
void HoverAt(HWND hwnd, POINT at) {
  POINT screen = at;
  ClientToScreen(hwnd, &screen);
  SetCursorPos(screen.x, screen.y);
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
  Pump(30);
}

// Hovers the custom tile of `path` and clicks its close mark.
bool RemoveTile(HWND hwnd, CPaintManagerUI* pm, const std::wstring& path) {
  CControlUI* option = CustomOption(pm, path);
  if (!option) return false;
  ScrollIntoView(pm, option);
  const RECT rc = option->GetPos();
  HoverAt(hwnd, POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
  const std::wstring suffix = option->GetName().substr(option->GetName().rfind(L'_'));
  const std::wstring close = L"custom_mat_close" + suffix;
  if (!Visible(pm, close.c_str())) return false;
  // Onto the close mark (the option hides it when the pointer leaves elsewhere), and click.
  HoverAt(hwnd, dialog_test::CenterOf(pm, close.c_str()));
  if (!Visible(pm, close.c_str())) return false;
  dialog_test::ClickOn(hwnd, pm, close.c_str());
  return PumpUntil([&] { return CustomOption(pm, path) == nullptr; });
}

class BackgroundMaterialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_test::UseDialogLook({0, L"en_US"});
    GetAppConfig()->language = L"en_US";
    ResetConfig();
    GetAppConfig()->language = L"en_US";
    responder_.cameras = {{"cam1", "Cam One", 0, 0}};
    folder_ = ScratchFolder(L"beauty_materials");
  }
  void TearDown() override { file_dialog::SetOpenFunc(nullptr); }

  st_beauty LastPublished() const {
    const std::vector<st_beauty> all = responder_.Beauties();
    return all.empty() ? st_beauty() : all.back();
  }
  std::wstring Scratch(const std::wstring& name) const { return folder_ + L"\\" + name; }
  std::wstring Text(const wchar_t* id) const {
    return CMutiLanSupport::Instance()->GetTextForId(id);
  }

  setting_test::RecordingResponder responder_;
  setting_test::PageEventSink page_;
  setting_test::TestOwner owner_;
  dialog_test::OwnerWindow owner_window_;
  std::wstring folder_;
};

}  // namespace

TEST(BackgroundMaterialNamesTest, VideoByExtensionAndThumbnailNames) {
  struct Case {
    const wchar_t* path;
    bool video;
    const wchar_t* thumbnail;
  } cases[] = {
      {L"C:\\clips\\beach.mp4", true, L"beach.pnm"},
      {L"C:\\clips\\BEACH.MP4", true, L"BEACH.pnm"},
      {L"C:\\clips\\talk.flv", true, L"talk.pnm"},
      {L"C:\\clips\\Talk.Flv", true, L"Talk.Flv"},  // mixed case is not replaced
      {L"C:\\clips\\mp4mp4.mp4", true, L"pnmpnm.pnm"},
      {L"C:\\clips\\movie.mkv", false, L"movie.mkv"},
      {L"C:\\pics\\photo.png", false, L"photo.png"},
      {L"mp4", false, L"pnm"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CBeautySettingFrame::IsVideoMaterial(c.path), c.video) << c.path;
    EXPECT_EQ(CBeautySettingFrame::ThumbnailFileName(c.path), c.thumbnail) << c.path;
  }
}

TEST_F(BackgroundMaterialTest, ImportingKeepsTheLimitsAndRefusesWhatItCannotUse) {
  const std::wstring clip = ResFolder() + L"svideo1.mp4";
  ASSERT_TRUE(Exists(clip));
  HANDLE locked = INVALID_HANDLE_VALUE;
  struct Case {
    const char* what;
    std::wstring path;
    std::function<void()> make;    // makes the file
    std::function<void()> before;  // runs as the dialog answers
    const wchar_t* refusal;        // null: accepted
    bool video;
  };
  const std::string zeros(8, '\0');
  std::vector<Case> cases = {
      {"picture of exactly 2 MiB", Scratch(L"exact.png"),
       [&] { WriteBytes(Scratch(L"exact.png"), SolidPng(0x40A040, 2097152)); }, nullptr, nullptr,
       false},
      {"picture one byte over", Scratch(L"over.png"),
       [&] { WriteBytes(Scratch(L"over.png"), SolidPng(0x40A040, 2097153)); }, nullptr,
       L"s.filemax.tips", false},
      {"video in capitals", Scratch(L"CLIP.MP4"),
       [&] { CopyFileW(clip.c_str(), Scratch(L"CLIP.MP4").c_str(), FALSE); }, nullptr, nullptr,
       true},
      {".mkv is a picture", Scratch(L"still.mkv"),
       [&] { WriteBytes(Scratch(L"still.mkv"), SolidPng(0x2050C0)); }, nullptr, nullptr, false},
      {"the same path again", Scratch(L"exact.png"), nullptr, nullptr, nullptr, false},
      {"video whose first bytes are zero", Scratch(L"zeros.mp4"),
       [&] {
         CopyFileW(clip.c_str(), Scratch(L"zeros.mp4").c_str(), FALSE);
         HANDLE f = CreateFileW(Scratch(L"zeros.mp4").c_str(), GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
         DWORD n = 0;
         WriteFile(f, zeros.data(), 8, &n, nullptr);
         CloseHandle(f);
       },
       nullptr, L"s.file.format.error", true},
      {"text named .mp4", Scratch(L"notes.mp4"),
       [&] { WriteBytes(Scratch(L"notes.mp4"), "these are notes, not a video\n"); }, nullptr,
       L"s.file.format.error", true},
      {"picture that is no picture", Scratch(L"notes.png"),
       [&] { WriteBytes(Scratch(L"notes.png"), "these are notes, not a picture\n"); }, nullptr,
       L"s.file.format.error", false},
      {"removed between choosing and importing", Scratch(L"gone.png"),
       [&] { WriteBytes(Scratch(L"gone.png"), SolidPng(0x123456)); },
       [&] { DeleteFileW(Scratch(L"gone.png").c_str()); }, L"s.file.format.error", false},
      {"locked against reading", Scratch(L"locked.png"),
       [&] { WriteBytes(Scratch(L"locked.png"), SolidPng(0x654321)); },
       [&] {
         locked = CreateFileW(Scratch(L"locked.png").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_EXISTING, 0, nullptr);
       },
       L"s.file.format.error", false},
      {"sparse video of 4 GiB and a byte", Scratch(L"huge.mp4"),
       [&] {
         HANDLE f = CreateFileW(Scratch(L"huge.mp4").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, 0, nullptr);
         LARGE_INTEGER at{};
         at.QuadPart = (1ll << 32) + 1;
         SetFilePointerEx(f, at, nullptr, FILE_BEGIN);
         SetEndOfFile(f);
         CloseHandle(f);
       },
       nullptr, L"s.video.file.max.error", true},
  };
  for (Case& c : cases) {
    if (c.make) c.make();
  }
  ASSERT_EQ(SizeOf(Scratch(L"exact.png")), 2097152u);
  ASSERT_EQ(SizeOf(Scratch(L"over.png")), 2097153u);
  ASSERT_EQ(SizeOf(Scratch(L"huge.mp4")), (1ull << 32) + 1);
  EXPECT_TRUE(
      RunBeauty(owner_window_.hwnd(), &owner_,
                [&](CBeautySettingFrame* frame, HWND hwnd, CPaintManagerUI* pm) {
                  OpenBackgroundPage(hwnd, pm);
                  for (Case& c : cases) {
                    SCOPED_TRACE(c.what);
                    const size_t tiles = CustomTiles(pm).size();
                    const size_t listed = frame->Working().custom_materials.size();
                    const st_beauty before = frame->Working().beauty;
                    page_.Clear();
                    responder_.ClearCalls();
                    ChooseNext(c.path, c.before);
                    ClickAdd(hwnd, pm);
                    Pump(30);
                    if (locked != INVALID_HANDLE_VALUE) {
                      CloseHandle(locked);
                      locked = INVALID_HANDLE_VALUE;
                    }
                    const std::vector<std::string> refusals = page_.EventsOf(25);
                    if (c.refusal) {
                      EXPECT_EQ(refusals.size(), 1u);
        if (refusals.size() != 1u) continue;
                      EXPECT_NE(refusals[0].find(UnicodeToUtf8(Text(c.refusal))), std::string::npos)
                          << refusals[0];
                      EXPECT_EQ(CustomTiles(pm).size(), tiles);
                      EXPECT_EQ(frame->Working().custom_materials.size(), listed);
                      EXPECT_EQ(frame->Working().beauty.material_path, before.material_path);
                      EXPECT_EQ(frame->Working().beauty.video_path, before.video_path);
                      EXPECT_EQ(responder_.Count("set/beauty/dev"), 0);
                    } else if (c.make == nullptr) {
                      // Already imported: ignored.
                      EXPECT_TRUE(refusals.empty());
                      EXPECT_EQ(CustomTiles(pm).size(), tiles);
                      EXPECT_EQ(frame->Working().custom_materials.size(), listed);
                    } else {
                      EXPECT_TRUE(refusals.empty()) << (refusals.empty() ? "" : refusals[0]);
                      ASSERT_EQ(CustomTiles(pm).size(), tiles + 1);
                      const StCustomMaterial& added = frame->Working().custom_materials.back();
                      EXPECT_EQ(added.is_video, c.video);
                      // The new tile is chosen and published, and the list is in the process-wide
                      // record.
                      const st_beauty published = LastPublished();
                      EXPECT_EQ(published.material_path, added.path);
                      EXPECT_EQ(published.video_path, c.video ? added.path : L"");
                      EXPECT_FALSE(published.no_effect);
                      EXPECT_EQ(GetAppConfig()->custom_materials.size(), listed + 1);
                      EXPECT_TRUE(Enabled(pm, L"green_mat"));
                    }
                  }
                  // The add tile stays last.
                  auto* tiles = Get<CTileLayoutUI>(pm, L"window_Layout");
                  EXPECT_EQ(tiles->GetItemAt(tiles->GetCount() - 1)->GetName(), L"add_custom_tile");
                  dialog_test::ClickOn(hwnd, pm, L"closebtn");
                }));
  EXPECT_EQ(GetAppConfig()->custom_materials.size(), 3u);
  DeleteFileW(Scratch(L"huge.mp4").c_str());
}

TEST_F(BackgroundMaterialTest, TenMaterialsHideTheAddButtonAndARemovalIsStoredAtOnce) {
  std::vector<StCustomMaterial> materials;
  for (int i = 0; i < 10; ++i) {
    const std::wstring path = Scratch(L"m" + std::to_wstring(i) + L".png");
    ASSERT_TRUE(WriteBytes(path, SolidPng(0x101010u * (i + 1))));
    materials.push_back({path, false});
  }
  GetAppConfig()->custom_materials = materials;
  bool add_hidden = false, help_hidden = false, add_back = false, help_back = false;
  size_t stored_after_removal = 0;
  int publications = -1;
  EXPECT_TRUE(RunBeauty(owner_window_.hwnd(), &owner_,
                        [&](CBeautySettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                          OpenBackgroundPage(hwnd, pm);
                          EXPECT_EQ(CustomTiles(pm).size(), 10u);
                          add_hidden = !Visible(pm, L"b_add_custom_btn");
                          help_hidden = !Visible(pm, L"add_custom_comment");
                          responder_.ClearCalls();
                          EXPECT_TRUE(RemoveTile(hwnd, pm, materials[9].path));
                          add_back = Visible(pm, L"b_add_custom_btn");
                          help_back = Visible(pm, L"add_custom_comment");
                          // Not the chosen tile: nothing is published, yet the process-wide list is
                          // shorter now.
                          publications = responder_.Count("set/beauty/dev");
                          stored_after_removal = GetAppConfig()->custom_materials.size();
                          dialog_test::ClickOn(hwnd, pm, L"closebtn");
                        }));
  EXPECT_TRUE(add_hidden);
  EXPECT_TRUE(help_hidden);
  EXPECT_TRUE(add_back);
  EXPECT_TRUE(help_back);
  EXPECT_EQ(publications, 0);
  EXPECT_EQ(stored_after_removal, 9u);
}

TEST_F(BackgroundMaterialTest, RemovingTheChosenTileFallsBackToNoEffect) {
  const std::wstring path = Scratch(L"chosen.png");
  ASSERT_TRUE(WriteBytes(path, SolidPng(0xC03060)));
  GetAppConfig()->custom_materials = {{path, false}};
  GetAppConfig()->beauty.no_effect = false;
  GetAppConfig()->beauty.material_path = path;
  bool chosen_at_start = false, none_selected = false;
  st_beauty published;
  EXPECT_TRUE(RunBeauty(owner_window_.hwnd(), &owner_,
                        [&](CBeautySettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                          OpenBackgroundPage(hwnd, pm);
                          auto* option = static_cast<COptionUI*>(CustomOption(pm, path));
                          chosen_at_start = option && option->IsSelected();
                          responder_.ClearCalls();
                          EXPECT_TRUE(RemoveTile(hwnd, pm, path));
                          none_selected = Get<COptionUI>(pm, L"b_no_effect_opt")->IsSelected();
                          published = LastPublished();
                          EXPECT_EQ(responder_.Count("set/beauty/dev"), 1);
                          dialog_test::ClickOn(hwnd, pm, L"closebtn");
                        }));
  EXPECT_TRUE(chosen_at_start);
  EXPECT_TRUE(none_selected);
  EXPECT_TRUE(published.no_effect);
  EXPECT_TRUE(published.material_path.empty());
  EXPECT_TRUE(published.video_path.empty());
  EXPECT_TRUE(GetAppConfig()->custom_materials.empty());
}

TEST_F(BackgroundMaterialTest, BlurAfterKeyingSwitchesKeyingOffAndResetsTheKeyColour) {
  bool keyed = false, checked = true, enabled = true;
  st_beauty published;
  EXPECT_TRUE(RunBeauty(owner_window_.hwnd(), &owner_,
                        [&](CBeautySettingFrame* frame, HWND hwnd, CPaintManagerUI* pm) {
                          OpenBackgroundPage(hwnd, pm);
                          EXPECT_FALSE(Enabled(pm, L"green_mat"));  // no material: nothing to key
                          dialog_test::ClickOn(hwnd, pm, L"b_video2_opt");
                          dialog_test::ClickOn(hwnd, pm, L"green_mat");
                          frame->OnVideo_PickColor(0x00332211);
                          keyed = LastPublished().green_screen &&
                                  LastPublished().key_color == 0xFF112233u &&
                                  LastPublished().video_path == ResFolder() + L"svideo2.mp4";
                          dialog_test::ClickOn(hwnd, pm, L"b_bk_blur_opt");
                          checked = Get<CCheckBoxUI>(pm, L"green_mat")->GetCheck();
                          enabled = Enabled(pm, L"green_mat");
                          published = LastPublished();
                          dialog_test::ClickOn(hwnd, pm, L"closebtn");
                        }));
  EXPECT_TRUE(keyed);
  EXPECT_FALSE(checked);
  EXPECT_FALSE(enabled);
  EXPECT_TRUE(published.background_blur);
  EXPECT_FALSE(published.no_effect);
  EXPECT_FALSE(published.green_screen);
  EXPECT_EQ(published.key_color, 0xFF00FF00u);
  EXPECT_TRUE(published.material_path.empty());
  EXPECT_TRUE(published.video_path.empty());
  EXPECT_EQ(published.blur_level, 300);
}

TEST_F(BackgroundMaterialTest, StoredMaterialsAndBuiltInsAtOpeningAndThumbnailsGoAtClosing) {
  const std::wstring kept = Scratch(L"kept.png");
  const std::wstring gone = Scratch(L"gone_since.png");
  const std::wstring video = Scratch(L"own.mp4");
  ASSERT_TRUE(WriteBytes(kept, SolidPng(0x808080)));
  ASSERT_TRUE(CopyFileW((ResFolder() + L"svideo2.mp4").c_str(), video.c_str(), FALSE));
  GetAppConfig()->custom_materials = {{gone, false}, {kept, false}, {video, true}};
  GetAppConfig()->beauty.no_effect = false;
  GetAppConfig()->beauty.material_path = ResFolder() + L"sample3.png";
  std::vector<std::wstring> tiles, thumbnails;
  bool sample_chosen = false, keying_offered = false, all_enabled = true;
  EXPECT_TRUE(RunBeauty(
      owner_window_.hwnd(), &owner_, [&](CBeautySettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
        tiles = CustomTiles(pm);
        sample_chosen = Get<COptionUI>(pm, L"b_picture3_opt")->IsSelected();
        keying_offered = Enabled(pm, L"green_mat");
        for (const wchar_t* name : {L"b_picture1_opt", L"b_picture2_opt", L"b_picture3_opt",
                                    L"b_video1_opt", L"b_video2_opt"}) {
          all_enabled = all_enabled && Enabled(pm, name);
        }
        thumbnails.push_back(pm->FindControl(L"b_video1_opt")->GetBkImage());
        thumbnails.push_back(pm->FindControl(L"b_video2_opt")->GetBkImage());
        thumbnails.push_back(CustomOption(pm, video)->GetBkImage());
        for (const std::wstring& path : thumbnails) EXPECT_TRUE(Exists(path)) << path;
        dialog_test::ClickOn(hwnd, pm, L"closebtn");
      }));
  EXPECT_EQ(tiles, (std::vector<std::wstring>{kept, video}));
  EXPECT_TRUE(sample_chosen);
  EXPECT_TRUE(keying_offered);
  EXPECT_TRUE(all_enabled);
  // The missing file keeps its place in the list.
  ASSERT_EQ(GetAppConfig()->custom_materials.size(), 3u);
  EXPECT_EQ(GetAppConfig()->custom_materials[0].path, gone);
  ASSERT_EQ(thumbnails.size(), 3u);
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  for (const std::wstring& path : thumbnails) {
    EXPECT_EQ(path.compare(0, wcslen(temp), temp), 0) << path;
    EXPECT_NE(path.find(L".pnm"), std::wstring::npos) << path;
    EXPECT_FALSE(Exists(path)) << path;
  }
}

// ---- how it looks ---------------------------------------------------------------------------

class BeautyScreenshotTest : public ::testing::TestWithParam<dialog_test::Look> {
 protected:
  void SetUp() override {
    dialog_test::UseDialogLook(GetParam());
    ResetConfig();
    GetAppConfig()->language = GetParam().language;
    responder_.cameras = {{"cam1", "Cam One", 0, 0}};
  }

  setting_test::RecordingResponder responder_;
  setting_test::PageEventSink page_;
  setting_test::TestOwner owner_;
  dialog_test::OwnerWindow owner_window_;
};

TEST_P(BeautyScreenshotTest, BothPagesWithOwnMaterialsAndTheTip) {
  const std::wstring folder = ScratchFolder(L"beauty_look");
  const std::wstring picture = folder + L"\\own.png";
  const std::wstring video = folder + L"\\solid.mp4";
  ASSERT_TRUE(WriteBytes(picture, SolidPng(0xC03060)));
  ASSERT_TRUE(CopyFileW(TestData(L"beauty_solid.mp4").c_str(), video.c_str(), FALSE));
  GetAppConfig()->custom_materials = {{picture, false}, {video, true}};
  const bool english = std::wstring(GetParam().language) == L"en_US";
  const std::wstring look =
      std::wstring(dialog_test::SkinFolder(GetParam().skin)) + L"_" + GetParam().language;
  EXPECT_TRUE(RunBeauty(
      owner_window_.hwnd(), &owner_, [&](CBeautySettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
        dialog_test::LayOut(pm);
        auto beauty = dialog_test::Shoot(hwnd, pm);
        EXPECT_TRUE(beauty->Save(L"beauty_page_" + look + L".png"));
        EXPECT_GT(dialog_test::InkOf(*beauty, pm, L"title_lab"), 20);
        OpenBackgroundPage(hwnd, pm);
        // The own picture and the own video's first frame fill their tiles.
        for (const auto& [path, rgb] : {std::pair<std::wstring, DWORD>{picture, 0xC03060},
                                        std::pair<std::wstring, DWORD>{video, 0x2080C0}}) {
          CControlUI* option = CustomOption(pm, path);
          ASSERT_NE(option, nullptr);
          ScrollIntoView(pm, option);
          auto tiles = dialog_test::Shoot(hwnd, pm);
          const RECT rc = option->GetPos();
          const DWORD pixel =
              tiles->Pixel((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2) & 0xFFFFFF;
          for (int shift : {0, 8, 16}) {
            EXPECT_NEAR(static_cast<int>((pixel >> shift) & 0xFF),
                        static_cast<int>((rgb >> shift) & 0xFF), 12)
                << std::hex << pixel << " " << std::wstring(path);
          }
        }
        // The help of the add tile, hovered: its tip sits at its offset from the help button.
        ScrollIntoView(pm, pm->FindControl(L"add_custom_tile"));
        const POINT help = dialog_test::CenterOf(pm, L"add_custom_comment");
        HoverAt(hwnd, help);
        dialog_test::LayOut(pm);
        EXPECT_TRUE(setting_test::Visible(pm, L"addcustom_tip_lab"));
        const RECT button = pm->FindControl(L"add_custom_comment")->GetPos();
        const RECT tip = pm->FindControl(L"addcustom_tip_lab")->GetPos();
        const int half = (button.right - button.left) / 2;
        EXPECT_EQ(tip.left, button.left + half - (english ? 216 : 200));
        EXPECT_EQ(tip.top, button.top - (english ? 136 : 132));
        EXPECT_EQ(tip.right - tip.left, english ? 256 : 240);
        EXPECT_EQ(tip.bottom - tip.top, english ? 86 : 82);
        auto shot = dialog_test::Shoot(hwnd, pm);
        EXPECT_TRUE(shot->Save(L"beauty_background_" + look + L".png"));
        dialog_test::ClickOn(hwnd, pm, L"closebtn");
      }));
}

INSTANTIATE_TEST_SUITE_P(Looks, BeautyScreenshotTest,
                         ::testing::Values(dialog_test::Look{0, L"zh_CN"},
                                           dialog_test::Look{0, L"en_US"},
                                           dialog_test::Look{1, L"zh_CN"},
                                           dialog_test::Look{1, L"en_US"}),
                         [](const ::testing::TestParamInfo<dialog_test::Look>& info) {
                           return dialog_test::LookName(info.param);
                         });

TEST(BeautyTextsTest, EveryTextOfTheWindowInEveryLanguage) {
  std::vector<std::wstring> ids = {L"s.av.nodev", L"s.filemax.tips", L"s.file.format.error",
                                   L"s.video.file.max.error"};
  for (const wchar_t* layout :
       {L"xml/blue/beauty_set_frame.xml", L"xml/orange/beauty_set_frame.xml"}) {
    ASSERT_TRUE(dialog_test::AddLayoutTextIds(layout, &ids));
  }
  ASSERT_GT(ids.size(), 40u);
  CMutiLanSupport* table = CMutiLanSupport::Instance();
  for (const wchar_t* language : {L"zh_CN", L"zh_TW", L"en_US"}) {
    ASSERT_TRUE(table->LoadFromResFile(130, L"xml\\language.xml", true, language, L"xml"));
    for (const std::wstring& id : ids) {
      EXPECT_FALSE(table->GetTextForId(id.c_str()).empty()) << std::wstring(language) << " " << id;
    }
  }
}
