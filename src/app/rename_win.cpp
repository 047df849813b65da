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

FolderListing listing;

int CompareNames(const void* a, const void* b)
{
    return wcscmp(*static_cast<const wchar_t* const*>(a), *static_cast<const wchar_t* const*>(b));
}

// Lists folder (with its trailing separator). A folder too large for the
// listing is not listed at all.
void ListFolder(const wchar_t* folder)
{
    listing.count = 0;
    static WidePath pattern;
    static WidePath callPattern;
    if (!JoinWide(pattern, WIDE_PATH_SIZE, folder, L"*") ||
        !ForFileCalls(pattern, callPattern, WIDE_PATH_SIZE))
        return;

    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(callPattern, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
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

bool IsListed(const wchar_t* name)
{
    return listing.count != 0 &&
           bsearch(&name, listing.names, listing.count, sizeof(listing.names[0]), CompareNames) != nullptr;
}

// The long form of the full path full in longPath, with the folder's long
// form kept from the previous call when the folder is written the same.
// Files dropped together share their folder, and resolving it costs one
// directory lookup per component: it made a batch several times slower than
// the moves themselves. A previous path of the same folder can only have
// renamed an entry inside it, never the folder, so the kept form holds.
// *nameAt is where the name starts in longPath.
bool ResolveLongPath(const wchar_t* full, wchar_t* longPath, size_t* nameAt)
{
    static WidePath lastFolder;
    static WidePath lastLongFolder;
    static unsigned pathsInFolder;

    const size_t folderLength = NameStart(full);
    const wchar_t* name = full + folderLength;
    if (folderLength != wcslen(lastFolder) || wcsncmp(full, lastFolder, folderLength) != 0) {
        lastFolder[0] = L'\0';
        listing.count = 0;
        pathsInFolder = 0;
        static WidePath folder;
        wmemcpy(folder, full, folderLength);
        folder[folderLength] = L'\0';
        if (!LongPathOf(folder, lastLongFolder, WIDE_PATH_SIZE))
            return false;
        if (NameStart(lastLongFolder) != wcslen(lastLongFolder) &&
            !JoinWide(lastLongFolder, WIDE_PATH_SIZE, lastLongFolder, L"\\"))
            return false;
        wcscpy(lastFolder, folder);
    }

    if (++pathsInFolder == LIST_AFTER_PATHS)
        ListFolder(lastFolder);

    // The entry's long name, as the file system spells it; the lookup also
    // tells that it exists.
    WideName longName;
    if (IsListed(name))
        wcscpy(longName, name);
    else if (!NameOnDisk(full, longName))
        return false;
    *nameAt = wcslen(lastLongFolder);
    return JoinWide(longPath, WIDE_PATH_SIZE, lastLongFolder, longName);
}

// Whether the token names an entry by a name of its own: not a folder's
// path ending in a separator, nor "." or "..", which name a folder through
// another, nor a bare drive ("C:"), which stands for its current folder.
bool NamesAnEntry(const wchar_t* token)
{
    const wchar_t* name = token + NameStart(token);
    return *name != L'\0' && wcscmp(name, L".") != 0 && wcscmp(name, L"..") != 0;
}

}  // namespace

void RenameFromCommandLine(const wchar_t* tail)
{
    // One batch, one word: a save in the dialog while a batch runs must not
    // split it between two.
    const SettingsWord word = LoadSettings();
    StartBatchRecord(word);
    // A token is as long as the command line allows.
    static WidePath token;
    size_t position = 0;
    for (;;) {
        TokenResult result = NextToken(tail, &position, token, WIDE_PATH_SIZE);
        if (result == TAIL_END)
            break;
        if (result == TAIL_PATH)
            RenameOneFile(word, token);
    }
    EndBatchRecord();
}

void RenameOneFile(SettingsWord word, const wchar_t* path)
{
    if (!IsUsablePath(path) || !NamesAnEntry(path))
        return;
    // Relative paths, '/' and ".." are resolved first: the folder part is
    // then exactly as Windows holds it, and only the name is converted.
    static WidePath full;
    static WidePath longPath;
    size_t nameAt;
    if (FullPathOf(path, full, WIDE_PATH_SIZE) == 0) {
        RecordNotRenamed(path, ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    if (!ResolveLongPath(full, longPath, &nameAt)) {
        RecordNotRenamed(full, GetLastError());
        return;
    }

    WideName newName;
    const wchar_t* name = longPath + nameAt;
    switch (ConvertFileName(word, name, wcslen(name), newName)) {
    case NAME_CONVERTED:
        break;
    case NAME_UNCHANGED:
        RecordUnchanged();
        return;
    case NAME_TOO_LONG:
        RecordNotRenamed(longPath, ERROR_FILENAME_EXCED_RANGE);
        return;
    default:
        RecordNotRenamed(longPath, ERROR_INVALID_NAME);
        return;
    }
    static WidePath newPath;
    wmemcpy(newPath, longPath, nameAt);
    newPath[nameAt] = L'\0';
    if (!JoinWide(newPath, WIDE_PATH_SIZE, newPath, newName)) {
        RecordNotRenamed(longPath, ERROR_FILENAME_EXCED_RANGE);
        return;
    }

    // Recorded before the move, so that a batch stopped at any moment
    // leaves every rename it made in the history.
    RecordMove(longPath, newPath);
    RecordOutcome(longPath, MoveWithoutReplacing(longPath, newPath));
}
