// Batch mode's calls into Windows: long paths, lookups and moves, all through
// the wide API. Names are converted to code page 932 for the conversions and
// back for Windows with code page 932 itself, never the system's.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "app/command_line.h"
#include "app/rename.h"
#include "app/wide_names.h"
#include "convert/pipeline.h"
#include "convert/sjis.h"
#include "convert/strings.h"
#include "settings/settings.h"

namespace {

// A wide path that converts to at most 255 bytes has at most 255 units: no
// unit stands for less than a byte.
typedef wchar_t WidePath[NAME_BUFFER_SIZE];

// Code page 932 one character at a time. Without best fit, a character the
// code page lacks is reported instead of being replaced by a look-alike, and
// the way back must give the very same character: U+301C goes to 81 60,
// which reads back as U+FF5E, so it is outside too.
size_t EncodeCp932(const wchar_t* units, size_t count, char* bytes)
{
    BOOL usedDefault = FALSE;
    int size = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, units, static_cast<int>(count), bytes, 2,
                                   nullptr, &usedDefault);
    if (size <= 0 || usedDefault)
        return 0;
    wchar_t back[2];
    int length = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, size, back, 2);
    if (length != static_cast<int>(count) || memcmp(back, units, count * sizeof(wchar_t)) != 0)
        return 0;
    return static_cast<size_t>(size);
}

size_t DecodeCp932(const char* bytes, size_t length, wchar_t* units)
{
    int count = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(length), units, 2);
    return count > 0 ? static_cast<size_t>(count) : 0;
}

const Cp932Codec CODEC = {EncodeCp932, DecodeCp932};

