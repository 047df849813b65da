// The engine under every conversion. Each conversion changes characters one
// by one, never across a character boundary, and what it does to a character
// depends only on that character (and, for capitalising, on the letters just
// before it). So any sequence of conversions can be described by what it does
// to each character, and carried out in one walk over the name.
#pragma once

#include <cstddef>

enum Width : unsigned char { WIDTH_SAME, WIDTH_FULL, WIDTH_HALF };
enum Case : unsigned char { CASE_SAME, CASE_UPPER, CASE_LOWER, CASE_CAPITALIZE };

// What one walk does to each kind of character.
struct CharMap {
    bool spaces;      // 20 and 81 40 become '_'
    Width digits;     // 0-9 and ０-９
    Width letters;    // A-Z a-z and Ａ-Ｚ ａ-ｚ; case is kept
    Case letterCase;  // applied after the width, to letters of both widths
};

// What capitalising needs to know of the character just before a position:
// a word is a run of letters of one width (after the width conversion).
enum WordState : unsigned char { NO_WORD, HALF_WORD, FULL_WORD };

// Whether map makes any character longer.
inline bool Widens(const CharMap& map)
{
    return map.digits == WIDTH_FULL || map.letters == WIDTH_FULL;
}

// Characters of a name, by kind, as the walk sees them.
struct CharCounts {
    size_t length;  // bytes before the terminator
    size_t ideographicSpaces;
    size_t halfDigits;
    size_t fullDigits;
    size_t halfLetters;
    size_t fullLetters;
};

CharCounts CountChars(const char* name);

// An upper bound on the bytes any map can add to name (of the given length),
// much cheaper to find than the counts.
size_t GrowthBound(const char* name, size_t length);

// Length of name after map, from its counts.
size_t MappedLength(const CharCounts& counts, const CharMap& map);

// The case step's three options as one choice: each of them decides every
// letter's case by itself, so running them in turn comes to the last one set.
inline Case CaseFromOptions(bool upper, bool lower, bool capitalize)
{
    if (capitalize)
        return CASE_CAPITALIZE;
    if (lower)
        return CASE_LOWER;
    if (upper)
        return CASE_UPPER;
    return CASE_SAME;
}

// Applies map, which must widen nothing, to name in place, and returns the
// counts of name as it was.
CharCounts ApplyNarrowingCharMap(char* name, const CharMap& map);

// Applies map to name in place. Returns false, leaving name unchanged, when
// the result would not fit in capacity bytes (terminator included).
bool ApplyCharMap(char* name, size_t capacity, const CharMap& map);

// The fast path over blocks of 16 bytes (fast_path.cpp). It is built for
// x86-64, where SSE2 is always there, unless BLANKMENDER_FAST_PATH is 0;
// everywhere else the character walk in convert.cpp does all the work. Both
// give the same bytes.
#ifndef BLANKMENDER_FAST_PATH
#define BLANKMENDER_FAST_PATH 1
#endif
#if BLANKMENDER_FAST_PATH && (defined(__x86_64__) || defined(_M_X64))
#define BLANKMENDER_SSE2_WALK 1

// Carries out map from *read (a character start) to the terminator, writing
// at *write as the character walk does (write at or before read, by at least
// the bytes added so far), and adding to *counts unless it is null; *word is
// the character just before *read. Returns true when the name is done, the
// tail from the new terminator to the old one cleared. Returns false at the
// first block it leaves to the character walk (one with a digit to widen,
// or the first of all when map widens letters), with *read, *write and
// *word moved to that block's first character.
bool FastWalk(unsigned char** read, unsigned char** write, WordState* word, const CharMap& map,
              CharCounts* counts);
#else
#define BLANKMENDER_SSE2_WALK 0
#endif
