#pragma once

// The texts the settings, device test and beauty settings windows hand to the settings record
// and the bus: a device list entry's identifier and name, the configured camera's name, and the
// paths of the program's default picture and test sound. UI thread (the entries are controls).

#include <string>

#include "platform/duilib/UIlib.h"

namespace device_texts {

// What combo_helper::FillDevices put into a device list's entry: its identifier (the user data)
// and its name (the text), both UTF-8; empty for no entry.
std::string EntryId(DuiLib::CControlUI* entry);
std::string EntryName(DuiLib::CControlUI* entry);

// The settings record's camera name in UTF-8, as the bus carries it; the record keeps it in the
// system code page (the configuration file's texts).
std::string ConfiguredCameraName();

// The picture shown in place of the camera while the user has chosen none,
// "<program folder>\res\defalutpic.jpg", in the system code page (as the record's picture path).
std::string DefaultPicturePath();
// The speaker test's sound, "<program folder>\res\test.mp3", UTF-8 (as the bus carries it).
std::string TestSoundPath();

}  // namespace device_texts
