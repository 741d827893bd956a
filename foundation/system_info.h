#pragma once

// Queries of the Windows version and architecture. Thread-safe.

// True when Windows itself is 64-bit (x64 or Itanium), also for this 32-bit program.
bool Is64BitWindows();

// The operating system's major and minor version and build number (low 16 bits), from
// ntdll's RtlGetNtVersionNumbers. Returns false, leaving the arguments unchanged, when ntdll
// or the function is missing.
bool GetNtVersionNumbers(unsigned long& major, unsigned long& minor, unsigned long& build);

// The same through |function| of the library |module|, which must have the shape of
// RtlGetNtVersionNumbers; false, leaving the arguments unchanged, when either is missing.
bool GetNtVersionNumbersFrom(const wchar_t* module, const char* function, unsigned long& major,
                             unsigned long& minor, unsigned long& build);
