#pragma once

#include <string>

// The process-wide skin: 0 (blue) at start; a login may choose 1 (orange) for the rest of the
// run. Every window takes its layout file from GetSkinFile. Thread-safe.
enum SkinIndex { kSkinBlue = 0, kSkinOrange = 1 };

int GetSkinIndex();
void SetSkinIndex(int index);  // values other than 0 and 1 are ignored

// Layout files by frame index (0 to 16), in the folder of the current skin, for example
// "xml/blue/main_frame.xml". An index outside 0 to 16 gives an empty text.
std::wstring GetSkinFile(int frame_index);
