// Listing a folder for the walk, and the folders it must leave alone, on
// Windows.
#include "files/walk.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include "files/files.h"

unsigned long ListFolderOnDisk(void*, const wchar_t* path, TreeWalk* walk)
{
    static WidePath pattern;
    static WidePath callPattern;
    if (!JoinWide(pattern, WIDE_PATH_SIZE, path, L"\\*") || !ForFileCalls(pattern, callPattern, WIDE_PATH_SIZE))
        return ERROR_FILENAME_EXCED_RANGE;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(callPattern, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        // A root with nothing in it lists no "." either.
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? 0 : error;
    }
    DWORD error = 0;
    do {
        // The tag is only there for a reparse point.
        if (!AddListedEntry(walk, found.cFileName, wcslen(found.cFileName), found.dwFileAttributes,
                            found.dwReserved0)) {
            error = ERROR_NOT_ENOUGH_MEMORY;
            break;
        }
    } while (FindNextFileW(search, &found));
    if (error == 0 && GetLastError() != ERROR_NO_MORE_FILES)
        error = GetLastError();
    FindClose(search);
    return error;
}

namespace {

const size_t KNOWN_COUNT = 6;

// The known folders, looked up once: a folder that does not exist on this
// system (Program Files (x86) on a 32-bit one) stays empty.
const wchar_t* const* KnownFolders()
{
    static WidePath paths[KNOWN_COUNT];
    static const wchar_t* known[KNOWN_COUNT];
    static bool looked = false;
    if (looked)
        return known;
    looked = true;
    const KNOWNFOLDERID* const ids[KNOWN_COUNT] = {&FOLDERID_Windows,          &FOLDERID_ProgramFiles,
                                                   &FOLDERID_ProgramFilesX86, &FOLDERID_ProgramFilesX64,
                                                   &FOLDERID_ProgramData,     &FOLDERID_Profile};
    for (size_t i = 0; i < KNOWN_COUNT; ++i) {
        paths[i][0] = L'\0';
        known[i] = paths[i];
        PWSTR path = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(*ids[i], 0, nullptr, &path)) && path != nullptr)
            JoinWide(paths[i], WIDE_PATH_SIZE, path, L"");
        CoTaskMemFree(path);
    }
    return known;
}

}  // namespace

bool IsGuardedOnThisSystem(const wchar_t* folder)
{
    return IsGuardedFolder(folder, KnownFolders(), KNOWN_COUNT);
}
