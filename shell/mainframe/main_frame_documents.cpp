// The main window's documents and local media from the page: the file pick with its limits,
// the document transfer dialog, one converter process per document and its reports, and
// cancelling a document. UI thread.

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/text_convert.h"
#include "shell/browser_control/cef_web_browser_ui.h"
#include "shell/mainframe/doc_trans_result.h"
#include "shell/mainframe/main_frame.h"
#include "shell/mainframe/main_frame_ids.h"
#include "shell/mainframe/picture_header.h"
#include "shell/system/base64.h"
#include "windows/doc_trans/doc_trans_frame.h"
#include "windows/lod_view/lod_view_frame.h"

using namespace DuiLib;

namespace {

// Page limits: documents up to 500 MiB, media files up to 4096 MiB, pictures up to
// 104857600 pixels.
constexpr unsigned long long kDocumentMaxMiB = 500;
constexpr unsigned long long kMediaMaxMiB = 4096;
constexpr unsigned long long kPictureMaxPixels = 0x6400000;

// The dialog's filter: the display text, the pattern list, then one entry per extension.
std::wstring MakeFilter(const wchar_t* const* extensions, size_t count) {
  std::wstring patterns;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) patterns += L';';
    patterns += std::wstring(L"*.") + extensions[i];
  }
  std::wstring filter = L"File(" + patterns + L")";
  filter += L'\0';
  filter += patterns;
  filter += L'\0';
  for (size_t i = 0; i < count; ++i) {
    filter += extensions[i];
    filter += L'\0';
    filter += std::wstring(L"*.") + extensions[i];
    filter += L'\0';
  }
  filter += L'\0';
  return filter;
}

const wchar_t* const kDocumentExtensions[] = {L"ppt", L"pptx", L"dps", L"doc",  L"docx", L"wps",
                                              L"pdf", L"png",  L"jpg", L"jpeg", L"bmp",  L"txt"};
const wchar_t* const kMediaPatterns[] = {L"flv", L"wmv", L"avi", L"mp4", L"mov",
                                         L"mkv", L"mp3", L"wav", L"flac"};
const wchar_t* const kMediaEntries[] = {L"flv", L"wmv", L"avi", L"mp4", L"mov",
                                        L"mp3", L"wav", L"mkv", L"flac"};

std::wstring DocumentFilter() {
  return MakeFilter(kDocumentExtensions,
                    sizeof(kDocumentExtensions) / sizeof(*kDocumentExtensions));
}

std::wstring MediaFilter() {
  // The entries come in another order than the pattern list.
  std::wstring filter =
      MakeFilter(kMediaPatterns, sizeof(kMediaPatterns) / sizeof(*kMediaPatterns));
  const std::wstring head = filter.substr(0, filter.find(L'\0', filter.find(L'\0') + 1) + 1);
  std::wstring entries;
  for (const wchar_t* extension : kMediaEntries) {
    entries += extension;
    entries += L'\0';
    entries += std::wstring(L"*.") + extension;
    entries += L'\0';
  }
  return head + entries + L'\0';
}

// The file's size in whole KiB; 0 when it cannot be opened.
unsigned long long FileSizeKiB(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  LARGE_INTEGER size{};
  const bool ok = GetFileSizeEx(file, &size) != FALSE;
  CloseHandle(file);
  return ok && size.QuadPart > 0 ? static_cast<unsigned long long>(size.QuadPart) / 1024 : 0;
}

bool IsPictureExtension(const std::wstring& path) {
  const size_t dot = path.find_last_of(L'.');
  const size_t slash = path.find_last_of(L"\\/");
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return false;
  std::wstring extension = path.substr(dot);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return extension == L".jpg" || extension == L".jpeg" || extension == L".png" ||
         extension == L".bmp";
}

void RefuseFile(const wchar_t* textId) {
  CJsEventSender::Instance()->NotifyStatus(CMutiLanSupport::Instance()->GetTextForId(textId), 2);
}

}  // namespace

