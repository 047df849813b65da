#include "convert/convert.h"

#include <cstring>

#include "convert/sjis.h"

// Every conversion here makes one pass over the name with a read and a write
// position, so the cost is linear in the name's length. The result is the
// same as converting character by character and shifting the tail of the
// string at every inserted or removed byte.

namespace {

typedef unsigned char uchar;

inline uchar* Bytes(char* s) { return reinterpret_cast<uchar*>(s); }

bool IsHalfDigit(uchar c) { return c >= 0x30 && c <= 0x39; }
bool IsHalfUpper(uchar c) { return c >= 0x41 && c <= 0x5A; }
bool IsHalfLower(uchar c) { return c >= 0x61 && c <= 0x7A; }
bool IsHalfLetter(uchar c) { return IsHalfUpper(c) || IsHalfLower(c); }

// Trail bytes after lead byte 0x82.
bool IsFullDigitTrail(uchar t) { return t >= 0x4F && t <= 0x58; }  // ０-９
bool IsFullUpperTrail(uchar t) { return t >= 0x60 && t <= 0x79; }  // Ａ-Ｚ
bool IsFullLowerTrail(uchar t) { return t >= 0x81 && t <= 0x9A; }  // ａ-ｚ

// Is the character at p (of length len) the full-width form 0x82 t?
inline bool IsFullWidth(const uchar* p, size_t len) { return len == 2 && p[0] == 0x82; }

// Which single-byte characters a widening conversion turns into 0x82 pairs,
// and the trail byte each one gets.
typedef int (*WidenRule)(uchar c);  // trail byte, or -1 to keep c

int WidenDigit(uchar c) { return IsHalfDigit(c) ? c + 0x1F : -1; }

int WidenLetter(uchar c)
{
    if (IsHalfUpper(c))
        return c + 0x1F;
    if (IsHalfLower(c))
        return c + 0x20;
    return -1;
}

// Widens in place. The string is first moved to the end of the room it will
// need, then converted forward into the start of the buffer: the write
// position never overtakes the read position, so no byte is read after it
// was overwritten.
bool Widen(char* name, size_t capacity, WidenRule rule)
{
    uchar* s = Bytes(name);
    size_t length = 0;
    size_t growth = 0;
    while (s[length] != 0) {
        size_t len = CharLength(s + length);
        if (len == 1 && rule(s[length]) >= 0)
            growth++;
        length += len;
    }
    if (length + growth + 1 > capacity)
        return false;
    if (growth == 0)
        return true;

    memmove(s + growth, s, length + 1);
    const uchar* read = s + growth;
    uchar* write = s;
    while (*read != 0) {
        size_t len = CharLength(read);
        int trail = len == 1 ? rule(*read) : -1;
        if (trail >= 0) {
            write[0] = 0x82;
            write[1] = static_cast<uchar>(trail);
            write += 2;
            read += 1;
        } else {
            for (size_t k = 0; k < len; k++)
                *write++ = *read++;
        }
    }
    *write = 0;
    return true;
}

// Which 0x82 pairs a narrowing conversion turns into single bytes: the byte
// to write, or -1 to keep the pair.
typedef int (*NarrowRule)(uchar trail);

int NarrowDigit(uchar t) { return IsFullDigitTrail(t) ? t - 0x1F : -1; }

int NarrowLetter(uchar t)
{
    if (IsFullUpperTrail(t))
        return t - 0x1F;
    if (IsFullLowerTrail(t))
        return t - 0x20;
    return -1;
}

void Narrow(char* name, NarrowRule rule)
{
    uchar* read = Bytes(name);
    uchar* write = read;
    while (*read != 0) {
        size_t len = CharLength(read);
        int half = IsFullWidth(read, len) ? rule(read[1]) : -1;
        if (half >= 0) {
            *write++ = static_cast<uchar>(half);
        } else {
            write[0] = read[0];
            if (len == 2)
                write[1] = read[1];
            write += len;
        }
        read += len;
    }
    *write = 0;
}

}  // namespace

void SpacesToUnderbar(char* name)
{
    // A single-byte space and an ideographic space (81 40) both become one
    // underbar; the underbar is no lead byte, so character boundaries after
    // it stay where they were.
    uchar* read = Bytes(name);
    uchar* write = read;
    while (*read != 0) {
        size_t len = CharLength(read);
        if (len == 1) {
            *write++ = *read == 0x20 ? 0x5F : *read;
        } else if (IsIdeographicSpace(read[0], read[1])) {
            *write++ = 0x5F;
        } else {
            write[0] = read[0];
            write[1] = read[1];
            write += 2;
        }
        read += len;
    }
    *write = 0;
}

bool DigitsToFullWidth(char* name, size_t capacity)
{
    return Widen(name, capacity, WidenDigit);
}

void DigitsToHalfWidth(char* name)
{
    Narrow(name, NarrowDigit);
}

bool LettersToFullWidth(char* name, size_t capacity)
{
    return Widen(name, capacity, WidenLetter);
}

void LettersToHalfWidth(char* name)
{
    Narrow(name, NarrowLetter);
}

void LettersToUpper(char* name)
{
    uchar* p = Bytes(name);
    while (*p != 0) {
        size_t len = CharLength(p);
        if (len == 1 && IsHalfLower(*p))
            *p = static_cast<uchar>(*p - 0x20);
        else if (IsFullWidth(p, len) && IsFullLowerTrail(p[1]))
            p[1] = static_cast<uchar>(p[1] - 0x21);  // ａ 82 81 -> Ａ 82 60
        p += len;
    }
}

void LettersToLower(char* name)
{
    uchar* p = Bytes(name);
    while (*p != 0) {
        size_t len = CharLength(p);
        if (len == 1 && IsHalfUpper(*p))
            *p = static_cast<uchar>(*p + 0x20);
        else if (IsFullWidth(p, len) && IsFullUpperTrail(p[1]))
            p[1] = static_cast<uchar>(p[1] + 0x21);
        p += len;
    }
}

void CapitalizeWords(char* name)
{
    // Half-width and full-width words are tracked apart: a letter of the
    // other width, like any non-letter, ends the current word.
    bool inHalfWord = false;
    bool inFullWord = false;
    uchar* p = Bytes(name);
    while (*p != 0) {
        size_t len = CharLength(p);
        if (len == 1 && IsHalfLetter(*p)) {
            if (!inHalfWord && IsHalfLower(*p))
                *p = static_cast<uchar>(*p - 0x20);
            else if (inHalfWord && IsHalfUpper(*p))
                *p = static_cast<uchar>(*p + 0x20);
            inHalfWord = true;
            inFullWord = false;
        } else if (IsFullWidth(p, len) && IsFullWidthLetterTrail(p[1])) {
            if (!inFullWord && IsFullLowerTrail(p[1]))
                p[1] = static_cast<uchar>(p[1] - 0x21);
            else if (inFullWord && IsFullUpperTrail(p[1]))
                p[1] = static_cast<uchar>(p[1] + 0x21);
            inFullWord = true;
            inHalfWord = false;
        } else {
            inHalfWord = false;
            inFullWord = false;
        }
        p += len;
    }
}

void ApplyCaseOptions(char* name, bool upper, bool lower, bool capitalize)
{
    if (upper)
        LettersToUpper(name);
    if (lower)
        LettersToLower(name);
    if (capitalize)
        CapitalizeWords(name);
}
