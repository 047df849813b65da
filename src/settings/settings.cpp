#include "settings/settings.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

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
    // Unsigned arithmetic wraps instead of overflowing, and the low
    // eighteen bits of the wrapped value are those of the number as written.
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

bool SettingsFilePath(PathChar* buffer, size_t size)
{
    return FileBesideExecutable(SETTINGS_FILE_NAME, buffer, size);
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
    // "%d", no line end.
    char text[DECIMAL_BUFFER_SIZE];
    FormatDecimal(word, text);
    return SaveFileAtomically(path, text, strlen(text));
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
