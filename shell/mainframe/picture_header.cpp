#include "shell/mainframe/picture_header.h"

#include <windows.h>

#include "foundation/handle.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include "stb_image.h"
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

// stb_image's reader over a file handle: it reads the header as far as it needs.
struct FileReader {
  HANDLE file;
  bool end = false;
};

int Read(void* user, char* data, int size) {
  auto* reader = static_cast<FileReader*>(user);
  DWORD got = 0;
  if (size <= 0 || !ReadFile(reader->file, data, static_cast<DWORD>(size), &got, nullptr) ||
      got == 0) {
    reader->end = true;
    return 0;
  }
  return static_cast<int>(got);
}

void Skip(void* user, int n) {
  auto* reader = static_cast<FileReader*>(user);
  LARGE_INTEGER move;
  move.QuadPart = n;
  if (!SetFilePointerEx(reader->file, move, nullptr, FILE_CURRENT)) reader->end = true;
}

int Eof(void* user) { return static_cast<FileReader*>(user)->end ? 1 : 0; }

}  // namespace

bool ReadPictureSize(const std::wstring& path, int* width, int* height) {
  CxHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  FileReader reader{file.Get()};
  const stbi_io_callbacks callbacks{Read, Skip, Eof};
  int w = 0;
  int h = 0;
  int channels = 0;
  if (!stbi_info_from_callbacks(&callbacks, &reader, &w, &h, &channels) || w <= 0 || h <= 0) {
    return false;
  }
  *width = w;
  *height = h;
  return true;
}
