// The file calls of renaming on a POSIX system (entries.h): UTF-16 paths to
// their bytes at each call, errno to Windows error numbers, and a move that
// never replaces: renameat2 with RENAME_NOREPLACE, which the kernel checks
// and makes in one step, so no file that appears meanwhile is lost.
#include "files/entries.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "convert/strings.h"
#include "convert/utf8.h"
#include "files/files.h"
#include "files/walk.h"

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1u << 0)
#endif

namespace {

// Where the name starts: after the last '/'. A backslash is part of a
// name here.
size_t NameAt(const WideChar* path)
{
    size_t at = 0;
    for (size_t i = 0; path[i] != 0; ++i) {
        if (path[i] == '/')
            at = i + 1;
    }
    return at;
}

}  // namespace

FileCallPaths* NewFileCallPaths()
{
    return static_cast<FileCallPaths*>(calloc(1, sizeof(FileCallPaths)));
}

void FreeFileCallPaths(FileCallPaths* paths)
{
    free(paths);
}

bool SystemPathOf(const WideChar* path, char* out)
{
    size_t length;
    return WideToUtf8(path, WideLength(path), out, SYSTEM_PATH_SIZE, &length);
}

unsigned long ErrorNumberOf(int error, unsigned long missing)
{
    switch (error) {
    case 0:
        return 0;
    case ENOENT:
        return missing;
    case ENOTDIR:
        return 3; // ERROR_PATH_NOT_FOUND: a part on the way is no folder
    case EACCES:
    case EPERM:
        return ERROR_NUMBER_ACCESS_DENIED;
    case EBUSY:
        return 32; // ERROR_SHARING_VIOLATION: a mount point, in use
    case EEXIST:
    case ENOTEMPTY:
        return ERROR_NUMBER_ALREADY_EXISTS;
    case ENAMETOOLONG:
        return ERROR_NUMBER_NAME_TOO_LONG;
    case ELOOP:
        return ERROR_NUMBER_STOPPED_ON_SYMLINK;
    case EROFS:
        return 19; // ERROR_WRITE_PROTECT
    case ENOSPC:
    case EDQUOT:
        return 112; // ERROR_DISK_FULL
    case ENOMEM:
        return 8; // ERROR_NOT_ENOUGH_MEMORY
    case EMFILE:
    case ENFILE:
        return 4; // ERROR_TOO_MANY_OPEN_FILES
    case EXDEV:
        return 17; // ERROR_NOT_SAME_DEVICE
    case EIO:
        return 1117; // ERROR_IO_DEVICE
    default:
        return ERROR_NUMBER_FROM_ERRNO | static_cast<unsigned long>(error);
    }
}

size_t GivenFullPath(const WideChar* path, WideChar* out, size_t capacity)
{
    if (capacity < 2 || path[0] == 0)
        return 0;
    size_t length = 0;
    out[length++] = '/';
    // The parts of the current folder first, then the path's: one pass over
    // each, "." and ".." resolved as they come. The current folder's bytes
    // are taken as any name's (convert/utf8.h).
    WideChar* current = nullptr;
    if (path[0] != '/') {
        char* bytes = getcwd(nullptr, 0);
        current = static_cast<WideChar*>(malloc(WIDE_PATH_SIZE * sizeof(WideChar)));
        size_t units;
        const bool made = bytes != nullptr && bytes[0] == '/' && current != nullptr &&
                          Utf8ToWide(bytes, strlen(bytes), current, WIDE_PATH_SIZE, &units);
        free(bytes);
        if (!made) {
            free(current);
            return 0;
        }
    }
    const WideChar* sources[2] = {current, path};
    for (const WideChar* source : sources) {
        if (source == nullptr)
            continue;
        size_t at = 0;
        while (source[at] != 0) {
            while (source[at] == '/')
                ++at;
            const size_t start = at;
            while (source[at] != 0 && source[at] != '/')
                ++at;
            const size_t partLength = at - start;
            const WideChar* part = source + start;
            if (partLength == 0 || (partLength == 1 && part[0] == '.'))
                continue;
            if (partLength == 2 && part[0] == '.' && part[1] == '.') {
                // Back to the separator before the last part; the root stays.
                while (length > 1 && out[length - 1] != '/')
                    --length;
                if (length > 1)
                    --length;
                continue;
            }
            const size_t separator = length > 1 ? 1 : 0;
            if (length + separator + partLength + 1 > capacity) {
                free(current);
                return 0;
            }
            if (separator != 0)
                out[length++] = '/';
            memcpy(out + length, part, partLength * sizeof(WideChar));
            length += partLength;
        }
    }
    free(current);
    out[length] = 0;
    return length;
}

