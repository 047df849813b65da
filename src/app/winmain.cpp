// Entry point: with paths on the command line, rename them silently and
// exit; with none, show the settings dialog until it is closed.
#include <windows.h>

#include "app/command_line.h"
#include "app/rename.h"
#include "batch/batch.h"
#include "resource.h"
#include "settings/settings.h"
#include "ui/dialog.h"
#include "ui/list_win.h"

namespace {

// With the option to check first, a batch from the command line shows its
// list and renames only on 変換する.
void ShowListOfCommandLine(HINSTANCE instance, const wchar_t* tail, SettingsWord word)
{
    BatchPlan* plan = NewPlan(word);
    if (plan == nullptr)
        return;
    AddCommandLinePaths(plan, tail);
    ShowListWindow(instance, nullptr, plan);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // The ANSI tail that WinMain is handed is in whatever code page the
    // system uses, with best-fit look-alikes for what it lacks; the wide
    // command line holds the names exactly.
    const wchar_t* line = GetCommandLineW();
    const wchar_t* tail = line != nullptr ? SkipProgramName(line) : L"";
    if (tail[0] != L'\0') {
        const SettingsWord word = LoadSettings();
        if (word & OPT_CONFIRM)
            ShowListOfCommandLine(instance, tail, word);
        else
            RenameFromCommandLine(tail);
        return 0;
    }

    // The template is WS_VISIBLE, so no ShowWindow follows.
    HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_SETTINGS), nullptr,
                                     SettingsDialogProc, 0);
    if (dialog == nullptr)
        return 1;

    // The dialog manager gives the keyboard its usual meaning: Tab and the
    // arrow keys move the focus, Enter presses the default button (OK) and
    // Esc sends IDCANCEL. GetMessageW returns -1 on error; treat that like
    // WM_QUIT rather than spinning on it.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(dialog, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
