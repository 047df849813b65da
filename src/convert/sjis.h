// Shift-JIS (code page 932) character model shared by every conversion.
//
// A name is a NUL-terminated byte string. A character is either one byte or
// a lead byte followed by a trail byte. The tests below are plain range
// comparisons on unsigned byte values; no locale or code-page service is
// consulted, so the same bytes convert the same way on every machine.
#pragma once

#include <cstddef>
#include <cstdint>

// 0x20-0x7F (printable ASCII, DEL included) and 0xA1-0xDF (half-width
// katakana). False for control bytes, 0x80, 0xA0, lead bytes and 0xFD-0xFF.
constexpr uint16_t IsSingleByteChar(unsigned char b)
{
    return (b >= 0x20 && b <= 0x7F) || (b >= 0xA1 && b <= 0xDF);
}

// 0x81-0x9F and 0xE0-0xFC: the first byte of a double-byte character.
constexpr uint16_t IsLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// 0x60-0x79 and 0x81-0x9A: trail bytes of full-width Ａ-Ｚ and ａ-ｚ (lead 0x82).
constexpr uint16_t IsFullWidthLetterTrail(unsigned char b)
{
    return (b >= 0x60 && b <= 0x79) || (b >= 0x81 && b <= 0x9A);
}

// 0x81 0x40: the ideographic (full-width) space.
constexpr uint16_t IsIdeographicSpace(unsigned char b1, unsigned char b2)
{
    return b1 == 0x81 && b2 == 0x40;
}

// Length in bytes of the character starting at p: 2 for a lead byte that is
// followed by anything but the terminator, else 1. A lone lead byte just
// before the terminator is a character of its own, so a walk built on this
// never steps past the NUL.
inline size_t CharLength(const unsigned char* p)
{
    return (IsLeadByte(p[0]) && p[1] != 0) ? 2 : 1;
}

// Returned by FindLastSeparator when the path holds no separator.
constexpr size_t NO_SEPARATOR = static_cast<size_t>(-1);

// Index of the last path separator ('\\' or '/') in path, or NO_SEPARATOR.
// The path is walked forward by characters, so a trail byte 0x5C (as in
// ソ 83 5C or 表 95 5C) is never taken for a separator, and a real separator
// after a character whose trail byte looks like a lead byte (ル 83 8B) is
// still found.
size_t FindLastSeparator(const char* path);
