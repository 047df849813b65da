#include "files/paths.h"

#include <cstring>

namespace {

bool IsSeparator(WideChar unit)
{
    return unit == '\\' || unit == '/';
}

const WideChar EMPTY[] = {0};

bool StartsWith(const WideChar* text, const char* prefix)
{
    for (size_t i = 0; prefix[i] != '\0'; ++i) {
        if (text[i] != static_cast<WideChar>(prefix[i]))
            return false;
    }
    return true;
}

}  // namespace

size_t WideLength(const WideChar* text)
{
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

bool JoinWide(WideChar* out, size_t capacity, const WideChar* first, const WideChar* second)
{
    const size_t a = WideLength(first);
    const size_t b = WideLength(second);
    if (a + b + 1 > capacity) {
        if (capacity > 0)
            out[0] = 0;
        return false;
    }
    // out may be first itself: second is appended behind it.
    if (out != first) {
        for (size_t i = 0; i < a; ++i)
            out[i] = first[i];
    }
    for (size_t i = 0; i <= b; ++i)
        out[a + i] = second[i];
    return true;
}

bool IsExtendedPath(const WideChar* path)
{
    return StartsWith(path, "\\\\?\\") || StartsWith(path, "\\\\.\\");
}

namespace {

// The full path in path[0, length) put in the extended form, in place
// (capacity units with the terminator). False, leaving path empty, when it
// does not fit.
bool PutExtendedPrefix(WideChar* path, size_t length, size_t capacity)
{
    // "\\server\share\..." keeps one of its two backslashes behind "UNC".
    const bool unc = IsSeparator(path[0]) && IsSeparator(path[1]);
    const char* prefix = unc ? "\\\\?\\UNC" : "\\\\?\\";
    const size_t kept = unc ? 1 : 0;
    const size_t prefixLength = unc ? 7 : 4;
    if (length - kept + prefixLength >= capacity) {
        path[0] = 0;
        return false;
    }
    memmove(path + prefixLength, path + kept, (length - kept + 1) * sizeof(WideChar));
    for (size_t i = 0; i < prefixLength; ++i)
        path[i] = static_cast<WideChar>(prefix[i]);
    return true;
}

}  // namespace

bool FileCallPath(const WideChar* path, FullPathFunction fullPath, WideChar* out, size_t capacity)
{
    if (capacity == 0)
        return false;
    if (IsExtendedPath(path))
        return JoinWide(out, capacity, path, EMPTY);
    // The full path is made where the result goes, and gets its prefix there.
    const size_t length = fullPath(path, out, capacity);
    if (length == 0 || length >= capacity) {
        out[0] = 0;
        return false;
    }
    if (length < PLAIN_PATH_LIMIT || IsExtendedPath(out))
        return true;
    return PutExtendedPrefix(out, length, capacity);
}

void TakeOffExtendedPrefix(WideChar* path)
{
    if (!StartsWith(path, "\\\\?\\"))
        return;
    // "\\?\UNC\server" goes back to "\\server", "\\?\C:" to "C:".
    const bool unc = StartsWith(path + 4, "UNC\\");
    size_t to = unc ? 2 : 0;
    for (size_t from = unc ? 8 : 4;; ++from, ++to) {
        path[to] = path[from];
        if (path[from] == 0)
            break;
    }
}

size_t NameStart(const WideChar* path)
{
    size_t start = 0;
    for (size_t i = 0; path[i] != 0; ++i) {
        if (IsSeparator(path[i]))
            start = i + 1;
    }
    if (start == 0) {
        const WideChar first = path[0];
        const bool driveLetter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
        if (driveLetter && path[1] == ':')
            start = 2;
    }
    return start;
}

namespace {

bool IsAsciiUnit(WideChar unit)
{
    return unit < 0x80;
}

WideChar AsciiLower(WideChar unit)
{
    return (unit >= 'A' && unit <= 'Z') ? static_cast<WideChar>(unit + ('a' - 'A')) : unit;
}

// The few characters outside ASCII whose simple case mapping leads to or
// from an ASCII letter: İ, ı, ſ and the Kelvin sign.
bool MayMapToAscii(WideChar unit)
{
    return unit == 0x0130 || unit == 0x0131 || unit == 0x017F || unit == 0x212A;
}

}  // namespace

bool MayDifferOnlyInCase(const WideChar* a, const WideChar* b)
{
    if (WideLength(a) != WideLength(b))
        return false;
    for (size_t i = 0; a[i] != 0; ++i) {
        const bool asciiA = IsAsciiUnit(a[i]);
        const bool asciiB = IsAsciiUnit(b[i]);
        if (asciiA && asciiB && AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
        if (asciiA != asciiB && !MayMapToAscii(asciiA ? b[i] : a[i]))
            return false;
    }
    return true;
}
