#pragma once

#include <windows.h>

// The main window's private messages, window timers and WM_COPYDATA commands. The values are
// fixed: other processes (a second instance, the document converter) and the page bridge use
// them.

// Private messages, all posted to the main window.
constexpr UINT kMsgPageRequest = 0xC4A;    // a page request for the UI thread
constexpr UINT kMsgShareResult = 0xC4B;    // the SDK layer's share result
constexpr UINT kMsgUpdateNow = 0xC4C;      // run the updater now (on the UI thread)
constexpr UINT kMsgReloadLogin = 0xD0C;    // load the login page again
constexpr UINT kMsgWindowReady = 0xD0D;    // the window is initialised: make the SDK layer
constexpr UINT kMsgBackToStart = 0x14E1;   // sent from outside: back to the start state

// Window timers (identifiers and periods in ms).
constexpr UINT_PTR kTimerPageReady = 0xCA3;  // start screen -> page
constexpr UINT kPageReadyMs = 500;
constexpr UINT_PTR kTimerLoadRetry = 0xC4D;  // load the page again after an error
constexpr UINT kLoadRetryMs = 5000;
constexpr UINT_PTR kTimerNetLevel = 0xCFE;  // network-level report to the page
constexpr UINT kNetLevelMs = 1000;
constexpr UINT_PTR kTimerLoginRetry = 0xCFF;  // login retries after the session ended
constexpr UINT kLoginRetryMs = 10000;
constexpr UINT_PTR kTimerLiveStart = 0xD00;  // once after live mode began
constexpr UINT kLiveStartMs = 600;
constexpr UINT_PTR kTimerPublishReady = 0xD01;  // once: apply the user's own mutes
constexpr UINT kPublishReadyMs = 500;
constexpr UINT_PTR kTimerShareStart = 0xD03;  // ask for the share stream once a frame came
constexpr UINT kShareStartMs = 500;
constexpr UINT_PTR kTimerResendFrame = 0xD04;  // resend the last local frame
constexpr UINT kResendFrameMs = 40;
constexpr UINT_PTR kTimerDocPacing = 0xD05;  // start the next waiting document's conversion
constexpr UINT kDocPacingMs = 5000;
constexpr UINT_PTR kTimerPubReconnect = 0xD06;  // publish reconnect supervision
constexpr UINT_PTR kTimerSubReconnect = 0xD07;  // subscribe reconnect supervision
constexpr UINT kReconnectMs = 10000;
constexpr UINT_PTR kTimerCpuUsage = 0xD08;  // processor usage, first sample
constexpr UINT kCpuUsageMs = 5000;
constexpr UINT_PTR kTimerCpuSecondSample = 0xD09;  // once: the second sample, 500 ms later
constexpr UINT kCpuSecondSampleMs = 500;
constexpr UINT_PTR kTimerUnlayer = 0xD0B;  // switch the layered style off
constexpr UINT kUnlayerMs = 1000;

// WM_COPYDATA commands (wParam).
constexpr WPARAM kCopyDataFirst = 1000;
constexpr WPARAM kCopyDataLaunch = 1000;  // a second instance's command line
// The document converter: its window handle in decimal; its JSON report on a document; the
// cancel that the client sends it (the document id); its "convert this one again" (JSON).
constexpr WPARAM kCopyDataConverterWindow = 1001;
constexpr WPARAM kCopyDataConverterReport = 1002;
constexpr WPARAM kCopyDataConverterCancel = 1003;
constexpr WPARAM kCopyDataConverterRetry = 1005;
constexpr WPARAM kCopyDataLast = 1005;
// The copy-data buffer: at most this many bytes minus one are kept, so the text stays
// terminated.
constexpr size_t kCopyDataBuffer = 2048;

// Login retries before the page is told that the session ended.
constexpr int kLoginRetryLimit = 5;
// Reconnect supervision: the tick that tells the page "reconnecting" and the last tick.
constexpr int kReconnectNoticeTick = 7;
constexpr int kReconnectLastTick = 14;
// Processor usage above this (in percent) warns the page.
constexpr int kCpuUsageWarning = 80;

// The window's sizes: the login look and the live look's minimum (times the UI scale).
constexpr int kLoginWidth = 400;
constexpr int kLoginHeight = 640;
constexpr int kLiveMinWidth = 1208;
constexpr int kLiveMinHeight = 720;

// Icon resource of the program (big and small window icons).
constexpr int kMainIconId = 107;
