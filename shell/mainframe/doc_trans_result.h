#pragma once

// The document converter's report on one document, as it sends it in WM_COPYDATA: a JSON object
// with "md5" and "url" (strings) and "status", "totalpage" and "curpage" (numbers).

#include <string>

#include "shell/registry/local_file_list.h"

// Reads |json| into |doc|: each of the five keys that is present with its type (matched without
// regard to case; numbers as 32-bit integers) replaces the field, the others stay. Returns false,
// and leaves |doc| unchanged, when the text is no JSON object or has no "md5" string: such a
// report names no document. Any thread.
bool ParseDocTransResult(const std::string& json, LocalDocumentInfo* doc);
