// Listing a folder for the walk, and the folders it must leave alone, on
// Windows.
#include "files/walk.h"

#include <windows.h>

#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "files/files.h"

unsigned long ListFolderOnDisk(void* context, const wchar_t* path, TreeWalk* walk)
{
    FileCallPaths* paths = static_cast<FileCallPaths*>(context);
    NoteWalkedFolder(path, paths);
    wchar_t* pattern = paths->temporary;
    wchar_t* callPattern = paths->lookup;
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

// The folders' ids by value: the id library would make the program 40 KiB
// larger. FOLDERID_Windows, _ProgramFiles, _ProgramFilesX86,
// _ProgramFilesX64, _ProgramData and _Profile.
const KNOWNFOLDERID KNOWN_IDS[KNOWN_COUNT] = {
    {0xF38BF404, 0x1D43, 0x42F2, {0x93, 0x05, 0x67, 0xDE, 0x0B, 0x28, 0xFC, 0x23}},
    {0x905E63B6, 0xC1BF, 0x494E, {0xB2, 0x9C, 0x65, 0xB7, 0x32, 0xD3, 0xD2, 0x1A}},
    {0x7C5A40EF, 0xA0FB, 0x4BFC, {0x87, 0x4A, 0xC0, 0xF2, 0xE0, 0xB9, 0xFA, 0x8E}},
    {0x6D809377, 0x6AF0, 0x444B, {0x89, 0x57, 0xA3, 0x77, 0x3F, 0x02, 0x20, 0x0E}},
    {0x62AB5D82, 0xFDC1, 0x4DC3, {0xA9, 0xDD, 0x07, 0x0D, 0x1D, 0x49, 0x5D, 0x97}},
    {0x5E6C858F, 0x0E22, 0x4760, {0x9A, 0xFE, 0xEA, 0x33, 0x17, 0xB6, 0x71, 0x73}},
};

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
    for (size_t i = 0; i < KNOWN_COUNT; ++i) {
        paths[i][0] = L'\0';
        known[i] = paths[i];
        PWSTR path = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(KNOWN_IDS[i], 0, nullptr, &path)) && path != nullptr)
            JoinWide(paths[i], WIDE_PATH_SIZE, path, L"");
        CoTaskMemFree(path);
    }
    return known;
}

}  // namespace

namespace {

// What the file system says a folder is, whatever its spelling: its
// volume's serial number and its file index.
struct FolderIdentity {
    DWORD serial;
    DWORD high;
    DWORD low;
};

bool IdentityOf(const wchar_t* path, FolderIdentity* identity, wchar_t* callPath)
{
    if (!ForFileCalls(path, callPath, WIDE_PATH_SIZE))
        return false;
    HANDLE folder = CreateFileW(callPath, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(folder, &info) != 0;
    CloseHandle(folder);
    *identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return known;
}

// Each known folder and every folder above it, up to its root, by
// identity; looked up once.
const size_t GUARDED_IDENTITIES = 256;
struct GuardedIdentities {
    FolderIdentity identities[GUARDED_IDENTITIES];
    size_t count;
};

const GuardedIdentities& KnownIdentities(wchar_t* path, wchar_t* callPath)
{
    static GuardedIdentities guarded;
    static bool looked = false;
    if (looked)
        return guarded;
    looked = true;
    const wchar_t* const* known = KnownFolders();
    for (size_t i = 0; i < KNOWN_COUNT; ++i) {
        if (known[i][0] == L'\0' || !JoinWide(path, WIDE_PATH_SIZE, known[i], L""))
            continue;
        for (;;) {
            FolderIdentity identity;
            if (guarded.count < GUARDED_IDENTITIES && IdentityOf(path, &identity, callPath))
                guarded.identities[guarded.count++] = identity;
            // A root's parent is no folder.
            if (IsGuardedFolder(path, nullptr, 0))
                break;
            size_t length = wcslen(path);
            while (length > 0 && path[length - 1] == L'\\')
                --length;
            path[length] = L'\0';
            const size_t nameAt = NameStart(path);
            if (nameAt == 0)
                break;
            // "C:\users" goes up to "C:\", "C:\users\me" to "C:\users".
            const bool driveRoot = nameAt == 3 && path[1] == L':';
            path[driveRoot ? nameAt : nameAt - 1] = L'\0';
        }
    }
    return guarded;
}

// Under Wine drive C is a folder of the Linux side, and the folders above
// it (the one holding the prefix, the home) are no Windows folders at all:
// Windows sees "C:\" as a root, with no identity above it, yet a walk of
// one would reach drive C's Windows folder. Wine's own call tells each
// folder's Linux path; it is there only under Wine.
typedef char*(CDECL* UnixNameCall)(LPCWSTR);

UnixNameCall UnixNameFunction()
{
    static UnixNameCall call = nullptr;
    static bool looked = false;
    if (!looked) {
        looked = true;
        call = reinterpret_cast<UnixNameCall>(
            reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    }
    return call;
}

// The Linux paths of drive C and of the known folders, looked up once.
const size_t UNIX_KNOWN = KNOWN_COUNT + 1;

char* const* KnownUnixPaths(UnixNameCall unixName)
{
    static char* paths[UNIX_KNOWN];
    static bool looked = false;
    if (looked)
        return paths;
    looked = true;
    const wchar_t* const* known = KnownFolders();
    for (size_t i = 0; i < UNIX_KNOWN; ++i) {
        const wchar_t* folder = i < KNOWN_COUNT ? known[i] : L"C:\\";
        paths[i] = folder[0] != L'\0' ? unixName(folder) : nullptr;
    }
    return paths;
}

// Whether folder lies above drive C or a known folder on the Linux side.
bool LiesAboveOnLinux(const wchar_t* folder, wchar_t* callPath)
{
    const UnixNameCall unixName = UnixNameFunction();
    if (unixName == nullptr || !ForFileCalls(folder, callPath, WIDE_PATH_SIZE))
        return false;
    char* const* known = KnownUnixPaths(unixName);
    char* path = unixName(callPath);
    if (path == nullptr)
        return false;
    size_t length = strlen(path);
    while (length > 1 && path[length - 1] == '/')
        --length;
    bool above = false;
    for (size_t i = 0; i < UNIX_KNOWN && !above; ++i)
        above = known[i] != nullptr && strncmp(known[i], path, length) == 0 &&
                (known[i][length] == '/' || length == 1);
    HeapFree(GetProcessHeap(), 0, path);
    return above;
}

}  // namespace

bool IsGuardedOnThisSystem(const wchar_t* folder)
{
    // The spelling first, which costs nothing; then what the file system
    // says the folder is: under Wine "Z:\...\drive_c\windows" and another
    // drive letter for drive C name the Windows folder too, and on Windows
    // a short name, a mapped or subst drive, or "\\localhost\c$".
    if (IsGuardedFolder(folder, KnownFolders(), KNOWN_COUNT))
        return true;
    wchar_t* path = static_cast<wchar_t*>(malloc(2 * WIDE_PATH_SIZE * sizeof(wchar_t)));
    if (path == nullptr)
        return true;
    wchar_t* callPath = path + WIDE_PATH_SIZE;
    const GuardedIdentities& guarded = KnownIdentities(path, callPath);
    FolderIdentity identity;
    bool found = false;
    if (IdentityOf(folder, &identity, callPath)) {
        for (size_t i = 0; i < guarded.count && !found; ++i) {
            const FolderIdentity& known = guarded.identities[i];
            found = known.serial == identity.serial && known.high == identity.high && known.low == identity.low;
        }
    }
    found = found || LiesAboveOnLinux(folder, callPath);
    free(path);
    return found;
}
