// In-place conversions of a Shift-JIS name. Each walks the string by
// characters (see sjis.h): a single-byte test is made only on a single-byte
// character and a double-byte test only at a lead byte, so a trail byte is
// never mistaken for a letter, digit or space.
//
// Every function changes the caller's NUL-terminated buffer in place and
// reads or writes nothing past the terminator (or, for the growing ones,
// past the stated capacity).
#pragma once

#include <cstddef>

// Every single-byte space (0x20) and every ideographic space (81 40) becomes
// one underbar (0x5F). The string shrinks by one byte per ideographic space.
void SpacesToUnderbar(char* name);

// Half-width digits 0-9 become full-width ０-９ (82 4F-82 58). The string
// grows by one byte per digit. capacity is the size of the whole buffer,
// terminator included. Returns false, leaving the string unchanged, when
// the result would not fit.
bool DigitsToFullWidth(char* name, size_t capacity);

// Full-width digits ０-９ become 0-9; shrinks by one byte per digit.
void DigitsToHalfWidth(char* name);

// A-Z and a-z become Ａ-Ｚ (82 60-82 79) and ａ-ｚ (82 81-82 9A); case is
// kept. Grows by one byte per letter; returns false, leaving the string
// unchanged, when the result would not fit in capacity bytes.
bool LettersToFullWidth(char* name, size_t capacity);

// Ａ-Ｚ and ａ-ｚ become A-Z and a-z; shrinks by one byte per letter.
void LettersToHalfWidth(char* name);

// Small letters of both widths become capitals; the length never changes.
void LettersToUpper(char* name);

// Capitals of both widths become small letters; the length never changes.
void LettersToLower(char* name);

// Each word gets a capital initial and small letters after it. A word is a
// run of letters of one width: half-width and full-width letters never
// belong to the same word, and anything else (digits, '_', '.', kana...)
// ends a word.
void CapitalizeWords(char* name);

// The case step: upper, then lower, then capitalise, each flag on its own,
// so with several flags set the last one wins.
void ApplyCaseOptions(char* name, bool upper, bool lower, bool capitalize);

// Spaces to underbars, full-width digits and letters to half width (each
// when asked for), then the case step, in one walk: each of these touches
// characters the others leave alone, and none grows the name, so doing them
// at once gives what doing them in turn gives.
void NarrowWidthsAndCase(char* name, bool spaces, bool digits, bool letters, bool upper, bool lower,
                         bool capitalize);
