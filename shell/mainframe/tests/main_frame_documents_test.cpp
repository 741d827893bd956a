// Documents and media files from the page: the real open-file and document transfer dialogs
// answered from inside their own loops, the converter stand-in Kelvarn.exe beside the test, its
// reports, cancelling, and the page folders that may be deleted.

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/duilib/UIlib.h"
#include "shell/mainframe/doc_trans_result.h"
#include "shell/mainframe/main_frame_ids.h"
#include "shell/mainframe/picture_header.h"
#include "shell/mainframe/tests/main_frame_test_support.h"
#include "shell/registry/local_file_list.h"
#include "windows/common/tests/dialog_test_support.h"

namespace mainframe_test {
namespace {

using Texts = std::vector<std::string>;

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  return std::wstring(temp, n);
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteText(const std::wstring& path, const std::string& text) {
  std::ofstream(path.c_str(), std::ios::binary) << text;
}

std::string ReadText(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

// A file of |bytes| bytes that holds no data (a hole): the size is all that is read.
bool MakeSparseFile(const std::wstring& path, long long bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  size.QuadPart = bytes;
  const bool ok = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  return ok;
}

// The first 33 bytes of a PNG of |width| x |height|: the signature and the header chunk (the
// size is read from there; nothing after it is needed).
void MakePngHeader(const std::wstring& path, unsigned width, unsigned height) {
  std::string bytes("\x89PNG\r\n\x1a\n", 8);
  bytes += std::string("\0\0\0\x0dIHDR", 8);
  for (unsigned value : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8)
      bytes += static_cast<char>((value >> shift) & 0xFF);
  }
  bytes += std::string("\x08\x02\0\0\0", 5);  // 8 bits, RGB, no interlace
  bytes += std::string("\0\0\0\0", 4);        // the chunk's check sum
  WriteText(path, bytes);
}

// The files of one test, in a folder of the temporary folder made afresh.
class Scratch {
 public:
  explicit Scratch(const wchar_t* name) : folder_(TempFolder() + name + L"\\") {
    CMainFrame::DeleteFolderRecursive(folder_);
    CreateDirectoryW(folder_.c_str(), nullptr);
  }
  ~Scratch() { CMainFrame::DeleteFolderRecursive(folder_); }
  std::wstring operator[](const wchar_t* name) const { return folder_ + name; }

 private:
  std::wstring folder_;
};

// Picks one file as the page asks (kind), answering the dialogs with |steps|.
void Pick(FrameScope& frame, int kind, std::vector<DialogScript::Step> steps) {
  DialogScript script(std::move(steps));
  frame->PickLocalFile(kind);
  EXPECT_TRUE(script.done()) << "a dialog was not answered";
  PumpFor(100);  // The page takes its events from the library's loop.
}

std::wstring Text(const wchar_t* id) {
  return std::wstring(DuiLib::CMutiLanSupport::Instance()->GetTextForId(id).c_str());
}

std::string Utf8(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  return out;
}

// Takes the documents the test added out of the process's registry again.
class RegistryScope {
 public:
  ~RegistryScope() {
    for (const std::string& id : ids) CLocalFileList::Instance()->RemoveDocument(id);
  }
  std::string Add(const std::wstring& path, int mode = 2) {
    ids.push_back(CLocalFileList::Instance()->AddDocument(Utf8(path), mode));
    return ids.back();
  }
  std::vector<std::string> ids;
};

// ---- page folders ----

// Runs a shell command line on the host (Wine starts native programs) and waits until |done|.
bool RunOnHost(const std::string& command, const std::function<bool()>& done) {
  std::wstring line = L"Z:\\bin\\sh -c \"" + Wide(command) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &process)) {
    return false;
  }
  if (process.hProcess != nullptr) CloseHandle(process.hProcess);
  if (process.hThread != nullptr) CloseHandle(process.hThread);
  // Wine gives no usable handle of a native program: wait for its effect.
  for (int i = 0; i < 500; ++i, Sleep(10)) {
    if (done()) return true;
  }
  return false;
}

