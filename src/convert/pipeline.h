// The order in which a base name is converted under a settings word.
#pragma once

#include <cstddef>

#include "convert/options.h"

// Applies the conversions that word selects to name, in place: spacing
// marks joined, then spaces, digits, letters (width, then case), and
// katakana last (to full width, then to half width). Sub-option bits act only
// under their parent bit, and each bit is tested on its own, so a word the
// dialog cannot produce runs every conversion it names in that order.
// capacity is the size of name's buffer. Returns false when a widening
// conversion would not fit; name may then hold the earlier steps' result
// and must not be used.
bool ConvertNameWithWord(SettingsWord word, char* name, size_t capacity);

