#pragma once

#include <windows.h>

#include <functional>

class CMainFrame;

// The client's start-up and shutdown: everything wWinMain does. Runs on the process's main
// thread, which becomes the UI thread; returns the process's exit code (0 on every path).
//
// In order: COM and OLE; the crash-dump filter; WM_COPYDATA admitted; DPI awareness and the UI
// scale; GDI+; the application-data folder; the command line logged; the file version; the main
// window object; the UI language and the language table; the instance mutex (a second instance
// hands its command line to the first and ends); the browser library with the hub as idle hook
// (a sub-process of it ends when its run does); the UI library's paths; the main window created
// and shown; the update check on a detached thread; the UI loop; then everything undone.
int RunClient(HINSTANCE instance, const wchar_t* command_line);

// The instance mutex (the client's is "tarvolive_zentavo", held for the life of the first
// instance). Creating keeps the handle and answers whether this process is the first to hold
// the name; closing closes the kept handle once and forgets it, so later calls do nothing. UI
// thread.
bool CreateInstanceMutex(const wchar_t* name);
void CloseInstanceMutex();

// What the start-up update check does when the updater has replaced the client's files and the
// client must end: the process is not ended from the update thread; on the UI thread the instance
// mutex is closed and the browser closed, and the close handshake ends the window and the loop.
std::function<void()> EndClientForUpdater(CMainFrame* frame);