std::string UnixPath(const std::wstring& path) {
  using ToUnixFn = char*(CDECL*)(const wchar_t*);
  const auto to_unix = reinterpret_cast<ToUnixFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* text = to_unix != nullptr ? to_unix(path.c_str()) : nullptr;
  std::string out = text != nullptr ? text : "";
  if (text != nullptr) HeapFree(GetProcessHeap(), 0, text);
  return out;
}

// Makes |link| a host symbolic link to |target| (Wine shows it as a reparse point; its own
// CreateSymbolicLinkW makes nothing).
bool MakeHostLink(const std::wstring& target, const std::wstring& link) {
  const bool made = RunOnHost("ln -s '" + UnixPath(target) + "' '" + UnixPath(link) + "'",
                              [&] { return Exists(link); });
  return made && (GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

void RemoveOnHost(const std::wstring& path) {
  RunOnHost("rm -rf '" + UnixPath(path) + "'", [&] { return !Exists(path); });
}

const char kId[] = "0123456789abcdef0123456789abcdef";

TEST(TempFolderTest, OnlyDocumentIdsDeleteTheirFolder) {
  const std::wstring temp = TempFolder();
  const std::wstring sentinel = temp + L"tarvo_temp_sentinel.txt";
  const std::wstring parent_sentinel = temp + L"..\\tarvo_parent_sentinel.txt";
  WriteText(sentinel, "keep");
  WriteText(parent_sentinel, "keep");
  std::string upper = kId;
  for (char& c : upper) c = static_cast<char>(toupper(c));
  const std::string longer = std::string(kId) + "0";
  for (const std::string& id : {upper, longer})
    CreateDirectoryW((temp + Wide(id)).c_str(), nullptr);

  struct Case {
    std::string id;
    const char* why;
  } refused[] = {{"", "empty: the temporary folder itself"},
                 {"..\\", "the folder above"},
                 {"..", "the folder above"},
                 {upper, "upper case"},
                 {longer, "33 characters"},
                 {std::string(kId).substr(0, 31) + "g", "not hexadecimal"},
                 {std::string(kId).substr(0, 30) + "\\.", "a path"}};
  for (const Case& c : refused) {
    EXPECT_FALSE(CMainFrame::RemoveTempFolder(c.id)) << c.why;
  }
  EXPECT_TRUE(Exists(sentinel));
  EXPECT_TRUE(Exists(parent_sentinel));
  EXPECT_TRUE(Exists(temp + Wide(upper)));
  EXPECT_TRUE(Exists(temp + Wide(longer)));

  // The document's own folder goes with everything in it.
  const std::wstring folder = temp + Wide(kId);
  CreateDirectoryW(folder.c_str(), nullptr);
  CreateDirectoryW((folder + L"\\pages").c_str(), nullptr);
  WriteText(folder + L"\\a.txt", "a");
  WriteText(folder + L"\\pages\\1.png", "1");
  EXPECT_TRUE(CMainFrame::RemoveTempFolder(kId));
  EXPECT_FALSE(Exists(folder));
  EXPECT_FALSE(CMainFrame::RemoveTempFolder(kId)) << "gone: nothing to list";

  for (const std::string& id : {upper, longer}) RemoveDirectoryW((temp + Wide(id)).c_str());
  DeleteFileW(sentinel.c_str());
  DeleteFileW(parent_sentinel.c_str());
}

TEST(TempFolderTest, ALinkIsNeverEntered) {
  const std::wstring temp = TempFolder();
  const std::wstring target = temp + L"tarvo_link_target";
  CreateDirectoryW(target.c_str(), nullptr);
  WriteText(target + L"\\keep.txt", "keep");
  const std::wstring folder = temp + Wide(kId);
  CreateDirectoryW(folder.c_str(), nullptr);
  WriteText(folder + L"\\page.txt", "page");
  ASSERT_TRUE(MakeHostLink(target, folder + L"\\pages"));
  ASSERT_TRUE(Exists(folder + L"\\pages\\keep.txt")) << "the link leads to the target";
  CMainFrame::RemoveTempFolder(kId);
  EXPECT_FALSE(Exists(folder + L"\\page.txt"));
  EXPECT_TRUE(Exists(target + L"\\keep.txt"));

  // The page folder itself a link: its target keeps its files too.
  const std::string linked_id = "fedcba9876543210fedcba9876543210";
  const std::wstring linked = temp + Wide(linked_id);
  ASSERT_TRUE(MakeHostLink(target, linked));
  CMainFrame::RemoveTempFolder(linked_id);
  EXPECT_TRUE(Exists(target + L"\\keep.txt"));

  RemoveOnHost(folder);
  RemoveOnHost(linked);
  RemoveOnHost(target);
}

TEST(PictureHeaderTest, SizesFromTheHeaderOnly) {
  Scratch files(L"tarvo_picture_header");
  MakePngHeader(files[L"wide.png"], 10241, 10240);
  // A BMP header (file and information headers) of 300 x 200.
  std::string bmp("BM", 2);
  auto add32 = [&](unsigned v) {
    for (int i = 0; i < 4; ++i) bmp += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  add32(54 + 300 * 200 * 3);
  add32(0);
  add32(54);
  add32(40);
  add32(300);
  add32(200);
  bmp += std::string("\x01\0\x18\0", 4);
  bmp += std::string(24, '\0');
  WriteText(files[L"small.bmp"], bmp);
  WriteText(files[L"text.png"], "not a picture");
  WriteText(files[L"cut.png"], "\x89PNG\r\n");
  int width = -1;
  int height = -1;
  ASSERT_TRUE(ReadPictureSize(files[L"wide.png"], &width, &height));
  EXPECT_EQ(width, 10241);
  EXPECT_EQ(height, 10240);
  ASSERT_TRUE(ReadPictureSize(files[L"small.bmp"], &width, &height));
  EXPECT_EQ(width, 300);
  EXPECT_EQ(height, 200);
  for (const wchar_t* name : {L"text.png", L"cut.png", L"missing.png"}) {
    width = height = -1;
    EXPECT_FALSE(ReadPictureSize(files[name], &width, &height)) << Narrow(name);
    EXPECT_EQ(width, -1);
  }
}

TEST(DocTransResultTest, ReportsAndMalformedTexts) {
  LocalDocumentInfo doc;
  ASSERT_TRUE(ParseDocTransResult(
      R"({"MD5":"abc","url":"C:\\t\\a.zip","status":2,"totalpage":7,"curpage":3,"x":9})", &doc));
  EXPECT_EQ(doc.md5, "abc");
  EXPECT_EQ(doc.url, "C:\\t\\a.zip");
  EXPECT_EQ(doc.status, 2);
  EXPECT_EQ(doc.totalpage, 7);
  EXPECT_EQ(doc.curpage, 3);
  EXPECT_EQ(doc.x, 1);

  // Absent keys and keys of another type leave the field.
  LocalDocumentInfo partial;
  partial.url = "kept";
  ASSERT_TRUE(ParseDocTransResult(R"({"md5":"d","url":5,"status":"2","curpage":1e12})", &partial));
  EXPECT_EQ(partial.url, "kept");
  EXPECT_EQ(partial.status, 5);
  EXPECT_EQ(partial.curpage, INT32_MAX);

  for (const char* text : {"", "not json", "[1,2]", R"({"status":0})", R"({"md5":5})",
                           R"({"md5":null,"status":0})", "{\"md5\":\"a\"", "\"md5\""}) {
    LocalDocumentInfo untouched;
    EXPECT_FALSE(ParseDocTransResult(text, &untouched)) << text;
    EXPECT_EQ(untouched.md5, "") << text;
    EXPECT_EQ(untouched.status, 5) << text;
  }
}

// ---- through the window ----

class DocumentsTest : public ::testing::Test {
 protected:
  void SetUp() override { documents_before_ = CLocalFileList::Instance()->DocumentCount(); }
  void TearDown() override {
    EXPECT_EQ(CLocalFileList::Instance()->DocumentCount(), documents_before_);
  }
  size_t documents_before_ = 0;
};

// The limits: a document above 500 MiB and a media file above 4096 MiB are refused, pictures
// above 104857600 pixels too, read from the header alone.
TEST_F(DocumentsTest, PickLimits) {
  Scratch files(L"tarvo_pick_limits");
  ASSERT_TRUE(MakeSparseFile(files[L"big.pdf"], 600LL << 20));
  ASSERT_TRUE(MakeSparseFile(files[L"big.mp4"], 600LL << 20));
  ASSERT_TRUE(MakeSparseFile(files[L"huge.mp4"], 5LL << 30));
  MakePngHeader(files[L"wide.png"], 10241, 10240);
  MakePngHeader(files[L"square.PNG"], 10240, 10240);
  FrameScope frame;

  Pick(frame, 0, {AnswerFileDialog(files[L"big.pdf"])});
  Pick(frame, 2, {AnswerFileDialog(files[L"huge.mp4"])});
  Pick(frame, 0, {AnswerFileDialog(files[L"wide.png"])});
  EXPECT_EQ(frame.Values(25, "msg"),
            (Texts{Utf8(Text(L"s.doc.sizemax")), Utf8(Text(L"s.local.sizemax")),
                   Utf8(Text(L"s.doc.ruler.max"))}));
  EXPECT_EQ(frame.Values(25, "status"), (Texts{"2", "2", "2"}));
  EXPECT_TRUE(frame.Events(34).empty());

  // Accepted: the media file of 600 MB (height unknown: 360), the picture of 10240 x 10240
  // (sent to the server: mode 1 registers no document).
  Pick(frame, 2, {AnswerFileDialog(files[L"big.mp4"])});
  Pick(frame, 0,
       {AnswerFileDialog(files[L"square.PNG"]), ClickInDialog(L"CDocTransFrame", {L"okbtn"})});
  ASSERT_EQ(frame.Events(34).size(), 2u);
  EXPECT_EQ(frame.Values(34, "url"), (Texts{"big.mp4", "square.PNG"}));
  EXPECT_EQ(frame.Values(34, "size"), (Texts{std::to_string(600 * 1024), "0"}));
  EXPECT_EQ(frame.Values(34, "type"), (Texts{"0", "1"}));
  EXPECT_EQ(frame.Values(34, "height"), (Texts{"360", "<none>"}));
  const std::string picture_id = frame.Values(34, "md5")[1];
  EXPECT_EQ(CLocalFileList::Instance()->FindDocument(picture_id), "");
  // The page's next file dialog gets the picture.
  EXPECT_EQ(frame.Page()->selected_file().first, picture_id);
  EXPECT_EQ(frame.Page()->selected_file().second, Utf8(files[L"square.PNG"]));
  EXPECT_TRUE(frame.Page()->file_dialog_delegated());
  EXPECT_EQ(frame.Events(25).size(), 3u);
}

// A cancelled transfer dialog registers nothing and tells the page nothing, but the pacing timer
// starts with the first document pick, once; a cancelled file dialog and kind 1 do nothing.
TEST_F(DocumentsTest, CancelledDialogsAndPacingTimer) {
  Scratch files(L"tarvo_pick_cancel");
  WriteText(files[L"notes.txt"], "convert");
  FrameScope frame;
  Pick(frame, 0, {AnswerFileDialog(L"")});
  frame->PickLocalFile(1);
  EXPECT_FALSE(frame->m_bDocPacing);

  Pick(frame, 0,
       {AnswerFileDialog(files[L"notes.txt"]), ClickInDialog(L"CDocTransFrame", {L"cancelbtn"})});
  EXPECT_TRUE(frame->m_bDocPacing);
  EXPECT_TRUE(KillTimer(frame.hwnd(), kTimerDocPacing)) << "the pacing timer runs";
  Pick(frame, 0,
       {AnswerFileDialog(files[L"notes.txt"]), ClickInDialog(L"CDocTransFrame", {L"closebtn"})});
  EXPECT_FALSE(KillTimer(frame.hwnd(), kTimerDocPacing)) << "started once only";
  EXPECT_TRUE(frame.Events(34).empty());
  EXPECT_TRUE(frame.Events(25).empty());

  // Local conversion (mode 2) registers the document, waiting.
  RegistryScope registry;
  Pick(frame, 0,
       {AnswerFileDialog(files[L"notes.txt"]),
        ClickInDialog(L"CDocTransFrame", {L"local_trans", L"okbtn"})});
  ASSERT_EQ(frame.Values(34, "type"), Texts{"2"});
  registry.ids.push_back(frame.Values(34, "md5")[0]);
  EXPECT_EQ(CLocalFileList::Instance()->FindWaitingDocument(), registry.ids[0]);
}

std::map<std::string, std::string> ReadArgs(const std::wstring& document) {
  std::map<std::string, std::string> out;
  std::istringstream lines(ReadText(document + L".args"));
  for (std::string line; std::getline(lines, line);) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return out;
}

// Two waiting documents: the pacing tick starts the converter for the first; its window and its
// converted archive come back, the page gets event 36 and the archive, and the second document
// starts at once.
TEST_F(DocumentsTest, ConversionsOneAfterAnother) {
  Scratch files(L"tarvo_convert");
  WriteText(files[L"a.docx"], "convert");
  WriteText(files[L"b.pdf"], "convert");
  RegistryScope registry;
  const std::string a = registry.Add(files[L"a.docx"]);
  const std::string b = registry.Add(files[L"b.pdf"]);
  FrameScope frame;
  frame.Tick(kTimerDocPacing);
  EXPECT_EQ(CLocalFileList::Instance()->FindConvertingDocument(), a);
  ASSERT_TRUE(PumpUntil([&] { return frame.Events(36).size() == 2; }, 30000));
  EXPECT_EQ(frame.Values(36, "md5"), (Texts{a, b}));
  EXPECT_EQ(frame.Values(36, "status"), (Texts{"2", "2"}));
  EXPECT_EQ(frame.Values(36, "totalpage"), (Texts{"3", "3"}));
  EXPECT_EQ(CLocalFileList::Instance()->FindDocument(a), "");
  EXPECT_EQ(CLocalFileList::Instance()->FindDocument(b), "");
  EXPECT_NE(frame->m_hConverterWnd, nullptr);
  EXPECT_EQ(frame.Page()->selected_file().first, b + "_zip");
  EXPECT_EQ(frame.Page()->selected_file().second, Narrow(TempFolder()) + b + ".zip");

  // The stand-in decoded its one argument.
  const auto args = ReadArgs(files[L"a.docx"]);
  EXPECT_EQ(args.at("hwnd"), std::to_string(reinterpret_cast<uintptr_t>(frame.hwnd())));
  EXPECT_EQ(args.at("md5"), a);
  EXPECT_EQ(args.at("file"), Utf8(files[L"a.docx"]));
  EXPECT_EQ(args.at("pid"), std::to_string(GetCurrentProcessId()));
  for (const std::string& id : {a, b}) {
    CMainFrame::RemoveTempFolder(id);
    DeleteFileW((TempFolder() + Wide(id) + L".zip").c_str());
  }
}

// A failed conversion takes its page folder and its task with it; a converter asking for a
// document again makes it wait again; a converter that cannot start fails its document.
TEST_F(DocumentsTest, FailuresRetriesAndAMissingConverter) {
  Scratch files(L"tarvo_convert_fail");
  WriteText(files[L"bad.doc"], "fail");
  WriteText(files[L"again.doc"], "retry");
  RegistryScope registry;
  const std::string bad = registry.Add(files[L"bad.doc"]);
  FrameScope frame;
  frame->HandleDocTrans(bad);
  ASSERT_TRUE(PumpUntil([&] { return frame.Events(36).size() == 1; }, 30000));
  EXPECT_EQ(frame.Values(36, "status"), Texts{"0"});
  EXPECT_EQ(CLocalFileList::Instance()->FindDocument(bad), "");
  EXPECT_FALSE(Exists(TempFolder() + Wide(bad))) << "the page folder went";

  const std::string again = registry.Add(files[L"again.doc"]);
  frame->HandleDocTrans(again);
  EXPECT_EQ(CLocalFileList::Instance()->FindConvertingDocument(), again);
  ASSERT_TRUE(
      PumpUntil([&] { return CLocalFileList::Instance()->FindWaitingDocument() == again; }, 30000));
  EXPECT_EQ(frame.Events(36).size(), 1u);

  // The program folder without a converter: the system folder (the instance of kernel32).
  DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(L"kernel32.dll"));
  frame->HandleDocTrans(again);
  DuiLib::CPaintManagerUI::SetInstance(nullptr);
  ASSERT_TRUE(PumpUntil([&] { return frame.Events(36).size() == 2; }));
  EXPECT_EQ(frame.Values(36, "md5"), (Texts{bad, again}));
  EXPECT_EQ(frame.Values(36, "status"), (Texts{"0", "0"}));
  EXPECT_EQ(CLocalFileList::Instance()->FindDocument(again), "") << "the task went";
  EXPECT_EQ(CLocalFileList::Instance()->FindWaitingDocument(), "");
}

// Cancelling: a waiting document's folder and task go without a word to the converter; the
// converting one's converter gets 1003 with the id.
TEST_F(DocumentsTest, CancelTellsOnlyTheConvertingDocumentsConverter) {
  Scratch files(L"tarvo_convert_cancel");
  WriteText(files[L"long.ppt"], "hang");
  WriteText(files[L"waiting.ppt"], "convert");
  RegistryScope registry;
  const std::string converting = registry.Add(files[L"long.ppt"]);
  const std::string waiting = registry.Add(files[L"waiting.ppt"]);
  const std::wstring waiting_folder = TempFolder() + Wide(waiting);
  CreateDirectoryW(waiting_folder.c_str(), nullptr);
  WriteText(waiting_folder + L"\\page.png", "page");
  FrameScope frame;
  frame->HandleDocTrans(converting);
  ASSERT_TRUE(PumpUntil(
      [&] { return frame->m_hConverterWnd != nullptr && IsWindow(frame->m_hConverterWnd); },
      30000));
  ASSERT_TRUE(PumpUntil([&] { return Exists(TempFolder() + Wide(converting)); }));

  frame->CancelDocument(waiting);
  EXPECT_FALSE(Exists(waiting_folder));
  EXPECT_EQ(CLocalFileList::Instance()->FindDocument(waiting), "");
  PumpFor(200);
  EXPECT_FALSE(Exists(files[L"long.ppt"] + L".cancel"));

  frame->CancelDocument(converting);
  EXPECT_EQ(ReadText(files[L"long.ppt"] + L".cancel"), converting);
  EXPECT_FALSE(Exists(TempFolder() + Wide(converting)));
  EXPECT_EQ(CLocalFileList::Instance()->FindDocument(converting), "");
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(frame->m_hConverterWnd); }));
  EXPECT_TRUE(frame.Events(36).empty());
}

// Reports that name no document change nothing and send nothing.
TEST_F(DocumentsTest, MalformedReportsChangeNothing) {
  RegistryScope registry;
  const std::string id = registry.Add(L"C:\\nowhere\\doc.pdf");
  const std::wstring folder = TempFolder() + Wide(id);
  CreateDirectoryW(folder.c_str(), nullptr);
  FrameScope frame;
  for (const char* text : {"", "not json", "[2]", R"({"status":0})", R"({"md5":1,"status":0})",
                           "{\"md5\":\"", "\x01\x02"}) {
    COPYDATASTRUCT data{0, static_cast<DWORD>(strlen(text)), const_cast<char*>(text)};
    for (WPARAM command : {kCopyDataConverterReport, kCopyDataConverterRetry}) {
      SendMessageW(frame.hwnd(), WM_COPYDATA, command, reinterpret_cast<LPARAM>(&data));
    }
  }
  PumpFor(50);
  EXPECT_TRUE(frame.Events(36).empty());
  EXPECT_EQ(CLocalFileList::Instance()->FindWaitingDocument(), id);
  EXPECT_TRUE(Exists(folder));
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
}  // namespace mainframe_test
