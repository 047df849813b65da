// The platform services of the settings file on Windows.
#include "settings/settings.h"

#include <windows.h>

bool GetExecutablePath(char* buffer, size_t size)
{
    if (size == 0 || size > MAXDWORD)
        return false;
    DWORD length = GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
    // A path that does not fit comes back cut short and fills the buffer:
    // a cut path would name another folder, so it counts as unreadable.
    return length != 0 && length < size;
}

bool MoveFileReplacing(const char* from, const char* to)
{
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
