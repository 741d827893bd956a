#pragma once

// The export macro of Morlun.dll: its C functions and engine interface classes are exported
// when the library itself is built and imported by its users.
#ifndef MORLUN_API
#if defined(MORLUN_BUILD)
#define MORLUN_API __declspec(dllexport)
#else
#define MORLUN_API __declspec(dllimport)
#endif
#endif
