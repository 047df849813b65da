// What renaming asks of the file system, on any platform: find a given
// path, list a folder (walk.h), tell a link, tell a folder the system and
// other programs rely on, and move without replacing. files_win.cpp and
// walk_win.cpp answer on Windows (and under Wine), files_posix.cpp and
// walk_posix.cpp on a POSIX system; everything above them is portable.
//
// Paths are UTF-16 on every platform (WideChar): the POSIX backend takes
// them to UTF-8 and back at its own calls. Errors are Windows error
// numbers on every platform too: the history records them and tells its
// reasons from them, whichever system wrote it.
#pragma once

#include <cstddef>

#include "files/paths.h"

// The errors a batch records that are not a move's own.
constexpr unsigned long ERROR_NUMBER_FILE_NOT_FOUND = 2;
constexpr unsigned long ERROR_NUMBER_ACCESS_DENIED = 5;    // a guarded folder
constexpr unsigned long ERROR_NUMBER_ALREADY_EXISTS = 183;
constexpr unsigned long ERROR_NUMBER_INVALID_NAME = 123;
constexpr unsigned long ERROR_NUMBER_NAME_TOO_LONG = 206;  // ERROR_FILENAME_EXCED_RANGE
// Left alone because it stands for another place: a link, or under Wine a
// file whose final path is not where it was listed.
constexpr unsigned long ERROR_NUMBER_STOPPED_ON_SYMLINK = 681;
// A name that is not valid UTF-8 on a POSIX system (no UTF-16 can hold it).
constexpr unsigned long ERROR_NUMBER_NO_UNICODE_TRANSLATION = 1113;
// The file system cannot move without replacing (renameat2 refused
// RENAME_NOREPLACE): left alone rather than risk a race.
constexpr unsigned long ERROR_NUMBER_NOT_SUPPORTED = 50;
// A POSIX error with no Windows counterpart: errno with the bit Windows
// keeps for numbers no system error uses, so it can never be taken for one.
constexpr unsigned long ERROR_NUMBER_FROM_ERRNO = 0x20000000;

// The buffers one renamer (a batch, an undo) hands every call below, so no
// call keeps a path of its own from one call to the next. Owned by the
// caller; large, so never on the stack.
struct FileCallPaths;
FileCallPaths* NewFileCallPaths();
void FreeFileCallPaths(FileCallPaths* paths);

// What a given path names. link means "moving it would move something
// else, or something the system relies on": it keeps its name. On Windows
// (and under Wine, where MoveFileW moves a link's target) every link is
// one. On a POSIX system a symbolic link given itself is no link here:
// rename() renames the link, never its target, and the user named it. Only
// a link the guard refuses (/bin, a $HOME that is a link) counts as one, so
// that it keeps its name. A link met in a walk is never renamed (walk.h).
struct FoundEntry {
    size_t nameAt; // where the entry's name starts in the full path
    bool folder;   // a folder (a link to one counts as a link, not a folder)
    bool link;     // stands for another place: a symbolic link, a junction,
                   // or a file Wine lists as plain whose target lies elsewhere
    bool hidden;   // the hidden attribute, or a name starting with a dot
    // Added for the batch: a symbolic link that is renamed as itself (a
    // POSIX link given, link false), so CheckEntryIsItself, which tells a
    // link as one, is not asked before its move. Only a backend where this
    // happens sets it; callers zero the struct, and Windows' FindGivenEntry
    // leaves it false.
    bool symbolicLink;
};

// The full path of a path the user gave (relative, with '/' or "..", in
// short form: anything the system takes) in full: absolute, every folder
// in its long form, the name as the file system spells it, and no part
// trimmed of a trailing blank or dot. Returns 0, or the error that kept it
// from being found (ERROR_NUMBER_FILE_NOT_FOUND, _NAME_TOO_LONG, ...).
unsigned long FindGivenEntry(const WideChar* given, WideChar* full, size_t capacity, FoundEntry* found,
                             FileCallPaths* paths);

// Just before a move of the entry at path (full, as found or listed): 0
// when it is the entry itself, where it was found; ERROR_NUMBER_STOPPED_ON_SYMLINK
// when it stands for another place; else the error of the check. Costs
// nothing where the listing already tells links apart. On a POSIX system
// it is one lstat: gone is ERROR_NUMBER_FILE_NOT_FOUND, and a symbolic link
// is ERROR_NUMBER_STOPPED_ON_SYMLINK (a link that took the place of what
// was listed); so whoever moves a link it means to move (a given one,
// FoundEntry.symbolicLink, or its undo) does not ask.
unsigned long CheckEntryIsItself(const WideChar* path, FileCallPaths* paths);

// Whether a listed or given name can be renamed at all: 0, or
// ERROR_NUMBER_NO_UNICODE_TRANSLATION for a POSIX name that is no UTF-8
// (its bytes kept as escapes, convert/utf8.h), which no conversion may
// touch. Windows holds any UTF-16, a lone surrogate too.
unsigned long CheckNameBytes(const WideChar* name, size_t length);

// Moves the file or folder from over to, never replacing anything: an
// existing target fails. A move that only changes the case of the name
// works where the file system ignores case. Returns 0, or the error.
unsigned long MoveEntry(const WideChar* from, const WideChar* to, FileCallPaths* paths);

// Listing a folder is walk.h's ListFolderOnDisk; the folders a batch must
// leave alone are walk.h's IsGuardedOnThisSystem.
