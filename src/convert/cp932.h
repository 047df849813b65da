// Code page 932 from a table, as Windows converts it: what
// MultiByteToWideChar(932, MB_ERR_INVALID_CHARS) reads and what
// WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS) writes when the way back
// gives the same character. So a native program converts a name exactly as
// the Windows one does, with no locale and no iconv.
//
// Windows reads several byte pairs as one character (the NEC and IBM
// extensions repeat ∵, Ⅰ, ⅰ, ￢ and 388 more) and writes it as one of them.
// The table holds the reading; the writing is made from it once, taking the
// pair Windows takes: JIS rows first, then NEC row 13 (87xx), then the IBM
// extension (FA-FC), the NEC-selected copy of it (ED-EE) last.
#pragma once

#include "convert/wide_names.h"

// A Cp932Codec over the table. Safe to share between threads: the writing
// table is made on the first call, under the language's guard.
extern const Cp932Codec CODE_PAGE_932;
