// The file operations on Windows, all through the wide API: the program's
// folder and the names it renames may hold characters that the system's
// code page lacks.
#include "files/files.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "convert/strings.h"
#include "files/entries.h"
#include "files/walk.h"

namespace {

// path in the form the file functions need; empty when it cannot be had,
// which no file function accepts.
const wchar_t* CallPath(const wchar_t* path, wchar_t* buffer)
{
    if (!ForFileCalls(path, buffer, WIDE_PATH_SIZE))
        buffer[0] = L'\0';
    return buffer;
}

WidePath callPath;
WidePath callTarget;

}  // namespace

bool GetExecutablePath(wchar_t* buffer, size_t size)
{
    if (size == 0 || size > MAXDWORD)
        return false;
    DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(size));
    // A path that does not fit comes back cut short and fills the buffer:
    // a cut path would name another folder, so it counts as unreadable.
    return length != 0 && length < size;
}

FILE* OpenFile(const wchar_t* path, bool forWriting)
{
    return _wfopen(CallPath(path, callPath), forWriting ? L"wb" : L"rb");
}

bool MoveFileReplacing(const wchar_t* from, const wchar_t* to)
{
    return MoveFileExW(CallPath(from, callPath), CallPath(to, callTarget),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void RemoveFile(const wchar_t* path)
{
    DeleteFileW(CallPath(path, callPath));
}

unsigned long CurrentProcessId()
{
    return GetCurrentProcessId();
}

size_t FullPathOf(const wchar_t* path, wchar_t* out, size_t capacity)
{
    if (capacity == 0 || capacity > MAXDWORD)
        return 0;
    DWORD length = GetFullPathNameW(path, static_cast<DWORD>(capacity), out, nullptr);
    // A result that does not fit comes back as the size it needs.
    return length < capacity ? length : 0;
}

bool ForFileCalls(const wchar_t* path, wchar_t* out, size_t capacity)
{
    return FileCallPath(path, FullPathOf, out, capacity);
}

size_t GivenFullPath(const wchar_t* path, wchar_t* out, size_t capacity)
{
    return FullPathKeepingParts(path, FullPathOf, out, capacity);
}

FileCallPaths* NewFileCallPaths()
{
    return static_cast<FileCallPaths*>(calloc(1, sizeof(FileCallPaths)));
}

void FreeFileCallPaths(FileCallPaths* paths)
{
    free(paths);
}

bool LongPathOf(const wchar_t* path, wchar_t* out, size_t capacity, FileCallPaths* paths)
{
    if (capacity == 0 || capacity > MAXDWORD || !ForFileCalls(path, paths->lookup, WIDE_PATH_SIZE))
        return false;
    DWORD length = GetLongPathNameW(paths->lookup, out, static_cast<DWORD>(capacity));
    if (length == 0 || length >= capacity)
        return false;
    // The prefix this call put on is taken off again; one the caller gave
    // stays.
    if (!IsExtendedPath(path))
        TakeOffExtendedPrefix(out);
    return true;
}

bool NameOnDisk(const wchar_t* path, wchar_t* name, FileCallPaths* paths)
{
    if (!ForFileCalls(path, paths->lookup, WIDE_PATH_SIZE))
        return false;
    // The basic level leaves out the short name, which Wine would otherwise
    // make up for the entry.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(paths->lookup, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return JoinWide(name, MAX_NAME_UNITS + 1, found.cFileName, L"");
}

namespace {

// Where the file system ignores case (FAT, Wine on Linux), a move to a name
// that differs only in case can report success and change nothing: then the
// target is still spelled as before. The source may be spelled in another
// case than the entry itself, so the disk decides, not the source.
bool CaseChangeTookNoEffect(const wchar_t* from, const wchar_t* to, FileCallPaths* paths)
{
    const wchar_t* newName = to + NameStart(to);
    if (!MayDifferOnlyInCase(from + NameStart(from), newName))
        return false;
    WideName spelled;
    return NameOnDisk(to, spelled, paths) && wcscmp(spelled, newName) != 0;
}

// The two-step: from to a free temporary name in the target's folder, then
// to the target; if the second step fails, the entry gets back the name it
// had, as the disk spelled it.
unsigned long MoveThroughTemporary(const wchar_t* from, const wchar_t* to, FileCallPaths* paths)
{
    wchar_t* temporary = paths->temporary;
    wchar_t* callTemporary = paths->callTemporary;
    wchar_t* callFrom = paths->from;
    wchar_t* callTo = paths->to;
    const size_t folder = NameStart(to);
    WideName oldName;
    if (!NameOnDisk(from, oldName, paths) || folder + MAX_NAME_UNITS + 1 > WIDE_PATH_SIZE)
        return ERROR_FILENAME_EXCED_RANGE;
    // The old path, as the disk spells its name, goes through the
    // temporary's room before the temporary name is made there.
    wmemcpy(temporary, from, NameStart(from));
    temporary[NameStart(from)] = L'\0';
    if (!JoinWide(temporary, WIDE_PATH_SIZE, temporary, oldName) ||
        !ForFileCalls(temporary, callFrom, WIDE_PATH_SIZE) || !ForFileCalls(to, callTo, WIDE_PATH_SIZE))
        return ERROR_FILENAME_EXCED_RANGE;

    const DWORD stamp = GetCurrentProcessId();
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        char process[DECIMAL_BUFFER_SIZE], number[DECIMAL_BUFFER_SIZE], name[64];
        FormatDecimal(stamp, process);
        FormatDecimal(attempt, number);
        JoinStrings(name, sizeof name, {"~blankmender-", process, "-", number, ".tmp"});
        wmemcpy(temporary, to, folder);
        size_t at = folder;
        for (size_t i = 0; name[i] != '\0'; ++i)
            temporary[at++] = static_cast<unsigned char>(name[i]);
        temporary[at] = L'\0';
        if (!ForFileCalls(temporary, callTemporary, WIDE_PATH_SIZE))
            return ERROR_FILENAME_EXCED_RANGE;
        if (GetFileAttributesW(callTemporary) != INVALID_FILE_ATTRIBUTES)
            continue;
        if (!MoveFileW(callFrom, callTemporary))
            return GetLastError();
        if (MoveFileW(callTemporary, callTo))
            return 0;
        const DWORD error = GetLastError();
        MoveFileW(callTemporary, callFrom);
        return error;
    }
    return ERROR_FILE_EXISTS;
}

}  // namespace

namespace {

bool SameIgnoringCase(const wchar_t* a, const wchar_t* b, size_t length);

// Whether the kept folder (with its separator) was path or lay in it.
bool WasOrLayIn(const wchar_t* kept, const wchar_t* path)
{
    const size_t length = wcslen(path);
    return kept[0] != L'\0' && wcslen(kept) > length && kept[length] == L'\\' &&
           CompareStringOrdinal(kept, static_cast<int>(length), path, static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

// After a move of path: a kept folder that was path or lay in it has
// another path now, and so do the names listed in it.
void ForgetMovedFolder(FileCallPaths* paths, const wchar_t* path)
{
    GivenFolder& given = paths->givenFolder;
    if (WasOrLayIn(given.folder, path)) {
        given.folder[0] = L'\0';
        given.count = 0;
        given.paths = 0;
    }
    if (WasOrLayIn(paths->checkedFolder, path))
        paths->checkedFolder[0] = L'\0';
    // The walk's top itself, or a folder above it.
    const size_t length = wcslen(path);
    if ((wcslen(paths->walkTop) == length && SameIgnoringCase(paths->walkTop, path, length)) ||
        WasOrLayIn(paths->walkTop, path)) {
        paths->walkTop[0] = L'\0';
        paths->walkTopFinal[0] = L'\0';
    }
}

}  // namespace

unsigned long MoveWithoutReplacing(const wchar_t* from, const wchar_t* to, FileCallPaths* paths)
{
    if (!ForFileCalls(from, paths->from, WIDE_PATH_SIZE) || !ForFileCalls(to, paths->to, WIDE_PATH_SIZE))
        return ERROR_FILENAME_EXCED_RANGE;
    // Plain MoveFileW: an existing target is never replaced.
    if (!MoveFileW(paths->from, paths->to))
        return GetLastError();
    ForgetMovedFolder(paths, from);
    if (CaseChangeTookNoEffect(from, to, paths))
        return MoveThroughTemporary(from, to, paths);
    return 0;
}

unsigned long MoveEntry(const wchar_t* from, const wchar_t* to, FileCallPaths* paths)
{
    return MoveWithoutReplacing(from, to, paths);
}

// ------------------------------------------------ is it the entry itself

namespace {

// Wine's ntdll says so by exporting its version.
bool RunsUnderWine()
{
    static int known = -1;
    if (known < 0) {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        known = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }
    return known != 0;
}

// The name the system gives the open entry, "\??\C:\...", in out (no
// terminator needed beyond WIDE_PATH_SIZE units); its length, 0 with the
// error set. GetFinalPathNameByHandleW would give the same, but Wine's
// fails on a path longer than MAX_PATH.
size_t ObjectName(HANDLE entry, wchar_t* out, FileCallPaths* paths)
{
    struct CountedName {
        USHORT length; // in bytes
        USHORT maximumLength;
        PWSTR buffer;
    };
    typedef LONG(WINAPI * QueryObject)(HANDLE, int, void*, ULONG, ULONG*);
    // Looked up each time: a static with a run-time initialiser would pull
    // the C++ runtime's guard, and its exception support, into the program.
    const QueryObject query = reinterpret_cast<QueryObject>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    const int OBJECT_NAME_INFORMATION = 1;
    if (query == nullptr) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return 0;
    }
    ULONG needed = 0;
    if (query(entry, OBJECT_NAME_INFORMATION, paths->objectName, sizeof paths->objectName, &needed) < 0) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    CountedName name;
    memcpy(&name, paths->objectName, sizeof name);
    const size_t length = name.length / sizeof(wchar_t);
    if (name.buffer == nullptr || length == 0 || length >= WIDE_PATH_SIZE) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    wmemcpy(out, name.buffer, length);
    out[length] = L'\0';
    return length;
}

// The final path of the entry at path (any form), as the system resolves
// it, in out, without a trailing separator, and the entry's identity in
// info; its length, 0 with the error set when it cannot be had. Opens the
// entry itself, not what a reparse point names, asking no access but its
// attributes, so any entry opens.
size_t FinalPathOf(const wchar_t* path, wchar_t* out, BY_HANDLE_FILE_INFORMATION* info, FileCallPaths* paths)
{
    if (!ForFileCalls(path, paths->lookup, WIDE_PATH_SIZE)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    HANDLE entry = CreateFileW(paths->lookup, FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (entry == INVALID_HANDLE_VALUE)
        return 0;
    size_t length = out == nullptr ? 1 : ObjectName(entry, out, paths);
    if (length != 0 && info != nullptr && !GetFileInformationByHandle(entry, info))
        length = 0;
    const DWORD error = GetLastError();
    CloseHandle(entry);
    if (length == 0 || length >= WIDE_PATH_SIZE) {
        SetLastError(length == 0 ? error : ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    // A root's final path ends in its separator.
    if (out != nullptr && out[length - 1] == L'\\')
        out[--length] = L'\0';
    return length;
}

// Wine gives a final path without the trailing blanks and dots of its last
// part, as a plain path loses them: the length of name without them.
size_t TrimmedLength(const wchar_t* name, size_t length)
{
    while (length > 0 && (name[length - 1] == L' ' || name[length - 1] == L'.'))
        --length;
    return length;
}

bool SameIgnoringCase(const wchar_t* a, const wchar_t* b, size_t length)
{
    return CompareStringOrdinal(a, static_cast<int>(length), b, static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

// The final path of the folder at folder (no trailing separator; changed
// in place) in final, without its separator; its length, 0 with the error
// set. The folder's own name, trimmed in a final path under Wine, as the
// path spells it: what lies in "sub " has "sub " in its final path.
size_t FolderFinalPath(wchar_t* folder, wchar_t* final, FileCallPaths* paths)
{
    size_t length = FinalPathOf(folder, final, nullptr, paths);
    if (length == 0)
        return 0;
    const size_t nameStart = NameStart(folder);
    const wchar_t* name = folder + nameStart;
    const size_t nameLength = wcslen(name);
    size_t lastAt = length;
    while (lastAt > 0 && final[lastAt - 1] != L'\\')
        --lastAt;
    const size_t lastLength = length - lastAt;
    if (nameLength > lastLength && TrimmedLength(name, nameLength) == lastLength &&
        SameIgnoringCase(name, final + lastAt, lastLength)) {
        if (lastAt + nameLength + 2 > WIDE_PATH_SIZE) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return 0;
        }
        wmemcpy(final + lastAt, name, nameLength);
        length = lastAt + nameLength;
        final[length] = L'\0';
    }
    return length;
}

// Where folder[0, length) lies in the walk's top folder: the length of the
// top's path, or 0 when it does not lie there.
size_t InWalkedTop(const wchar_t* folder, size_t length, const FileCallPaths* paths)
{
    const size_t top = wcslen(paths->walkTop);
    if (top == 0 || length < top || wcsncmp(folder, paths->walkTop, top) != 0 ||
        (length > top && folder[top] != L'\\'))
        return 0;
    return top;
}

// The final path of the folder path[0, nameAt) in paths->checkedFinal, with
// its separator, kept for the next entry of the same folder. 0, or the
// error. A folder in the tree a walk lists is its top's final path and the
// rest of its path: the walk enters no link, so nothing on the way stands
// for another place, and each folder costs no open of its own.
unsigned long CheckFolder(const wchar_t* path, size_t nameAt, FileCallPaths* paths)
{
    if (wcslen(paths->checkedFolder) == nameAt && wcsncmp(paths->checkedFolder, path, nameAt) == 0)
        return 0;
    paths->checkedFolder[0] = L'\0';
    size_t folderLength = nameAt;
    if (folderLength > 0 && (path[folderLength - 1] == L'\\' || path[folderLength - 1] == L'/'))
        --folderLength;
    wchar_t* folder = paths->temporary;
    wchar_t* final = paths->checkedFinal;
    size_t length;
    if (const size_t top = InWalkedTop(path, folderLength, paths)) {
        if (paths->walkTopFinal[0] == L'\0') {
            wcscpy(folder, paths->walkTop);
            if (FolderFinalPath(folder, paths->walkTopFinal, paths) == 0)
                return GetLastError();
        }
        length = wcslen(paths->walkTopFinal);
        if (length + folderLength - top + 2 > WIDE_PATH_SIZE)
            return ERROR_FILENAME_EXCED_RANGE;
        wmemcpy(final, paths->walkTopFinal, length);
        wmemcpy(final + length, path + top, folderLength - top);
        length += folderLength - top;
    } else {
        wmemcpy(folder, path, folderLength);
        folder[folderLength] = L'\0';
        length = FolderFinalPath(folder, final, paths);
        if (length == 0)
            return GetLastError();
    }
    if (length + 2 > WIDE_PATH_SIZE)
        return ERROR_FILENAME_EXCED_RANGE;
    final[length] = L'\\';
    final[length + 1] = L'\0';
    wmemcpy(paths->checkedFolder, path, nameAt);
    paths->checkedFolder[nameAt] = L'\0';
    return 0;
}

}  // namespace

void NoteWalkedFolder(const wchar_t* path, FileCallPaths* paths)
{
    if (InWalkedTop(path, wcslen(path), paths) != 0)
        return;
    // Another walk's top: its final path is asked when first needed.
    if (!JoinWide(paths->walkTop, WIDE_PATH_SIZE, path, L""))
        paths->walkTop[0] = L'\0';
    paths->walkTopFinal[0] = L'\0';
}

unsigned long CheckNameBytes(const wchar_t*, size_t)
{
    return 0;
}

unsigned long CheckEntryIsItself(const wchar_t* path, FileCallPaths* paths)
{
    // On Windows a link is a reparse point, which the listing and the
    // lookup already tell apart. Under Wine a link to a file lists as a
    // plain file, and moving it moves its target from wherever that is: the
    // file system alone knows where the entry really is.
    if (!RunsUnderWine())
        return 0;
    const size_t nameAt = NameStart(path);
    const wchar_t* name = path + nameAt;
    const size_t nameLength = wcslen(name);
    if (nameAt == 0 || nameLength == 0)
        return ERROR_INVALID_NAME;
    const unsigned long error = CheckFolder(path, nameAt, paths);
    if (error != 0)
        return error;

    // The entry is itself when its final path is its folder's and its own
    // name. (Its identity is asked only where needed below: under Wine
    // that costs six times the open, for the volume's serial number.)
    const size_t length = FinalPathOf(path, paths->entryFinal, nullptr, paths);
    if (length == 0)
        return GetLastError();
    const wchar_t* folderFinal = paths->checkedFinal;
    const size_t folderLength = wcslen(folderFinal);
    const size_t trimmed = TrimmedLength(name, nameLength);
    if (trimmed == 0 || length != folderLength + trimmed || !SameIgnoringCase(paths->entryFinal, folderFinal, folderLength) ||
        !SameIgnoringCase(paths->entryFinal + folderLength, name, trimmed))
        return ERROR_NUMBER_STOPPED_ON_SYMLINK;
    if (trimmed == nameLength)
        return 0;
    // "memo " whose final path says "memo": it is itself unless it is the
    // same file as a "memo" beside it, a link to it.
    wchar_t* sibling = paths->temporary;
    wmemcpy(sibling, path, nameAt + trimmed);
    sibling[nameAt + trimmed] = L'\0';
    BY_HANDLE_FILE_INFORMATION entry;
    BY_HANDLE_FILE_INFORMATION other;
    if (FinalPathOf(path, nullptr, &entry, paths) == 0)
        return GetLastError();
    if (FinalPathOf(sibling, nullptr, &other, paths) != 0 &&
        other.dwVolumeSerialNumber == entry.dwVolumeSerialNumber && other.nFileIndexHigh == entry.nFileIndexHigh &&
        other.nFileIndexLow == entry.nFileIndexLow)
        return ERROR_NUMBER_STOPPED_ON_SYMLINK;
    return 0;
}

// ------------------------------------------------ a path the user gave

namespace {

int CompareListed(const void* a, const void* b)
{
    return wcscmp(static_cast<const ListedName*>(a)->name, static_cast<const ListedName*>(b)->name);
}

// Lists folder (with its trailing separator). A folder too large for the
// listing is not listed at all.
void ListGivenFolder(FileCallPaths* paths, const wchar_t* folder)
{
    GivenFolder& given = paths->givenFolder;
    given.count = 0;
    if (!JoinWide(paths->temporary, WIDE_PATH_SIZE, folder, L"*") ||
        !ForFileCalls(paths->temporary, paths->lookup, WIDE_PATH_SIZE))
        return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(paths->lookup, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
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
        wmemcpy(given.text + used, found.cFileName, size);
        // The tag is only there for a reparse point.
        const bool reparse = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        given.names[count++] = {given.text + used, found.dwFileAttributes, reparse ? found.dwReserved0 : 0};
        used += size;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    if (!complete)
        return;
    qsort(given.names, count, sizeof(given.names[0]), CompareListed);
    given.count = count;
}

const ListedName* FindListed(const GivenFolder& given, const wchar_t* name)
{
    if (given.count == 0)
        return nullptr;
    const ListedName key = {name, 0, 0};
    return static_cast<const ListedName*>(
        bsearch(&key, given.names, given.count, sizeof(given.names[0]), CompareListed));
}

bool HoldsWildcard(const wchar_t* name)
{
    return wcschr(name, L'*') != nullptr || wcschr(name, L'?') != nullptr;
}

}  // namespace

unsigned long FindGivenEntry(const wchar_t* given, wchar_t* full, size_t capacity, FoundEntry* found,
                             FileCallPaths* paths)
{
    *found = FoundEntry{};
    // Relative parts, '/' and ".." resolved, every part kept as written.
    wchar_t* path = paths->given;
    if (GivenFullPath(given, path, WIDE_PATH_SIZE) == 0)
        return ERROR_FILENAME_EXCED_RANGE;
    const size_t folderLength = NameStart(path);
    const wchar_t* name = path + folderLength;
    // A root, or a name a lookup would take for a pattern.
    if (*name == L'\0' || HoldsWildcard(name))
        return ERROR_INVALID_NAME;

    GivenFolder& cache = paths->givenFolder;
    if (folderLength != wcslen(cache.folder) || wcsncmp(path, cache.folder, folderLength) != 0) {
        cache.folder[0] = L'\0';
        cache.count = 0;
        cache.paths = 0;
        wchar_t* folder = paths->temporary;
        wmemcpy(folder, path, folderLength);
        folder[folderLength] = L'\0';
        SetLastError(ERROR_PATH_NOT_FOUND);
        if (!LongPathOf(folder, cache.longFolder, WIDE_PATH_SIZE, paths))
            return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
        if (NameStart(cache.longFolder) != wcslen(cache.longFolder) &&
            !JoinWide(cache.longFolder, WIDE_PATH_SIZE, cache.longFolder, L"\\"))
            return ERROR_FILENAME_EXCED_RANGE;
        wmemcpy(cache.folder, path, folderLength);
        cache.folder[folderLength] = L'\0';
    }
    if (++cache.paths == LIST_AFTER_PATHS)
        ListGivenFolder(paths, cache.folder);

    // The entry's long name as the file system spells it, and what it is;
    // the lookup also tells that it exists.
    WideName spelled;
    unsigned long attributes;
    unsigned long tag = 0;
    if (const ListedName* listed = FindListed(cache, name)) {
        wcscpy(spelled, listed->name);
        attributes = listed->attributes;
        tag = listed->reparseTag;
    } else {
        if (!ForFileCalls(path, paths->lookup, WIDE_PATH_SIZE))
            return ERROR_FILENAME_EXCED_RANGE;
        // The basic level leaves out the short name, which Wine would
        // otherwise make up for the entry.
        WIN32_FIND_DATAW data;
        HANDLE search = FindFirstFileExW(paths->lookup, FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
        if (search == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            return error == ERROR_NO_MORE_FILES ? ERROR_FILE_NOT_FOUND : error;
        }
        FindClose(search);
        if (!JoinWide(spelled, MAX_NAME_UNITS + 1, data.cFileName, L""))
            return ERROR_FILENAME_EXCED_RANGE;
        attributes = data.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            tag = data.dwReserved0;
    }
    found->nameAt = wcslen(cache.longFolder);
    if (!JoinWide(full, capacity, cache.longFolder, spelled))
        return ERROR_FILENAME_EXCED_RANGE;

    // A reparse point stands for another place unless it is a cloud file,
    // as the walk tells them (walk.h).
    found->link = (attributes & ENTRY_REPARSE_POINT) != 0 &&
                  (tag & ~REPARSE_TAG_CLOUD_VARIANTS) != REPARSE_TAG_CLOUD;
    found->folder = (attributes & ENTRY_DIRECTORY) != 0 && !found->link;
    found->hidden = (attributes & ENTRY_HIDDEN) != 0 || spelled[0] == L'.';
    if (!found->folder && !found->link) {
        const unsigned long error = CheckEntryIsItself(full, paths);
        if (error == ERROR_NUMBER_STOPPED_ON_SYMLINK)
            found->link = true;
        else if (error != 0)
            return error;
    }
    return 0;
}
