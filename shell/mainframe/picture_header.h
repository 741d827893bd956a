#pragma once

// The size of a picture file read from its header (PNG, JPEG, BMP), without decoding its pixels:
// a picture of 10240 x 10240 pixels would need 400 MB to load, more than a 32-bit process can
// count on.

#include <string>

// True with the width and height when |path| (UTF-16) opens and starts with a header of one of
// the three formats; false otherwise (both left unchanged). Any thread.
bool ReadPictureSize(const std::wstring& path, int* width, int* height);
