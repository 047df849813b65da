#include "settings/settings.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "convert/sjis.h"
#include "convert/strings.h"

static const char SETTINGS_FILE_NAME[] = "config.dat";

namespace {

// Reads a word the way "%d" does, one byte at a time from next(), which
// returns a byte value or -1 at the end. Works on a string and on a file
// alike, so no amount of leading blanks or digits is cut at a buffer size.
template <typename NextByte>
bool ReadWord(NextByte next, SettingsWord* word)
{
    int c = next();
    // The white space that "%d" skips.
    while (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r')
        c = next();
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = next();
    }
    if (c < '0' || c > '9')
        return false;
    // Unsigned arithmetic wraps instead of overflowing, and the low sixteen
    // bits of the wrapped value are those of the number as written.
    uint32_t value = 0;
    for (; c >= '0' && c <= '9'; c = next())
        value = value * 10u + static_cast<uint32_t>(c - '0');
    if (negative)
        value = 0u - value;
    *word = static_cast<SettingsWord>(value & static_cast<uint32_t>(OPT_ALL));
    return true;
}

}  // namespace

bool ParseSettingsWord(const char* text, SettingsWord* word)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    return ReadWord([&p]() { return *p != 0 ? static_cast<int>(*p++) : -1; }, word);
}

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

}  // namespace

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
    return FindLastSeparator(path);
}
#endif

namespace {

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

}  // namespace

bool SettingsPathForExecutable(const PathChar* exePath, PathChar* buffer, size_t size)
{
    return PathBesideExecutable(exePath, SETTINGS_FILE_NAME, buffer, size);
}

bool FileBesideExecutable(const char* name, PathChar* buffer, size_t size)
{
    static PathChar exePath[PATH_BUFFER_SIZE];
    if (!GetExecutablePath(exePath, PATH_BUFFER_SIZE))
        return false;
    return PathBesideExecutable(exePath, name, buffer, size);
}

bool SettingsFilePath(PathChar* buffer, size_t size)
{
    static PathChar exePath[PATH_BUFFER_SIZE];
    if (!GetExecutablePath(exePath, PATH_BUFFER_SIZE))
        return false;
    return SettingsPathForExecutable(exePath, buffer, size);
}

SettingsWord LoadSettingsFrom(const PathChar* path)
{
    FILE* file = OpenFile(path, false);
    if (file == nullptr)
        return DEFAULT_SETTINGS;
    SettingsWord word;
    bool read = ReadWord([file]() { return getc(file); }, &word);
    fclose(file);
    return read ? word : DEFAULT_SETTINGS;
}

bool SaveSettingsTo(const PathChar* path, SettingsWord word)
{
    // Write a sibling first and move it over the old file only when it is
    // complete, so an interrupted or failed save never leaves the settings
    // empty or cut short.
    static PathChar temporary[PATH_BUFFER_SIZE + 8];
    const size_t size = sizeof(temporary) / sizeof(temporary[0]);
    size_t length = 0;
    for (; path[length] != 0; ++length) {
        if (length + 1 >= size)
            return false;
    }
    memcpy(temporary, path, length * sizeof(PathChar));
    if (!PutAscii(temporary, size, length, ".tmp"))
        return false;

    FILE* file = OpenFile(temporary, true);
    if (file == nullptr)
        return false;
    // "%d", no line end.
    char text[DECIMAL_BUFFER_SIZE];
    FormatDecimal(word, text);
    bool ok = fputs(text, file) >= 0;
    ok = fflush(file) == 0 && ok;
    ok = fclose(file) == 0 && ok;
    if (ok)
        ok = MoveFileReplacing(temporary, path);
    if (!ok)
        RemoveFile(temporary);
    return ok;
}

SettingsWord LoadSettings()
{
    static PathChar path[PATH_BUFFER_SIZE];
    if (!SettingsFilePath(path, PATH_BUFFER_SIZE))
        return DEFAULT_SETTINGS;
    return LoadSettingsFrom(path);
}

bool SaveSettings(SettingsWord word)
{
    static PathChar path[PATH_BUFFER_SIZE];
    if (!SettingsFilePath(path, PATH_BUFFER_SIZE))
        return false;
    return SaveSettingsTo(path, word);
}
