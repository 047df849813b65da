#include "convert/convert.h"

#include <cstring>

#include "convert/sjis.h"

// Every conversion is one walk over the characters with a read and a write
// position, so the cost is linear in the name's length. The result is byte
// for byte what converting character by character and shifting the rest of
// the string at every inserted or removed byte would give.

namespace {

typedef unsigned char uchar;

enum Width : uchar { WIDTH_SAME, WIDTH_FULL, WIDTH_HALF };
enum Case : uchar { CASE_SAME, CASE_UPPER, CASE_LOWER, CASE_CAPITALIZE };

// What one conversion does to each kind of character.
struct CharMap {
    bool spaces;      // 20 and 81 40 become '_'
    Width digits;     // 0-9 and ０-９
    Width letters;    // A-Z a-z and Ａ-Ｚ ａ-ｚ; case is kept
    Case letterCase;  // applied to letters of both widths
};

// What capitalising needs to know of the character just before a position:
// a word is a run of letters of one width.
enum WordState : uchar { NO_WORD, HALF_WORD, FULL_WORD };

// The case step's three options as one choice: each of them decides every
// letter's case by itself, so running them in turn comes to the last one set.
Case CaseFrom(bool upper, bool lower, bool capitalize)
{
    if (capitalize)
        return CASE_CAPITALIZE;
    if (lower)
        return CASE_LOWER;
    if (upper)
        return CASE_UPPER;
    return CASE_SAME;
}

// Trail bytes after lead byte 0x82.
inline bool IsFullDigitTrail(uchar t) { return t >= 0x4F && t <= 0x58; }  // ０-９

inline void CopyPair(uchar*& write, uchar lead, uchar trail)
{
    write[0] = lead;
    write[1] = trail;
    write += 2;
}

// Reads the name at read and writes the result at write, which is read
// itself or lies before it by at least the bytes added up to any point, so
// no byte is overwritten before it is read. Every byte from the new
// terminator up to the old one ends up zero.
void CharWalk(const uchar* read, uchar* write, const CharMap& map)
{
    // Locals, not map's fields: a write through a byte pointer could alias
    // map, and would make the compiler load them again for every character.
    const bool spaces = map.spaces;
    const Width digits = map.digits;
    const Width letters = map.letters;
    const Case letterCase = map.letterCase;
    WordState word = NO_WORD;
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
            } else {
                word = NO_WORD;
                if (c == 0x82 && IsFullDigitTrail(t) && digits == WIDTH_HALF)
                    *write++ = static_cast<uchar>(t - 0x1F);
                else if (IsIdeographicSpace(c, t) && spaces)
                    *write++ = 0x5F;
                else
                    CopyPair(write, c, t);
                continue;
            }
        } else {
            const uchar folded = c | 0x20;  // A-Z to a-z, leaving no other letter
            if (folded >= 0x61 && folded <= 0x7A) {
                upper = c <= 0x5A;
                letter = folded - 0x61;
                full = false;
                read++;
            } else {
                if (c == 0) {
                    // Clear what the name no longer occupies, from the new
                    // terminator up to the old one, as shifting would.
                    memset(write, 0, static_cast<size_t>(read - write) + 1);
                    return;
                }
                read++;
                word = NO_WORD;
                if (c == 0x20 && spaces)
                    *write++ = 0x5F;
                else if (c >= 0x30 && c <= 0x39 && digits == WIDTH_FULL)
                    CopyPair(write, 0x82, static_cast<uchar>(c + 0x1F));
                else
                    *write++ = c;
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
        if (full)
            CopyPair(write, 0x82, static_cast<uchar>(letter + (upper ? 0x60 : 0x81)));
        else
            *write++ = static_cast<uchar>(letter + (upper ? 0x41 : 0x61));
    }
}

// The bytes a widening map adds to s: one per half-width digit or letter
// it widens.
size_t Growth(const uchar* s, const CharMap& map)
{
    size_t growth = 0;
    for (; *s != 0; s += CharLength(s)) {
        const uchar c = *s;
        if (c >= 0x30 && c <= 0x39)
            growth += map.digits == WIDTH_FULL;
        else if ((c | 0x20) >= 0x61 && (c | 0x20) <= 0x7A)
            growth += map.letters == WIDTH_FULL;
    }
    return growth;
}

// A single conversion in place. Returns false, leaving name unchanged, when
// a widening map's result would not fit in capacity bytes (terminator
// included).
bool Convert(char* name, size_t capacity, const CharMap& map)
{
    uchar* const s = reinterpret_cast<uchar*>(name);
    if (map.digits != WIDTH_FULL && map.letters != WIDTH_FULL) {
        CharWalk(s, s, map);
        return true;
    }
    // Convert forward from a copy of the name moved up by the growth: the
    // write position gains on the read position only by the bytes added so
    // far, and meets it at the terminator.
    const size_t length = strlen(name);
    const size_t growth = Growth(s, map);
    if (length + growth + 1 > capacity)
        return false;
    memmove(s + growth, s, length + 1);
    CharWalk(s + growth, s, map);
    return true;
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

void NarrowWidthsAndCase(char* name, bool spaces, bool digits, bool letters, bool upper, bool lower,
                         bool capitalize)
{
    Convert(name, 0, {spaces, digits ? WIDTH_HALF : WIDTH_SAME, letters ? WIDTH_HALF : WIDTH_SAME,
                      CaseFrom(upper, lower, capitalize)});
}

void ApplyCaseOptions(char* name, bool upper, bool lower, bool capitalize)
{
    Convert(name, 0, {false, WIDTH_SAME, WIDTH_SAME, CaseFrom(upper, lower, capitalize)});
}
