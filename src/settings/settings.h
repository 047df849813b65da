// The settings word: every user choice as one integer, kept in decimal in
// "config.dat" beside the executable. Each bit mirrors one dialog button.
#pragma once

#include <cstddef>
#include <cstdio>

#include "convert/options.h"
#include "convert/strings.h"
#include "files/paths.h"

// Used when "config.dat" is missing, unreadable or holds no number: blanks
// become underbars, and each radio group starts on a sensible choice.
constexpr SettingsWord DEFAULT_SETTINGS =
    OPT_SPACES | OPT_DIGITS_TO_HALF | OPT_WIDTH_KEEP | OPT_CASE_KEEP;

// Reads a word the way "%d" would: leading white space, optional sign,
// decimal digits. Returns false when no number is there. A number too large
// for an int wraps modulo 2^32 instead of being undefined; only the low
// sixteen bits are kept in *word.
bool ParseSettingsWord(const char* text, SettingsWord* word);

// File paths as the platform's file functions take them. Windows names
// files in UTF-16, so the settings file is found and opened through the wide
// API and no code page stands between the program and its own folder.
#if defined(_WIN32)
typedef wchar_t PathChar;
#else
typedef char PathChar;
#endif

// Index of the last separator ('\\' or '/') of path, or NO_SEPARATOR (see
// convert/sjis.h). Code page 932 bytes are walked by characters.
size_t LastPathSeparator(const PathChar* path);

// Size of a settings path buffer, in PathChars: the longest path Windows
// can hold, so the executable may lie at any depth.
constexpr size_t PATH_BUFFER_SIZE = WIDE_PATH_SIZE;

// "config.dat" in the folder of exePath (the folder keeps its trailing
// separator). Returns false when exePath has no separator or the result
// does not fit in size PathChars.
bool SettingsPathForExecutable(const PathChar* exePath, PathChar* buffer, size_t size);

// The settings file of this executable. Returns false when the executable's
// path cannot be had or does not fit.
bool SettingsFilePath(PathChar* buffer, size_t size);

// The file called name (ASCII) beside this executable, as above.
bool FileBesideExecutable(const char* name, PathChar* buffer, size_t size);

// Reads the word from the file at path; DEFAULT_SETTINGS when the file is
// missing, unreadable or holds no number.
SettingsWord LoadSettingsFrom(const PathChar* path);

// Writes word with "%d" and no line end. The file is first written in full
// under a temporary name in the same folder and then moved over path, so a
// failure leaves the old file as it was. Returns true on success.
bool SaveSettingsTo(const PathChar* path, SettingsWord word);

// The two above on this executable's "config.dat".
SettingsWord LoadSettings();
bool SaveSettings(SettingsWord word);

// Platform services, one small file per platform. Paths of any length are
// handed to the file functions in the form they need.
// The executable's own path; false when it cannot be had or does not fit.
bool GetExecutablePath(PathChar* buffer, size_t size);
// Opens path for reading or writing ("r" or "w", text mode).
FILE* OpenFile(const PathChar* path, bool forWriting);
// Moves from over to, replacing to if it exists. True on success.
bool MoveFileReplacing(const PathChar* from, const PathChar* to);
// Deletes the file at path, if it can.
void RemoveFile(const PathChar* path);
