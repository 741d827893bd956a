#pragma once

#include <cstddef>
#include <cstdint>

// The start record handed to CWebRun::init_cef: 1840 bytes, texts NUL-terminated and
// zero-padded, all narrow except the sub-process file name (UTF-16).
struct cef_run_settting {
  cef_run_settting();  // single_process = 1, everything else 0.

  uint8_t single_process;     // 1 by default; this implementation always runs in process.
  uint8_t reserved1[9];       // Zero.
  uint8_t log_enabled;        // The client sets 1: render_log_path names the render log.
  uint8_t reserved2[5];       // Zero.
  char cache_path[260];       // Empty: no cache on disk.
  char resources_path[260];   // Empty: resources next to the program.
  char locale[260];           // "zh_CN", "zh_TW" or "en_US".
  char user_agent[260];       // The user-agent text pages see.
  char render_log_path[260];  // Where the render process writes its log.
  wchar_t sub_process[260];   // File name of the render sub-process program.
  uint32_t background_color;  // 0xAARRGGBB; host windows are painted with it before a page.
};

static_assert(sizeof(cef_run_settting) == 1840, "cef_run_settting is a fixed record");
static_assert(offsetof(cef_run_settting, log_enabled) == 10, "layout");
static_assert(offsetof(cef_run_settting, cache_path) == 16, "layout");
static_assert(offsetof(cef_run_settting, locale) == 536, "layout");
static_assert(offsetof(cef_run_settting, user_agent) == 796, "layout");
static_assert(offsetof(cef_run_settting, render_log_path) == 1056, "layout");
static_assert(offsetof(cef_run_settting, sub_process) == 1316, "layout");
static_assert(offsetof(cef_run_settting, background_color) == 1836, "layout");
