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

namespace {

bool IsDriveLetter(WideChar unit)
{
    return (unit >= 'A' && unit <= 'Z') || (unit >= 'a' && unit <= 'z');
}

// Appends text[0, length) to out at *used, keeping room for the
// terminator. False when it does not fit.
bool Append(WideChar* out, size_t capacity, size_t* used, const WideChar* text, size_t length)
{
    if (*used + length + 1 > capacity)
        return false;
    for (size_t i = 0; i < length; ++i)
        out[*used + i] = text[i];
    *used += length;
    out[*used] = 0;
    return true;
}

// Where the parts of a full path start: after "C:" or after
// "\\server\share" (either separator). 0 when path is not full.
size_t RootLength(const WideChar* path)
{
    if (IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2]))
        return 2;
    if (!IsSeparator(path[0]) || !IsSeparator(path[1]) || path[2] == 0 || IsSeparator(path[2]))
        return 0;
    // The server's name and the share's.
    size_t at = 2;
    for (int part = 0; part < 2; ++part) {
        while (path[at] != 0 && !IsSeparator(path[at]))
            ++at;
        if (part == 0) {
            if (path[at] == 0 || path[at + 1] == 0 || IsSeparator(path[at + 1]))
                return 0;
            ++at;
        }
    }
    return at;
}

}  // namespace

size_t FullPathKeepingParts(const WideChar* path, FullPathFunction fullPath, WideChar* out, size_t capacity)
{
    if (capacity == 0)
        return 0;
    out[0] = 0;
    if (IsExtendedPath(path))
        return JoinWide(out, capacity, path, EMPTY) ? WideLength(out) : 0;
    // The root, and where the parts to add start in path. A path that is
    // not full takes its start from the system: the current folder, a
    // drive's current folder ("C:x"), or the current drive's root ("\x").
    // Those are full already, and hold no part the system could trim.
    size_t used = 0;
    size_t rootLength = 0;
    size_t at = RootLength(path);
    if (at != 0) {
        rootLength = at;
        if (!Append(out, capacity, &used, path, at))
            return 0;
        for (size_t i = 0; i < used; ++i) {
            if (out[i] == '/')
                out[i] = '\\';
        }
    } else {
        WideChar start[3] = {'.', 0, 0};
        if (IsDriveLetter(path[0]) && path[1] == ':') {
            start[0] = path[0];
            start[1] = ':';
            at = 2;
        } else if (IsSeparator(path[0])) {
            start[0] = '\\';
            at = 1;
        }
        used = fullPath(start, out, capacity);
        rootLength = RootLength(out);
        if (used == 0 || used >= capacity || rootLength == 0) {
            out[0] = 0;
            return 0;
        }
        // "C:\" keeps no separator of its own: each part brings one.
        if (IsSeparator(out[used - 1]))
            out[--used] = 0;
    }

    // Each part as written: "." passed over, ".." taking the last part
    // back off (never the root), every other part kept whole, its trailing
    // blanks and dots too.
    for (;;) {
        while (IsSeparator(path[at]))
            ++at;
        if (path[at] == 0)
            break;
        const size_t start = at;
        while (path[at] != 0 && !IsSeparator(path[at]))
            ++at;
        const size_t length = at - start;
        if (length == 1 && path[start] == '.')
            continue;
        if (length == 2 && path[start] == '.' && path[start + 1] == '.') {
            while (used > rootLength && out[used - 1] != '\\')
                --used;
            if (used > rootLength)
                --used;
            out[used] = 0;
            continue;
        }
        const WideChar separator[] = {'\\'};
        if (!Append(out, capacity, &used, separator, 1) || !Append(out, capacity, &used, path + start, length)) {
            out[0] = 0;
            return 0;
        }
    }
    // A drive's root is "C:\"; a share's stays "\\server\share".
    if (used == rootLength && rootLength == 2) {
        const WideChar separator[] = {'\\'};
        if (!Append(out, capacity, &used, separator, 1)) {
            out[0] = 0;
            return 0;
        }
    }
    return used;
}

bool FileCallPath(const WideChar* path, FullPathFunction fullPath, WideChar* out, size_t capacity)
{
    if (capacity == 0)
        return false;
    if (IsExtendedPath(path))
        return JoinWide(out, capacity, path, EMPTY);
    // Always the extended form: in a plain path the system trims a trailing
    // blank or dot off the last part (and a dot off any other), so "memo "
    // would name "memo". The full path is made where the result goes.
    const size_t length = FullPathKeepingParts(path, fullPath, out, capacity);
    if (length == 0)
        return false;
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
