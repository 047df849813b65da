// The settings dialog: the saved word on the buttons, the dependent buttons
// greyed out under an unchecked parent, a live preview, and OK to save.
#include "ui/dialog.h"

#include "resource.h"
#include "settings/settings.h"
#include "ui/controls.h"
#include "ui/preview.h"
#include "version.h"

namespace {

// The saved word is put on the buttons once per process, even if the
// dialog were initialised again.
bool settingsShown = false;

const wchar_t INFO_TITLE[] = L"QUIB";
const wchar_t INFO_TEXT[] =
    L"Blankmender\n"
    L"QUIB ver " BLANKMENDER_VERSION_TEXT "\n"
    L"Free software by the Blankmender contributors.";

// "設定ファイルに書き込めませんでした。" (the settings file could not be
// written), then the file's path on a line of its own.
const char SAVE_FAILED_TEXT[] =
    "\x90\xDD\x92\xE8\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xC9\x8F\x91\x82\xAB"
    "\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81\x42"
    "\n\n";

// The program's texts are code page 932, like the names it converts; they
// reach Windows as UTF-16, converted from 932 whatever the system's code
// page is. Returns the number of units written, terminator included (0 when
// out is too small).
int ToWide(const char* text, wchar_t* out, int size)
{
    return MultiByteToWideChar(932, 0, text, -1, out, size);
}

// Checks the button of every bit set in word. Clear bits leave their
// buttons unchecked, as they are when the dialog is created.
void ShowSettings(HWND window, SettingsWord word)
{
    for (const OptionButton& button : OPTION_BUTTONS) {
        if (word & button.bit)
            SendDlgItemMessageW(window, button.id, BM_SETCHECK, BST_CHECKED, 0);
    }
}

SettingsWord ReadSettingsFromDialog(HWND window)
{
    SettingsWord word = 0;
    for (const OptionButton& button : OPTION_BUTTONS) {
        if (SendDlgItemMessageW(window, button.id, BM_GETCHECK, 0, 0) != 0)
            word |= button.bit;
    }
    return word;
}

// Disabled buttons keep their check state; they count again once their
// parent is ticked.
void UpdatePreview(HWND window)
{
    SettingsWord buttons = ReadSettingsFromDialog(window);
    wchar_t text[PREVIEW_BUFFER_SIZE];
    ToWide(PREVIEW_SAMPLE, text, PREVIEW_BUFFER_SIZE);
    SetDlgItemTextW(window, IDC_PREVIEW_BEFORE, text);
    ToWide(KANA_PREVIEW_SAMPLE, text, PREVIEW_BUFFER_SIZE);
    SetDlgItemTextW(window, IDC_KANA_BEFORE, text);

    SettingsWord enabled = EnabledOptions(buttons);
    for (const OptionButton& button : OPTION_BUTTONS)
        EnableWindow(GetDlgItem(window, button.id), (enabled & button.bit) != 0);

    char preview[PREVIEW_BUFFER_SIZE];
    MakePreview(buttons, preview);
    ToWide(preview, text, PREVIEW_BUFFER_SIZE);
    SetDlgItemTextW(window, IDC_PREVIEW_AFTER, text);
    MakeKanaPreview(buttons, preview);
    ToWide(preview, text, PREVIEW_BUFFER_SIZE);
    SetDlgItemTextW(window, IDC_KANA_AFTER, text);
}

// A failed save must not look like a successful one: say which file could
// not be written and keep the dialog open. The old file is still intact.
void ReportSaveFailure(HWND window)
{
    wchar_t text[sizeof(SAVE_FAILED_TEXT) + PATH_BUFFER_SIZE];
    const int length = ToWide(SAVE_FAILED_TEXT, text, sizeof(SAVE_FAILED_TEXT)) - 1;
    if (length < 0 || !SettingsFilePath(text + length, PATH_BUFFER_SIZE))
        lstrcpyW(text + (length < 0 ? 0 : length), L"config.dat");
    MessageBoxW(window, text, L"Blankmender", MB_OK | MB_ICONERROR);
}

INT_PTR OnInitDialog(HWND window)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_MAIN));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    if (!settingsShown) {
        ShowSettings(window, LoadSettings());
        settingsShown = true;
    }
    UpdatePreview(window);
    return TRUE;
}

// Every control's notification lands here; the id alone decides.
INT_PTR OnCommand(HWND window, WORD id)
{
    switch (id) {
    case IDC_OK:
        if (!SaveSettings(ReadSettingsFromDialog(window))) {
            ReportSaveFailure(window);
            return TRUE;
        }
        DestroyWindow(window);
        return TRUE;
    case IDC_CANCEL:
    case IDCANCEL: // the close box
        DestroyWindow(window);
        return TRUE;
    case IDC_INFO:
        MessageBoxW(window, INFO_TEXT, INFO_TITLE, MB_OK);
        UpdatePreview(window);
        return TRUE;
    default:
        UpdatePreview(window);
        return TRUE;
    }
}

} // namespace

INT_PTR CALLBACK SettingsDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_COMMAND:
        return OnCommand(window, LOWORD(wParam));
    case WM_DESTROY:
        // Ends the message loop in WinMain, and with it the process.
        PostQuitMessage(0);
        return TRUE;
    default:
        return FALSE;
    }
}
