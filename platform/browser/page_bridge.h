#pragma once

// The page's way to the client: every page the browser library hosts has one global function
//
//   tarvoPostMessage(key, value)
//
// that takes two texts and delivers them to the browser's delegate (OnJsMessageCallBack) on the
// UI thread, the key as the message head's key (at most 63 characters kept), the value as it
// is. The client's page requests use the key "jsEvent". Both the engine and the scriptable
// page answer to this name.
inline constexpr char kPageMessageFunction[] = "tarvoPostMessage";
