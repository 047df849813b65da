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

// The fast path over blocks of 16 bytes (fast_path.cpp). It is built for
// x86-64, where SSE2 is always there, unless BLANKMENDER_FAST_PATH is 0;
// everywhere else the character walk in convert.cpp does all the work. Both
// give the same bytes.
#ifndef BLANKMENDER_FAST_PATH
#define BLANKMENDER_FAST_PATH 1
#endif
#if BLANKMENDER_FAST_PATH && (defined(__x86_64__) || defined(_M_X64))
#define BLANKMENDER_SSE2_WALK 1
#else
#define BLANKMENDER_SSE2_WALK 0
#endif

// A walk over a name: carries out map from read (a character start) to end,
// the terminator, writing at write (at or before read, by at least the bytes
// added up to any point), and adding to *counts unless it is null. Every byte
// from the new terminator up to the old one ends up zero.
typedef void (*NameWalk)(unsigned char* read, unsigned char* end, unsigned char* write,
                         const CharMap& map, CharCounts* counts);

// The walk for map, counting when count: the fast path's, made for what map
// changes, where there is one; the character walk otherwise.
NameWalk WalkFor(const CharMap& map, bool count);

// The fast path's walk for map, or null when the character walk does the
// whole name: always without the fast path, and when map widens letters
// (nearly every name has a letter in its first block).
#if BLANKMENDER_SSE2_WALK
NameWalk FastWalkFor(const CharMap& map, bool count);
#else
inline NameWalk FastWalkFor(const CharMap&, bool) { return nullptr; }
#endif

// The character walk from read, which follows the character word, to the
// terminator, writing and counting as a NameWalk does: where a fast walk
// hands over at the first block it leaves (one with a digit to widen).
void CharWalkFrom(const unsigned char* read, unsigned char* write, const CharMap& map,
                  CharCounts* counts, WordState word);

// A map with its walk, chosen once for many names.
struct MapWalk {
    CharMap map;
    bool widens;    // Widens(map)
    NameWalk walk;  // WalkFor(map, false)
};

inline MapWalk MapWalkFor(const CharMap& map) { return {map, Widens(map), WalkFor(map, false)}; }

// Applies map, which must widen nothing, to name (length bytes before its
// terminator) in place, and returns the counts of name as it was.
CharCounts ApplyNarrowingCharMap(char* name, size_t length, const CharMap& map);

// ApplyCharMap for a map that widens.
bool ApplyWideningCharMap(char* name, size_t length, size_t capacity, const MapWalk& walk);

// Applies walk's map to name (length bytes before its terminator) in place.
// Returns false, leaving name unchanged, when the result would not fit in
// capacity bytes (terminator included).
inline bool ApplyCharMap(char* name, size_t length, size_t capacity, const MapWalk& walk)
{
    if (walk.widens)
        return ApplyWideningCharMap(name, length, capacity, walk);
    unsigned char* const s = reinterpret_cast<unsigned char*>(name);
    walk.walk(s, s + length, s, walk.map, nullptr);
    return true;
}
