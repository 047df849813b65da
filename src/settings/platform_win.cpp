// The platform services of the settings file on Windows, all through the
// wide API: the program's folder may hold characters that the system's code
// page lacks.
#include "settings/settings.h"

#include <windows.h>

#include "files/files.h"

namespace {

// path in the form the file functions need; empty when it cannot be had,
// which no file function accepts.
const wchar_t* CallPath(const wchar_t* path, wchar_t* buffer)
{
    if (!ForFileCalls(path, buffer, WIDE_PATH_SIZE))
        buffer[0] = L'\0';
    return buffer;
}

WidePath callPath;
WidePath callTarget;

}  // namespace

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
    return _wfopen(CallPath(path, callPath), forWriting ? L"w" : L"r");
}

bool MoveFileReplacing(const wchar_t* from, const wchar_t* to)
{
    return MoveFileExW(CallPath(from, callPath), CallPath(to, callTarget),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void RemoveFile(const wchar_t* path)
{
    DeleteFileW(CallPath(path, callPath));
}
