// The settings dialog: the saved word on the buttons, the dependent buttons
// greyed out under an unchecked parent, a live preview, and OK to save.
#include "ui/dialog.h"

#include "resource.h"
#include "settings/settings.h"
#include "ui/banner.h"
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

// The caption and the task switcher show the small icon: its own image of
// the system's small size, not the large one shrunk.
void SetSmallIcon(HWND window, HINSTANCE instance)
{
    HANDLE icon = LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                             GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR);
    if (icon != nullptr)
        SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

// The banner drawn for this dialog's dpi, if the template's would not do.
HBITMAP scaledBanner = nullptr;

// The template's banner static is the one bitmap static, wherever it stands.
HWND FindBanner(HWND window)
{
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16];
        LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
        if (GetClassNameW(child, className, 16) != 0 && lstrcmpiW(className, L"Static") == 0 &&
            (style & SS_TYPEMASK) == SS_BITMAP)
            return child;
    }
    return nullptr;
}

// Bitmap 105 is the banner at 96 dpi. The dialog's units grow with its
// font, so at another dpi the banner is drawn anew at that scale (and never
// stretched from the small one); the static takes the new bitmap's size.
// The dpi is the one the dialog was created at: the program is system
// aware, so it stays for the dialog's life.
void ScaleBanner(HWND window)
{
    HDC screen = GetDC(window);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr)
        ReleaseDC(window, screen);
    HWND banner = FindBanner(window);
    if (dpi == 96 || dpi <= 0 || banner == nullptr)
        return;
    const int width = ScaleToDpi(BANNER_WIDTH, dpi);
    const int height = ScaleToDpi(BANNER_HEIGHT, dpi);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        // The 96-dpi banner stays: small, but the dialog works.
        if (bitmap != nullptr)
            DeleteObject(bitmap);
        return;
    }
    DrawBanner(static_cast<unsigned char*>(bits), width, height, (width * 3 + 3) & ~3);
    LRESULT old = SendMessageW(banner, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
    if (old != 0)
        DeleteObject(reinterpret_cast<HGDIOBJ>(old));
    scaledBanner = bitmap;
}

INT_PTR OnInitDialog(HWND window)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_MAIN));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SetSmallIcon(window, instance);
    ScaleBanner(window);
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
        if (scaledBanner != nullptr)
            DeleteObject(scaledBanner);
        scaledBanner = nullptr;
        return TRUE;
    default:
        return FALSE;
    }
}
