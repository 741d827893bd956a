#pragma once

#include <string>

#include "foundation/lock.h"

struct StAppConfig;

// The main window's own settings that live in the configuration file.
struct StFrameConfig {
  bool test_use = false;  // "test_use": use the test update host.
  std::string page_url;   // "pageurl": the start page, when the file names one.
};

// The client's configuration file: "config.ini" in the program's application-data folder,
// section "LiveConfig", read and written with the private-profile functions. Values are narrow
// texts in the system code page.
//
// Threads: LoadConfig runs once on the UI thread; SaveConfig may also run on the SDK's threads
// and is serialised; the Read and Write helpers are safe from any thread.
class CConfigFile {
 public:
  explicit CConfigFile(std::wstring path);

  const std::wstring& path() const { return path_; }

  // A missing key gives an empty text; longer values are cut to 259 characters.
  std::string ReadConfigString(const char* key) const;
  // A missing key gives -1; a text that does not start with a number gives 0.
  int ReadConfigInt(const char* key) const;
  void WriteConfigString(const char* key, const std::string& value) const;

  // Reads the keys into the settings record and the main window's fields: 0/1 numbers only when
  // present, texts always (a missing key empties the field) except "picture_path" (only when
  // that file exists) and "pageurl" (only when not empty). A missing "resolution" clears the
  // record's resolution-chosen flag.
  void LoadConfig(StAppConfig& config, StFrameConfig& frame) const;
  // Writes the record's keys back; keys it does not know stay in the file.
  void SaveConfig(StAppConfig& config);

 private:
  std::wstring path_;
  CxLock save_lock_;  // Serialises SaveConfig.
};

// "<roaming application data>\TarvoLive\config.ini" (the folder is created when missing).
std::wstring GetDefaultConfigPath();
