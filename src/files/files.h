// The file operations of the program. The first part serves the program's
// own files beside the executable (config.dat, history.txt) and is built on
// every platform, so the tests run natively. The second serves renaming;
// on a POSIX system it holds what entries_posix.cpp and walk_posix.cpp
// share. On Windows every path may be of any length Windows allows and is
// handed to the file functions in the form they need (see files/paths.h).
// Batch renaming and undo both rename through these, so both follow the
// same rules.
#pragma once

#include <cstddef>
#include <cstdio>

#include "files/paths.h"

// ------------------------------------------------ the program's own files

// Paths as the platform's file functions take them. Windows names files in
// UTF-16, so the program's files are found and opened through the wide API
// and no code page stands between the program and its own folder.
#if defined(_WIN32)
typedef wchar_t PathChar;
#else
typedef char PathChar;
#endif

// Size of a path buffer, in PathChars: the longest path Windows can hold,
// so the executable may lie at any depth.
constexpr size_t PATH_BUFFER_SIZE = WIDE_PATH_SIZE;

// The executable's own path; false when it cannot be had or does not fit.
bool GetExecutablePath(PathChar* buffer, size_t size);

// The file called name (ASCII) in the folder of exePath (the folder keeps
// its trailing separator). False when exePath has no separator or the
// result does not fit in size PathChars.
bool PathBesideExecutable(const PathChar* exePath, const char* name, PathChar* buffer, size_t size);

// The same beside this executable; false also when its path cannot be had.
bool FileBesideExecutable(const char* name, PathChar* buffer, size_t size);

// Where a user's own file lies on a POSIX system, by the XDG base
// directory rules: base (the value of $XDG_CONFIG_HOME or
// $XDG_STATE_HOME, null when unset), "/blankmender/", name; without a base,
// or with one that is not absolute (which those rules say to ignore),
// home + "/" + fallback (".config", ".local/state") instead. False
// when neither gives an absolute folder or the path does not fit in size
// bytes.
bool UserFilePath(const char* base, const char* home, const char* fallback, const char* name, char* buffer,
                  size_t size);

// Opens path for reading or writing, bytes as they are. Paths of any
// length are handed to the file functions in the form they need.
FILE* OpenFile(const PathChar* path, bool forWriting);
// Moves from over to, replacing to if it exists. True on success.
bool MoveFileReplacing(const PathChar* from, const PathChar* to);
// Deletes the file at path, if it can.
void RemoveFile(const PathChar* path);
// This process's id, which keeps the temporary names of two processes
// apart.
unsigned long CurrentProcessId();

// A file saved whole or not at all: written in full under a temporary name
// in the same folder ("<path>.<process id>.tmp"), then moved over path, so
// a failure or an interruption leaves the old file as it was and a reader
// never sees a part. Start, write any number of times, then finish.
struct AtomicSave {
    FILE* file;
    bool ok;
    const PathChar* path;
    PathChar temporary[PATH_BUFFER_SIZE + 24];
};
bool StartAtomicSave(AtomicSave* save, const PathChar* path);
void WriteAtomicSave(AtomicSave* save, const char* bytes, size_t length);
// Moves the new file over the old one when everything was written, else
// removes it. True when the file at path is the new one.
bool FinishAtomicSave(AtomicSave* save);
// All of it at once.
bool SaveFileAtomically(const PathChar* path, const char* bytes, size_t length);

#if defined(_WIN32)
// ------------------------------------------------ renaming, on Windows

// GetFullPathNameW: the full form of path in out, its length, or 0 when it
// cannot be had or does not fit.
size_t FullPathOf(const WideChar* path, WideChar* out, size_t capacity);

// path in the form the file functions need (FileCallPath with the system's
// full-path service): always the extended form, every part kept as
// written. False when it cannot be had or does not fit.
bool ForFileCalls(const WideChar* path, WideChar* out, size_t capacity);

// The full form of a path the user gave, every part kept as written
// (FullPathKeepingParts with the system's service), in out: plain, as the
// history records it. Its length, or 0.
size_t GivenFullPath(const WideChar* path, WideChar* out, size_t capacity);

// The names in one folder, exactly as the file system spells them, with
// their attributes, listed once when many given paths lie in it. A path
// whose name is spelled exactly like a listed one needs no lookup of its
// own: the lookup could only give that name back. Anything else (another
// case, a short name, a name an earlier move made) is looked up as before,
// and a listed name that a move has taken away since fails at its own
// move, as its lookup would have. Under Wine a lookup costs a good part of
// a move.
constexpr unsigned LIST_AFTER_PATHS = 8;
constexpr size_t LISTED_NAMES = 8192;
constexpr size_t LISTED_UNITS = 1 << 18;

