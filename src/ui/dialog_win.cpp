// The settings dialog: the saved word on the buttons, the dependent buttons
// greyed out under an unchecked parent, a live preview, and OK to save.
#include "ui/dialog.h"

#include <shellapi.h>

#include <cwchar>

#include "batch/batch.h"
#include "convert/strings.h"
#include "history/history_file.h"
#include "resource.h"
#include "settings/settings.h"
#include "ui/banner.h"
#include "ui/controls.h"
#include "ui/list_win.h"
#include "ui/preview.h"
#include "ui/sendto_win.h"
#include "ui/summary.h"
#include "version.h"

namespace {

const wchar_t INFO_TITLE[] = L"QUIB";
const wchar_t INFO_TEXT[] =
    L"Blankmender\n"
    L"QUIB ver " BLANKMENDER_VERSION_TEXT "\n"
    L"Free software by the Blankmender contributors.";

// The settings file could not be written; its path follows.
const wchar_t SAVE_FAILED_TEXT[] = L"設定ファイルに書き込めませんでした。\n\n";
// No history can be kept here; the folder follows.
const wchar_t NO_HISTORY_TEXT[] = L"この場所には履歴を残せません:\r\n";
// After the number restored; before the number not restored, and after it.
const wchar_t RESTORED_TEXT[] = L" 件を元に戻しました。";
const wchar_t NOT_RESTORED_TEXT[] = L"戻せなかったもの: ";
const wchar_t COUNT_TEXT[] = L" 件";
// The Send To button: what a click will do. The shortcut's description. The
// Send To folder could not be written; the folder follows.
const wchar_t SENDTO_ADD_TEXT[] = L"「送る」に追加";
const wchar_t SENDTO_REMOVE_TEXT[] = L"「送る」から外す";
const wchar_t SENDTO_DESCRIPTION[] = L"ファイル名の空白をアンダーバーに変えます。";
const wchar_t SENDTO_FAILED_TEXT[] = L"「送る」フォルダーに書き込めませんでした。\n\n";

// The preview's samples are code page 932, like the names it converts; they
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

// Appends text to out, which holds used units of size; what does not fit
// is left out.
void AppendText(wchar_t* out, size_t size, size_t* used, const wchar_t* text)
{
    const size_t length = wcslen(text);
    if (*used + length + 1 > size)
        return;
    wmemcpy(out + *used, text, length + 1);
    *used += length;
}

void AppendNumber(wchar_t* out, size_t size, size_t* used, unsigned long number)
{
    wchar_t digits[DECIMAL_BUFFER_SIZE];
    const int length = wsprintfW(digits, L"%lu", number);
    if (length > 0)
        AppendText(out, size, used, digits);
}

// The latest batch not undone, and the undo button for it; or why there
// is none.
void ShowHistory(HWND window)
{
    static wchar_t folder[PATH_BUFFER_SIZE];
    static wchar_t text[sizeof NO_HISTORY_TEXT / sizeof(wchar_t) + PATH_BUFFER_SIZE];
    HistoryBatch batch;
    bool undoable = false;
    if (!CanKeepHistory(folder, PATH_BUFFER_SIZE)) {
        size_t used = 0;
        text[0] = L'\0';
        AppendText(text, sizeof text / sizeof text[0], &used, NO_HISTORY_TEXT);
        AppendText(text, sizeof text / sizeof text[0], &used, folder);
    } else {
        undoable = LatestBatch(&batch);
        FormatHistorySummary(undoable ? &batch : nullptr, text, 256);
    }
    SetDlgItemTextW(window, IDC_HISTORY, text);
    EnableWindow(GetDlgItem(window, IDC_UNDO), undoable);
}

// Undoes the latest batch and says how it went: how many came back, and
// how many did not, the first ten of them with the reason.
void UndoAndReport(HWND window)
{
    static wchar_t text[10 * (PATH_BUFFER_SIZE + 64) + 256];
    const size_t size = sizeof text / sizeof text[0];
    UndoResult result;
    if (!UndoLatestBatch(&result)) {
        ShowHistory(window);
        return;
    }
    size_t used = 0;
    text[0] = L'\0';
    AppendNumber(text, size, &used, result.restored);
    AppendText(text, size, &used, RESTORED_TEXT);
    if (result.failed != 0) {
        AppendText(text, size, &used, L"\n\n");
        AppendText(text, size, &used, NOT_RESTORED_TEXT);
        AppendNumber(text, size, &used, result.failed);
        AppendText(text, size, &used, COUNT_TEXT);
        for (size_t i = 0; i < result.listed; ++i) {
            const UndoFailure& failure = result.failures[i];
            AppendText(text, size, &used, L"\n");
            AppendText(text, size, &used, failure.path);
            AppendText(text, size, &used, L": ");
            const HistoryReason reason = ReasonForError(failure.error);
            AppendText(text, size, &used, ReasonText(reason));
            if (reason == REASON_OTHER_ERROR) {
                AppendText(text, size, &used, L" (");
                AppendNumber(text, size, &used, failure.error);
                AppendText(text, size, &used, L")");
            }
        }
    }
    ShowHistory(window);
    const UINT icon = result.failed != 0 ? MB_ICONWARNING : MB_ICONINFORMATION;
    MessageBoxW(window, text, L"Blankmender", MB_OK | icon);
}

// A failed save must not look like a successful one: say which file could
// not be written and keep the dialog open. The old file is still intact.
void ReportSaveFailure(HWND window)
{
    static wchar_t text[sizeof SAVE_FAILED_TEXT / sizeof(wchar_t) + PATH_BUFFER_SIZE];
    const size_t length = wcslen(SAVE_FAILED_TEXT);
    wmemcpy(text, SAVE_FAILED_TEXT, length);
    if (!SettingsFilePath(text + length, PATH_BUFFER_SIZE))
        lstrcpyW(text + length, L"config.dat");
    MessageBoxW(window, text, L"Blankmender", MB_OK | MB_ICONERROR);
}

// Whether the Send To button offers to remove the shortcut.
bool sendToShown = false;

// The Send To button says what a click will do, as the disk has it now: the
// shortcut may have been made or removed by hand, or by another copy.
void ShowSendTo(HWND window)
{
    sendToShown = HasSendToShortcut();
    SetDlgItemTextW(window, IDC_SENDTO, sendToShown ? SENDTO_REMOVE_TEXT : SENDTO_ADD_TEXT);
}

// Does what the button said; a folder that could not be written is named.
void ToggleSendTo(HWND window)
{
    static wchar_t folder[PATH_BUFFER_SIZE];
    static wchar_t text[sizeof SENDTO_FAILED_TEXT / sizeof(wchar_t) + PATH_BUFFER_SIZE];
    const bool done = sendToShown ? RemoveSendToShortcut(folder, PATH_BUFFER_SIZE)
                                  : AddSendToShortcut(SENDTO_DESCRIPTION, folder, PATH_BUFFER_SIZE);
    ShowSendTo(window);
    if (done)
        return;
    const size_t length = wcslen(SENDTO_FAILED_TEXT);
    wmemcpy(text, SENDTO_FAILED_TEXT, length);
    wcscpy(text + length, folder);
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
    ShowSettings(window, LoadSettings());
    UpdatePreview(window);
    ShowHistory(window);
    ShowSendTo(window);
    // Files and folders dropped on the dialog: the plain template has no
    // extended style, so the dialog says it takes them here.
    DragAcceptFiles(window, TRUE);
    return TRUE;
}

// Files and folders dropped on the dialog go to the list window under the
// buttons as they are now, saved or not. The dialog waits for it, then
// shows the batch it made.
void OnDropFiles(HWND window, HDROP drop)
{
    static WidePath path;
    BatchPlan* plan = NewPlan(ReadSettingsFromDialog(window));
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count && plan != nullptr; ++i) {
        // A path that does not fit is left out, never cut: a cut path can
        // name another file.
        if (DragQueryFileW(drop, i, nullptr, 0) < WIDE_PATH_SIZE && DragQueryFileW(drop, i, path, WIDE_PATH_SIZE) != 0)
            AddGivenPath(plan, path);
    }
    DragFinish(drop);
    if (plan == nullptr)
        return;
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    ShowListWindow(instance, window, plan);
    ShowHistory(window);
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
    case IDC_UNDO:
        UndoAndReport(window);
        return TRUE;
    case IDC_SENDTO:
        ToggleSendTo(window);
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
    case WM_DROPFILES:
        OnDropFiles(window, reinterpret_cast<HDROP>(wParam));
        return TRUE;
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
