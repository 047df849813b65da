// Names between Windows and the conversions. Windows hands out names in
// UTF-16; the conversions work on code page 932 bytes. Converting with code
// page 932 itself, never the system's, makes a name convert the same way on
// every Windows.
//
// A character is "outside" when it does not come back unchanged from code
// page 932 and back: é, 〜 U+301C (which comes back as ～ U+FF5E), emoji,
// Hangul, a lone surrogate. Such a character is replaced by a stand-in, a
// character of code page 932's user-defined area F040-F9FC, and a table
// kept with the name tells which original each stand-in holds. To the
// conversions a stand-in is just another double-byte character, never a
// blank, digit or letter, so an outside character is kept exactly and ends
// a word like any kanji. The private-use characters U+E000-U+E757, which
// the user-defined area stands for, count as outside too, so that no byte
// pair can mean both.
//
// No Windows header: the code page itself comes in as a Cp932Codec.
#pragma once

#include <cstddef>

#include "convert/wide.h"

// One character either way. encode writes the code page 932 bytes of the
// character held in units[0, count) (one unit, or a surrogate pair) to bytes
// and returns how many (1 or 2), or 0 when code page 932 cannot hold it
// exactly. decode writes the UTF-16 of the code page 932 character
// bytes[0, length) to units and returns how many units (at most 2), or 0
// when it is no character.
struct Cp932Codec {
    size_t (*encode)(const WideChar* units, size_t count, char* bytes);
    size_t (*decode)(const char* bytes, size_t length, WideChar* units);
};

// F040-F9FC: leads F0-F9, trails 40-7E and 80-FC.
constexpr size_t STAND_IN_COUNT = 10 * 188;

// Which outside character each stand-in holds, in the order they were
// first met: entry k is the k-th stand-in. Start with count 0.
struct StandIns {
    size_t count;
    WideChar units[STAND_IN_COUNT][2];
    unsigned char length[STAND_IN_COUNT];
};

// Writes the length units of wide to out (capacity bytes, terminator
// included) in code page 932, an outside character as its stand-in. An
// outside character met before keeps its stand-in; a new one is added to
// table. Returns false when the result does not fit (out is then empty):
// a cut name could name another file.
bool ToCodePage932(const WideChar* wide, size_t length, const Cp932Codec& codec, StandIns* table,
                   char* out, size_t capacity);

// The reverse: bytes, with the stand-ins of table, as UTF-16 in out
// (capacity units, terminator included). Returns false when it does not fit
// or bytes hold something neither code page 932 nor table can read.
bool FromCodePage932(const char* bytes, const Cp932Codec& codec, const StandIns& table,
                     WideChar* out, size_t capacity);
