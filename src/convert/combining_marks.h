// Joining the combining marks a Mac writes: パ stored as ハ + U+309A, é as
// e + U+0301. Such a name is joined in UTF-16, before code page 932, where
// the marks would be outside characters. Only a base character followed by
// combining marks is composed, as Unicode NFC composes it: NFC would also
// change characters standing alone (U+FA10 to U+585A, U+212B to U+00C5),
// and those are kept.
//
// No Windows header: the normaliser comes in as a function.
#pragma once

#include <cstddef>

#include "convert/wide.h"

// Writes the NFC form of units[0, count) to out (capacity units, no
// terminator) and returns its length, or 0 when it cannot.
typedef size_t (*Normalizer)(const WideChar* units, size_t count, WideChar* out, size_t capacity);

// The combining marks joined: U+0300-036F, U+1AB0-1AFF, U+1DC0-1DFF,
// U+20D0-20FF, U+FE20-FE2F (diacritics) and U+3099-309A (the voiced and
// semi-voiced marks).
bool IsCombiningMark(WideChar unit);

// Each base character (one unit or a surrogate pair) of text[0, length)
// followed by combining marks is replaced, together with them, by what
// normalize makes of them, unless that fails or is longer. Everything else
// is kept. In place; returns the new length.
size_t JoinCombiningMarks(WideChar* text, size_t length, Normalizer normalize);
