#include "windows/doc_trans/doc_trans_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "windows/common/tests/dialog_test_support.h"

using namespace DuiLib;
using dialog_test::Look;

namespace {

// Class keys that the tests write under HKEY_CLASSES_ROOT of the scratch prefix; each test
// starts and ends without them.
const wchar_t* const kTestKeys[] = {
    L"PowerPoint.Application", L"Word.Application", L"Word.Application.16",
    L"PowerPoint.Application.14", L"KWPS.Application", L"WPS.Application",
    L"KWPP.Application", L"WPP.Application", L"TarvoTest.CurVer"};

void RemoveTestKeys() {
  for (const wchar_t* key : kTestKeys) RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
}

bool SetValue(const std::wstring& subkey, const void* data, DWORD bytes, DWORD type = REG_SZ) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool ok = RegSetValueExW(key, nullptr, 0, type, static_cast<const BYTE*>(data), bytes) ==
                  ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

bool SetText(const std::wstring& subkey, const std::wstring& text) {
  return SetValue(subkey, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool MakeKey(const std::wstring& subkey) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { RemoveTestKeys(); }
  void TearDown() override { RemoveTestKeys(); }
};

class DocTransFrameTest : public ::testing::TestWithParam<Look> {
 protected:
  void SetUp() override {
    RemoveTestKeys();
    dialog_test::UseLook(GetParam());
  }
  void TearDown() override { RemoveTestKeys(); }

  // Runs the dialog for `path`, clicking the named controls in turn; `check` runs after the
  // clicks of its index (before the next one). Returns the modal result.
  UINT Run(const std::wstring& path, const std::vector<const wchar_t*>& clicks,
           const std::function<void(size_t, HWND, CPaintManagerUI*)>& check) {
    auto* dialog = new CDocTransFrame(path);
    EXPECT_NE(dialog_test::CreateLikeTheClient(dialog, owner_.hwnd(), L"DocTransFrame"), nullptr);
    bool timed_out = false;
    const UINT result = dialog_test::RunModal(
        dialog,
        [&](HWND hwnd) {
          CPaintManagerUI* pm = dialog->GetPaintManager();
          for (size_t i = 0; i < clicks.size(); ++i) {
            EXPECT_TRUE(dialog_test::ClickOn(hwnd, pm, clicks[i]));
            if (check && IsWindow(hwnd)) check(i, hwnd, pm);
          }
        },
        &timed_out);
    EXPECT_FALSE(timed_out);
    return result;
  }

  dialog_test::OwnerWindow owner_;
};

bool OkEnabled(CPaintManagerUI* pm) { return pm->FindControl(L"okbtn")->IsEnabled(); }
CControlUI* Tip(CPaintManagerUI* pm) { return pm->FindControl(L"version_tip"); }

}  // namespace

TEST(DocTransKindTest, ExtensionsCompareWithoutCase) {
  struct Case {
    const char* path;
    int kind;
  } cases[] = {
      {"slides.PPTX", 0}, {".ppsx", 0},      {"a.b.doc", 1},       {"x.RTF", 1},
      {"w.wps", 2},       {"p.Dps", 3},      {"c.Pdf", 4},         {"photo.jpeg", 4},
      {"report", -1},     {nullptr, -1},     {"sheet.xlsx", -1},   {"slides.ppt.bak", -1},
      {"", -1},           {"C:\\v1.2\\readme", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CDocTransFrame::GetDocKind(c.path), c.kind) << (c.path ? c.path : "(null)");
  }
  EXPECT_EQ(CDocTransFrame::CheckConvertEnv(4), 0);
  EXPECT_EQ(CDocTransFrame::CheckConvertEnv(-1), 0);
}

TEST_F(RegistryTest, OfficeVersionsFromTheClassKeys) {
  EXPECT_EQ(CDocTransFrame::CheckConvertEnv(0), CDocTransFrame::kEnvMissing);
  EXPECT_EQ(CDocTransFrame::CheckConvertEnv(1), CDocTransFrame::kEnvMissing);
  EXPECT_EQ(CDocTransFrame::CheckConvertEnv(2), CDocTransFrame::kEnvMissing);
  EXPECT_EQ(CDocTransFrame::CheckConvertEnv(3), CDocTransFrame::kEnvMissing);

  // PowerPoint 12 without a newer server is too old; with the server of 14 still too old.
  ASSERT_TRUE(SetText(L"PowerPoint.Application\\CurVer", L"PowerPoint.Application.12"));
  EXPECT_EQ(CDocTransFrame::CheckConvertEnv(0), CDocTransFrame::kEnvTooOld);
  ASSERT_TRUE(MakeKey(L"PowerPoint.Application.14\\CLSID"));
  EXPECT_EQ(CDocTransFrame::CheckConvertEnv(0), CDocTransFrame::kEnvTooOld);
  ASSERT_TRUE(SetText(L"PowerPoint.Application\\CurVer", L"PowerPoint.Application.15"));
  EXPECT_EQ(CDocTransFrame::CheckConvertEnv(0), CDocTransFrame::kEnvUsable);

  // Word 12 beside the server of Word 16 can convert.
  ASSERT_TRUE(SetText(L"Word.Application\\CurVer", L"Word.Application.12"));
  EXPECT_EQ(CDocTransFrame::CheckConvertEnv(1), CDocTransFrame::kEnvTooOld);
  ASSERT_TRUE(MakeKey(L"Word.Application.16\\CLSID"));
  EXPECT_EQ(CDocTransFrame::CheckConvertEnv(1), CDocTransFrame::kEnvUsable);

  // WPS: the first readable key decides.
  ASSERT_TRUE(SetText(L"WPS.Application\\CurVer", L"WPS.Application.8"));
  EXPECT_EQ(CDocTransFrame::CheckConvertEnv(2), CDocTransFrame::kEnvTooOld);
  ASSERT_TRUE(SetText(L"KWPS.Application\\CurVer", L"KWPS.Application.9"));
  EXPECT_EQ(CDocTransFrame::CheckConvertEnv(2), CDocTransFrame::kEnvUsable);
  ASSERT_TRUE(SetText(L"WPP.Application\\CurVer", L"WPP.Application.11"));
  EXPECT_EQ(CDocTransFrame::CheckConvertEnv(3), CDocTransFrame::kEnvUsable);
}

TEST_F(RegistryTest, CurVerValuesAreReadSafely) {
  struct Case {
    const wchar_t* text;
    bool ok;
    int version;
  } cases[] = {
      {L"Word.Application.16", true, 16}, {L"16.0", true, 16}, {L"no digits", false, 0},
      {L"", false, 0},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetText(L"TarvoTest.CurVer", c.text));
    int version = -1;
    EXPECT_EQ(CDocTransFrame::ReadCurVer(L"TarvoTest.CurVer", &version), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(version, c.version);
    }
  }
  int version = -1;
  EXPECT_FALSE(CDocTransFrame::ReadCurVer(L"TarvoTest.NoSuchKey", &version));
  EXPECT_FALSE(CDocTransFrame::ReadCurVer(nullptr, &version));
  const DWORD number = 16;
  ASSERT_TRUE(SetValue(L"TarvoTest.CurVer", &number, sizeof(number), REG_DWORD));
  EXPECT_FALSE(CDocTransFrame::ReadCurVer(L"TarvoTest.CurVer", &version));

