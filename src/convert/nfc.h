// Unicode canonical composition (NFC) from tables, for a system without
// Windows' NormalizeString: the names a Mac writes (パ as ハ + U+309A, é as
// e + U+0301) reach a Linux server as they are, and must join there as they
// join on Windows.
//
// The tables come from the Unicode Character Database (nfc_table.inc,
// written by tools/make_name_tables.py): combining classes, full canonical
// decompositions, the primary composites. Hangul syllables are made and
// taken apart by arithmetic, as the standard defines them.
#pragma once

#include <cstddef>

#include "convert/wide.h"

// A Normalizer (combining_marks.h): writes the NFC form of units[0, count)
// to out (capacity units, no terminator) and returns its length. 0 when it
// does not fit, when units hold a surrogate without its partner (Windows
// refuses those too), or when count passes MAX_NAME_UNITS: this serves
// names, and a name is never longer.
size_t ComposeNfc(const WideChar* units, size_t count, WideChar* out, size_t capacity);

// The canonical combining class of a code point: 0 for a starter.
unsigned CombiningClassOf(unsigned codePoint);
