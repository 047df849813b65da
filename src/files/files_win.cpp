// The file operations on Windows, all through the wide API: the program's
// folder and the names it renames may hold characters that the system's
// code page lacks.
#include "files/files.h"

#include <windows.h>

#include <cwchar>

#include "convert/strings.h"

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

unsigned long MoveWithoutReplacing(const wchar_t* from, const wchar_t* to, FileCallPaths* paths)
{
    if (!ForFileCalls(from, paths->from, WIDE_PATH_SIZE) || !ForFileCalls(to, paths->to, WIDE_PATH_SIZE))
        return ERROR_FILENAME_EXCED_RANGE;
    // Plain MoveFileW: an existing target is never replaced.
    if (!MoveFileW(paths->from, paths->to))
        return GetLastError();
    if (CaseChangeTookNoEffect(from, to, paths))
        return MoveThroughTemporary(from, to, paths);
    return 0;
}