  // 254 characters with their terminator (510 bytes) fit; 256 characters stored without one
  // (512 bytes) do not, and nothing is read past the buffer.
  std::wstring longest(253, L'x');
  longest += L'7';
  ASSERT_TRUE(SetText(L"TarvoTest.CurVer", longest));
  EXPECT_TRUE(CDocTransFrame::ReadCurVer(L"TarvoTest.CurVer", &version));
  EXPECT_EQ(version, 7);
  // Its only digit is its last character: a read that took all 512 bytes would find it and go
  // on reading past the buffer. (A null character right after the data would be stored as its
  // terminator, hence the character after the 256.)
  std::wstring unterminated(255, L'x');
  unterminated += L"9x";
  ASSERT_TRUE(SetValue(L"TarvoTest.CurVer", unterminated.data(), 512));
  version = -1;
  EXPECT_FALSE(CDocTransFrame::ReadCurVer(L"TarvoTest.CurVer", &version));
  EXPECT_EQ(version, -1);
  EXPECT_TRUE(CDocTransFrame::RegKeyExists(L"TarvoTest.CurVer"));
  EXPECT_FALSE(CDocTransFrame::RegKeyExists(L"TarvoTest.NoSuchKey"));
}

TEST_P(DocTransFrameTest, LocalConversionWarnsAboutAnOldProgram) {
  ASSERT_TRUE(SetText(L"PowerPoint.Application\\CurVer", L"PowerPoint.Application.12"));
  const UINT result = Run(L"C:\\talks\\slides.pptx", {L"local_trans", L"okbtn"},
                          [](size_t i, HWND, CPaintManagerUI* pm) {
                            if (i != 0) return;
                            EXPECT_TRUE(OkEnabled(pm));
                            EXPECT_TRUE(Tip(pm)->IsVisible());
                            EXPECT_EQ(Tip(pm)->GetTextId(), L"s.doc.trans.ver2");
                          });
  EXPECT_EQ(result, CDocTransFrame::kLocal);
}

