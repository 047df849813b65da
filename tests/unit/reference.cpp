#include "reference.h"

#include <cstring>

namespace Ref {

namespace {

unsigned char* Bytes(char* s) { return reinterpret_cast<unsigned char*>(s); }

bool IsDoubleByteAt(const unsigned char* s, size_t i)
{
    return IsLeadByte(s[i]) && s[i + 1] != 0;
}

// Opens a gap at i: every byte from i up to and including the terminator
// moves one place right, one at a time from the end.
void ShiftRightFrom(unsigned char* s, size_t i, size_t n)
{
    for (size_t j = n + 1; j > i; --j)
        s[j] = s[j - 1];
}

// Removes the byte at i: every following byte, terminator included, moves
// one place left.
void ShiftLeftOnto(unsigned char* s, size_t i)
{
    for (size_t j = i; s[j] != 0; ++j)
        s[j] = s[j + 1];
}

bool IsHalfSmall(unsigned char c) { return c >= 0x61 && c <= 0x7A; }
bool IsHalfCapital(unsigned char c) { return c >= 0x41 && c <= 0x5A; }
bool IsHalfLetter(unsigned char c) { return IsHalfSmall(c) || IsHalfCapital(c); }
bool IsFullSmallTrail(unsigned char c) { return c >= 0x81 && c <= 0x9A; }
bool IsFullCapitalTrail(unsigned char c) { return c >= 0x60 && c <= 0x79; }

} // namespace

std::string Hex(const std::string& s)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Hex(const char* s) { return Hex(std::string(s)); }

bool IsSingleByteChar(unsigned char b)
{
    return (b >= 0x20 && b <= 0x7F) || (b >= 0xA1 && b <= 0xDF);
}

bool IsLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsFullWidthLetterTrail(unsigned char b)
{
    return IsFullCapitalTrail(b) || IsFullSmallTrail(b);
}

bool IsIdeographicSpace(unsigned char b1, unsigned char b2)
{
    return b1 == 0x81 && b2 == 0x40;
}

size_t CharLength(const unsigned char* s, size_t i)
{
    return IsDoubleByteAt(s, i) ? 2 : 1;
}

size_t FindLastSeparator(const char* path)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(path);
    size_t found = NONE;
    for (size_t i = 0; s[i] != 0; i += CharLength(s, i)) {
        if (!IsDoubleByteAt(s, i) && (s[i] == '\\' || s[i] == '/'))
            found = i;
    }
    return found;
}

void SpacesToUnderbar(char* name)
{
    unsigned char* s = Bytes(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            i += 2;
        } else {
            if (s[i] == 0x20)
                s[i] = 0x5F;
            i += 1;
        }
    }
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            if (IsIdeographicSpace(s[i], s[i + 1])) {
                s[i] = 0x5F;
                ShiftLeftOnto(s, i + 1);
                i += 1;
            } else {
                i += 2;
            }
        } else {
            i += 1;
        }
    }
}

void DigitsToFullWidth(char* name)
{
    unsigned char* s = Bytes(name);
    size_t n = std::strlen(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            i += 2;
        } else if (s[i] >= 0x30 && s[i] <= 0x39) {
            unsigned char d = s[i];
            ShiftRightFrom(s, i, n);
            s[i] = 0x82;
            s[i + 1] = static_cast<unsigned char>(d + 0x1F);
            n += 1;
            i += 2;
        } else {
            i += 1;
        }
    }
}

void DigitsToHalfWidth(char* name)
{
    unsigned char* s = Bytes(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            if (s[i] == 0x82 && s[i + 1] >= 0x4F && s[i + 1] <= 0x58) {
                ShiftLeftOnto(s, i);
                s[i] = static_cast<unsigned char>(s[i] - 0x1F);
                i += 1;
            } else {
                i += 2;
            }
        } else {
            i += 1;
        }
    }
}

void LettersToFullWidth(char* name)
{
    unsigned char* s = Bytes(name);
    size_t n = std::strlen(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            i += 2;
        } else if (IsHalfLetter(s[i])) {
            unsigned char c = s[i];
            ShiftRightFrom(s, i, n);
            s[i] = 0x82;
            s[i + 1] = static_cast<unsigned char>(IsHalfCapital(c) ? c + 0x1F : c + 0x20);
            n += 1;
            i += 2;
        } else {
            i += 1;
        }
    }
}

void LettersToHalfWidth(char* name)
{
    unsigned char* s = Bytes(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            if (s[i] == 0x82 && IsFullCapitalTrail(s[i + 1])) {
                ShiftLeftOnto(s, i);
                s[i] = static_cast<unsigned char>(s[i] - 0x1F);
                i += 1;
            } else if (s[i] == 0x82 && IsFullSmallTrail(s[i + 1])) {
                ShiftLeftOnto(s, i);
                s[i] = static_cast<unsigned char>(s[i] - 0x20);
                i += 1;
            } else {
                i += 2;
            }
        } else {
            i += 1;
        }
    }
}

