// The platform services of the settings file on Windows, all through the
// wide API: the program's folder may hold characters that the system's code
// page lacks.
#include "settings/settings.h"

#include <windows.h>

bool GetExecutablePath(wchar_t* buffer, size_t size)
{
    if (size == 0 || size > MAXDWORD)
        return false;
    DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(size));
    // A path that does not fit comes back cut short and fills the buffer:
    // a cut path would name another folder, so it counts as unreadable.
    return length != 0 && length < size;
}

FILE* OpenFile(const wchar_t* path, bool forWriting)
{
    return _wfopen(path, forWriting ? L"w" : L"r");
}

bool MoveFileReplacing(const wchar_t* from, const wchar_t* to)
{
    return MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void RemoveFile(const wchar_t* path)
{
    DeleteFileW(path);
}
