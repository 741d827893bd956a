#pragma once

// GDI+ for the share windows. Its headers use min and max unqualified, and this build defines
// NOMINMAX.

#include <windows.h>

#include <algorithm>
using std::max;
using std::min;
#include <objidl.h>
#include <gdiplus.h>
