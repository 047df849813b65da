// The portable half of batch mode: reading paths off the command line. No
// Windows header: these run in the unit tests too.
#pragma once

#include <cstddef>

#include "files/paths.h"

// The command line is read in code units: bytes of code page 932 or UTF-16
// units alike. Only the NUL, the blanks 0x01-0x20 and the double quote 0x22
// matter here, and no trail byte of code page 932 is any of them (trail
// bytes start at 0x40), so neither form needs a character walk.
inline unsigned UnitValue(char unit)
{
    return static_cast<unsigned char>(unit);
}
template <typename Unit>
unsigned UnitValue(Unit unit)
{
    return static_cast<unsigned>(unit);
}

// The tail of a full command line: the program name is passed over (a name
// that starts with a double quote runs to the next double quote and ends
// after it, any other name ends at the first unit 0x20 or below), then every
// unit from 0x01 to 0x20. Returns a pointer into commandLine; the tail never
// begins with a blank.
template <typename Unit>
const Unit* SkipProgramName(const Unit* commandLine)
{
    size_t i = 0;
    if (UnitValue(commandLine[0]) == '"') {
        i = 1;
        while (commandLine[i] != 0 && UnitValue(commandLine[i]) != '"')
            ++i;
        if (commandLine[i] != 0)
            ++i;
    } else {
        while (UnitValue(commandLine[i]) > 0x20)
            ++i;
    }
    while (UnitValue(commandLine[i]) >= 0x01 && UnitValue(commandLine[i]) <= 0x20)
        ++i;
    return commandLine + i;
}

enum TokenResult {
    TAIL_END,      // nothing left: token is empty
    TAIL_PATH,     // token holds the next path (possibly empty, from "")
    TAIL_TOO_LONG, // the next path does not fit in token: token is empty
};

// Reads the next path of tail into token (capacity units with the
// terminator), starting at *position and leaving *position where the
// following one may start. Call it until it returns TAIL_END. With a token
// of WIDE_PATH_SIZE units, every path a command line can hold fits.
//
// Only the space 0x20 separates paths; a tab does not. A path that starts
// with a double quote runs to the next double quote (or the end, when it is
// missing), and the next path may start right after that quote. A double
// quote inside an unquoted path is an ordinary unit.
//
// A path too long for the buffer is passed over whole, never cut: a cut
// path can name another, existing file.
template <typename Unit>
TokenResult NextToken(const Unit* tail, size_t* position, Unit* token, size_t capacity)
{
    size_t i = *position;
    token[0] = 0;
    while (tail[i] != 0) {
        size_t start;
        size_t end;
        if (UnitValue(tail[i]) == '"') {
            start = i + 1;
            end = start;
            while (tail[end] != 0 && UnitValue(tail[end]) != '"')
                ++end;
        } else if (UnitValue(tail[i]) != ' ') {
            start = i;
            end = start;
            while (tail[end] != 0 && UnitValue(tail[end]) != ' ')
                ++end;
        } else {
            ++i;
            continue;
        }
        // Step over the closing quote or the separating space, not the NUL.
        *position = (tail[end] != 0) ? end + 1 : end;
        size_t length = end - start;
        if (length >= capacity)
            return TAIL_TOO_LONG;
        for (size_t k = 0; k < length; ++k)
            token[k] = tail[start + k];
        token[length] = 0;
        return TAIL_PATH;
    }
    *position = i;
    return TAIL_END;
}

// False for a path that cannot name exactly one existing file: an empty one,
// or one holding a unit no Windows file name can hold and that the file
// functions take for a wildcard (* ? < > "). In code page 932 all of these
// are below 0x40, so none can be a trail byte.
template <typename Unit>
bool IsUsablePath(const Unit* path)
{
    if (path[0] == 0)
        return false;
    for (size_t i = 0; path[i] != 0; ++i) {
        const unsigned unit = UnitValue(path[i]);
        if (unit == '*' || unit == '?' || unit == '<' || unit == '>' || unit == '"')
            return false;
    }
    return true;
}
