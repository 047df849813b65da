#include "app/command_line.h"

#include <cstring>

#include "convert/strings.h"

void SplitName(const char* name, char* baseName, char* extension, bool* hasDot)
{
    // A dot is never a trail byte (those start at 0x40), so the last 0x2E
    // byte is the last dot.
    const char* dot = strrchr(name, '.');
    *hasDot = dot != nullptr;
    if (dot != nullptr) {
        size_t baseLength = static_cast<size_t>(dot - name);
        memcpy(baseName, name, baseLength);
        baseName[baseLength] = '\0';
        strcpy(extension, dot + 1);
    } else {
        strcpy(baseName, name);
        extension[0] = '\0';
    }
}

bool BuildNewName(const char* baseName, const char* extension, bool hasDot, char* newName, size_t size)
{
    if (hasDot)
        return JoinStrings(newName, size, {baseName, ".", extension});
    return JoinStrings(newName, size, {baseName});
}
