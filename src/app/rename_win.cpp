// Batch mode's calls into Windows: long paths, lookups and moves, all through
// the wide API.
#include <windows.h>

#include <cwchar>

#include <cstdlib>
#include <cstring>

#include "app/command_line.h"
#include "app/rename.h"
#include "convert/name.h"
#include "files/files.h"
#include "files/walk.h"
#include "history/history_file.h"
#include "settings/settings.h"

namespace {

// The names in one folder, exactly as the file system spells them, listed
// once when many paths of a batch lie in it. A path whose name is spelled
// exactly like a listed one needs no lookup of its own: the lookup could
// only give that name back. Anything else (another case, a short name, a
// name an earlier move of the batch made) is looked up as before, and a
// listed name that a move has taken away since fails at its own move, as
// its lookup would have. Under Wine a lookup costs a good part of a move.
const unsigned LIST_AFTER_PATHS = 8;
const size_t LISTED_NAMES = 8192;
const size_t LISTED_UNITS = 1 << 18;

struct FolderListing {
    size_t count; // 0: nothing listed
    const wchar_t* names[LISTED_NAMES];
    wchar_t text[LISTED_UNITS];
};

// The long form of the folder the last path lay in, kept for the next
// path of the same folder. Files dropped together share their folder, and
// resolving it costs one directory lookup per component: it made a batch
// several times slower than the moves themselves.
struct FolderCache {
    WidePath folder;     // as the paths write it, with its separator; empty: nothing kept
    WidePath longFolder; // its long form, with its separator
    unsigned paths;      // paths of the folder so far
    FolderListing listing;
};

} // namespace

struct RenameBatch {
    SettingsWord word;
    BatchRecord record;
    FolderCache cache;
    TreeWalk walk;
    // A path's full form, its long form and its new path; a folder's path
    // or pattern on its way to the long form or a listing, and as the file
    // functions take it.
    WidePath full;
    WidePath longPath;
    WidePath newPath;
    WidePath folder;
    WidePath callPath;
    FileCallPaths files;
    // A token is as long as the command line allows.
    WidePath token;
};

