// The platform services of the settings file on a POSIX system, so the core
// and its tests build and run natively.
#include "settings/settings.h"

#include <cstdio>
#include <unistd.h>

bool GetExecutablePath(char* buffer, size_t size)
{
    if (size == 0)
        return false;
    ssize_t length = readlink("/proc/self/exe", buffer, size);
    if (length <= 0 || static_cast<size_t>(length) >= size)
        return false;
    buffer[length] = '\0';
    return true;
}

FILE* OpenFile(const char* path, bool forWriting)
{
    return fopen(path, forWriting ? "w" : "r");
}

bool MoveFileReplacing(const char* from, const char* to)
{
    return rename(from, to) == 0;
}

void RemoveFile(const char* path)
{
    remove(path);
}
