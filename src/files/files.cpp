// The program's own files, on every platform: where they lie and how they
// are saved. The platform's services are files_win.cpp's or
// files_posix.cpp's.
#include "files/files.h"

#include <cstring>

#include "convert/sjis.h"
#include "convert/strings.h"

namespace {

// Writes text (ASCII) into buffer from index at on. False when it does not
// fit in size PathChars with its terminator.
bool PutAscii(PathChar* buffer, size_t size, size_t at, const char* text)
{
    const size_t length = strlen(text);
    if (at + length + 1 > size)
        return false;
    for (size_t i = 0; i <= length; ++i)
        buffer[at + i] = static_cast<PathChar>(text[i]);
    return true;
}

// Index of the last separator ('\\' or '/') of path, or NO_SEPARATOR (see
// convert/sjis.h).
#if defined(_WIN32)
size_t LastPathSeparator(const wchar_t* path)
{
    // UTF-16 has no trail units that could pass for a separator.
    size_t separator = NO_SEPARATOR;
    for (size_t i = 0; path[i] != 0; ++i) {
        if (path[i] == L'\\' || path[i] == L'/')
            separator = i;
    }
    return separator;
}
#else
size_t LastPathSeparator(const char* path)
{
    // Code page 932 bytes are walked by characters.
    return FindLastSeparator(path);
}
#endif

}  // namespace

bool PathBesideExecutable(const PathChar* exePath, const char* name, PathChar* buffer, size_t size)
{
    size_t separator = LastPathSeparator(exePath);
    if (separator == NO_SEPARATOR)
        return false;
    size_t folderLength = separator + 1;
    if (folderLength + strlen(name) + 1 > size)
        return false;
    memcpy(buffer, exePath, folderLength * sizeof(PathChar));
    return PutAscii(buffer, size, folderLength, name);
}

bool UserFilePath(const char* base, const char* home, const char* fallback, const char* name, char* buffer,
                  size_t size)
{
    buffer[0] = '\0';
    if (base != nullptr && base[0] == '/')
        return JoinStrings(buffer, size, {base, "/blankmender/", name});
    if (home == nullptr || home[0] != '/')
        return false;
    return JoinStrings(buffer, size, {home, "/", fallback, "/blankmender/", name});
}

bool FileBesideExecutable(const char* name, PathChar* buffer, size_t size)
{
    static PathChar exePath[PATH_BUFFER_SIZE];
    if (!GetExecutablePath(exePath, PATH_BUFFER_SIZE))
        return false;
    return PathBesideExecutable(exePath, name, buffer, size);
}

bool StartAtomicSave(AtomicSave* save, const PathChar* path)
{
    const size_t size = sizeof save->temporary / sizeof save->temporary[0];
    save->file = nullptr;
    save->ok = false;
    save->path = path;
    save->temporary[0] = 0;
    size_t length = 0;
    for (; path[length] != 0; ++length) {
        if (length + 1 >= size)
            return false;
    }
    // Each process its own name: two may save the same file one after the
    // other, the second before the first has moved its file.
    char suffix[DECIMAL_BUFFER_SIZE + 8];
    char process[DECIMAL_BUFFER_SIZE];
    FormatDecimal(static_cast<long long>(CurrentProcessId()), process);
    JoinStrings(suffix, sizeof suffix, {".", process, ".tmp"});
    memcpy(save->temporary, path, length * sizeof(PathChar));
    if (!PutAscii(save->temporary, size, length, suffix))
        return false;
    save->file = OpenFile(save->temporary, true);
    save->ok = save->file != nullptr;
    return save->ok;
}

void WriteAtomicSave(AtomicSave* save, const char* bytes, size_t length)
{
    if (save->ok && length != 0)
        save->ok = fwrite(bytes, 1, length, save->file) == length;
}

bool FinishAtomicSave(AtomicSave* save)
{
    if (save->file == nullptr)
        return false;
    bool ok = save->ok;
    ok = fflush(save->file) == 0 && ok;
    ok = fclose(save->file) == 0 && ok;
    save->file = nullptr;
    if (ok)
        ok = MoveFileReplacing(save->temporary, save->path);
    if (!ok)
        RemoveFile(save->temporary);
    save->ok = false;
    return ok;
}

bool SaveFileAtomically(const PathChar* path, const char* bytes, size_t length)
{
    static AtomicSave save;
    if (!StartAtomicSave(&save, path))
        return false;
    WriteAtomicSave(&save, bytes, length);
    return FinishAtomicSave(&save);
}