namespace {

int CompareNames(const void* a, const void* b)
{
    return wcscmp(*static_cast<const wchar_t* const*>(a), *static_cast<const wchar_t* const*>(b));
}

// Lists folder (with its trailing separator). A folder too large for the
// listing is not listed at all.
void ListFolder(RenameBatch* batch, const wchar_t* folder)
{
    FolderListing& listing = batch->cache.listing;
    listing.count = 0;
    wchar_t* pattern = batch->folder;
    if (!JoinWide(pattern, WIDE_PATH_SIZE, folder, L"*") || !ForFileCalls(pattern, batch->callPath, WIDE_PATH_SIZE))
        return;

    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(batch->callPath, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return;
    size_t count = 0;
    size_t used = 0;
    bool complete = true;
    do {
        const size_t size = wcslen(found.cFileName) + 1;
        if (count == LISTED_NAMES || used + size > LISTED_UNITS) {
            complete = false;
            break;
        }
        memcpy(listing.text + used, found.cFileName, size * sizeof(wchar_t));
        listing.names[count++] = listing.text + used;
        used += size;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    if (!complete)
        return;
    qsort(listing.names, count, sizeof(listing.names[0]), CompareNames);
    listing.count = count;
}

bool IsListed(const FolderListing& listing, const wchar_t* name)
{
    return listing.count != 0 &&
           bsearch(&name, listing.names, listing.count, sizeof(listing.names[0]), CompareNames) != nullptr;
}

// The long form of the full path full in batch->longPath, through the
// folder cache. *nameAt is where the name starts in it.
bool ResolveLongPath(RenameBatch* batch, const wchar_t* full, size_t* nameAt)
{
    FolderCache& cache = batch->cache;
    const size_t folderLength = NameStart(full);
    const wchar_t* name = full + folderLength;
    if (folderLength != wcslen(cache.folder) || wcsncmp(full, cache.folder, folderLength) != 0) {
        cache.folder[0] = L'\0';
        cache.listing.count = 0;
        cache.paths = 0;
        wchar_t* folder = batch->folder;
        wmemcpy(folder, full, folderLength);
        folder[folderLength] = L'\0';
        if (!LongPathOf(folder, cache.longFolder, WIDE_PATH_SIZE, &batch->files))
            return false;
        if (NameStart(cache.longFolder) != wcslen(cache.longFolder) &&
            !JoinWide(cache.longFolder, WIDE_PATH_SIZE, cache.longFolder, L"\\"))
            return false;
        wcscpy(cache.folder, folder);
    }

    if (++cache.paths == LIST_AFTER_PATHS)
        ListFolder(batch, cache.folder);

    // The entry's long name, as the file system spells it; the lookup also
    // tells that it exists.
    WideName longName;
    if (IsListed(cache.listing, name))
        wcscpy(longName, name);
    else if (!NameOnDisk(full, longName, &batch->files))
        return false;
    *nameAt = wcslen(cache.longFolder);
    return JoinWide(batch->longPath, WIDE_PATH_SIZE, cache.longFolder, longName);
}

// After a move of path: a kept folder that was path or lay in it has
// another path now, and so do the names listed in it.
void ForgetMovedFolder(FolderCache* cache, const wchar_t* path)
{
    const size_t length = wcslen(path);
    const size_t kept = wcslen(cache->longFolder);
    if (cache->folder[0] != L'\0' && kept > length && cache->longFolder[length] == L'\\' &&
        CompareStringOrdinal(cache->longFolder, static_cast<int>(length), path, static_cast<int>(length), TRUE) ==
            CSTR_EQUAL) {
        cache->folder[0] = L'\0';
        cache->listing.count = 0;
        cache->paths = 0;
    }
}

// Whether the token names an entry by a name of its own: not a folder's
// path ending in a separator, nor "." or "..", which name a folder through
// another, nor a bare drive ("C:"), which stands for its current folder.
bool NamesAnEntry(const wchar_t* token)
{
    const wchar_t* name = token + NameStart(token);
    return *name != L'\0' && wcscmp(name, L".") != 0 && wcscmp(name, L"..") != 0;
}

// Renames the entry at path, a full path in its long form whose name starts
// at nameAt (a dropped path's, or one a walk listed): the name converted,
// the move recorded before it is made and its outcome after.
void RenameEntry(RenameBatch* batch, const wchar_t* path, size_t nameAt)
{
    WideName newName;
    const wchar_t* name = path + nameAt;
    switch (ConvertFileName(batch->word, name, wcslen(name), newName)) {
    case NAME_CONVERTED:
        break;
    case NAME_UNCHANGED:
        RecordUnchanged(&batch->record);
        return;
    case NAME_TOO_LONG:
        RecordNotRenamed(&batch->record, path, ERROR_FILENAME_EXCED_RANGE);
        return;
    default:
        RecordNotRenamed(&batch->record, path, ERROR_INVALID_NAME);
        return;
    }
    wchar_t* newPath = batch->newPath;
    wmemcpy(newPath, path, nameAt);
    newPath[nameAt] = L'\0';
    if (!JoinWide(newPath, WIDE_PATH_SIZE, newPath, newName)) {
        RecordNotRenamed(&batch->record, path, ERROR_FILENAME_EXCED_RANGE);
        return;
    }

    // Recorded before the move, so that a batch stopped at any moment
    // leaves every rename it made in the history.
    RecordMove(&batch->record, path, newPath);
    const unsigned long error = MoveWithoutReplacing(path, newPath, &batch->files);
    RecordOutcome(&batch->record, path, error);
    if (error == 0)
        ForgetMovedFolder(&batch->cache, path);
}

// The whole tree of the folder at path (full, long form): every entry the
// walk hands out, deepest first, the folder itself last.
void RenameTree(RenameBatch* batch, const wchar_t* path)
{
    if (!StartWalk(&batch->walk, path, {ListFolderOnDisk, &batch->files})) {
        RecordNotRenamed(&batch->record, path, ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    WalkStep step;
    while (NextWalkStep(&batch->walk, &step)) {
        if (step.error != 0)
            RecordNotRenamed(&batch->record, step.path, step.error);
        else
            RenameEntry(batch, step.path, step.nameAt);
    }
}

// Whether the entry at path is a folder to walk: a folder, and no link,
// which would take the walk to another place.
bool IsFolderToWalk(RenameBatch* batch, const wchar_t* path)
{
    if (!ForFileCalls(path, batch->callPath, WIDE_PATH_SIZE))
        return false;
    const DWORD attributes = GetFileAttributesW(batch->callPath);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

}  // namespace

void RenameFromCommandLine(const wchar_t* tail)
{
    // One batch, one word: a save in the dialog while a batch runs must not
    // split it between two. The batch is large, and lives as long as the
    // program.
    static RenameBatch batch;
    batch.word = LoadSettings();
    StartBatchRecord(&batch.record, batch.word);
    size_t position = 0;
    for (;;) {
        TokenResult result = NextToken(tail, &position, batch.token, WIDE_PATH_SIZE);
        if (result == TAIL_END)
            break;
        if (result == TAIL_PATH)
            RenameOneFile(&batch, batch.token);
    }
    EndBatchRecord(&batch.record);
    FreeWalk(&batch.walk);
}

void RenameOneFile(RenameBatch* batch, const wchar_t* path)
{
    if (!IsUsablePath(path) || !NamesAnEntry(path))
        return;
    // Relative paths, '/' and ".." are resolved first: the folder part is
    // then exactly as Windows holds it, and only the name is converted.
    size_t nameAt;
    if (FullPathOf(path, batch->full, WIDE_PATH_SIZE) == 0) {
        RecordNotRenamed(&batch->record, path, ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    if (!ResolveLongPath(batch, batch->full, &nameAt)) {
        RecordNotRenamed(&batch->record, batch->full, GetLastError());
        return;
    }
    if ((batch->word & OPT_FOLDER_CONTENTS) == 0 || !IsFolderToWalk(batch, batch->longPath)) {
        RenameEntry(batch, batch->longPath, nameAt);
        return;
    }
    // Programs rely on the names in the Windows folder, Program Files and
    // the profile: a walk of them would rename "Saved Games". Such a folder
    // keeps its own name too.
    if (IsGuardedOnThisSystem(batch->longPath)) {
        RecordNotRenamed(&batch->record, batch->longPath, ERROR_ACCESS_DENIED);
        return;
    }
    RenameTree(batch, batch->longPath);
}