TEST_P(DocTransFrameTest, WithoutTheProgramOnlyTheServerCanBeChosen) {
  const UINT result = Run(
      L"C:\\letters\\letter.docx", {L"local_trans", L"okbtn", L"server_trans", L"okbtn"},
      [](size_t i, HWND, CPaintManagerUI* pm) {
        if (i == 0 || i == 1) {  // the disabled OK button does nothing
          EXPECT_FALSE(OkEnabled(pm));
          EXPECT_TRUE(Tip(pm)->IsVisible());
          EXPECT_EQ(Tip(pm)->GetTextId(), L"s.doc.trans.ver1");
        } else if (i == 2) {
          EXPECT_TRUE(OkEnabled(pm));
          EXPECT_FALSE(Tip(pm)->IsVisible());
        }
      });
  EXPECT_EQ(result, CDocTransFrame::kServer);
}

TEST_P(DocTransFrameTest, DocumentsWithoutAProgramNeverWarnAndClosingCancels) {
  struct Case {
    const wchar_t* path;
    std::vector<const wchar_t*> clicks;
    UINT want;
  } cases[] = {
      {L"notes.txt", {L"local_trans", L"okbtn"}, CDocTransFrame::kLocal},
      {L"archive.zip", {L"local_trans", L"okbtn"}, CDocTransFrame::kLocal},
      {L"notes.txt", {L"okbtn"}, CDocTransFrame::kServer},
      {L"slides.ppt", {L"closebtn"}, CDocTransFrame::kCancel},
      {L"slides.ppt", {L"local_trans", L"cancelbtn"}, CDocTransFrame::kCancel},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.path, c.clicks, nullptr), c.want) << std::wstring(c.path);
  }
  // The tip stays hidden for a kind that needs no program.
  Run(L"picture.png", {L"local_trans", L"closebtn"}, [](size_t i, HWND, CPaintManagerUI* pm) {
    if (i == 0) {
      EXPECT_FALSE(Tip(pm)->IsVisible());
      EXPECT_TRUE(OkEnabled(pm));
    }
  });
}

TEST_P(DocTransFrameTest, Screenshot) {
  ASSERT_TRUE(SetText(L"PowerPoint.Application\\CurVer", L"PowerPoint.Application.12"));
  const bool orange = GetParam().skin == 1;
  const DWORD title_bar = orange ? 0xF4F4F4 : 0x252A33;
  const DWORD accent = orange ? 0xF89B33 : 0x2F9AFF;
  Run(L"slides.pptx", {L"local_trans", L"closebtn"}, [&](size_t i, HWND hwnd, CPaintManagerUI* pm) {
    if (i != 0) return;
    auto shot = dialog_test::Shoot(hwnd, pm);
    ASSERT_TRUE(shot->printed());
    ASSERT_EQ(shot->width(), 316);
    ASSERT_EQ(shot->height(), 345);
    EXPECT_EQ(shot->Pixel(150, 12), title_bar);
    const POINT ok = dialog_test::CenterOf(pm, L"okbtn");
    EXPECT_EQ(shot->Pixel(ok.x - 36, ok.y), accent);
    for (const wchar_t* name : {L"title_lab", L"server_trans", L"local_trans", L"server_tip",
                                L"local_tip", L"version_tip", L"okbtn", L"cancelbtn"}) {
      EXPECT_GT(dialog_test::InkOf(*shot, pm, name), 30) << std::wstring(name);
    }
    EXPECT_TRUE(shot->Save(L"doc_trans_" + std::wstring(dialog_test::SkinFolder(GetParam().skin)) +
                           L"_" + GetParam().language + L".png"));
  });
}

INSTANTIATE_TEST_SUITE_P(Looks, DocTransFrameTest,
                         ::testing::Values(Look{0, L"zh_CN"}, Look{0, L"en_US"},
                                           Look{1, L"zh_CN"}, Look{1, L"en_US"}),
                         [](const ::testing::TestParamInfo<Look>& info) {
                           return dialog_test::LookName(info.param);
                         });
