#include "files/walk.h"

#include <cstdlib>
#include <cstring>

namespace {

bool IsSeparator(WideChar unit)
{
    return unit == '\\' || unit == '/';
}

// Makes room for count more items of size bytes in *buffer (capacity
// items), doubling it. False when there is no memory: *buffer is as it was.
bool Reserve(void** buffer, size_t* capacity, size_t used, size_t count, size_t size)
{
    if (used + count <= *capacity)
        return true;
    size_t grown = *capacity < 64 ? 64 : *capacity;
    while (grown < used + count) {
        if (grown > static_cast<size_t>(-1) / 2 / size)
            return false;
        grown *= 2;
    }
    void* moved = realloc(*buffer, grown * size);
    if (moved == nullptr)
        return false;
    *buffer = moved;
    *capacity = grown;
    return true;
}

// Opens the level of the folder whose path is walk->path[0, pathLength),
// lists it, and returns 0 or the error that kept it from being listed (the
// level is then closed again).
unsigned long OpenLevel(TreeWalk* walk, size_t pathLength, size_t nameAt)
{
    void* levels = walk->levels;
    if (!Reserve(&levels, &walk->levelCapacity, walk->depth, 1, sizeof(WalkLevel)))
        return WALK_NO_MEMORY;
    walk->levels = static_cast<WalkLevel*>(levels);
    WalkLevel& level = walk->levels[walk->depth++];
    level.firstEntry = walk->entryCount;
    level.next = 0;
    level.count = 0;
    level.firstName = walk->nameUnits;
    level.pathLength = pathLength;
    level.nameAt = nameAt;

    walk->listingFailed = false;
    unsigned long error = walk->lister.list(walk->lister.context, walk->path, walk);
    if (error == 0 && walk->listingFailed)
        error = WALK_NO_MEMORY;
    if (error != 0) {
        walk->entryCount = level.firstEntry;
        walk->nameUnits = level.firstName;
        --walk->depth;
        return error;
    }
    level.count = walk->entryCount - level.firstEntry;
    return 0;
}

}  // namespace

bool WalkTakesEntry(const WideChar* name, unsigned long attributes, unsigned long reparseTag)
{
    if (name[0] == '.' || (attributes & ENTRY_HIDDEN) != 0)
        return false;
    if ((attributes & ENTRY_REPARSE_POINT) == 0)
        return true;
    return (reparseTag & ~REPARSE_TAG_CLOUD_VARIANTS) == REPARSE_TAG_CLOUD;
}

bool AddListedEntry(TreeWalk* walk, const WideChar* name, size_t length, unsigned long attributes,
                    unsigned long reparseTag)
{
    if (length != 0 && walk->watcher.saw != nullptr && !walk->watcher.saw(walk->watcher.context, name, length)) {
        walk->listingFailed = true;
        return false;
    }
    if (length == 0 || !WalkTakesEntry(name, attributes, reparseTag))
        return true;
    void* entries = walk->entries;
    void* names = walk->names;
    bool kept = Reserve(&entries, &walk->entryCapacity, walk->entryCount, 1, sizeof(ListedEntry));
    walk->entries = static_cast<ListedEntry*>(entries);
    kept = kept && Reserve(&names, &walk->nameCapacity, walk->nameUnits, length, sizeof(WideChar));
    walk->names = static_cast<WideChar*>(names);
    if (!kept) {
        walk->listingFailed = true;
        return false;
    }
    memcpy(walk->names + walk->nameUnits, name, length * sizeof(WideChar));
    walk->entries[walk->entryCount++] = {walk->nameUnits, length, (attributes & ENTRY_DIRECTORY) != 0};
    walk->nameUnits += length;
    return true;
}

bool StartWalk(TreeWalk* walk, const WideChar* path, FolderLister lister)
{
    walk->lister = lister;
    walk->state = 2;
    walk->depth = 0;
    walk->entryCount = 0;
    walk->nameUnits = 0;
    const WideChar nothing[] = {0};
    if (!JoinWide(walk->path, WIDE_PATH_SIZE, path, nothing) || walk->path[0] == 0)
        return false;
    walk->state = 0;
    return true;
}

bool NextWalkStep(TreeWalk* walk, WalkStep* step)
{
    if (walk->state == 2)
        return false;
    if (walk->state == 0) {
        walk->state = 1;
        const size_t length = WideLength(walk->path);
        const unsigned long error = OpenLevel(walk, length, NameStart(walk->path));
        if (error != 0) {
            walk->state = 2;
            *step = {walk->path, NameStart(walk->path), true, error};
            return true;
        }
    }

    for (;;) {
        WalkLevel& level = walk->levels[walk->depth - 1];
        walk->path[level.pathLength] = 0;
        if (level.next == level.count) {
            // Everything in the folder is done: the folder's turn. Its
            // listing goes, and with it the room it took.
            *step = {walk->path, level.nameAt, true, 0};
            walk->entryCount = level.firstEntry;
            walk->nameUnits = level.firstName;
            if (--walk->depth == 0)
                walk->state = 2;
            return true;
        }

        const ListedEntry entry = walk->entries[level.firstEntry + level.next++];
        // A root ("C:\") already ends in its separator.
        size_t nameAt = level.pathLength;
        if (nameAt == 0 || !IsSeparator(walk->path[nameAt - 1]))
            walk->path[nameAt++] = PATH_SEPARATOR;
        if (nameAt + entry.length > MAX_PATH_UNITS)
            continue;
        memcpy(walk->path + nameAt, walk->names + entry.nameAt, entry.length * sizeof(WideChar));
        const size_t length = nameAt + entry.length;
        walk->path[length] = 0;
        if (!entry.folder) {
            *step = {walk->path, nameAt, false, 0};
            return true;
        }
        const unsigned long error = OpenLevel(walk, length, nameAt);
        if (error != 0) {
            *step = {walk->path, nameAt, true, error};
            return true;
        }
    }
}