// The name of the entry at path as the file system spells it.
bool NameOnDisk(const wchar_t* path, WIN32_FIND_DATAW* found)
{
    // The basic level leaves out the short name, which Wine would otherwise
    // make up for the entry.
    HANDLE search = FindFirstFileExW(path, FindExInfoBasic, found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

// Where the file system ignores case (FAT, Wine on Linux), a move to a name
// that differs only in case can report success and change nothing. Then go
// through a free temporary name in the same folder; if the second step
// fails, the file gets its old name back.
void RenameInTwoSteps(const wchar_t* existingName, const wchar_t* longPath, const char* directory,
                      const StandIns& table, const wchar_t* newPath)
{
    NameBuffer temporary;
    WidePath wideTemporary;
    DWORD stamp = GetCurrentProcessId();
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        char process[DECIMAL_BUFFER_SIZE], number[DECIMAL_BUFFER_SIZE];
        FormatDecimal(stamp, process);
        FormatDecimal(attempt, number);
        if (!JoinStrings(temporary, sizeof temporary,
                         {directory, "~blankmender-", process, "-", number, ".tmp"}) ||
            !FromCodePage932(temporary, CODEC, table, wideTemporary, NAME_BUFFER_SIZE))
            return;
        if (GetFileAttributesW(wideTemporary) != INVALID_FILE_ATTRIBUTES)
            continue;
        if (!MoveFileW(existingName, wideTemporary))
            return;
        if (!MoveFileW(wideTemporary, newPath))
            MoveFileW(wideTemporary, longPath);
        return;
    }
}

// GetLongPathNameW into a WidePath. On failure it leaves the buffer as it
// was, and a result of the buffer's size or more means the long form did not
// fit: false either way.
bool LongPathName(const wchar_t* path, wchar_t* longPath)
{
    DWORD length = GetLongPathNameW(path, longPath, NAME_BUFFER_SIZE);
    return length != 0 && length < NAME_BUFFER_SIZE;
}

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
    wchar_t pattern[NAME_BUFFER_SIZE + 1];
    const size_t length = wcslen(folder);
    memcpy(pattern, folder, length * sizeof(wchar_t));
    pattern[length] = L'*';
    pattern[length + 1] = L'\0';

    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(pattern, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
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

// The long form of path, as GetLongPathNameW gives it, but with the folder's
// long form kept from the previous call when the folder is written the same.
// Files dropped together share their folder, and resolving it costs one
// directory lookup per component: it made a batch several times slower than
// the moves themselves. A previous path of the same folder can only have
// renamed an entry inside it, never the folder, so the kept form holds.
bool ResolveLongPath(const wchar_t* path, wchar_t* longPath)
{
    static WidePath lastFolder;
    static WidePath lastLongFolder;
    static unsigned pathsInFolder;

    size_t separator = LastPathSeparator(path);
    const wchar_t* name = path + separator + 1;
    if (separator == NO_SEPARATOR || wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0)
        return LongPathName(path, longPath);
    if (*name == L'\0')
        return false; // a folder's path ending in a separator: no name to convert

    if (separator + 1 != wcslen(lastFolder) || wcsncmp(path, lastFolder, separator + 1) != 0) {
        lastFolder[0] = L'\0';
        listing.count = 0;
        pathsInFolder = 0;
        WidePath folder;
        memcpy(folder, path, (separator + 1) * sizeof(wchar_t));
        folder[separator + 1] = L'\0';
        if (!LongPathName(folder, lastLongFolder))
            return false;
        size_t length = wcslen(lastLongFolder);
        if (LastPathSeparator(lastLongFolder) + 1 != length) {
            if (length + 1 >= NAME_BUFFER_SIZE)
                return false;
            lastLongFolder[length] = L'\\';
            lastLongFolder[length + 1] = L'\0';
        }
        wcscpy(lastFolder, folder);
    }

    if (++pathsInFolder == LIST_AFTER_PATHS)
        ListFolder(lastFolder);

    // The entry's long name, as the file system spells it; the lookup also
    // tells that it exists.
    WIN32_FIND_DATAW found;
    const wchar_t* longName = name;
    if (!IsListed(name)) {
        if (!NameOnDisk(path, &found))
            return false;
        longName = found.cFileName;
    }
    size_t folderLength = wcslen(lastLongFolder);
    size_t nameLength = wcslen(longName);
    if (folderLength + nameLength >= NAME_BUFFER_SIZE)
        return false;
    memcpy(longPath, lastLongFolder, folderLength * sizeof(wchar_t));
    memcpy(longPath + folderLength, longName, (nameLength + 1) * sizeof(wchar_t));
    return true;
}

} // namespace

void RenameFromCommandLine(const wchar_t* tail)
{
    // One batch, one word: a save in the dialog while a batch runs must not
    // split it between two.
    const SettingsWord word = LoadSettings();
    WidePath token;
    size_t position = 0;
    for (;;) {
        TokenResult result = NextToken(tail, &position, token);
        if (result == TAIL_END)
            break;
        if (result == TAIL_PATH)
            RenameOneFile(word, token);
    }
}

void RenameOneFile(SettingsWord word, const wchar_t* path)
{
    // Stand-ins are kept per path: 255 bytes hold at most 127 of them, so
    // any number of outside characters on one command line works.
    static StandIns table;

    // The limits count code page 932 bytes, an outside character as two.
    table.count = 0;
    NameBuffer bytes;
    if (!ToCodePage932(path, wcslen(path), CODEC, &table, bytes, sizeof bytes) || !IsUsablePath(bytes))
        return;

    WidePath longWide;
    if (!ResolveLongPath(path, longWide))
        return;
    table.count = 0;
    NameBuffer longPath;
    if (!ToCodePage932(longWide, wcslen(longWide), CODEC, &table, longPath, sizeof longPath))
        return;

    NameBuffer directory;
    NameBuffer baseName;
    NameBuffer extension;
    bool hasDot;
    SplitPath(longPath, directory, baseName, extension, &hasDot);

    NameBuffer oldBaseName;
    strcpy(oldBaseName, baseName);
    if (!ConvertNameWithWord(word, baseName, NAME_BUFFER_SIZE))
        return;
    if (strcmp(baseName, oldBaseName) == 0)
        return;

    NameBuffer newPath;
    WidePath newWide;
    if (!BuildNewPath(directory, baseName, extension, hasDot, newPath, sizeof newPath) ||
        !FromCodePage932(newPath, CODEC, table, newWide, NAME_BUFFER_SIZE))
        return;

    // Plain MoveFileW: an existing target is never replaced.
    if (!MoveFileW(path, newWide))
        return;

    // The old name still on disk under the new path means the move changed
    // nothing but case, and the file system ignored that.
    WIN32_FIND_DATAW found;
    const char* oldName = longPath + strlen(directory);
    const char* newName = newPath + strlen(directory);
    WidePath oldWideName;
    if (MayDifferOnlyInCase(oldName, newName) && NameOnDisk(newWide, &found) &&
        FromCodePage932(oldName, CODEC, table, oldWideName, NAME_BUFFER_SIZE) &&
        wcscmp(found.cFileName, oldWideName) == 0)
        RenameInTwoSteps(path, longWide, directory, table, newWide);
}
