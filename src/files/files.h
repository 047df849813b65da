// The file operations that renaming needs, on Windows: every path may be of
// any length Windows allows and is handed to the file functions in the form
// they need (see files/paths.h). Batch renaming and undo both rename through
// these, so both follow the same rules.
#pragma once

#include <cstddef>

#include "files/paths.h"

// GetFullPathNameW: the full form of path in out, its length, or 0 when it
// cannot be had or does not fit.
size_t FullPathOf(const WideChar* path, WideChar* out, size_t capacity);

// path in the form the file functions need (FileCallPath with the system's
// full-path service). False when it cannot be had or does not fit.
bool ForFileCalls(const WideChar* path, WideChar* out, size_t capacity);

// The long form of the existing folder or file path (every component by its
// long name; a full path stays full), in the plain form when it fits below
// PLAIN_PATH_LIMIT or came in so. False when it cannot be had or does not
// fit.
bool LongPathOf(const WideChar* path, WideChar* out, size_t capacity);

// The name of the entry at path as the file system spells it, in name.
// False when there is no such entry.
bool NameOnDisk(const WideChar* path, WideName name);

// Moves the file or folder from over to, never replacing anything: an
// existing target fails. Where the file system ignores case and the two
// differ only in case, the move that reports success yet changes nothing is
// made through a free temporary name in the same folder, and a failed second
// step gives the entry its old name back. Returns 0, or the Windows error.
unsigned long MoveWithoutReplacing(const WideChar* from, const WideChar* to);