unsigned long FindGivenEntry(const WideChar* given, WideChar* full, size_t capacity, FoundEntry* found,
                             FileCallPaths* paths)
{
    if (GivenFullPath(given, full, capacity) == 0)
        return ERROR_NUMBER_NAME_TOO_LONG;
    if (!SystemPathOf(full, paths->lookup))
        return ERROR_NUMBER_NO_UNICODE_TRANSLATION;
    struct stat status;
    if (lstat(paths->lookup, &status) != 0)
        return ErrorNumberOf(errno, ERROR_NUMBER_FILE_NOT_FOUND);
    found->nameAt = NameAt(full);
    found->folder = S_ISDIR(status.st_mode);
    found->hidden = full[found->nameAt] == '.';
    // A link is renamed itself, as asked (entries.h), unless it is one the
    // system relies on: a case-changing word would otherwise rename /bin
    // where /usr/bin is merged, and the guard is asked of folders only.
    found->link = S_ISLNK(status.st_mode) && IsGuardedOnThisSystem(full);
    return 0;
}

unsigned long CheckNameBytes(const WideChar* name, size_t length)
{
    return HoldsEscapedByte(name, length) ? ERROR_NUMBER_NO_UNICODE_TRANSLATION : 0;
}

unsigned long CheckEntryIsItself(const WideChar*, FileCallPaths*)
{
    // rename() never follows the last part of a path: whatever the entry is
    // now, a link too, the move renames the entry itself, never what a link
    // points to. So there is nothing to ask: an entry gone meanwhile is told
    // by the move itself, and a question here would cost a path lookup for
    // every move of a tree.
    return 0;
}

namespace {

// 0, or the error of a move of from to to that never replaces.
int RenameNoReplace(const char* from, const char* to)
{
#if defined(SYS_renameat2)
    // Through syscall: older C libraries have no renameat2 of their own.
    if (syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    return errno;
#else
    (void)from;
    (void)to;
    return ENOSYS;
#endif
}

unsigned long MoveError(int error)
{
    // A file system that cannot check the target in the same step (some
    // network and FUSE ones) says EINVAL; a kernel without renameat2
    // ENOSYS. A check first and a plain rename after could replace a file
    // made in between, so the entry is left alone instead.
    if (error == EINVAL || error == ENOSYS)
        return ERROR_NUMBER_NOT_SUPPORTED;
    return ErrorNumberOf(error, ERROR_NUMBER_FILE_NOT_FOUND);
}

bool SameEntry(const char* a, const char* b)
{
    struct stat first;
    struct stat second;
    return lstat(a, &first) == 0 && lstat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// Where the file system ignores case (vfat, ext4 with casefold, a share),
// the new name of a change of case is found as the entry itself and the
// move fails with EEXIST: the two steps through a free temporary name in
// the same folder, each never replacing. If the second fails, the entry
// gets its old name back.
unsigned long MoveThroughTemporary(const char* from, const char* to, char* temporary)
{
    const char* slash = strrchr(to, '/');
    const size_t folder = slash == nullptr ? 0 : static_cast<size_t>(slash - to) + 1;
    char process[DECIMAL_BUFFER_SIZE];
    FormatDecimal(static_cast<long long>(getpid()), process);
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        char number[DECIMAL_BUFFER_SIZE];
        char name[64];
        FormatDecimal(attempt, number);
        JoinStrings(name, sizeof name, {"~blankmender-", process, "-", number, ".tmp"});
        if (folder + strlen(name) + 1 > SYSTEM_PATH_SIZE)
            return ERROR_NUMBER_NAME_TOO_LONG;
        memcpy(temporary, to, folder);
        memcpy(temporary + folder, name, strlen(name) + 1);
        int error = RenameNoReplace(from, temporary);
        if (error == EEXIST)
            continue;
        if (error != 0)
            return MoveError(error);
        error = RenameNoReplace(temporary, to);
        if (error == 0)
            return 0;
        RenameNoReplace(temporary, from);
        return MoveError(error);
    }
    return ERROR_NUMBER_ALREADY_EXISTS;
}

}  // namespace

unsigned long MoveEntry(const WideChar* from, const WideChar* to, FileCallPaths* paths)
{
    if (!SystemPathOf(from, paths->from) || !SystemPathOf(to, paths->to))
        return ERROR_NUMBER_NO_UNICODE_TRANSLATION;
    const int error = RenameNoReplace(paths->from, paths->to);
    if (error == 0)
        return 0;
    // The target taken by the entry itself: a change of case where case is
    // ignored. Two hard links whose names differ in case are one entry
    // too; there the second step finds the other name taken and undoes the
    // first.
    const size_t nameAt = NameAt(from);
    if (error == EEXIST && nameAt == NameAt(to) && memcmp(from, to, nameAt * sizeof(WideChar)) == 0 &&
        MayDifferOnlyInCase(from + nameAt, to + nameAt) &&
        SameEntry(paths->from, paths->to))
        return MoveThroughTemporary(paths->from, paths->to, paths->lookup);
    return MoveError(error);
}