void FreeWalk(TreeWalk* walk)
{
    free(walk->levels);
    free(walk->entries);
    free(walk->names);
    walk->levels = nullptr;
    walk->entries = nullptr;
    walk->names = nullptr;
    walk->depth = walk->levelCapacity = 0;
    walk->entryCount = walk->entryCapacity = 0;
    walk->nameUnits = walk->nameCapacity = 0;
    walk->state = 2;
}

// ---------------------------------------------------------------- the guard

namespace {

bool StartsWithAscii(const WideChar* text, size_t length, const char* prefix)
{
    size_t i = 0;
    for (; prefix[i] != '\0'; ++i) {
        if (i == length)
            return false;
        WideChar unit = text[i];
        if (unit >= 'a' && unit <= 'z')
            unit = static_cast<WideChar>(unit - ('a' - 'A'));
        if (unit != static_cast<WideChar>(prefix[i]) && !(prefix[i] == '\\' && IsSeparator(unit)))
            return false;
    }
    return true;
}

// A path as its parts: a share's ("\\server\share\x", "\\?\UNC\...") or a
// drive's or volume's ("C:\x", "\\?\C:\x", "\\?\Volume{...}\x", "\\.\C:").
// Whatever prefix it came in with is passed over.
struct PathParts {
    const WideChar* text;
    size_t length;
    bool share;
};

PathParts PartsOf(const WideChar* path)
{
    const size_t length = WideLength(path);
    if (StartsWithAscii(path, length, "\\\\?\\UNC\\") || StartsWithAscii(path, length, "\\\\.\\UNC\\"))
        return {path + 8, length - 8, true};
    if (StartsWithAscii(path, length, "\\\\?\\") || StartsWithAscii(path, length, "\\\\.\\"))
        return {path + 4, length - 4, false};
    if (StartsWithAscii(path, length, "\\\\"))
        return {path + 2, length - 2, true};
    return {path, length, false};
}

// The next part at *at, empty ones (doubled or trailing separators) passed
// over; false when there is none.
bool NextPart(const PathParts& parts, size_t* at, const WideChar** part, size_t* length)
{
    while (*at < parts.length && IsSeparator(parts.text[*at]))
        ++*at;
    if (*at == parts.length)
        return false;
    *part = parts.text + *at;
    while (*at < parts.length && !IsSeparator(parts.text[*at]))
        ++*at;
    *length = static_cast<size_t>(parts.text + *at - *part);
    return true;
}

bool SamePart(const WideChar* a, size_t lengthA, const WideChar* b, size_t lengthB)
{
    if (lengthA != lengthB)
        return false;
    for (size_t i = 0; i < lengthA; ++i) {
        WideChar x = a[i];
        WideChar y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<WideChar>(x - ('a' - 'A'));
        if (y >= 'a' && y <= 'z')
            y = static_cast<WideChar>(y - ('a' - 'A'));
        if (x != y)
            return false;
    }
    return true;
}

size_t PartCount(const PathParts& parts)
{
    size_t at = 0;
    size_t count = 0;
    const WideChar* part;
    size_t length;
    while (NextPart(parts, &at, &part, &length))
        ++count;
    return count;
}

// Whether every part of folder begins inner: inner is folder or lies in it.
bool HoldsOrIs(const PathParts& folder, const PathParts& inner)
{
    if (folder.share != inner.share)
        return false;
    size_t at = 0;
    size_t innerAt = 0;
    const WideChar* part;
    const WideChar* innerPart;
    size_t length;
    size_t innerLength;
    while (NextPart(folder, &at, &part, &length)) {
        if (!NextPart(inner, &innerAt, &innerPart, &innerLength) ||
            !SamePart(part, length, innerPart, innerLength))
            return false;
    }
    return true;
}

}  // namespace

bool IsGuardedFolder(const WideChar* folder, const WideChar* const* known, size_t count)
{
    const PathParts parts = PartsOf(folder);
    // A drive's root is one part ("C:"), a share's two ("server\share").
    if (PartCount(parts) <= (parts.share ? 2u : 1u))
        return true;
    for (size_t i = 0; i < count; ++i) {
        if (known[i] != nullptr && known[i][0] != 0 && HoldsOrIs(parts, PartsOf(known[i])))
            return true;
    }
    return false;
}
