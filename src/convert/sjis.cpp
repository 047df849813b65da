#include "convert/sjis.h"

uint16_t IsSingleByteChar(unsigned char b)
{
    // 0x20-0x7F: printable ASCII and DEL; 0xA1-0xDF: half-width katakana.
    return (b >= 0x20 && b <= 0x7F) || (b >= 0xA1 && b <= 0xDF);
}

uint16_t IsLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

uint16_t IsFullWidthLetterTrail(unsigned char b)
{
    // 0x60-0x79: Ａ-Ｚ; 0x81-0x9A: ａ-ｚ (both after lead byte 0x82).
    return (b >= 0x60 && b <= 0x79) || (b >= 0x81 && b <= 0x9A);
}

uint16_t IsIdeographicSpace(unsigned char b1, unsigned char b2)
{
    return b1 == 0x81 && b2 == 0x40;
}

size_t FindLastSeparator(const char* path)
{
    // A backward search cannot tell a trail byte 0x5C from a separator
    // without knowing where characters start, so walk forward instead.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(path);
    size_t last = NO_SEPARATOR;
    size_t i = 0;
    while (p[i] != 0) {
        if (p[i] == '\\' || p[i] == '/')
            last = i;
        i += CharLength(p + i);
    }
    return last;
}
