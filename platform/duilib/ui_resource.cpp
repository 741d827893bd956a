#include "platform/duilib/ui_resource.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "platform/duilib/ui_base.h"
#include "platform/duilib/ui_manager.h"

namespace DuiLib {

namespace {

// The largest entry a skin may hold, as for files read from disk.
constexpr uLong kMaxEntryBytes = 64u << 20;

// minizip reads through these callbacks from a buffer in memory.
struct MemoryStream {
  const unsigned char* data;
  uLong size;
  uLong pos;
};

voidpf ZCALLBACK MemOpen(voidpf opaque, const char*, int) {
  auto* stream = static_cast<MemoryStream*>(opaque);
  stream->pos = 0;
  return stream;
}
uLong ZCALLBACK MemRead(voidpf, voidpf s, void* buf, uLong size) {
  auto* stream = static_cast<MemoryStream*>(s);
  uLong n = stream->pos < stream->size ? std::min(size, stream->size - stream->pos) : 0;
  memcpy(buf, stream->data + stream->pos, n);
  stream->pos += n;
  return n;
}
uLong ZCALLBACK MemWrite(voidpf, voidpf, const void*, uLong) { return 0; }
long ZCALLBACK MemTell(voidpf, voidpf s) {
  return static_cast<long>(static_cast<MemoryStream*>(s)->pos);
}
long ZCALLBACK MemSeek(voidpf, voidpf s, uLong offset, int origin) {
  auto* stream = static_cast<MemoryStream*>(s);
  uLong base = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR)
    base = stream->pos;
  else if (origin == ZLIB_FILEFUNC_SEEK_END)
    base = stream->size;
  if (offset > stream->size - base) return -1;  // also an offset that would wrap
  stream->pos = base + offset;
  return 0;
}
int ZCALLBACK MemClose(voidpf, voidpf) { return 0; }
int ZCALLBACK MemError(voidpf, voidpf) { return 0; }

struct StoreState {
  std::map<std::pair<HMODULE, UINT>, std::shared_ptr<CZipArchive>> resource_archives;
  std::shared_ptr<CZipArchive> current;
};

StoreState& State() {
  static StoreState state;
  return state;
}

// Reads the entry the archive stands at: its name (terminated, any length) and its bytes,
// refusing (with a log line) a size above the limit, a short read and a check value mismatch.
bool ReadCurrentEntry(unzFile zip, std::string* name, std::string* bytes) {
  unz_file_info info{};
  if (unzGetCurrentFileInfo(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
    UiLog(UiLogLevel::kError, L"skin archive has an unreadable entry");
    return false;
  }
  // The name in a buffer of its own length, terminated here (minizip does not when it fills
  // the buffer).
  std::vector<char> text(info.size_filename + 1, '\0');
  if (unzGetCurrentFileInfo(zip, &info, text.data(), static_cast<uLong>(text.size()), nullptr, 0,
                            nullptr, 0) != UNZ_OK) {
    UiLog(UiLogLevel::kError, L"skin archive has an unreadable entry name");
    return false;
  }
  text[info.size_filename] = '\0';
  name->assign(text.data(), info.size_filename);
  if (info.uncompressed_size > kMaxEntryBytes) {
    UiLog(UiLogLevel::kError, L"skin archive entry %hs declares %lu bytes", name->c_str(),
          info.uncompressed_size);
    return false;
  }
  bytes->assign(info.uncompressed_size, '\0');
  if (unzOpenCurrentFile(zip) != UNZ_OK) {
    UiLog(UiLogLevel::kError, L"skin archive entry %hs cannot be opened", name->c_str());
    return false;
  }
  const int read =
      bytes->empty() ? 0
                     : unzReadCurrentFile(zip, &(*bytes)[0], static_cast<unsigned>(bytes->size()));
  // Closing compares the check value of what was read: it catches an entry longer than its
  // declared size.
  const int close_rc = unzCloseCurrentFile(zip);
  if (read != static_cast<int>(bytes->size()) || close_rc != UNZ_OK) {
    UiLog(UiLogLevel::kError, L"skin archive entry %hs is damaged", name->c_str());
    return false;
  }
  return true;
}

std::shared_ptr<CZipArchive> LoadResourceArchive(HMODULE module, UINT id) {
  auto key = std::make_pair(module, id);
  auto& cache = State().resource_archives;
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), L"ZIPRES");
  HGLOBAL global = res ? LoadResource(module, res) : nullptr;
  const void* data = global ? LockResource(global) : nullptr;
  DWORD size = res ? SizeofResource(module, res) : 0;
  if (!data || size == 0) {
    UiLog(UiLogLevel::kError, L"skin resource %u of type ZIPRES not found", id);
    return nullptr;
  }
  std::shared_ptr<CZipArchive> archive = CZipArchive::FromMemory(data, size);
  if (archive) cache[key] = archive;
  return archive;
}

}  // namespace

