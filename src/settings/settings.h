// The settings word: every user choice as one integer, kept in decimal in
// "config.dat" beside the executable. Each bit mirrors one dialog button.
#pragma once

#include <cstddef>

typedef int SettingsWord;

enum : SettingsWord {
    OPT_SPACES          = 0x001, // blanks to underbars
    OPT_DIGITS          = 0x002, // operate on digits (enables the two below)
    OPT_LETTERS         = 0x004, // operate on letters (enables 0x020-0x800)
    OPT_DIGITS_TO_FULL  = 0x008,
    OPT_DIGITS_TO_HALF  = 0x010,
    OPT_WIDTH_KEEP      = 0x020,
    OPT_LETTERS_TO_FULL = 0x040,
    OPT_LETTERS_TO_HALF = 0x080,
    OPT_CASE_KEEP       = 0x100,
    OPT_CASE_UPPER      = 0x200,
    OPT_CASE_LOWER      = 0x400,
    OPT_CASE_CAPITALIZE = 0x800,
};

// Only bits 0-11 mean anything; higher bits in a file are ignored.
constexpr SettingsWord OPT_ALL = 0xFFF;

// Used when "config.dat" is missing, unreadable or holds no number: blanks
// become underbars, and each radio group starts on a sensible choice.
constexpr SettingsWord DEFAULT_SETTINGS =
    OPT_SPACES | OPT_DIGITS_TO_HALF | OPT_WIDTH_KEEP | OPT_CASE_KEEP;

// Size of every path and name buffer: 255 bytes of text and the terminator.
constexpr size_t NAME_BUFFER_SIZE = 256;
typedef char NameBuffer[NAME_BUFFER_SIZE];

// Reads a word the way "%d" would: leading white space, optional sign,
// decimal digits. Returns false when no number is there. A number too large
// for an int wraps modulo 2^32 instead of being undefined; only the low
// twelve bits are kept in *word.
bool ParseSettingsWord(const char* text, SettingsWord* word);

// "config.dat" in the folder of exePath (the folder keeps its trailing
// separator). Returns false when exePath has no separator or the result
// does not fit in size bytes.
bool SettingsPathForExecutable(const char* exePath, char* buffer, size_t size);

// The settings file of this executable. Returns false when the executable's
// path cannot be had or does not fit.
bool SettingsFilePath(char* buffer, size_t size);

// Reads the word from the file at path; DEFAULT_SETTINGS when the file is
// missing, unreadable or holds no number.
SettingsWord LoadSettingsFrom(const char* path);

// Writes word with "%d" and no line end. The file is first written in full
// under a temporary name in the same folder and then moved over path, so a
// failure leaves the old file as it was. Returns true on success.
bool SaveSettingsTo(const char* path, SettingsWord word);

// The two above on this executable's "config.dat".
SettingsWord LoadSettings();
bool SaveSettings(SettingsWord word);

// Platform services, one small file per platform.
// The executable's own path; false when it cannot be had or does not fit.
bool GetExecutablePath(char* buffer, size_t size);
// Moves from over to, replacing to if it exists. True on success.
bool MoveFileReplacing(const char* from, const char* to);
