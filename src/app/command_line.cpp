#include "app/command_line.h"

#include <cstring>

#include "convert/sjis.h"
#include "convert/strings.h"

bool IsUsablePath(const char* path)
{
    if (path[0] == '\0')
        return false;
    // All of these are below 0x40, so none can be a trail byte.
    return strpbrk(path, "*?<>\"") == nullptr;
}

void SplitPath(const char* path, char* directory, char* baseName, char* extension, bool* hasDot)
{
    size_t separator = FindLastSeparator(path);
    size_t nameStart;
    if (separator != NO_SEPARATOR) {
        nameStart = separator + 1;
    } else {
        const unsigned char first = static_cast<unsigned char>(path[0]);
        const bool driveLetter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
        nameStart = (driveLetter && path[1] == ':') ? 2 : 0;
    }
    memcpy(directory, path, nameStart);
    directory[nameStart] = '\0';

    const char* name = path + nameStart;
    // A dot is never a trail byte (those start at 0x40), so the last 0x2E
    // byte is the last dot.
    const char* dot = strrchr(name, '.');
    *hasDot = dot != nullptr;
    if (dot != nullptr) {
        size_t baseLength = static_cast<size_t>(dot - name);
        memcpy(baseName, name, baseLength);
        baseName[baseLength] = '\0';
        strcpy(extension, dot + 1);
    } else {
        strcpy(baseName, name);
        extension[0] = '\0';
    }
}

bool BuildNewPath(const char* directory, const char* baseName, const char* extension, bool hasDot,
                  char* newPath, size_t size)
{
    if (hasDot)
        return JoinStrings(newPath, size, {directory, baseName, ".", extension});
    return JoinStrings(newPath, size, {directory, baseName});
}

static unsigned char AsciiLower(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

bool MayDifferOnlyInCase(const char* a, const char* b)
{
    if (strlen(a) != strlen(b))
        return false;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
    size_t i = 0;
    while (p[i] != 0) {
        size_t length = CharLength(p + i);
        if (length != CharLength(q + i))
            return true; // out of step: no conclusion
        if (length == 1 && AsciiLower(p[i]) != AsciiLower(q[i]))
            return false;
        i += length;
    }
    return true;
}
