// The walk of a dropped folder's tree, in the order a renamer needs:
//
// - Contents first. Every entry of a folder is handed out before the folder
//   itself, and the dropped folder comes last, so that renaming an entry
//   never leaves the path of one still to come stale.
// - List, then act. A folder is listed whole, and its listing kept, before
//   anything in it is handed out: a rename while FindNextFileW runs can show
//   an entry twice or hide one. The names handed out are the listing's, as
//   the file system spells them.
// - Never through another place. Hidden entries (the attribute, or a name
//   starting with a dot) and reparse points that stand for another place
//   are neither entered nor handed out (see WalkTakesEntry).
//
// The state is explicit: one TreeWalk holds a stack of listings, one per
// folder on the way down, so its memory grows with the listings of the
// deepest branch, never with the whole tree. No Windows header: the listing
// comes in as a function, so the order and the rules are tested natively.
#pragma once

#include <cstddef>

#include "files/paths.h"

// The attribute bits (FILE_ATTRIBUTE_*) a listing gives that matter here.
constexpr unsigned long ENTRY_HIDDEN = 0x2;
constexpr unsigned long ENTRY_DIRECTORY = 0x10;
constexpr unsigned long ENTRY_REPARSE_POINT = 0x400;
// On a POSIX system: the name on disk is not UTF-8. Its name as listed
// holds each byte that is no part of valid UTF-8 as the lone surrogate
// U+DC00+byte (convert/utf8.h), which no valid UTF-8 makes, so the file
// calls take it back to the very same bytes and HoldsEscapedByte tells it
// from the name alone. No Windows attribute uses the bit.
constexpr unsigned long ENTRY_NOT_UTF8 = 0x80000000;

// Reparse tags. A name surrogate (junction, symbolic link, mount point)
// stands for another place. The cloud family, IO_REPARSE_TAG_CLOUD and its
// variants 0x9000X01A, are OneDrive's files on demand: placeholders of
// entries that belong here.
constexpr unsigned long REPARSE_TAG_NAME_SURROGATE = 0x20000000;
constexpr unsigned long REPARSE_TAG_CLOUD = 0x9000001A;
constexpr unsigned long REPARSE_TAG_CLOUD_VARIANTS = 0x0000F000;

// Whether the walk takes a listed entry: enters it if it is a folder, and
// hands it out for renaming. Not ".", "..", nor any name that starts with a
// dot (.git, .DS_Store); nothing hidden; no reparse point but a cloud file.
// Any other tag counts as a link, the unknown ones too: Wine lists a link
// to a folder with tag 0, and moving a link there moves its target, even
// one outside the tree.
bool WalkTakesEntry(const WideChar* name, unsigned long attributes, unsigned long reparseTag);

struct TreeWalk;

// Lists the folder at path (full, without a trailing separator) whole,
// handing each entry to AddListedEntry. Returns 0, or the Windows error
// that kept it from being listed; the walk then leaves that folder alone.
typedef unsigned long (*ListFolderCall)(void* context, const WideChar* path, TreeWalk* walk);

struct FolderLister {
    ListFolderCall list;
    void* context;
};

// One entry of the folder being listed (name: length units, not
// necessarily terminated). Returns false when there is no memory left to
// keep it: the lister should stop, and the folder counts as not listed.
bool AddListedEntry(TreeWalk* walk, const WideChar* name, size_t length, unsigned long attributes,
                    unsigned long reparseTag);

// ERROR_NOT_ENOUGH_MEMORY: a listing the walk could not keep.
constexpr unsigned long WALK_NO_MEMORY = 8;

// What the walk hands out, one entry at a time.
struct WalkStep {
    // The entry's full path: its folder's path (as the walk was started
    // with, then the listed names), a separator and its name. It lives in
    // the walk and holds until the next step.
    const WideChar* path;
    size_t nameAt; // where the name starts in path
    bool folder;
    // 0; or, for a folder that could not be listed, the error: nothing in
    // it was handed out, and it should be left alone itself.
    unsigned long error;
};

