#include "convert/convert.h"

#include <cstring>

#include "convert/charmap.h"
#include "convert/sjis.h"

// Every conversion is one walk with a read and a write position, so the cost
// is linear in the name's length. The result is byte for byte what converting
// character by character and shifting the rest of the string at every
// inserted or removed byte would give.

namespace {

typedef unsigned char uchar;

// Trail bytes after lead byte 0x82.
inline bool IsFullDigitTrail(uchar t) { return t >= 0x4F && t <= 0x58; }  // ０-９

// The character walk: reads the name at read and writes the result at write.
// write may equal read, or lie before it by at least the bytes the map adds
// up to any point, so no byte is overwritten before it is read. Every byte
// from the new terminator up to the old one ends up zero. With kCount, the
// characters read are added to *counts. word is the character before read.
template <bool kCount>
void CharWalk(const uchar* read, uchar* write, const CharMap& map, CharCounts* counts,
              WordState word)
{
    const uchar* const start = read;
    // Locals, not map's fields: a write through a byte pointer could alias
    // map, and would make the compiler load them again for every character.
    const bool spaces = map.spaces;
    const Width digits = map.digits;
    const Width letters = map.letters;
    const Case letterCase = map.letterCase;
    // Capitalising starts a word at a letter that does not follow a letter
    // of the same width.
    for (;;) {
        const uchar c = *read;
        int letter;  // 0-25 for A-Z
        bool full, upper;
        if (c >= 0x80) {
            const uchar t = read[1];
            // Half-width katakana and the bytes that begin no character, and
            // a lone lead byte before the terminator, are characters of their
            // own.
            if (!IsLeadByte(c) || t == 0) {
                *write++ = c;
                read++;
                word = NO_WORD;
                continue;
            }
            read += 2;
            if (c == 0x82 && IsFullWidthLetterTrail(t)) {
                upper = t <= 0x79;
                letter = t - (upper ? 0x60 : 0x81);
                full = true;
                if (kCount)
                    counts->fullLetters++;
            } else {
                word = NO_WORD;
                if (c == 0x82 && IsFullDigitTrail(t)) {
                    if (kCount)
                        counts->fullDigits++;
                    if (digits == WIDTH_HALF) {
                        *write++ = static_cast<uchar>(t - 0x1F);
                    } else {
                        write[0] = c;
                        write[1] = t;
                        write += 2;
                    }
                } else if (IsIdeographicSpace(c, t)) {
                    if (kCount)
                        counts->ideographicSpaces++;
                    if (spaces) {
                        *write++ = 0x5F;
                    } else {
                        write[0] = c;
                        write[1] = t;
                        write += 2;
                    }
                } else {
                    write[0] = c;
                    write[1] = t;
                    write += 2;
                }
                continue;
            }
        } else {
            const uchar folded = c | 0x20;  // A-Z to a-z, leaving no other letter
            if (folded >= 0x61 && folded <= 0x7A) {
                upper = c <= 0x5A;
                letter = folded - 0x61;
                full = false;
                read++;
                if (kCount)
                    counts->halfLetters++;
            } else {
                if (c == 0) {
                    if (kCount)
                        counts->length += static_cast<size_t>(read - start);
                    // Clear what the name no longer occupies, from the new
                    // terminator up to the old one, as shifting would.
                    memset(write, 0, static_cast<size_t>(read - write) + 1);
                    return;
                }
                read++;
                word = NO_WORD;
                if (c == 0x20 && spaces) {
                    *write++ = 0x5F;
                } else if (c >= 0x30 && c <= 0x39) {
                    if (kCount)
                        counts->halfDigits++;
                    if (digits == WIDTH_FULL) {
                        write[0] = 0x82;
                        write[1] = static_cast<uchar>(c + 0x1F);
                        write += 2;
                    } else {
                        *write++ = c;
                    }
                } else {
                    *write++ = c;
                }
                continue;
            }
        }

        if (letters == WIDTH_FULL)
            full = true;
        else if (letters == WIDTH_HALF)
            full = false;
        switch (letterCase) {
        case CASE_SAME: break;
        case CASE_UPPER: upper = true; break;
        case CASE_LOWER: upper = false; break;
        case CASE_CAPITALIZE: upper = word != (full ? FULL_WORD : HALF_WORD); break;
        }
        word = full ? FULL_WORD : HALF_WORD;
        if (full) {
            write[0] = 0x82;
            write[1] = static_cast<uchar>(letter + (upper ? 0x60 : 0x81));
            write += 2;
        } else {
            *write++ = static_cast<uchar>(letter + (upper ? 0x41 : 0x61));
        }
    }
}

// The character walk as a NameWalk, for a map the fast path leaves alone.
template <bool kCount>
void WalkChars(uchar* read, uchar*, uchar* write, const CharMap& map, CharCounts* counts)
{
    CharWalk<kCount>(read, write, map, counts, NO_WORD);
}

// The map with its widening parts taken out (and no case change): what may
// safely be applied first when the name would not have room for the
// widened characters before the narrowed ones are gone.
CharMap NarrowingPart(const CharMap& map)
{
    CharMap narrowing = map;
    if (narrowing.digits == WIDTH_FULL)
        narrowing.digits = WIDTH_SAME;
    if (narrowing.letters == WIDTH_FULL)
        narrowing.letters = WIDTH_SAME;
    narrowing.letterCase = CASE_SAME;
    return narrowing;
}

}  // namespace

