// The services for the program's own files on a POSIX system, so the core
// and its tests build and run natively.
#include "files/files.h"

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
    return fopen(path, forWriting ? "wb" : "rb");
}

bool MoveFileReplacing(const char* from, const char* to)
{
    return rename(from, to) == 0;
}

void RemoveFile(const char* path)
{
    remove(path);
}

unsigned long CurrentProcessId()
{
    return static_cast<unsigned long>(getpid());
}
