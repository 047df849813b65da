// The settings word: every user choice as one integer, kept in decimal in
// "config.dat" beside the executable. Each bit mirrors one dialog button.
#pragma once

#include <cstddef>

#include "convert/options.h"
#include "files/files.h"

// Used when "config.dat" is missing, unreadable or holds no number: blanks
// become underbars, and each radio group starts on a sensible choice.
constexpr SettingsWord DEFAULT_SETTINGS =
    OPT_SPACES | OPT_DIGITS_TO_HALF | OPT_WIDTH_KEEP | OPT_CASE_KEEP;

// Reads a word the way "%d" would: leading white space, optional sign,
// decimal digits. Returns false when no number is there. A number too large
// for an int wraps modulo 2^32 instead of being undefined; only the low
// sixteen bits are kept in *word. The program reads the file with the
// same walk; this form on a string is the tests' and the fuzz target's.
bool ParseSettingsWord(const char* text, SettingsWord* word);

// The settings file of this executable. Returns false when the executable's
// path cannot be had or does not fit.
bool SettingsFilePath(PathChar* buffer, size_t size);

// Reads the word from the file at path; DEFAULT_SETTINGS when the file is
// missing, unreadable or holds no number.
SettingsWord LoadSettingsFrom(const PathChar* path);

// Writes word with "%d" and no line end, saved atomically (see
// files/files.h): a failure leaves the old file as it was. Returns true on
// success.
bool SaveSettingsTo(const PathChar* path, SettingsWord word);

// The two above on this executable's "config.dat".
SettingsWord LoadSettings();
bool SaveSettings(SettingsWord word);
