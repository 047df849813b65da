#include "convert/utf8.h"

namespace {

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The code point of the valid sequence at bytes[i], and its length in
// *size; 0 for a size when the byte starts none.
unsigned ReadSequence(const unsigned char* bytes, size_t length, size_t i, size_t* size)
{
    const unsigned first = bytes[i];
    *size = 0;
    if (first < 0x80) {
        *size = 1;
        return first;
    }
    size_t need;
    unsigned cp;
    unsigned lowest;
    if (first >= 0xC2 && first <= 0xDF) {
        need = 2, cp = first & 0x1F, lowest = 0x80;
    } else if (first >= 0xE0 && first <= 0xEF) {
        need = 3, cp = first & 0x0F, lowest = 0x800;
    } else if (first >= 0xF0 && first <= 0xF4) {
        need = 4, cp = first & 0x07, lowest = 0x10000;
    } else {
        return 0; // a continuation, C0, C1 or F5-FF
    }
    if (i + need > length)
        return 0;
    for (size_t k = 1; k < need; ++k) {
        if (!IsContinuation(bytes[i + k]))
            return 0;
        cp = cp << 6 | (bytes[i + k] & 0x3Fu);
    }
    // Overlong forms, surrogates and what lies past U+10FFFF are no UTF-8.
    if (cp < lowest || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return 0;
    *size = need;
    return cp;
}

bool IsEscape(WideChar unit)
{
    return unit >= 0xDC80 && unit <= 0xDCFF;
}

} // namespace

bool Utf8ToWide(const char* text, size_t length, WideChar* out, size_t capacity, size_t* units)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t made = 0;
    for (size_t i = 0; i < length;) {
        size_t size;
        const unsigned cp = ReadSequence(bytes, length, i, &size);
        const size_t need = size == 0 ? 1 : cp >= 0x10000 ? 2 : 1;
        if (made + need >= capacity) {
            if (capacity > 0)
                out[0] = 0;
            return false;
        }
        if (size == 0) {
            out[made++] = static_cast<WideChar>(0xDC00 + bytes[i]);
            i += 1;
        } else if (cp >= 0x10000) {
            out[made++] = static_cast<WideChar>(0xD800 + ((cp - 0x10000) >> 10));
            out[made++] = static_cast<WideChar>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            i += size;
        } else {
            out[made++] = static_cast<WideChar>(cp);
            i += size;
        }
    }
    out[made] = 0;
    *units = made;
    return true;
}

bool WideToUtf8(const WideChar* units, size_t count, char* out, size_t capacity, size_t* length)
{
    size_t made = 0;
    for (size_t i = 0; i < count; ++i) {
        unsigned cp = static_cast<unsigned>(units[i]);
        unsigned char bytes[4];
        size_t size;
        bool escape = false;
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<unsigned>(units[i + 1]) - 0xDC00);
            ++i;
        } else if (IsEscape(units[i])) {
            escape = true;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (capacity > 0)
                out[0] = '\0';
            return false;
        }
        if (escape) {
            bytes[0] = static_cast<unsigned char>(cp - 0xDC00);
            size = 1;
        } else if (cp < 0x80) {
            bytes[0] = static_cast<unsigned char>(cp);
            size = 1;
        } else if (cp < 0x800) {
            bytes[0] = static_cast<unsigned char>(0xC0 | cp >> 6);
            bytes[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            size = 2;
        } else if (cp < 0x10000) {
            bytes[0] = static_cast<unsigned char>(0xE0 | cp >> 12);
            bytes[1] = static_cast<unsigned char>(0x80 | (cp >> 6 & 0x3F));
            bytes[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            size = 3;
        } else {
            bytes[0] = static_cast<unsigned char>(0xF0 | cp >> 18);
            bytes[1] = static_cast<unsigned char>(0x80 | (cp >> 12 & 0x3F));
            bytes[2] = static_cast<unsigned char>(0x80 | (cp >> 6 & 0x3F));
            bytes[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            size = 4;
        }
        if (made + size >= capacity) {
            if (capacity > 0)
                out[0] = '\0';
            return false;
        }
        for (size_t k = 0; k < size; ++k)
            out[made++] = static_cast<char>(bytes[k]);
    }
    out[made] = '\0';
    *length = made;
    return true;
}

bool HoldsEscapedByte(const WideChar* units, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (IsEscape(units[i]) && (i == 0 || units[i - 1] < 0xD800 || units[i - 1] > 0xDBFF))
            return true;
    }
    return false;
}

size_t Utf8Length(const WideChar* units, size_t count)
{
    size_t bytes = 0;
    for (size_t i = 0; i < count; ++i) {
        const unsigned unit = static_cast<unsigned>(units[i]);
        if (unit < 0x80 || IsEscape(units[i]))
            bytes += 1;
        else if (unit < 0x800)
            bytes += 2;
        else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
                 units[i + 1] <= 0xDFFF) {
            bytes += 4;
            ++i;
        } else
            bytes += 3;
    }
    return bytes;
}
