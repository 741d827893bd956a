#include "platform/duilib/ui_resource.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>

#include "platform/duilib/ui_base.h"
#include "platform/duilib/ui_manager.h"

namespace DuiLib {

namespace {

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
  uLong n = std::min(size, stream->size - stream->pos);
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
  if (base + offset > stream->size) return -1;
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
  MemoryStream stream{static_cast<const unsigned char*>(data), static_cast<uLong>(size), 0};
  zlib_filefunc_def funcs{MemOpen, MemRead,  MemWrite, MemTell,
                          MemSeek, MemClose, MemError, &stream};
  unzFile zip = unzOpen2("memory", &funcs);
  if (!zip) {
    UiLog(UiLogLevel::kError, L"skin archive is not a readable ZIP (%u bytes)",
          static_cast<unsigned>(size));
    return nullptr;
  }
  auto archive = std::unique_ptr<CZipArchive>(new CZipArchive);
  bool ok = true;
  for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
    char name[512];
    unz_file_info info{};
    if (unzGetCurrentFileInfo(zip, &info, name, sizeof(name), nullptr, 0, nullptr, 0) != UNZ_OK) {
      ok = false;
      break;
    }
    std::string bytes(info.uncompressed_size, '\0');
    if (unzOpenCurrentFile(zip) != UNZ_OK) {
      ok = false;
      break;
    }
    int read =
        bytes.empty() ? 0 : unzReadCurrentFile(zip, &bytes[0], static_cast<unsigned>(bytes.size()));
    int close_rc = unzCloseCurrentFile(zip);  // reports a CRC mismatch
    if (read != static_cast<int>(bytes.size()) || close_rc != UNZ_OK) {
      UiLog(UiLogLevel::kError, L"skin archive entry %hs is damaged", name);
      ok = false;
      break;
    }
    std::wstring key = NormalizeResourceName(Utf8ToWide(name));
    if (!key.empty() && key.back() != L'/') archive->entries_[key] = std::move(bytes);
  }
  unzClose(zip);
  if (!ok) return nullptr;
  return archive;
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
  std::wstring path = CPaintManagerUI::GetResourcePath();
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  path += name;
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (64 << 20);
  if (ok) {
    bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    ok = bytes->empty() ||
         (ReadFile(file, &(*bytes)[0], static_cast<DWORD>(bytes->size()), &read, nullptr) &&
          read == bytes->size());
  }
  CloseHandle(file);
  return ok;
}

bool CResourceStore::ReadFromZipResource(HMODULE module, UINT id, const std::wstring& name,
                                         std::string* bytes) {
  std::shared_ptr<CZipArchive> archive = LoadResourceArchive(module, id);
  return archive && archive->Read(name, bytes);
}

}  // namespace DuiLib
