// The portable half of batch mode: reading paths off the command line,
// splitting a path into folder, base name and extension, and putting the
// new path together. No Windows header: these run in the unit tests too.
#pragma once

#include <cstddef>

// The tail of a full command line: the program name is passed over (a name
// that starts with a double quote runs to the next double quote and ends
// after it, any other name ends at the first byte 0x20 or below), then every
// byte from 0x01 to 0x20. Returns a pointer into commandLine; the tail never
// begins with a blank.
const char* SkipProgramName(const char* commandLine);

enum TokenResult {
    TAIL_END,      // nothing left: token is empty
    TAIL_PATH,     // token holds the next path (possibly empty, from "")
    TAIL_TOO_LONG, // the next path has more than 255 bytes: token is empty
};

// Reads the next path of tail into token (a NameBuffer), starting at
// *position and leaving *position where the following one may start. Call
// it until it returns TAIL_END.
//
// Only the space 0x20 separates paths; a tab does not. A path that starts
// with a double quote runs to the next double quote (or the end, when it is
// missing), and the next path may start right after that quote. A double
// quote inside an unquoted path is an ordinary byte. Lead bytes need no
// care here: no Shift-JIS trail byte is 0x20 or 0x22.
//
// A path too long for the buffer is passed over whole, never cut: a cut
// path can name another, existing file.
TokenResult NextToken(const char* tail, size_t* position, char* token);

// False for a path that cannot name exactly one existing file: an empty one,
// or one holding a byte no Windows file name can hold and that the file
// functions take for a wildcard (* ? < > "). The '?' matters most: it is
// what a character outside code page 932 becomes on the command line.
bool IsUsablePath(const char* path);

// Splits path (at most 255 bytes) into its folder, with its trailing
// separator ('\\' or '/'), the base name before the last dot of the file
// name, and the extension after that dot. Each output is a NameBuffer.
// *hasDot tells whether the file name had a dot at all ("read me" has none,
// ".profile" has an empty base name). A path without a separator is a bare
// name in the current folder; a drive prefix such as "C:" in "C:a b.txt"
// stays in the folder part.
void SplitPath(const char* path, char* directory, char* baseName, char* extension, bool* hasDot);

// directory + baseName, then "." + extension when hasDot, into newPath of
// size bytes. Returns false, leaving newPath empty, when it does not fit.
bool BuildNewPath(const char* directory, const char* baseName, const char* extension, bool hasDot,
                  char* newPath, size_t size);

// False when the two names surely differ by more than letter case, so a
// file system that ignores case cannot take one for the other: their byte
// lengths differ (a change of case keeps every character's length), or at
// the same place both hold single-byte characters that differ other than as
// ASCII capital and small letter. True otherwise, also for equal names.
bool MayDifferOnlyInCase(const char* a, const char* b);