// The entries of the listing being made (a stack, the current folder's on
// top) and the folders on the way down. Used as a stack of growing
// buffers: a folder done gives its room back to the next one.
struct ListedEntry {
    size_t nameAt; // in names
    size_t length;
    bool folder;
};

struct WalkLevel {
    size_t firstEntry; // this folder's listing: entries [firstEntry, entryCount)
    size_t next;       // the next of them to hand out
    size_t count;
    size_t firstName;  // its names from here in names
    size_t pathLength; // the folder's own path: path[0, pathLength)
    size_t nameAt;     // where the folder's name starts in path
};

// Sees every name a listing gives, those the walk leaves alone too (a
// hidden file still holds its name in its folder). False: no memory to
// keep it, and the folder counts as not listed.
struct ListingWatcher {
    bool (*saw)(void* context, const WideChar* name, size_t length);
    void* context;
};

struct TreeWalk {
    FolderLister lister;
    ListingWatcher watcher; // none when saw is null
    int state; // 0: not started, 1: walking, 2: over
    bool listingFailed;
    WidePath path;
    WalkLevel* levels;
    size_t depth, levelCapacity;
    ListedEntry* entries;
    size_t entryCount, entryCapacity;
    WideChar* names;
    size_t nameUnits, nameCapacity;
};

// Starts a walk of the folder at path (full, without a trailing
// separator). walk may be fresh (zeroed) or have walked before: it keeps
// its buffers. False when the path does not fit.
bool StartWalk(TreeWalk* walk, const WideChar* path, FolderLister lister);

// The next entry to rename, deepest first, the dropped folder last. False
// when the walk is over. An entry whose path would pass MAX_PATH_UNITS is
// passed over: no Windows call could name it.
bool NextWalkStep(TreeWalk* walk, WalkStep* step);

// Gives the walk's buffers back; the walk can start again after it.
void FreeWalk(TreeWalk* walk);

// Whether folder (a full path, plain or in the extended or device form,
// with or without a trailing separator) is one a walk must leave alone,
// its own name included: a drive's or volume's root, a share's root
// ("\\server\share") or a server, one of the known folders (the Windows
// folder, Program Files, ProgramData, the user's profile), or a folder
// above one of them. Folder names are compared ignoring ASCII case. known
// holds count full paths; empty ones are passed over.
bool IsGuardedFolder(const WideChar* folder, const WideChar* const* known, size_t count);

// ------------------------------------------------------- on this system

// A FolderLister's call. context is the caller's FileCallPaths
// (files/files.h), where the pattern or the bytes of the path are made.
// On Windows: FindFirstFileExW at the basic level (no short names to make
// up) with large fetches. On a POSIX system: readdir, a directory as
// ENTRY_DIRECTORY, a symbolic link as a reparse point with the symbolic
// link's tag (which the walk never takes), a dot name as ENTRY_HIDDEN, and
// ENTRY_NOT_UTF8 as above.
unsigned long ListFolderOnDisk(void* context, const WideChar* path, TreeWalk* walk);

#if !defined(_WIN32)
// Every name in the folder at path, dot names too, to watcher; 0, or the
// error that kept the folder from being read. A Linux file system tells
// names apart by case, and the Windows clients of its share do not: the
// batch reads the folder of given paths once, so that it never makes a
// name that differs only in case from one beside it. (On Windows the file
// system itself finds a name whatever its case.) context is the caller's
// FileCallPaths.
unsigned long ListNamesOnDisk(void* context, const WideChar* path, const ListingWatcher& watcher);
#endif

// On Windows: IsGuardedFolder with the folders SHGetKnownFolderPath gives
// on this system (the Windows folder, each Program Files folder,
// ProgramData and the user's profile), then by identity. On a POSIX
// system, by device and inode only, whatever the spelling: "/", /bin,
// /boot, /dev, /etc, /lib, /lib32, /lib64, /libx32, /proc, /run, /sbin,
// /sys, /usr, /var and $HOME, each as the link it may be and as the
// folder it resolves to, and every folder above either.
bool IsGuardedOnThisSystem(const WideChar* folder);
