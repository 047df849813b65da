// A deliberately naive second implementation of the conversions, kept only
// for tests: it follows the written algorithms step by step (a character
// walk that shifts the whole tail one byte per insertion or removal, two
// passes for spaces and for case), so a faster core can be compared with it
// byte for byte.
//
// The growing functions take no capacity: the caller gives them room for
// twice the string plus the terminator, the most any word can need.
#pragma once

#include <cstddef>
#include <string>

#include "convert/wide_names.h"

namespace Ref {

// "82 60 41": the bytes of s up to its terminator, for failure messages.
std::string Hex(const char* s);
std::string Hex(const std::string& s);

bool IsSingleByteChar(unsigned char b);
bool IsLeadByte(unsigned char b);
bool IsFullWidthLetterTrail(unsigned char b);
bool IsIdeographicSpace(unsigned char b1, unsigned char b2);

// Length of the character at s[i]: 2 for a lead byte followed by anything
// but the terminator, else 1.
size_t CharLength(const unsigned char* s, size_t i);

// Last '\\' or '/' that begins a character, walking forward; npos if none.
constexpr size_t NONE = static_cast<size_t>(-1);
size_t FindLastSeparator(const char* path);

void SpacesToUnderbar(char* name);
void DigitsToFullWidth(char* name);
void DigitsToHalfWidth(char* name);
void LettersToFullWidth(char* name);
void LettersToHalfWidth(char* name);
void LettersToUpper(char* name);
void LettersToLower(char* name);
void CapitalizeWords(char* name);
void ApplyCaseOptions(char* name, bool upper, bool lower, bool capitalize);
void JoinSpacingMarks(char* name);
void KatakanaToFullWidth(char* name);
void KatakanaToHalfWidth(char* name);

// The kana and spacing mark (four bytes) and the joined form (two) of every
// join, as Unicode NFC composes the kana with U+3099 or U+309A, limited to
// what code page 932 holds. Written out, not derived from the core's tables.
extern const char* const JOINS[53];

// The pipeline for one word, bit by bit in the fixed order. name needs room
// for 2 * strlen(name) + 1 bytes: no byte of it ever becomes more than two. Returns the largest size (terminator
// included) the string reached after any step: the capacity the real
// pipeline needs to succeed.
size_t ConvertNameWithWord(int word, char* name);

// A few characters of code page 932, enough to stand for it in tests of the
// stand-ins (the program asks Windows): あ, the ideographic space, ～ (but
// not 〜 U+301C), Ａ, ａ, ０, ソ, ル, 表, katakana of both widths that the
// katakana steps turn into each other (ｱ ア, ｶ カ ガ, ﾊ ハ バ, ﾞ ゛, ｿ, ﾙ),
// and U+E000 as F0 40, where the user-defined area reads, which must still
// count as outside.
extern const Cp932Codec SMALL_CODE_PAGE;

} // namespace Ref
