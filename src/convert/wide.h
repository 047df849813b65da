// UTF-16 as Windows holds a name: a unit is wchar_t there, and char16_t in
// the native build, whose tests and fuzzing run the same code.
#pragma once

#include <cstddef>

#if defined(_WIN32)
typedef wchar_t WideChar;
#define WIDE(text) L##text // a literal of WideChar
#else
typedef char16_t WideChar;
#define WIDE(text) u##text
#endif

// The NTFS and FAT limit for one name, and a buffer for one.
constexpr size_t MAX_NAME_UNITS = 255;
typedef WideChar WideName[MAX_NAME_UNITS + 1];
