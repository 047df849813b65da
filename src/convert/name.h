// A file or folder name's conversion, from the UTF-16 name Windows gives to
// the new one: the combining marks of its base name joined, the name taken
// to code page 932 with stand-ins for what it lacks, split at its last dot,
// the base name converted under the word, and the whole brought back to
// UTF-16 within the length a name may have.
//
// No Windows header: the code page and the normaliser come in as functions
// (NameServices); ConvertFileName hands over Windows' own.
#pragma once

#include <cstddef>

#include "convert/combining_marks.h"
#include "convert/options.h"
#include "convert/wide.h"
#include "convert/wide_names.h"

enum NameResult {
    NAME_UNCHANGED,   // the word changes nothing in the name
    NAME_CONVERTED,   // out holds the new name
    NAME_TOO_LONG,    // the new name would pass MAX_NAME_UNITS
    NAME_UNREADABLE,  // the name does not go through code page 932 and back
};

struct NameServices {
    Cp932Codec codec;
    Normalizer normalize;  // called only for a word with OPT_JOIN_MARKS
    // The most bytes of UTF-8 a new name may take, 0 for no such limit. A
    // Linux file system holds UTF8_NAME_LIMIT; Wine cuts a longer name
    // without an error.
    size_t utf8Limit;
};

constexpr size_t UTF8_NAME_LIMIT = 255;

// The new name of a file or folder whose name (length units, no separator)
// is name: its base name, before the last dot, converted under word in
// code page 932, the extension kept; with OPT_JOIN_MARKS, the combining
// marks of the base name are joined first, and a name that only the join
// changes is converted too. out is a WideName. The name may hold at most
// MAX_NAME_UNITS units, and so may the new one: a conversion that adds
// units can make it too long, and the file then keeps its name. So it does
// when the new name takes more than services.utf8Limit bytes of UTF-8.
NameResult ConvertNameWith(SettingsWord word, const WideChar* name, size_t length, const NameServices& services,
                           WideChar* out);

// ConvertNameWith with the platform's services: on Windows code page 932
// and the NFC of Windows itself (name_win.cpp); elsewhere the same code
// page and NFC from tables (cp932.h, nfc.h), and the 255 bytes of UTF-8 a
// Linux name holds (name_posix.cpp).
NameResult ConvertFileName(SettingsWord word, const WideChar* name, size_t length, WideName out);

// Splits a file or folder name (code page 932, no separator in it) into the
// base name before its last dot and the extension after it; each output is
// a NameBuffer. *hasDot tells whether the name had a dot at all ("read me"
// has none, ".profile" has an empty base name).
void SplitName(const char* name, char* baseName, char* extension, bool* hasDot);

// baseName, then "." + extension when hasDot, into newName of size bytes.
// Returns false, leaving newName empty, when it does not fit.
bool BuildNewName(const char* baseName, const char* extension, bool hasDot, char* newName, size_t size);
