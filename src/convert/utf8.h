// Names between a POSIX system and the UTF-16 the conversions take. A Linux
// name is bytes, usually UTF-8 but not always (an old Shift-JIS name, an
// archive's raw bytes). Each byte that is no part of valid UTF-8 becomes a
// lone low surrogate U+DC80-U+DCFF, as Python's "surrogateescape" does: no
// valid UTF-8 makes one, so every Linux name comes back byte for byte, and
// whoever renames can tell a name that is not UTF-8 and leave it alone.
//
// Valid means the shortest form of a code point up to U+10FFFF that is not
// a surrogate.
#pragma once

#include <cstddef>

#include "convert/wide.h"

// bytes[0, length) as UTF-16 in out (capacity units, terminator included);
// *units is its length. False, out empty, when it does not fit.
bool Utf8ToWide(const char* bytes, size_t length, WideChar* out, size_t capacity, size_t* units);

// The way back: units[0, count) as bytes in out (capacity bytes, terminator
// included), an escape as its byte; *length is how many. False, out empty,
// when it does not fit or holds a surrogate no name can have come from (a
// high one alone, a low one outside the escapes).
bool WideToUtf8(const WideChar* units, size_t count, char* out, size_t capacity, size_t* length);

// Whether units hold an escaped byte: the name they came from is no UTF-8.
bool HoldsEscapedByte(const WideChar* units, size_t count);

// How many bytes of UTF-8 units[0, count) take, an escape as its one byte.
size_t Utf8Length(const WideChar* units, size_t count);