struct ListedName {
    const WideChar* name;
    unsigned long attributes;
    unsigned long reparseTag;
};

// The long form of the folder the last given path lay in, kept for the
// next path of the same folder. Files dropped together share their folder,
// and resolving it costs one directory lookup per component: it made a
// batch several times slower than the moves themselves.
struct GivenFolder {
    WidePath folder;     // as the full paths write it, with its separator; empty: nothing kept
    WidePath longFolder; // its long form, with its separator
    unsigned paths;      // paths of the folder so far
    size_t count;        // names listed; 0: nothing listed
    ListedName names[LISTED_NAMES];
    WideChar text[LISTED_UNITS];
};

// The paths the calls below hand the file functions, in the form those
// take, and what they keep from one call to the next about the folder they
// work in. Whoever renames many entries (a batch, an undo) owns one and
// passes it to every call, so no call keeps a path of its own.
struct FileCallPaths {
    WidePath from;
    WidePath to;
    WidePath lookup;
    WidePath temporary;
    WidePath callTemporary;
    WidePath given;
    GivenFolder givenFolder;
    // The folder whose entries were last checked (with its separator;
    // empty: none), its final path (with its separator), and an entry's.
    WidePath checkedFolder;
    WidePath checkedFinal;
    WidePath entryFinal;
    // The top folder of the walk under way (empty: none) and its final
    // path (empty: not asked yet).
    WidePath walkTop;
    WidePath walkTopFinal;
    // What the system says an open entry is called, the name behind its
    // header.
    alignas(8) unsigned char objectName[2 * WIDE_PATH_SIZE + 64];
};

// The long form of the existing folder or file path (every component by its
// long name; a full path stays full), in the plain form when it fits below
// PLAIN_PATH_LIMIT or came in so. False when it cannot be had or does not
// fit.
bool LongPathOf(const WideChar* path, WideChar* out, size_t capacity, FileCallPaths* paths);

// The name of the entry at path as the file system spells it, in name.
// False when there is no such entry.
bool NameOnDisk(const WideChar* path, WideName name, FileCallPaths* paths);

// The walk lists the folder at path (full, no trailing separator): a
// folder, and no link, and the folders in it that it enters neither. Their
// final paths are then the walk's top's and the rest of their paths, and
// CheckEntryIsItself need not open each.
void NoteWalkedFolder(const WideChar* path, FileCallPaths* paths);

// Moves the file or folder from over to, never replacing anything: an
// existing target fails. Where the file system ignores case and the two
// differ only in case, the move that reports success yet changes nothing is
// made through a free temporary name in the same folder, and a failed second
// step gives the entry its old name back. What paths keeps about a folder
// that was from, or lay in it, is forgotten. Returns 0, or the Windows
// error. entries.h's MoveEntry.
unsigned long MoveWithoutReplacing(const WideChar* from, const WideChar* to, FileCallPaths* paths);
#else
// ------------------------------------------------ renaming, on a POSIX system

// A path's bytes: UTF-8 takes at most three bytes for each UTF-16 unit (a
// surrogate pair takes four for two), and an escaped byte one.
constexpr size_t SYSTEM_PATH_SIZE = 3 * MAX_PATH_UNITS + 1;

// The bytes the calls below hand the system, made from the UTF-16 paths
// they are given. Whoever renames many entries (a batch, an undo) owns one
// and passes it to every call (entries.h, walk.h).
struct FileCallPaths {
    char from[SYSTEM_PATH_SIZE];
    char to[SYSTEM_PATH_SIZE];
    char lookup[SYSTEM_PATH_SIZE];
    WidePath given;
    WideName listed;
};

// The UTF-16 path as the bytes the system names it by (convert/utf8.h), in
// out (SYSTEM_PATH_SIZE bytes). False when it holds a surrogate no name on
// disk can have given, or does not fit.
bool SystemPathOf(const WideChar* path, char* out);

// The full form of a path the user gave, made without the file system:
// relative to the current folder, "." and doubled or trailing '/' gone,
// ".." taking the part before it off (never the root), as Windows makes a
// full path. So "link/.." is the folder the link lies in, not the one above
// its target. Its length, or 0 when it cannot be had or does not fit.
size_t GivenFullPath(const WideChar* path, WideChar* out, size_t capacity);

// A Windows error number for errno, as the history and the batch tell
// them: missing is what ENOENT stands for where it arises (2 for a file, 3
// for a folder on the way).
unsigned long ErrorNumberOf(int error, unsigned long missing);
#endif
