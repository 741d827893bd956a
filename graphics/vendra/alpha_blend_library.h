#pragma once

// msimg32 and its AlphaBlend, shared by every graphics system of the process. Each live system
// holds the library; it is loaded with the first hold and unloaded with the last, so one
// system's destruction never takes AlphaBlend away from another. Thread-safe.

#include <windows.h>

namespace vendra {

using AlphaBlendFunction = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int,
                                         BLENDFUNCTION);

// Takes a hold; returns AlphaBlend, or null when msimg32 or the entry is missing.
AlphaBlendFunction AcquireAlphaBlend();

// Drops a hold. Returns FreeLibrary's result when this unloaded msimg32, else 0.
int ReleaseAlphaBlend();

}  // namespace vendra