void CMainFrame::PickLocalFile(int kind) {
  if (kind == 1) return;
  std::wstring filter;
  if (kind == 0) {
    filter = DocumentFilter();
  } else if (kind == 2) {
    filter = MediaFilter();
  }
  wchar_t file[MAX_PATH] = {};
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = m_hWnd;
  dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  m_bPickingFile = true;
  const BOOL chosen = GetOpenFileNameW(&dialog);
  m_bPickingFile = false;
  if (!chosen || (kind != 0 && kind != 2)) return;

  const std::wstring path = file;
  const unsigned long long size = FileSizeKiB(path);
  if (kind == 0 && size / 1024 > kDocumentMaxMiB) {
    RefuseFile(L"s.doc.sizemax");
    return;
  }
  if (kind == 0 && IsPictureExtension(path)) {
    int width = 0;
    int height = 0;
    if (ReadPictureSize(path, &width, &height) &&
        static_cast<unsigned long long>(width) * static_cast<unsigned long long>(height) >
            kPictureMaxPixels) {
      RefuseFile(L"s.doc.ruler.max");
      return;
    }
  }
  if (kind == 2 && size / 1024 > kMediaMaxMiB) {
    RefuseFile(L"s.local.sizemax");
    return;
  }
  const std::string utf8Path = UnicodeToUtf8(path);
  const size_t slash = utf8Path.find_last_of('\\');
  const std::string name = slash == std::string::npos ? utf8Path : utf8Path.substr(slash + 1);

  if (kind == 0) {
    const int mode = ShowDocTransMode(path);
    if (mode > 0) {
      const std::string id = CLocalFileList::Instance()->AddDocument(utf8Path, mode);
      if (m_pBrowser != nullptr) {
        // The page's next file dialog is answered with this file, by the click at (1, 1).
        m_pBrowser->SetSelFile(id, utf8Path);
        m_pBrowser->SetFileDialogDelegate(true);
        m_pBrowser->SendMouseEvent(1, 1);
      }
      CJsEventSender::Instance()->NotifyLocalFileAdded(name, id, size, mode, 0);
    }
    if (!m_bDocPacing) {
      ::SetTimer(m_hWnd, kTimerDocPacing, kDocPacingMs, nullptr);
      m_bDocPacing = true;
    }
    return;
  }
  // A media file: the local media window reads its picture height class; a file it cannot
  // read is announced with height 0, which the page hears as 360.
  int width = 0;
  int height = 0;
  if (CLodViewFrame* view = LocalMediaWindow()) {
    if (!view->GetMediaInfo(path, &width, &height)) height = 0;
  }
  const std::string id = CLocalFileList::Instance()->AddMedia(utf8Path);
  CJsEventSender::Instance()->NotifyLocalFileAdded(name, id, size, 0, height);
}

int CMainFrame::ShowDocTransMode(const std::wstring& path) {
  auto* dialog = new CDocTransFrame(path);
  if (dialog->Create(m_hWnd, L"DocTransFrame", 0x96C80000, 0) == nullptr) {
    delete dialog;
    TVLOG_ERROR_THIS() << "the document transfer dialog was not created";
    return 0;
  }
  const int mode = static_cast<int>(dialog->ShowModal());  // The dialog deletes itself.
  TVLOG_INFO_THIS() << " DocTransMode = " << mode;
  return mode;
}

