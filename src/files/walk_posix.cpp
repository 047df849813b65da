// Listing a folder for the walk, and the folders it must leave alone, on a
// POSIX system.
#include "files/walk.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "convert/utf8.h"
#include "files/entries.h"
#include "files/files.h"

namespace {

// IO_REPARSE_TAG_SYMLINK, which the walk takes for a link as it does on
// Windows.
const unsigned long SYMBOLIC_LINK_TAG = REPARSE_TAG_NAME_SURROGATE | 0x8000000C;

// What the entry called name in the open folder is, as listing attributes.
// The file system may leave the type out of the listing (DT_UNKNOWN: XFS
// without ftype, some network ones); then it is asked. False when the
// entry has gone since it was listed.
bool AttributesOf(DIR* folder, const struct dirent* entry, unsigned long* attributes)
{
    unsigned char type = entry->d_type;
    if (type == DT_UNKNOWN) {
        struct stat status;
        if (fstatat(dirfd(folder), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                return false;
            // Neither a folder nor a file can be told from a link: taken
            // for a link, which the walk neither enters nor renames.
            type = DT_LNK;
        } else if (S_ISDIR(status.st_mode)) {
            type = DT_DIR;
        } else if (S_ISLNK(status.st_mode)) {
            type = DT_LNK;
        }
    }
    *attributes = 0;
    if (type == DT_DIR)
        *attributes |= ENTRY_DIRECTORY;
    if (type == DT_LNK)
        *attributes |= ENTRY_REPARSE_POINT;
    if (entry->d_name[0] == '.')
        *attributes |= ENTRY_HIDDEN;
    return true;
}

}  // namespace

unsigned long ListFolderOnDisk(void* context, const WideChar* path, TreeWalk* walk)
{
    FileCallPaths* paths = static_cast<FileCallPaths*>(context);
    if (!SystemPathOf(path, paths->lookup))
        return ERROR_NUMBER_NO_UNICODE_TRANSLATION;
    // Never through a link, even one that took the folder's place since it
    // was listed: it would lead the walk out of the tree.
    const int descriptor = open(paths->lookup, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0) {
        // Linux refuses a link there as no folder: told as the link it is.
        const int error = errno;
        struct stat status;
        if (error == ENOTDIR && lstat(paths->lookup, &status) == 0 && S_ISLNK(status.st_mode))
            return ERROR_NUMBER_STOPPED_ON_SYMLINK;
        return ErrorNumberOf(error, 3);
    }
    DIR* folder = fdopendir(descriptor);
    if (folder == nullptr) {
        const int error = errno;
        close(descriptor);
        return ErrorNumberOf(error, 3);
    }
    unsigned long error = 0;
    for (;;) {
        errno = 0;
        const struct dirent* entry = readdir(folder);
        if (entry == nullptr) {
            error = ErrorNumberOf(errno, 3);
            break;
        }
        const char* name = entry->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
            continue;
        unsigned long attributes;
        if (!AttributesOf(folder, entry, &attributes))
            continue;
        // A Linux name holds at most 255 bytes, and each makes at most one
        // unit.
        size_t units;
        if (!Utf8ToWide(name, strlen(name), paths->listed, MAX_NAME_UNITS + 1, &units)) {
            error = ERROR_NUMBER_NAME_TOO_LONG;
            break;
        }
        if (HoldsEscapedByte(paths->listed, units))
            attributes |= ENTRY_NOT_UTF8;
        const unsigned long tag = (attributes & ENTRY_REPARSE_POINT) != 0 ? SYMBOLIC_LINK_TAG : 0;
        if (!AddListedEntry(walk, paths->listed, units, attributes, tag)) {
            error = WALK_NO_MEMORY;
            break;
        }
    }
    closedir(folder);
    return error;
}

unsigned long ListNamesOnDisk(void* context, const WideChar* path, const ListingWatcher& watcher)
{
    FileCallPaths* paths = static_cast<FileCallPaths*>(context);
    if (!SystemPathOf(path, paths->lookup))
        return ERROR_NUMBER_NO_UNICODE_TRANSLATION;
    // Only names are read: the folder may be reached through a link.
    DIR* folder = opendir(paths->lookup);
    if (folder == nullptr)
        return ErrorNumberOf(errno, 3);
    unsigned long error = 0;
    for (;;) {
        errno = 0;
        const struct dirent* entry = readdir(folder);
        if (entry == nullptr) {
            error = ErrorNumberOf(errno, 3);
            break;
        }
        const char* name = entry->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
            continue;
        size_t units;
        if (!Utf8ToWide(name, strlen(name), paths->listed, MAX_NAME_UNITS + 1, &units) ||
            !watcher.saw(watcher.context, paths->listed, units)) {
            error = WALK_NO_MEMORY;
            break;
        }
    }
    closedir(folder);
    return error;
}

// ---------------------------------------------------------------- the guard

namespace {

// The folders the system and its programs rely on; with $HOME, each is
// guarded with every folder above it.
const char* const SYSTEM_FOLDERS[] = {"/bin", "/boot", "/dev", "/etc", "/lib", "/lib32", "/lib64", "/libx32",
                                      "/proc", "/run", "/sbin", "/sys", "/usr", "/var"};

struct Identity {
    dev_t device;
    ino_t inode;
};

// Looked up at the first question and kept for the process: the folders do
// not move while a batch runs. (Not safe to ask first from two threads at
// once.)
const size_t GUARDED_CAPACITY = 256;
Identity guarded[GUARDED_CAPACITY];
size_t guardedCount = 0;
bool guardLooked = false;
char guardPath[SYSTEM_PATH_SIZE];

bool IsGuardedIdentity(const struct stat& status)
{
    for (size_t i = 0; i < guardedCount; ++i) {
        if (guarded[i].device == status.st_dev && guarded[i].inode == status.st_ino)
            return true;
    }
    return false;
}

// The folder at path (changed in place) and each one above it, by the
// identity lstat gives: a link as the link, so that /bin merged into
// /usr/bin is guarded under both names.
void GuardUpFrom(char* path)
{
    for (;;) {
        struct stat status;
        if (lstat(path, &status) == 0 && !IsGuardedIdentity(status) && guardedCount < GUARDED_CAPACITY)
            guarded[guardedCount++] = {status.st_dev, status.st_ino};
        char* slash = strrchr(path, '/');
        if (slash == nullptr || strcmp(path, "/") == 0)
            return;
        // "/usr" goes up to "/", "/home/me" to "/home".
        slash[slash == path ? 1 : 0] = '\0';
    }
}

// The folder as written, with what lies above it, and the folder it
// resolves to, with what lies above that.
void Guard(const char* folder)
{
    if (folder == nullptr || folder[0] != '/' || strlen(folder) >= sizeof guardPath)
        return;
    strcpy(guardPath, folder);
    GuardUpFrom(guardPath);
    char* resolved = realpath(folder, nullptr);
    if (resolved != nullptr && strlen(resolved) < sizeof guardPath) {
        strcpy(guardPath, resolved);
        GuardUpFrom(guardPath);
    }
    free(resolved);
}

void LookUpGuarded()
{
    guardLooked = true;
    guardedCount = 0;
    strcpy(guardPath, "/");
    GuardUpFrom(guardPath);
    for (const char* folder : SYSTEM_FOLDERS)
        Guard(folder);
    const char* home = getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const struct passwd* user = getpwuid(getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    Guard(home);
}

}  // namespace

bool IsGuardedOnThisSystem(const WideChar* folder)
{
    if (!guardLooked)
        LookUpGuarded();
    // A folder whose bytes cannot be had cannot be walked either.
    if (!SystemPathOf(folder, guardPath))
        return true;
    struct stat status;
    return lstat(guardPath, &status) == 0 && IsGuardedIdentity(status);
}
