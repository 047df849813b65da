// Paths as Windows holds them: UTF-16, up to 32,767 units, a name of at
// most 255. Below 260 units the file functions take a path as it is; from
// 260 on, a Windows without the LongPathsEnabled setting (the default) needs
// the extended form "\\?\C:\..." or "\\?\UNC\server\share\...", made from
// the full path, which the file functions then take literally. The file
// calls here use it at any length: a plain path also loses a trailing blank
// or dot, and names made on a Mac or on Linux end in one.
//
// No Windows header: the full-path service comes in as a function, so the
// forming is tested natively.
#pragma once

#include <cstddef>

#include "convert/wide.h"

// The longest path Windows can hold, and a buffer for one with its
// terminator.
constexpr size_t MAX_PATH_UNITS = 32767;
constexpr size_t WIDE_PATH_SIZE = MAX_PATH_UNITS + 1;
typedef WideChar WidePath[WIDE_PATH_SIZE];

// From this length on (MAX_PATH, terminator not counted) a plain path is
// refused where long paths are not enabled.
constexpr size_t PLAIN_PATH_LIMIT = 260;

// Writes the full form of path (made absolute: relative parts, '/' and
// ".." resolved) to out, capacity units with the terminator, and returns its
// length, or 0 when it cannot be had or does not fit. GetFullPathNameW on
// Windows.
typedef size_t (*FullPathFunction)(const WideChar* path, WideChar* out, size_t capacity);

// True for a path the file functions take literally: "\\?\..." and the
// device form "\\.\...".
bool IsExtendedPath(const WideChar* path);

// The full form of path (any form the user may give, but not an extended
// one) in out, and its length; 0 when it cannot be had or does not fit.
// Unlike the system's full-path service, every part is kept as written, a
// trailing blank or dot too: "memo " stays "memo ". '/' becomes '\',
// doubled separators and "." go, ".." takes the part before it off (never
// the root). Only the start of a path that is not full goes through
// fullPath: "." for the current folder, "C:" for a drive's ("C:x"), "\"
// for the current drive's root ("\x").
size_t FullPathKeepingParts(const WideChar* path, FullPathFunction fullPath, WideChar* out, size_t capacity);

// The path to hand the file functions for path (any form the user may
// give) in out: a path already in the extended form as it is; any other
// made full (FullPathKeepingParts) and put in the extended form
// ("\\server\share\x" becomes "\\?\UNC\server\share\x"), which the
// file functions take literally, whatever its length. Returns false when it
// cannot be had or does not fit.
bool FileCallPath(const WideChar* path, FullPathFunction fullPath, WideChar* out, size_t capacity);

// The plain form of a path that FileCallPath made, in place: the prefix
// taken off again ("\\?\UNC\server\x" becomes "\\server\x"). Any other path
// is left as it is.
void TakeOffExtendedPrefix(WideChar* path);

// The separator a path is joined with: Windows takes '/' too, a POSIX
// system only '/'.
#if defined(_WIN32)
constexpr WideChar PATH_SEPARATOR = '\\';
#else
constexpr WideChar PATH_SEPARATOR = '/';
#endif

// Index of the first unit of the name in path: after the last '\\' or '/',
// else after a drive prefix ("C:a b.txt"), else 0.
size_t NameStart(const WideChar* path);

// Length of a NUL-terminated UTF-16 string, and copying one into out
// (capacity units with the terminator). Copy returns false, leaving out
// empty, when it does not fit.
size_t WideLength(const WideChar* text);
bool JoinWide(WideChar* out, size_t capacity, const WideChar* first, const WideChar* second);

// False when the two names surely differ by more than letter case, so a
// file system that ignores case cannot take one for the other: their
// lengths differ (a change of case keeps every unit), or at the same place
// an ASCII unit stands against another that no case mapping takes it to.
// True otherwise, also for equal names.
bool MayDifferOnlyInCase(const WideChar* a, const WideChar* b);