std::unique_ptr<CZipArchive> CZipArchive::FromMemory(const void* data, size_t size) {
  // Every field of the archive is checked before it is used: a damaged skin is refused as a
  // whole, never read past its end, never taken for a smaller archive.
  try {
    return Parse(data, size);
  } catch (const std::exception& e) {
    UiLog(UiLogLevel::kError, L"skin archive cannot be read: %hs", e.what());
    return nullptr;
  }
}

std::unique_ptr<CZipArchive> CZipArchive::Parse(const void* data, size_t size) {
  MemoryStream stream{static_cast<const unsigned char*>(data), static_cast<uLong>(size), 0};
  zlib_filefunc_def funcs{MemOpen, MemRead,  MemWrite, MemTell,
                          MemSeek, MemClose, MemError, &stream};
  unzFile zip = unzOpen2("memory", &funcs);
  unz_global_info global{};
  if (!zip || unzGetGlobalInfo(zip, &global) != UNZ_OK) {
    UiLog(UiLogLevel::kError, L"skin archive is not a readable ZIP (%u bytes)",
          static_cast<unsigned>(size));
    if (zip) unzClose(zip);
    return nullptr;
  }
  auto archive = std::unique_ptr<CZipArchive>(new CZipArchive);
  uLong listed = 0;
  int rc = unzGoToFirstFile(zip);
  for (; rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
    std::string name;
    std::string bytes;
    if (!ReadCurrentEntry(zip, &name, &bytes)) break;
    ++listed;
    std::wstring key = NormalizeResourceName(Utf8ToWide(name));
    if (!key.empty() && key.back() != L'/') archive->entries_[key] = std::move(bytes);
  }
  unzClose(zip);
  if (rc == UNZ_OK) return nullptr;  // an entry was refused (and logged)
  if (rc != UNZ_END_OF_LIST_OF_FILE || listed != global.number_entry) {
    UiLog(UiLogLevel::kError,
          L"skin archive's central directory is damaged after %lu of %lu entries", listed,
          global.number_entry);
    return nullptr;
  }
  return archive;
}

std::wstring ResourceFilePath(const std::wstring& name) {
  std::wstring path = CPaintManagerUI::GetResourcePath();
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  return path + name;
}

bool ReadWholeFile(const std::wstring& path, size_t limit, std::string* bytes) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // Closed on every way out, exceptions included.
  std::unique_ptr<void, decltype(&CloseHandle)> owner(file, &CloseHandle);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0 ||
      static_cast<unsigned long long>(size.QuadPart) > limit) {
    return false;
  }
  std::string data;
  try {
    data.resize(static_cast<size_t>(size.QuadPart));
  } catch (const std::exception&) {
    return false;  // no memory for it
  }
  DWORD read = 0;
  if (!data.empty() &&
      (!ReadFile(file, &data[0], static_cast<DWORD>(data.size()), &read, nullptr) ||
       read != data.size())) {
    return false;
  }
  bytes->swap(data);
  return true;
}

bool CZipArchive::Read(const std::wstring& name, std::string* bytes) const {
  auto it = entries_.find(NormalizeResourceName(name));
  if (it == entries_.end()) return false;
  *bytes = it->second;
  return true;
}

bool CResourceStore::UseZipResource(HMODULE module, UINT id) {
  std::shared_ptr<CZipArchive> archive = LoadResourceArchive(module, id);
  if (!archive) return false;
  State().current = archive;
  return true;
}

bool CResourceStore::UseZipMemory(const void* data, size_t size) {
  std::shared_ptr<CZipArchive> archive = CZipArchive::FromMemory(data, size);
  if (!archive) return false;
  State().current = archive;
  return true;
}

void CResourceStore::UseFolder() { State().current.reset(); }

bool CResourceStore::HasArchive() { return State().current != nullptr; }

bool CResourceStore::Read(const std::wstring& name, std::string* bytes) {
  if (State().current) return State().current->Read(name, bytes);
  return ReadWholeFile(ResourceFilePath(name), kMaxEntryBytes, bytes);
}

bool CResourceStore::ReadFromZipResource(HMODULE module, UINT id, const std::wstring& name,
                                         std::string* bytes) {
  std::shared_ptr<CZipArchive> archive = LoadResourceArchive(module, id);
  return archive && archive->Read(name, bytes);
}

}  // namespace DuiLib
