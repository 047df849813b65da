// Blankmender.lnk in the Send To folder, through the shell's own shortcut
// object, so that Explorer reads it as one of its own.
#include "ui/sendto_win.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cwchar>

#include "files/files.h"

namespace {

const wchar_t SHORTCUT_NAME[] = L"\\Blankmender.lnk";

// The shell's link object and the Send To folder, by value: the library that
// holds every such id would make the program half as large again. The
// interfaces come by IID_PPV_ARGS.
const CLSID SHELL_LINK = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const KNOWNFOLDERID SEND_TO = {0x8983036C, 0x27C0, 0x404B, {0x8F, 0x08, 0x10, 0x2D, 0x10, 0xDC, 0xFD, 0x74}};

WidePath exePath;
WidePath shortcutPath;
WidePath target;
WidePath longA;
WidePath longB;

// The Send To folder in folder (size units), or false. With create, a
// missing folder is made; without it, its path is given all the same, so
// that a message can name it.
bool SendToFolder(bool create, wchar_t* folder, size_t size)
{
    PWSTR path = nullptr;
    const DWORD flags = create ? KF_FLAG_CREATE : KF_FLAG_DONT_VERIFY;
    const HRESULT result = SHGetKnownFolderPath(SEND_TO, flags, nullptr, &path);
    const bool ok = SUCCEEDED(result) && path != nullptr && JoinWide(folder, size, path, L"");
    CoTaskMemFree(path);
    if (!ok && size != 0)
        folder[0] = L'\0';
    return ok;
}

bool MakeShortcutPath(bool create, wchar_t* folder, size_t size)
{
    return SendToFolder(create, folder, size) && JoinWide(shortcutPath, WIDE_PATH_SIZE, folder, SHORTCUT_NAME);
}

bool FindExecutable()
{
    return GetExecutablePath(exePath, WIDE_PATH_SIZE);
}

// The long form of path in out, or path itself when it has none (it is
// gone, say).
void LongForm(const wchar_t* path, wchar_t* out)
{
    const DWORD length = GetLongPathNameW(path, out, static_cast<DWORD>(WIDE_PATH_SIZE));
    if (length == 0 || length >= WIDE_PATH_SIZE)
        JoinWide(out, WIDE_PATH_SIZE, path, L"");
}

// Windows paths ignore case; one written with a short name is the same too.
bool SamePath(const wchar_t* a, const wchar_t* b)
{
    if (CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL)
        return true;
    LongForm(a, longA);
    LongForm(b, longB);
    return CompareStringOrdinal(longA, -1, longB, -1, TRUE) == CSTR_EQUAL;
}

// The shell's objects need COM on this thread; the dialog's thread is a
// single-threaded apartment. Each operation starts and ends its own use.
// COM started before in the other model still serves.
HRESULT StartCom()
{
    return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
}

bool ComUsable(HRESULT started)
{
    return SUCCEEDED(started) || started == RPC_E_CHANGED_MODE;
}

void EndCom(HRESULT started)
{
    if (SUCCEEDED(started))
        CoUninitialize();
}

IShellLinkW* NewShellLink()
{
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(SHELL_LINK, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))))
        return nullptr;
    return link;
}

// Where the loaded shortcut points, in target. Its item list holds the path
// in UTF-16 wherever it was written; the plain path field, which Wine writes
// in the ANSI code page alone, may have lost characters on the way. That
// field, raw, is the fallback: a shortcut never counts for where it would
// resolve to now, which could be anything of the same name.
bool ShortcutTarget(IShellLinkW* link)
{
    PIDLIST_ABSOLUTE items = nullptr;
    bool found = SUCCEEDED(link->GetIDList(&items)) && items != nullptr && SHGetPathFromIDListW(items, target);
    CoTaskMemFree(items);
    if (!found)
        found = link->GetPath(target, static_cast<int>(WIDE_PATH_SIZE), nullptr, SLGP_RAWPATH) == S_OK;
    return found;
}

// Whether the shortcut at shortcutPath points at this executable.
bool PointsHere()
{
    if (GetFileAttributesW(shortcutPath) == INVALID_FILE_ATTRIBUTES || !FindExecutable())
        return false;
    IShellLinkW* link = NewShellLink();
    if (link == nullptr)
        return false;
    bool here = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_PPV_ARGS(&file)))) {
        if (SUCCEEDED(file->Load(shortcutPath, STGM_READ)) && ShortcutTarget(link))
            here = SamePath(target, exePath);
        file->Release();
    }
    link->Release();
    return here;
}

} // namespace

bool HasSendToShortcut()
{
    static WidePath folder;
    const HRESULT com = StartCom();
    const bool here = ComUsable(com) && MakeShortcutPath(false, folder, WIDE_PATH_SIZE) && PointsHere();
    EndCom(com);
    return here;
}

bool AddSendToShortcut(const wchar_t* description, wchar_t* folder, size_t size)
{
    if (size != 0)
        folder[0] = L'\0';
    const HRESULT com = StartCom();
    bool saved = false;
    if (ComUsable(com) && MakeShortcutPath(true, folder, size) && FindExecutable()) {
        IShellLinkW* link = NewShellLink();
        IPersistFile* file = nullptr;
        if (link != nullptr && SUCCEEDED(link->SetPath(exePath)) && SUCCEEDED(link->SetIconLocation(exePath, 0)) &&
            SUCCEEDED(link->SetDescription(description)) &&
            SUCCEEDED(link->QueryInterface(IID_PPV_ARGS(&file))))
            saved = SUCCEEDED(file->Save(shortcutPath, TRUE));
        if (file != nullptr)
            file->Release();
        if (link != nullptr)
            link->Release();
    }
    if (!saved && size != 0 && folder[0] == L'\0')
        SendToFolder(false, folder, size);
    EndCom(com);
    return saved;
}

bool RemoveSendToShortcut(wchar_t* folder, size_t size)
{
    if (size != 0)
        folder[0] = L'\0';
    const HRESULT com = StartCom();
    bool removed = false;
    if (ComUsable(com) && MakeShortcutPath(false, folder, size))
        removed = !PointsHere() || DeleteFileW(shortcutPath) != 0 || GetLastError() == ERROR_FILE_NOT_FOUND;
    if (!removed && size != 0 && folder[0] == L'\0')
        SendToFolder(false, folder, size);
    EndCom(com);
    return removed;
}
