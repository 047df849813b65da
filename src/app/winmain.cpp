// Entry point: with paths on the command line, rename them silently and
// exit; with none, show the settings dialog until it is closed.
#include <windows.h>

#include "app/rename.h"
#include "resource.h"
#include "ui/dialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    const char* tail = SafeCommandTail(commandLine);
    if (tail[0] != '\0') {
        RenameFromCommandLine(tail);
        return 0;
    }

    // The template is WS_VISIBLE, so no ShowWindow follows.
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_SETTINGS), nullptr,
                                     SettingsDialogProc, 0);
    if (dialog == nullptr)
        return 1;

    // No IsDialogMessage: the dialog works by mouse alone, as it always has.
    // GetMessageA returns -1 on error; treat that like WM_QUIT rather than
    // spinning on it.
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