void CMainFrame::HandleDocTrans(const std::string& md5) {
  CLocalFileList* files = CLocalFileList::Instance();
  const std::string path = files->FindDocument(md5);
  if (path.empty()) {
    TVLOG_WARN_THIS() << "no such document: " << md5;
    return;
  }
  const std::string args = CJsEventSender::BuildDocTransArgs(reinterpret_cast<uintptr_t>(m_hWnd),
                                                             path, md5, GetCurrentProcessId());
  files->SetDocumentStatus(md5, 1);
  const std::string encoded = Base64Encode(args.data(), args.size());
  const std::string folder = UnicodeToAnsi(CPaintManagerUI::GetInstancePath().c_str());
  const std::string program = folder + "Kelvarn.exe";
  SHELLEXECUTEINFOA start{};
  start.cbSize = sizeof(start);
  // No error box: a converter that does not start is reported to the page instead.
  start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  start.lpFile = program.c_str();
  start.lpParameters = encoded.c_str();
  start.lpDirectory = folder.c_str();
  start.nShow = SW_HIDE;
  if (!ShellExecuteExA(&start)) {
    TVLOG_ERROR_THIS() << " doc trans shell Failed  file = " << path;
    // The document would wait at status 1 for a report that never comes: the page hears that
    // it failed, and the task goes.
    LocalDocumentInfo failed;
    failed.md5 = md5;
    failed.url = path;
    failed.status = 0;
    files->RemoveDocument(md5);
    CJsEventSender::Instance()->NotifyDocConverted(failed);
    return;
  }
  // The converter reports by its messages; its process is not waited for.
  if (start.hProcess != nullptr) CloseHandle(start.hProcess);
}

void CMainFrame::CancelDocument(const std::string& md5) {
  CLocalFileList* files = CLocalFileList::Instance();
  if (m_hConverterWnd != nullptr && IsWindow(m_hConverterWnd) &&
      files->FindConvertingDocument() == md5) {
    COPYDATASTRUCT data{};
    data.dwData = 0;
    data.cbData = static_cast<DWORD>(md5.size());
    data.lpData = const_cast<char*>(md5.data());
    DWORD_PTR answer = 0;
    // A converter that hangs must not hold up the window.
    if (!SendMessageTimeoutW(m_hConverterWnd, WM_COPYDATA, kCopyDataConverterCancel,
                             reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000, &answer)) {
      TVLOG_WARN_THIS() << "the converter did not take the cancel of " << md5;
    }
  }
  RemoveTempFolder(md5);
  files->RemoveDocument(md5);
}

void CMainFrame::OnConverterReport(const std::string& text) {
  LocalDocumentInfo doc;
  if (!ParseDocTransResult(text, &doc)) {
    TVLOG_WARN_THIS() << "a converter report that names no document: ignored";
    return;
  }
  CLocalFileList* files = CLocalFileList::Instance();
  if (doc.status == 2 && m_pBrowser != nullptr) {
    // The page's pending upload picks the converted archive.
    m_pBrowser->SetFileDialogDelegate(true);
    m_pBrowser->SetSelFile(doc.md5 + "_zip", doc.url);
    m_pBrowser->SendMouseEvent(1, 1);
    files->RemoveDocument(doc.md5);
    TVLOG_INFO_THIS() << "del trans doc task, trans finish id= " << doc.md5;
    const std::string next = files->FindWaitingDocument();
    if (!next.empty()) {
      HandleDocTrans(next);
      TVLOG_INFO_THIS() << "next trans file = " << next;
    }
  } else if (doc.status <= 0) {
    RemoveTempFolder(doc.md5);
    files->RemoveDocument(doc.md5);
    TVLOG_INFO_THIS() << "del trans doc task , trans end id= " << doc.md5;
  }
  CJsEventSender::Instance()->NotifyDocConverted(doc);
}

void CMainFrame::OnConverterRetry(const std::string& text) {
  LocalDocumentInfo doc;
  if (!ParseDocTransResult(text, &doc)) {
    TVLOG_WARN_THIS() << "a converter message that names no document: ignored";
    return;
  }
  CLocalFileList::Instance()->SetDocumentStatus(doc.md5, 5);
  TVLOG_INFO_THIS() << "EnCopyDataCmd::DOCTRAINING_RES = " << doc.md5;
}

void CMainFrame::OnDocumentPacingTick() {
  const std::string id = CLocalFileList::Instance()->FindWaitingDocument();
  if (id.empty() || (m_hConverterWnd != nullptr && IsWindow(m_hConverterWnd))) return;
  HandleDocTrans(id);
  TVLOG_INFO_THIS() << "next trans file = " << id;
}