void LettersToUpper(char* name)
{
    unsigned char* s = Bytes(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            i += 2;
        } else {
            if (IsHalfSmall(s[i]))
                s[i] = static_cast<unsigned char>(s[i] - 0x20);
            i += 1;
        }
    }
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            if (s[i] == 0x82 && IsFullSmallTrail(s[i + 1]))
                s[i + 1] = static_cast<unsigned char>(s[i + 1] - 0x21);
            i += 2;
        } else {
            i += 1;
        }
    }
}

void LettersToLower(char* name)
{
    unsigned char* s = Bytes(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            i += 2;
        } else {
            if (IsHalfCapital(s[i]))
                s[i] = static_cast<unsigned char>(s[i] + 0x20);
            i += 1;
        }
    }
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            if (s[i] == 0x82 && IsFullCapitalTrail(s[i + 1]))
                s[i + 1] = static_cast<unsigned char>(s[i + 1] + 0x21);
            i += 2;
        } else {
            i += 1;
        }
    }
}

void CapitalizeWords(char* name)
{
    unsigned char* s = Bytes(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            i += 2;
        } else if (IsHalfLetter(s[i])) {
            if (IsHalfSmall(s[i]))
                s[i] = static_cast<unsigned char>(s[i] - 0x20);
            i += 1;
            while (IsHalfLetter(s[i])) {
                if (IsHalfCapital(s[i]))
                    s[i] = static_cast<unsigned char>(s[i] + 0x20);
                i += 1;
            }
        } else {
            i += 1;
        }
    }
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i) && s[i] == 0x82 && IsFullWidthLetterTrail(s[i + 1])) {
            if (IsFullSmallTrail(s[i + 1]))
                s[i + 1] = static_cast<unsigned char>(s[i + 1] - 0x21);
            i += 2;
            while (IsDoubleByteAt(s, i) && s[i] == 0x82 && IsFullWidthLetterTrail(s[i + 1])) {
                if (IsFullCapitalTrail(s[i + 1]))
                    s[i + 1] = static_cast<unsigned char>(s[i + 1] + 0x21);
                i += 2;
            }
        } else {
            i += CharLength(s, i);
        }
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

size_t ConvertNameWithWord(int word, char* name)
{
    size_t needed = std::strlen(name) + 1;
    auto grew = [&]() {
        size_t size = std::strlen(name) + 1;
        if (size > needed)
            needed = size;
    };
    const bool upper = (word & 0x200) != 0;
    const bool lower = (word & 0x400) != 0;
    const bool capitalize = (word & 0x800) != 0;

    if (word & 0x001)
        SpacesToUnderbar(name);
    if (word & 0x002) {
        if (word & 0x008) {
            DigitsToFullWidth(name);
            grew();
        }
        if (word & 0x010)
            DigitsToHalfWidth(name);
    }
    if (word & 0x004) {
        if (word & 0x020)
            ApplyCaseOptions(name, upper, lower, capitalize);
        if (word & 0x040) {
            LettersToFullWidth(name);
            grew();
            ApplyCaseOptions(name, upper, lower, capitalize);
        }
        if (word & 0x080) {
            LettersToHalfWidth(name);
            ApplyCaseOptions(name, upper, lower, capitalize);
        }
    }
    return needed;
}


namespace {

struct CodecEntry { char16_t unit; const char* bytes; };
const CodecEntry CODE_PAGE[] = {
    {u'\u3042', "\x82\xA0"}, {u'\u3000', "\x81\x40"}, {u'\uFF5E', "\x81\x60"},
    {u'\uFF21', "\x82\x60"}, {u'\uFF41', "\x82\x81"}, {u'\uFF10', "\x82\x4F"},
    {u'\u30BD', "\x83\x5C"}, {u'\u30EB', "\x83\x8B"}, {u'\u8868', "\x95\x5C"},
    {u'\uFF71', "\xB1"},      {u'\uE000', "\xF0\x40"},
};

size_t SmallEncode(const WideChar* units, size_t count, char* bytes)
{
    for (const CodecEntry& entry : CODE_PAGE) {
        if (count == 1 && entry.unit == units[0]) {
            const size_t size = std::strlen(entry.bytes);
            std::memcpy(bytes, entry.bytes, size);
            return size;
        }
    }
    return 0;
}

size_t SmallDecode(const char* bytes, size_t length, WideChar* units)
{
    for (const CodecEntry& entry : CODE_PAGE) {
        if (std::strlen(entry.bytes) == length && std::memcmp(entry.bytes, bytes, length) == 0) {
            units[0] = entry.unit;
            return 1;
        }
    }
    return 0;
}

} // namespace

const Cp932Codec SMALL_CODE_PAGE = {SmallEncode, SmallDecode};

} // namespace Ref
