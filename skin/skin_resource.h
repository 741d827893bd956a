#pragma once

// The skin archive linked into TarvoLive.exe (shell/TarvoLive.rc.in writes the same numbers):
//   FindResourceW(module, MAKEINTRESOURCEW(kSkinResourceId), kSkinResourceType)
constexpr int kSkinResourceId = 130;
constexpr const wchar_t* kSkinResourceType = L"ZIPRES";
