// The floor for the native command's tree benchmark: walks a folder's tree
// as the command does and does nothing more, in plain C calls. Each folder
// is listed whole with readdir before anything in it moves; what is in a
// folder goes before the folder, and the folder given comes last. A name
// with a blank or an ideographic space (E3 80 80) before its last dot gets
// one renameat2 with RENAME_NOREPLACE, to the name with underbars in their
// place. Dot names are passed over, and links are neither entered nor
// moved (d_type, or lstat where the file system gives none), as the
// command passes them over.
//
//   floor_tree_posix FOLDER
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Entry {
    char* name;
    bool folder;
};

// The new name, with each blank or ideographic space before the last dot
// as one underbar; false when there is none. An ideographic space is three
// bytes: the name gets shorter.
bool Converted(const char* name, char* out)
{
    const char* dot = strrchr(name, '.');
    const size_t end = dot != nullptr ? static_cast<size_t>(dot - name) : strlen(name);
    size_t made = 0;
    bool blank = false;
    for (size_t i = 0; name[i] != '\0'; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (i < end && c == ' ') {
            out[made++] = '_';
            blank = true;
        } else if (i + 2 < end && c == 0xE3 && static_cast<unsigned char>(name[i + 1]) == 0x80 &&
                   static_cast<unsigned char>(name[i + 2]) == 0x80) {
            out[made++] = '_';
            i += 2;
            blank = true;
        } else {
            out[made++] = name[i];
        }
    }
    out[made] = '\0';
    return blank;
}

void MoveIfBlank(const char* folder, size_t folderLength, const char* name)
{
    char newName[256 * 3];
    if (!Converted(name, newName))
        return;
    char from[8192];
    char to[8192];
    if (folderLength + strlen(name) + 2 > sizeof from)
        return;
    snprintf(from, sizeof from, "%.*s/%s", static_cast<int>(folderLength), folder, name);
    snprintf(to, sizeof to, "%.*s/%s", static_cast<int>(folderLength), folder, newName);
    renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

// path: the folder, without a trailing separator, in a buffer of 8192.
void Walk(char* path, size_t length)
{
    DIR* dir = opendir(path);
    if (dir == nullptr)
        return;
    Entry* entries = nullptr;
    size_t count = 0, capacity = 0;
    while (const dirent* found = readdir(dir)) {
        if (found->d_name[0] == '.')
            continue;
        unsigned char type = found->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st;
            if (fstatat(dirfd(dir), found->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
        }
        if (type == DT_LNK)
            continue;
        if (count == capacity) {
            capacity = capacity != 0 ? capacity * 2 : 64;
            entries = static_cast<Entry*>(realloc(entries, capacity * sizeof(Entry)));
        }
        entries[count++] = {strdup(found->d_name), type == DT_DIR};
    }
    closedir(dir);
    for (size_t i = 0; i < count; ++i) {
        const size_t nameLength = strlen(entries[i].name);
        if (entries[i].folder && length + 1 + nameLength < 8192) {
            path[length] = '/';
            memcpy(path + length + 1, entries[i].name, nameLength + 1);
            Walk(path, length + 1 + nameLength);
            path[length] = '\0';
        }
        MoveIfBlank(path, length, entries[i].name);
        free(entries[i].name);
    }
    free(entries);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || strlen(argv[1]) >= 8192)
        return 2;
    static char path[8192];
    strcpy(path, argv[1]);
    size_t length = strlen(path);
    while (length > 1 && path[length - 1] == '/')
        path[--length] = '\0';
    Walk(path, length);
    char* slash = strrchr(path, '/');
    if (slash == nullptr)
        MoveIfBlank(".", 1, path);
    else if (slash == path)
        MoveIfBlank("", 0, path + 1); // in the root: "/" + name
    else {
        *slash = '\0';
        MoveIfBlank(path, static_cast<size_t>(slash - path), slash + 1);
    }
    return 0;
}