size_t GrowthBound(const char* name, size_t length)
{
    // Only a digit or a letter can widen, and each is one byte in 0x30-0x7A.
    // Trail bytes in that range make this an overestimate, never an under-
    // estimate, and a plain byte loop like this is many times faster than
    // walking characters.
    const uchar* s = reinterpret_cast<const uchar*>(name);
    size_t count = 0;
    for (size_t i = 0; i < length; i++)
        count += static_cast<size_t>(static_cast<uchar>(s[i] - 0x30) <= 0x7A - 0x30);
    return count;
}

CharCounts CountChars(const char* name)
{
    const uchar* s = reinterpret_cast<const uchar*>(name);
    CharCounts counts = {};
    size_t i = 0;
    for (; s[i] != 0; i += CharLength(s + i)) {
        const uchar c = s[i];
        const uchar t = s[i + 1];
        if (c >= 0x30 && c <= 0x39)
            counts.halfDigits++;
        else if ((c | 0x20) >= 0x61 && (c | 0x20) <= 0x7A)
            counts.halfLetters++;
        else if (c == 0x82 && IsFullDigitTrail(t))
            counts.fullDigits++;
        else if (c == 0x82 && IsFullWidthLetterTrail(t))
            counts.fullLetters++;
        else if (IsIdeographicSpace(c, t))
            counts.ideographicSpaces++;
    }
    counts.length = i;
    return counts;
}

size_t MappedLength(const CharCounts& counts, const CharMap& map)
{
    size_t length = counts.length;
    if (map.spaces)
        length -= counts.ideographicSpaces;
    if (map.digits == WIDTH_FULL)
        length += counts.halfDigits;
    else if (map.digits == WIDTH_HALF)
        length -= counts.fullDigits;
    if (map.letters == WIDTH_FULL)
        length += counts.halfLetters;
    else if (map.letters == WIDTH_HALF)
        length -= counts.fullLetters;
    return length;
}

void CharWalkFrom(const uchar* read, uchar* write, const CharMap& map, CharCounts* counts,
                  WordState word)
{
    if (counts != nullptr)
        CharWalk<true>(read, write, map, counts, word);
    else
        CharWalk<false>(read, write, map, counts, word);
}

NameWalk WalkFor(const CharMap& map, bool count)
{
    const NameWalk fast = FastWalkFor(map, count);
    if (fast != nullptr)
        return fast;
    return count ? WalkChars<true> : WalkChars<false>;
}

CharCounts ApplyNarrowingCharMap(char* name, size_t length, const CharMap& map)
{
    CharCounts counts = {};
    uchar* s = reinterpret_cast<uchar*>(name);
    WalkFor(map, true)(s, s + length, s, map, &counts);
    return counts;
}

bool ApplyWideningCharMap(char* name, size_t length, size_t capacity, const MapWalk& walk)
{
    uchar* s = reinterpret_cast<uchar*>(name);
    const CharMap& map = walk.map;

    // Convert forward from a copy of the name moved towards the end of the
    // buffer. The write position then stays at or before the read position,
    // since it gains on it only by the bytes added so far.
    // No map more than doubles a name; count only when that would not fit.
    const size_t bound = 2 * length + 1 <= capacity ? length : GrowthBound(name, length);
    if (length + bound + 1 <= capacity) {
        memmove(s + bound, s, length + 1);
        walk.walk(s + bound, s + bound + length, s, map, nullptr);
        return true;
    }

    const CharCounts counts = CountChars(name);
    size_t growth = (map.digits == WIDTH_FULL ? counts.halfDigits : 0) +
                    (map.letters == WIDTH_FULL ? counts.halfLetters : 0);
    if (MappedLength(counts, map) + 1 > capacity)
        return false;
    if (length + growth + 1 > capacity) {
        // Only the narrowing leaves room for the widening.
        const CharMap narrowing = NarrowingPart(map);
        WalkFor(narrowing, false)(s, s + length, s, narrowing, nullptr);
        length = MappedLength(counts, narrowing);
    }
    memmove(s + growth, s, length + 1);
    walk.walk(s + growth, s + growth + length, s, map, nullptr);
    return true;
}

namespace {

// A single conversion, on a name not yet measured.
bool Convert(char* name, size_t capacity, const CharMap& map)
{
    return ApplyCharMap(name, strlen(name), capacity, MapWalkFor(map));
}

}  // namespace

void SpacesToUnderbar(char* name)
{
    Convert(name, 0, {true, WIDTH_SAME, WIDTH_SAME, CASE_SAME});
}

bool DigitsToFullWidth(char* name, size_t capacity)
{
    return Convert(name, capacity, {false, WIDTH_FULL, WIDTH_SAME, CASE_SAME});
}

void DigitsToHalfWidth(char* name)
{
    Convert(name, 0, {false, WIDTH_HALF, WIDTH_SAME, CASE_SAME});
}

bool LettersToFullWidth(char* name, size_t capacity)
{
    return Convert(name, capacity, {false, WIDTH_SAME, WIDTH_FULL, CASE_SAME});
}

void LettersToHalfWidth(char* name)
{
    Convert(name, 0, {false, WIDTH_SAME, WIDTH_HALF, CASE_SAME});
}

void LettersToUpper(char* name)
{
    Convert(name, 0, {false, WIDTH_SAME, WIDTH_SAME, CASE_UPPER});
}

void LettersToLower(char* name)
{
    Convert(name, 0, {false, WIDTH_SAME, WIDTH_SAME, CASE_LOWER});
}

void CapitalizeWords(char* name)
{
    Convert(name, 0, {false, WIDTH_SAME, WIDTH_SAME, CASE_CAPITALIZE});
}

void ApplyCaseOptions(char* name, bool upper, bool lower, bool capitalize)
{
    Convert(name, 0, {false, WIDTH_SAME, WIDTH_SAME, CaseFromOptions(upper, lower, capitalize)});
}
