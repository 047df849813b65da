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
    // Unsigned arithmetic wraps instead of overflowing, and the low twelve
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

bool SettingsPathForExecutable(const char* exePath, char* buffer, size_t size)
{
    size_t separator = FindLastSeparator(exePath);
    if (separator == NO_SEPARATOR)
        return false;
    size_t folderLength = separator + 1;
    if (folderLength + sizeof(SETTINGS_FILE_NAME) > size)
        return false;
    memcpy(buffer, exePath, folderLength);
    memcpy(buffer + folderLength, SETTINGS_FILE_NAME, sizeof(SETTINGS_FILE_NAME));
    return true;
}

bool SettingsFilePath(char* buffer, size_t size)
{
    NameBuffer exePath;
    if (!GetExecutablePath(exePath, sizeof(exePath)))
        return false;
    return SettingsPathForExecutable(exePath, buffer, size);
}

SettingsWord LoadSettingsFrom(const char* path)
{
    FILE* file = fopen(path, "r");
    if (file == nullptr)
        return DEFAULT_SETTINGS;
    SettingsWord word;
    bool read = ReadWord([file]() { return getc(file); }, &word);
    fclose(file);
    return read ? word : DEFAULT_SETTINGS;
}

bool SaveSettingsTo(const char* path, SettingsWord word)
{
    // Write a sibling first and move it over the old file only when it is
    // complete, so an interrupted or failed save never leaves the settings
    // empty or cut short.
    char temporary[NAME_BUFFER_SIZE + 8];
    if (!JoinStrings(temporary, sizeof(temporary), {path, ".tmp"}))
        return false;

    FILE* file = fopen(temporary, "w");
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
        remove(temporary);
    return ok;
}

SettingsWord LoadSettings()
{
    NameBuffer path;
    if (!SettingsFilePath(path, sizeof(path)))
        return DEFAULT_SETTINGS;
    return LoadSettingsFrom(path);
}

bool SaveSettings(SettingsWord word)
{
    NameBuffer path;
    if (!SettingsFilePath(path, sizeof(path)))
        return false;
    return SaveSettingsTo(path, word);
}
