// Batch mode's calls into Windows: the command line, long paths, moves.
#include <windows.h>

#include <cstring>

#include "app/command_line.h"
#include "app/rename.h"
#include "convert/pipeline.h"
#include "convert/sjis.h"
#include "convert/strings.h"
#include "settings/settings.h"

const char* SafeCommandTail(const char* ansiTail)
{
    // A command line holds at most 32767 UTF-16 units, and code page 932
    // needs at most two bytes for each.
    static char commandLine[65536];
    const wchar_t* wide = GetCommandLineW();
    if (wide == nullptr)
        return ansiTail;
    // CP_ACP, not 932: the ...A calls that follow read paths in the ANSI
    // code page, so the tail must be in the same one to name the same files.
    // Without best fit, a character the code page lacks becomes '?', which
    // no file name holds, instead of a look-alike that might.
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, commandLine,
                                     static_cast<int>(sizeof commandLine), nullptr, nullptr);
    if (length <= 0)
        return ansiTail;
    return SkipProgramName(commandLine);
}

void RenameFromCommandLine(const char* commandLine)
{
    NameBuffer token;
    size_t position = 0;
    for (;;) {
        TokenResult result = NextToken(commandLine, &position, token);
        if (result == TAIL_END)
            break;
        if (result == TAIL_PATH)
            RenameOneFile(token, token);
    }
}

// The name of the entry at path as the file system spells it.
static bool NameOnDisk(const char* path, WIN32_FIND_DATAA* found)
{
    HANDLE search = FindFirstFileA(path, found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

// Where the file system ignores case (FAT, Wine on Linux), a move to a name
// that differs only in case can report success and change nothing. Then go
// through a free temporary name in the same folder; if the second step
// fails, the file gets its old name back.
static void RenameInTwoSteps(const char* existingName, const char* longPath, const char* directory,
                             const char* newPath)
{
    NameBuffer temporary;
    DWORD stamp = GetCurrentProcessId();
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        char process[DECIMAL_BUFFER_SIZE], number[DECIMAL_BUFFER_SIZE];
        FormatDecimal(stamp, process);
        FormatDecimal(attempt, number);
        if (!JoinStrings(temporary, sizeof temporary,
                         {directory, "~blankmender-", process, "-", number, ".tmp"}))
            return;
        if (GetFileAttributesA(temporary) != INVALID_FILE_ATTRIBUTES)
            continue;
        if (!MoveFileA(existingName, temporary))
            return;
        if (!MoveFileA(temporary, newPath))
            MoveFileA(temporary, longPath);
        return;
    }
}

// GetLongPathNameA into a NameBuffer. On failure it leaves the buffer as it
// was, and a result of the buffer's size or more means the long form did not
// fit: false either way.
static bool LongPathName(const char* path, char* longPath)
{
    DWORD length = GetLongPathNameA(path, longPath, NAME_BUFFER_SIZE);
    return length != 0 && length < NAME_BUFFER_SIZE;
}

// The long form of path, as GetLongPathNameA gives it, but with the folder's
// long form kept from the previous call when the folder is written the same.
// Files dropped together share their folder, and resolving it costs one
// directory lookup per component: it made a batch several times slower than
// the moves themselves. A previous path of the same folder can only have
// renamed an entry inside it, never the folder, so the kept form holds.
static bool ResolveLongPath(const char* path, char* longPath)
{
    static NameBuffer lastFolder;
    static NameBuffer lastLongFolder;

    size_t separator = FindLastSeparator(path);
    const char* name = path + separator + 1;
    if (separator == NO_SEPARATOR || strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
        return LongPathName(path, longPath);
    if (*name == '\0')
        return false; // a folder's path ending in a separator: no name to convert

    if (separator + 1 != strlen(lastFolder) || strncmp(path, lastFolder, separator + 1) != 0) {
        lastFolder[0] = '\0';
        NameBuffer folder;
        memcpy(folder, path, separator + 1);
        folder[separator + 1] = '\0';
        if (!LongPathName(folder, lastLongFolder))
            return false;
        size_t length = strlen(lastLongFolder);
        if (FindLastSeparator(lastLongFolder) + 1 != length) {
            if (length + 1 >= NAME_BUFFER_SIZE)
                return false;
            lastLongFolder[length] = '\\';
            lastLongFolder[length + 1] = '\0';
        }
        strcpy(lastFolder, folder);
    }

    // The entry's long name, as the file system spells it; this also tells
    // that it exists.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return JoinStrings(longPath, NAME_BUFFER_SIZE, {lastLongFolder, found.cFileName});
}

void RenameOneFile(const char* path, const char* existingName)
{
    if (!IsUsablePath(path))
        return;

    NameBuffer longPath;
    if (!ResolveLongPath(path, longPath))
        return;

    NameBuffer directory;
    NameBuffer baseName;
    NameBuffer extension;
    bool hasDot;
    SplitPath(longPath, directory, baseName, extension, &hasDot);

    NameBuffer oldBaseName;
    strcpy(oldBaseName, baseName);
    if (!ConvertName(directory, baseName))
        return;
    if (strcmp(baseName, oldBaseName) == 0)
        return;

    NameBuffer newPath;
    if (!BuildNewPath(directory, baseName, extension, hasDot, newPath, sizeof newPath))
        return;

    // Plain MoveFileA: an existing target is never replaced.
    if (!MoveFileA(existingName, newPath))
        return;

    // The old name still on disk under the new path means the move changed
    // nothing but case, and the file system ignored that.
    WIN32_FIND_DATAA found;
    const char* oldName = longPath + strlen(directory);
    const char* newName = newPath + strlen(directory);
    if (MayDifferOnlyInCase(oldName, newName) && NameOnDisk(newPath, &found) &&
        strcmp(found.cFileName, oldName) == 0)
        RenameInTwoSteps(existingName, longPath, directory, newPath);
}
