// The main window's housekeeping: old log files, and the page folders of documents.

#include <windows.h>

#include <cstring>
#include <string>

#include "foundation/log.h"
#include "shell/mainframe/main_frame.h"
#include "shell/startup/app_info.h"

bool CMainFrame::IsDocumentId(const std::string& id) {
  if (id.size() != 32) return false;
  for (char c : id) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

bool CMainFrame::RemoveTempFolder(const std::string& documentId) {
  // The id comes from other processes and the page: only the registry's form names a page
  // folder, so nothing else (an empty id, "..\", a path) can reach the temporary folder itself
  // or anything outside it.
  if (!IsDocumentId(documentId)) {
    TVLOG_WARN() << "not a document id, nothing deleted: " << documentId;
    return false;
  }
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) return false;
  return DeleteFolderRecursive(std::wstring(temp, length) +
                               std::wstring(documentId.begin(), documentId.end()));
}

bool CMainFrame::DeleteFolderRecursive(const std::wstring& path) {
  std::wstring folder = path;
  if (folder.empty()) return false;
  // A link (a reparse point) is never entered: only the link itself may go.
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    RemoveDirectoryW(folder.c_str());
    return true;
  }
  if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"*.*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    if (std::wcscmp(entry.cFileName, L".") == 0 || std::wcscmp(entry.cFileName, L"..") == 0) {
      continue;
    }
    const std::wstring child = folder + entry.cFileName;
    const bool directory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool link = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (directory && !link) {
      DeleteFolderRecursive(child);
    } else if (directory) {
      RemoveDirectoryW(child.c_str());  // The link only; its target keeps its files.
    } else {
      DeleteFileW(child.c_str());
    }
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  folder.pop_back();
  RemoveDirectoryW(folder.c_str());
  return true;
}

void CMainFrame::PruneLogs(const std::string& folderName) {
  const std::string folder = GetRoamingFolder() + "\\" + folderName;
  CreateDirectoryA(folder.c_str(), nullptr);
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((folder + "\\logs\\*.*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  FILETIME now_time;
  GetSystemTimeAsFileTime(&now_time);
  const auto seconds = [](const FILETIME& time) {
    const unsigned long long units =
        (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<long long>((units - 116444736000000000ULL) / 10000000ULL);
  };
  const long long now = seconds(now_time);
  do {
    if (std::strcmp(entry.cFileName, ".") == 0 ||
        (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      continue;
    }
    if (now - seconds(entry.ftCreationTime) > 2592000) {
      DeleteFileA((folder + "\\logs\\" + entry.cFileName).c_str());
    }
  } while (FindNextFileA(find, &entry));
  FindClose(find);
}
