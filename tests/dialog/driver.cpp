// Drives blankmender.exe's settings dialog from another process, the way a
// user would: it starts a copy of the program with no arguments beside a
// prepared config.dat, finds the dialog by its caption, reads every control,
// clicks buttons, reads the message boxes, and closes the dialog with OK,
// CANCEL or the close box, checking what lands in config.dat.
//
//   driver.exe BLANKMENDER_EXE [READY_FILE SHOT_FILE]
//
// With the two files, the first launch stops once the dialog is checked,
// writes the dialog's screen rectangle ("x y width height") to READY_FILE and
// waits until SHOT_FILE exists, so that a screenshot can be taken.
//
// The program must behave the same whatever the system's ANSI code page is,
// and so must the driver: it reads every text through the wide API and
// compares it in UTF-16 with the expected code page 932 bytes converted by
// MultiByteToWideChar(932), and names every file in UTF-16. The program's
// folder holds characters that code page 932 has no bytes for.
#include <windows.h>

#include <commctrl.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "resource.h"
#include "settings/settings.h"

namespace {

int passed = 0;
int failed = 0;

void Expect(bool ok, const char* format, ...)
{
    if (ok) {
        passed++;
        return;
    }
    failed++;
    va_list args;
    va_start(args, format);
    printf("FAIL: ");
    vprintf(format, args);
    printf("\n");
    va_end(args);
    fflush(stdout);
}

void Section(const char* name)
{
    printf("-- %s\n", name);
    fflush(stdout);
}

// Printable form of bytes (config.dat's content) for failure messages.
std::string ShownBytes(const std::string& bytes)
{
    std::string shown;
    for (unsigned char c : bytes) {
        char escape[8];
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            shown += static_cast<char>(c);
        } else {
            snprintf(escape, sizeof(escape), "\\x%02X", c);
            shown += escape;
        }
    }
    return shown;
}

// A text as UTF-8 for the log, whatever the ANSI code page.
std::string Utf8(const std::wstring& text)
{
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                     nullptr);
    std::string utf8(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], length, nullptr,
                            nullptr);
    return utf8;
}

// Printable form of a text for failure messages: UTF-8 with line ends, other
// controls and backslashes escaped.
std::string Shown(const std::wstring& text)
{
    std::string shown;
    for (wchar_t c : text)
        shown += c >= 0x80 ? Utf8(std::wstring(1, c)) : ShownBytes(std::string(1, static_cast<char>(c)));
    return shown;
}

// Compares a text read from the dialog. Look-alikes (U+301C and U+FF5E, say)
// print the same, so a failure also names the first code unit that differs.
void ExpectText(const std::string& what, const std::wstring& want, const std::wstring& got)
{
    if (got == want) {
        passed++;
        return;
    }
    size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at])
        at++;
    auto unit = [](const std::wstring& text, size_t i) {
        char name[16];
        if (i < text.size())
            snprintf(name, sizeof(name), "U+%04X", static_cast<unsigned>(text[i]));
        else
            snprintf(name, sizeof(name), "the end");
        return std::string(name);
    };
    Expect(false, "%s: \"%s\" (got \"%s\"; at character %zu: %s, want %s)", what.c_str(), Shown(want).c_str(),
           Shown(got).c_str(), at, unit(got, at).c_str(), unit(want, at).c_str());
}

// An expected text, kept in the tables as code page 932 bytes, in UTF-16.
// Conversion through code page 932 by name, never the ANSI code page.
std::wstring FromCp932(const char* text)
{
    int length = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 0) {
        Expect(false, "expected text %s is code page 932 (error %lu)", ShownBytes(text).c_str(), GetLastError());
        return L"\uFFFD";
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

const DWORD WAIT_MS = 15000;
// A key is handled at once or never: no use waiting the full time for it.
const DWORD KEY_WAIT_MS = 3000;

// The sample and what the preview makes of it.
const char SAMPLE[] = // Ｑｕｉｂ ver ２.004　製作.見本文字
    "\x82\x70\x82\x95\x82\x89\x82\x82 ver \x82\x51.004\x81\x40\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A";
const char SAMPLE_UNDERBARS[] = // Ｑｕｉｂ_ver_２.004_製作.見本文字
    "\x82\x70\x82\x95\x82\x89\x82\x82_ver_\x82\x51.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A";

// The katakana sample, ﾃﾞｰﾀ ハ゛ックアップ, and what the buttons make of it.
#define KANA_DATA_HALF "\xC3\xDE\xB0\xC0"
#define KANA_DATA_FULL "\x83\x66\x81\x5B\x83\x5E"
#define KANA_BACKUP_APART "\x83\x6E\x81\x4A\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76"
#define KANA_BACKUP_JOINED "\x83\x6F\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76"
#define KANA_BACKUP_HALF "\xCA\xDE\xAF\xB8\xB1\xAF\xCC\xDF"
const char KANA_SAMPLE[] = KANA_DATA_HALF " " KANA_BACKUP_APART;
const char KANA_SAMPLE_UNDERBAR[] = KANA_DATA_HALF "_" KANA_BACKUP_APART;

const char INFO_TEXT[] = "Blankmender\nQUIB ver 2.004\nFree software by the Blankmender contributors.";
const char SAVE_FAILED[] = // 設定ファイルに書き込めませんでした。
    "\x90\xDD\x92\xE8\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xC9\x8F\x91\x82\xAB\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81\x42";

// The history's texts.
const char NO_HISTORY[] = "\x97\x9A\x97\xF0\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42"; // 履歴はありません。
const char RENAMED[] = "\x96\xBC\x91\x4F\x82\xF0\x95\xCF\x8D\x58: ";                                  // 名前を変更:
const char COUNT[] = " \x8C\x8F";                                                                        // 件
const char FAILED_EXISTS[] = // 失敗: 1 件（主に同じ名前がある）
    "\x8E\xB8\x94\x73: 1 \x8C\x8F\x81\x69\x8E\xE5\x82\xC9\x93\xAF\x82\xB6\x96\xBC\x91\x4F\x82\xAA\x82\xA0\x82\xE9\x81\x6A";
const char FAILED_TWO_EXISTS[] = // 失敗: 2 件（主に同じ名前がある）
    "\x8E\xB8\x94\x73: 2 \x8C\x8F\x81\x69\x8E\xE5\x82\xC9\x93\xAF\x82\xB6\x96\xBC\x91\x4F\x82\xAA\x82\xA0\x82\xE9\x81\x6A";
const char STOPPED[] = "\x81\x69\x92\x86\x92\x66\x81\x6A";                                           // （中断）
const char RESTORED[] = " \x8C\x8F\x82\xF0\x8C\xB3\x82\xC9\x96\xDF\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42"; // 件を元に戻しました。
const char NOT_RESTORED[] = "\x96\xDF\x82\xB9\x82\xC8\x82\xA9\x82\xC1\x82\xBD\x82\xE0\x82\xCC: "; // 戻せなかったもの:
const char NOT_FOUND[] = "\x8C\xA9\x82\xC2\x82\xA9\x82\xE7\x82\xC8\x82\xA2";                       // 見つからない
const char EXISTS[] = "\x93\xAF\x82\xB6\x96\xBC\x91\x4F\x82\xAA\x82\xA0\x82\xE9";                 // 同じ名前がある
// The Send To button's texts, the shortcut's description, and the message
// for a Send To folder that cannot be written.
const char SENDTO_ADD[] = "\x81\x75\x91\x97\x82\xE9\x81\x76\x82\xC9\x92\xC7\x89\xC1"; // 「送る」に追加
const char SENDTO_REMOVE[] = "\x81\x75\x91\x97\x82\xE9\x81\x76\x82\xA9\x82\xE7\x8A\x4F\x82\xB7"; // 「送る」から外す
const char SENDTO_DESCRIPTION[] = // ファイル名の空白をアンダーバーに変えます。
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xCC\x8B\xF3\x94\x92\x82\xF0\x83\x41\x83\x93\x83\x5F\x81\x5B"
    "\x83\x6F\x81\x5B\x82\xC9\x95\xCF\x82\xA6\x82\xDC\x82\xB7\x81\x42";
const char SENDTO_FAILED[] = // 「送る」フォルダーに書き込めませんでした。
    "\x81\x75\x91\x97\x82\xE9\x81\x76\x83\x74\x83\x48\x83\x8B\x83\x5F\x81\x5B\x82\xC9\x8F\x91\x82\xAB\x8D\x9E"
    "\x82\xDF\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81\x42";
const char CANNOT_KEEP[] = // この場所には履歴を残せません:
    "\x82\xB1\x82\xCC\x8F\xEA\x8F\x8A\x82\xC9\x82\xCD\x97\x9A\x97\xF0\x82\xF0\x8E\x63\x82\xB9\x82\xDC\x82\xB9\x82\xF1:";

// ---------------------------------------------------------------- template

const DWORD CHILD = WS_CHILD | WS_VISIBLE;
const DWORD CHECK = CHILD | WS_TABSTOP | BS_AUTOCHECKBOX;
const DWORD RADIO = CHILD | BS_AUTORADIOBUTTON | BS_VCENTER;
const DWORD FRAME = CHILD | BS_GROUPBOX;
const DWORD PUSH = CHILD | WS_TABSTOP;

struct ExpectedControl {
    int id;
    const char* className;
    const char* text; // nullptr: not compared (the banner's image, the preview)
    DWORD style;
    int x, y, width, height; // dialog units
};

const ExpectedControl CONTROLS[] = {
    {IDC_BANNER, "Static", nullptr, CHILD | SS_BITMAP, 10, 5, 123, 17},
    {IDC_STATIC, "Button", "", FRAME, 205, 5, 186, 150},
    {IDC_STATIC, "Button", "", FRAME, 10, 55, 185, 40},
    {IDC_SPACES, "Button", // 空白文字をアンダーバーに変換する。
     "\x8B\xF3\x94\x92\x95\xB6\x8E\x9A\x82\xF0\x83\x41\x83\x93\x83\x5F\x81\x5B\x83\x6F\x81\x5B\x82\xC9\x95\xCF\x8A\xB7\x82\xB7\x82\xE9\x81\x42",
     CHECK | BS_VCENTER, 10, 35, 145, 10},
    {IDC_DIGITS, "Button", // 数字を操作する。
     "\x90\x94\x8E\x9A\x82\xF0\x91\x80\x8D\xEC\x82\xB7\x82\xE9\x81\x42",
     CHECK, 10, 55, 75, 10},
    {IDC_LETTERS, "Button", // アルファベットを操作する。
     "\x83\x41\x83\x8B\x83\x74\x83\x40\x83\x78\x83\x62\x83\x67\x82\xF0\x91\x80\x8D\xEC\x82\xB7\x82\xE9\x81\x42",
     CHECK | BS_VCENTER, 205, 5, 115, 10},
    {IDC_STATIC, "Button", "", FRAME, 215, 16, 165, 54},
    {IDC_STATIC, "Button", "", FRAME, 215, 75, 165, 70},
    {IDC_DIGITS_TO_FULL, "Button", // 半角数字を全角数字に変換する。
     "\x94\xBC\x8A\x70\x90\x94\x8E\x9A\x82\xF0\x91\x53\x8A\x70\x90\x94\x8E\x9A\x82\xC9\x95\xCF\x8A\xB7\x82\xB7\x82\xE9\x81\x42",
     RADIO | WS_GROUP, 25, 65, 155, 10},
    {IDC_DIGITS_TO_HALF, "Button", // 全角数字を半角数字に変換する。
     "\x91\x53\x8A\x70\x90\x94\x8E\x9A\x82\xF0\x94\xBC\x8A\x70\x90\x94\x8E\x9A\x82\xC9\x95\xCF\x8A\xB7\x82\xB7\x82\xE9\x81\x42",
     RADIO, 25, 81, 155, 10},
    {IDC_WIDTH_KEEP, "Button", // 現状を維持する。
     "\x8C\xBB\x8F\xF3\x82\xF0\x88\xDB\x8E\x9D\x82\xB7\x82\xE9\x81\x42",
     RADIO | WS_GROUP, 220, 26, 152, 10},
    {IDC_LETTERS_TO_FULL, "Button", // 半角アルファベットを全角に変換する。
     "\x94\xBC\x8A\x70\x83\x41\x83\x8B\x83\x74\x83\x40\x83\x78\x83\x62\x83\x67\x82\xF0\x91\x53\x8A\x70\x82\xC9\x95\xCF\x8A\xB7\x82\xB7\x82\xE9\x81\x42",
     RADIO, 220, 40, 152, 10},
    {IDC_LETTERS_TO_HALF, "Button", // 全角アルファベットを半角に変換する。
     "\x91\x53\x8A\x70\x83\x41\x83\x8B\x83\x74\x83\x40\x83\x78\x83\x62\x83\x67\x82\xF0\x94\xBC\x8A\x70\x82\xC9\x95\xCF\x8A\xB7\x82\xB7\x82\xE9\x81\x42",
     RADIO, 220, 55, 153, 10},
    {IDC_CASE_KEEP, "Button", // 現状を維持する。
     "\x8C\xBB\x8F\xF3\x82\xF0\x88\xDB\x8E\x9D\x82\xB7\x82\xE9\x81\x42",
     RADIO | WS_GROUP, 220, 85, 153, 10},
    {IDC_CASE_UPPER, "Button", // すべて大文字に統一する。
     "\x82\xB7\x82\xD7\x82\xC4\x91\xE5\x95\xB6\x8E\x9A\x82\xC9\x93\x9D\x88\xEA\x82\xB7\x82\xE9\x81\x42",
     RADIO, 220, 100, 153, 10},
    {IDC_CASE_LOWER, "Button", // すべて小文字に統一する。
     "\x82\xB7\x82\xD7\x82\xC4\x8F\xAC\x95\xB6\x8E\x9A\x82\xC9\x93\x9D\x88\xEA\x82\xB7\x82\xE9\x81\x42",
     RADIO, 220, 115, 153, 10},
    {IDC_CASE_CAPITALIZE, "Button", // 頭文字のみ大文字にする。
     "\x93\xAA\x95\xB6\x8E\x9A\x82\xCC\x82\xDD\x91\xE5\x95\xB6\x8E\x9A\x82\xC9\x82\xB7\x82\xE9\x81\x42",
     RADIO, 220, 130, 153, 10},
    {IDC_STATIC, "Button", "", FRAME, 10, 100, 185, 40},
    {IDC_KANA, "Button", // カタカナを操作する。
     "\x83\x4A\x83\x5E\x83\x4A\x83\x69\x82\xF0\x91\x80\x8D\xEC\x82\xB7\x82\xE9\x81\x42",
     CHECK, 10, 100, 85, 10},
    {IDC_KANA_TO_FULL, "Button", // 半角カタカナを全角に変換する。
     "\x94\xBC\x8A\x70\x83\x4A\x83\x5E\x83\x4A\x83\x69\x82\xF0\x91\x53\x8A\x70\x82\xC9\x95\xCF\x8A\xB7\x82\xB7\x82\xE9\x81\x42",
     RADIO | WS_GROUP, 25, 110, 155, 10},
    {IDC_KANA_TO_HALF, "Button", // 全角カタカナを半角に変換する。
     "\x91\x53\x8A\x70\x83\x4A\x83\x5E\x83\x4A\x83\x69\x82\xF0\x94\xBC\x8A\x70\x82\xC9\x95\xCF\x8A\xB7\x82\xB7\x82\xE9\x81\x42",
     RADIO, 25, 126, 155, 10},
    {IDC_JOIN_MARKS, "Button", // 分かれた濁点・半濁点を結合する。
     "\x95\xAA\x82\xA9\x82\xEA\x82\xBD\x91\xF7\x93\x5F\x81\x45\x94\xBC\x91\xF7\x93\x5F\x82\xF0\x8C\x8B\x8D\x87\x82\xB7\x82\xE9\x81\x42",
     CHECK | WS_GROUP | BS_VCENTER, 10, 145, 185, 10},
    {IDC_FOLDER_CONTENTS, "Button", // フォルダの中身も変換する。
     "\x83\x74\x83\x48\x83\x8B\x83\x5F\x82\xCC\x92\x86\x90\x67\x82\xE0\x95\xCF\x8A\xB7\x82\xB7\x82\xE9\x81\x42",
     CHECK | WS_GROUP | BS_VCENTER, 10, 160, 185, 10},
    {IDC_CONFIRM, "Button", // 変換前に一覧で確認する。
     "\x95\xCF\x8A\xB7\x91\x4F\x82\xC9\x88\xEA\x97\x97\x82\xC5\x8A\x6D\x94\x46\x82\xB7\x82\xE9\x81\x42",
     CHECK | BS_VCENTER, 10, 172, 185, 10},
    {IDC_STATIC, "Button", "\x83\x54\x83\x93\x83\x76\x83\x8B", FRAME, 10, 187, 185, 75}, // サンプル
    {IDC_PREVIEW_BEFORE, "Static", nullptr, CHILD | SS_LEFTNOWORDWRAP | SS_SUNKEN, 20, 200, 165, 10},
    {IDC_PREVIEW_AFTER, "Static", nullptr, CHILD | SS_LEFT | SS_SUNKEN, 20, 214, 165, 10},
    {IDC_KANA_BEFORE, "Static", nullptr, CHILD | SS_LEFTNOWORDWRAP | SS_SUNKEN, 20, 232, 165, 10},
    {IDC_KANA_AFTER, "Static", nullptr, CHILD | SS_LEFT | SS_SUNKEN, 20, 246, 165, 10},
    {IDC_STATIC, "Button", "\x91\x4F\x89\xF1\x82\xCC\x88\xEA\x8A\x87\x95\xCF\x8A\xB7", FRAME, 205, 187, 186, 75}, // 前回の一括変換
    {IDC_HISTORY, "Static", nullptr, CHILD | SS_LEFT, 213, 200, 172, 34},
    {IDC_UNDO, "Button", "\x8C\xB3\x82\xC9\x96\xDF\x82\xB7", PUSH | BS_PUSHBUTTON, 315, 241, 70, 14}, // 元に戻す
    // Its text says what a click will do; the Send To launch reads it.
    {IDC_SENDTO, "Button", nullptr, PUSH | BS_PUSHBUTTON, 10, 272, 100, 15},
    {IDC_OK, "Button", "OK", PUSH | BS_DEFPUSHBUTTON, 160, 272, 70, 15},
    {IDC_CANCEL, "Button", "CANCEL", PUSH | BS_PUSHBUTTON, 240, 272, 70, 15},
    {IDC_INFO, "Button", "Info", PUSH | BS_PUSHBUTTON, 320, 272, 70, 15},
};
const int CONTROL_COUNT = sizeof(CONTROLS) / sizeof(CONTROLS[0]);

// The dpi of the test's Wine prefix (its LogPixels, BLANKMENDER_DRIVER_DPI)
// and the banner's size there: bitmap 105 as it is at 96 dpi, drawn anew at
// the dialog's scale at any other.
int screenDpi = 96;
int bannerWidth = 279;
int bannerHeight = 32;

// The base units that explained every control's rectangle (0: none did).
int foundBaseX = 0;
int foundBaseY = 0;

// The eighteen option buttons, bit by bit.
struct OptionButton {
    SettingsWord bit;
    int id;
};
const OptionButton OPTIONS[] = {
    {OPT_SPACES, 1000},          {OPT_DIGITS, 1001},          {OPT_LETTERS, 1002},
    {OPT_DIGITS_TO_FULL, 1004},  {OPT_DIGITS_TO_HALF, 1005},  {OPT_WIDTH_KEEP, 1006},
    {OPT_LETTERS_TO_FULL, 1007}, {OPT_LETTERS_TO_HALF, 1008}, {OPT_CASE_KEEP, 1009},
    {OPT_CASE_UPPER, 1010},      {OPT_CASE_LOWER, 1011},      {OPT_CASE_CAPITALIZE, 1012},
    {OPT_KANA, 1030},            {OPT_KANA_TO_FULL, 1031},    {OPT_KANA_TO_HALF, 1032},
    {OPT_JOIN_MARKS, 1033},      {OPT_FOLDER_CONTENTS, 1034}, {OPT_CONFIRM, 1035},
};

// ---------------------------------------------------------------- helpers

std::wstring GetText(HWND window)
{
    wchar_t buffer[1024];
    LRESULT length = SendMessageW(window, WM_GETTEXT, sizeof(buffer) / sizeof(buffer[0]), reinterpret_cast<LPARAM>(buffer));
    if (length <= 0 || length >= static_cast<LRESULT>(sizeof(buffer) / sizeof(buffer[0])))
        return std::wstring();
    return std::wstring(buffer, static_cast<size_t>(length));
}

std::wstring GetItemText(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    return item != nullptr ? GetText(item) : std::wstring();
}

bool ClassIs(HWND window, const wchar_t* name)
{
    wchar_t className[64];
    if (GetClassNameW(window, className, sizeof(className) / sizeof(className[0])) == 0)
        return false;
    return lstrcmpiW(className, name) == 0;
}

// The dialog's control id as a 16-bit value: a plain template stores -1 as
// 0xFFFF.
int ControlId(HWND control)
{
    return static_cast<int>(GetWindowLongPtrW(control, GWLP_ID) & 0xFFFF);
}

// Polls until pred() holds or the time is up.
template <typename Pred>
bool WaitFor(Pred pred, DWORD milliseconds = WAIT_MS)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (pred())
            return true;
        if (GetTickCount() - start > milliseconds)
            return false;
        Sleep(20);
    }
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr)
        return false;
    char buffer[256];
    size_t count = fread(buffer, 1, sizeof(buffer), file);
    fclose(file);
    bytes.assign(buffer, count);
    return true;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ---------------------------------------------------------------- launches

struct App {
    std::wstring folder; // holds the copy of the program; ends in a backslash
    std::wstring exe;
    std::wstring config;
    PROCESS_INFORMATION process = {};
    HWND dialog = nullptr;
};

struct FindArgs {
    DWORD processId;
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindDialogOfProcess(HWND window, LPARAM lParam)
{
    FindArgs* args = reinterpret_cast<FindArgs*>(lParam);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != args->processId || !ClassIs(window, L"#32770") || !IsWindowVisible(window))
        return TRUE;
    if (args->owner != nullptr && GetWindow(window, GW_OWNER) != args->owner)
        return TRUE;
    args->found = window;
    return FALSE;
}

// The visible message box that window owns, or nullptr.
HWND FindOwnedBox(const App& app)
{
    FindArgs args = {app.process.dwProcessId, app.dialog, nullptr};
    EnumWindows(FindDialogOfProcess, reinterpret_cast<LPARAM>(&args));
    return args.found;
}

// Starts the copy with no arguments and waits for its dialog.
bool Launch(App& app)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + app.exe + L"\"";
    if (!CreateProcessW(app.exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, app.folder.c_str(),
                        &startup, &app.process)) {
        Expect(false, "CreateProcess %s: error %lu", Utf8(app.exe).c_str(), GetLastError());
        return false;
    }
    app.dialog = nullptr;
    // The caption alone finds it; the process id makes sure it is this copy.
    bool found = WaitFor([&] {
        HWND window = FindWindowW(L"#32770", L"Blankmender");
        DWORD processId = 0;
        if (window != nullptr)
            GetWindowThreadProcessId(window, &processId);
        if (processId != app.process.dwProcessId || !IsWindowVisible(window))
            return false;
        app.dialog = window;
        return true;
    });
    Expect(found, "dialog \"Blankmender\" of class #32770 appears");
    if (!found)
        return false;
    DWORD_PTR result;
    SendMessageTimeoutW(app.dialog, WM_NULL, 0, 0, SMTO_NORMAL, WAIT_MS, &result);
    return true;
}

// Waits for the process to end on its own and checks how.
void ExpectExit(App& app, const char* how, DWORD milliseconds = WAIT_MS)
{
    DWORD waited = WaitForSingleObject(app.process.hProcess, milliseconds);
    Expect(waited == WAIT_OBJECT_0, "%s: the process ends", how);
    if (waited != WAIT_OBJECT_0)
        TerminateProcess(app.process.hProcess, 99);
    DWORD code = 1234;
    GetExitCodeProcess(app.process.hProcess, &code);
    Expect(code == 0, "%s: exit code 0 (got %lu)", how, code);
    Expect(!IsWindow(app.dialog), "%s: the dialog is gone", how);
    CloseHandle(app.process.hThread);
    CloseHandle(app.process.hProcess);
}

// ---------------------------------------------------------------- checks

void CheckTemplate(const App& app)
{
    Section("template");
    HWND dialog = app.dialog;
    ExpectText("caption", L"Blankmender", GetText(dialog));
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE));
    const DWORD frameBits = WS_POPUP | WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                            WS_MAXIMIZEBOX | WS_VISIBLE | WS_DISABLED;
    Expect((style & frameBits) == (WS_CAPTION | WS_SYSMENU | WS_VISIBLE),
           "dialog style %08lX: caption, system menu, visible, nothing else", style);
    Expect((GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0, "the dialog takes dropped files");

    // Children in template order: for a dialog, creation order is z-order.
    HWND children[CONTROL_COUNT + 8];
    int count = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr && count < CONTROL_COUNT + 8;
         child = GetWindow(child, GW_HWNDNEXT))
        children[count++] = child;
    Expect(count == CONTROL_COUNT, "%d controls (got %d)", CONTROL_COUNT, count);
    Expect(GetDlgItem(dialog, 1003) == nullptr, "no control 1003");
    for (int i = 0; i < count; i++)
        Expect(ControlId(children[i]) != 1003, "control #%d is not 1003", i + 1);

    for (int i = 0; i < count && i < CONTROL_COUNT; i++) {
        const ExpectedControl& want = CONTROLS[i];
        HWND control = children[i];
        int id = ControlId(control);
        Expect(id == (want.id & 0xFFFF), "control #%d: id %d (got %d)", i + 1, want.id, id);
        Expect(ClassIs(control, FromCp932(want.className).c_str()), "control #%d (%d): class %s", i + 1, want.id,
               want.className);
        if (want.text != nullptr) {
            char what[64];
            snprintf(what, sizeof(what), "control #%d (%d): text", i + 1, want.id);
            ExpectText(what, FromCp932(want.text), GetText(control));
        }
        // Enabled state is checked with the buttons; here everything else.
        // A radio button carries no tab mark in the template, but Windows
        // gives one to the checked button of each group.
        DWORD wantStyle = want.style;
        if ((want.style & 0x0F) == BS_AUTORADIOBUTTON && SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED)
            wantStyle |= WS_TABSTOP;
        DWORD got = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE)) & ~static_cast<DWORD>(WS_DISABLED);
        Expect(got == wantStyle, "control #%d (%d): style %08lX (got %08lX)", i + 1, want.id, wantStyle, got);
        Expect(((got & WS_GROUP) != 0) == ((wantStyle & WS_GROUP) != 0), "control #%d (%d): group mark", i + 1,
               want.id);
        Expect(((got & WS_TABSTOP) != 0) == ((wantStyle & WS_TABSTOP) != 0), "control #%d (%d): tab mark", i + 1,
               want.id);
    }

    HWND banner = count > 0 ? children[0] : nullptr;
    Expect(banner != nullptr && SendMessageW(banner, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0,
           "the banner static holds a bitmap");

    // Positions: the dialog manager turns dialog units into pixels with one
    // pair of base units; find the pair that explains every rectangle.
    RECT client;
    GetClientRect(dialog, &client);
    bool explained = false;
    int baseX = 0, baseY = 0;
    for (int bx = 1; bx <= 64 && !explained; bx++) {
        for (int by = 1; by <= 128 && !explained; by++) {
            if (MulDiv(404, bx, 4) != client.right || MulDiv(296, by, 8) != client.bottom)
                continue;
            bool all = count == CONTROL_COUNT;
            for (int i = 0; i < count && all; i++) {
                RECT r;
                GetWindowRect(children[i], &r);
                MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
                const ExpectedControl& want = CONTROLS[i];
                // A bitmap static takes the size of its bitmap.
                int width = i == 0 ? bannerWidth : MulDiv(want.width, bx, 4);
                int height = i == 0 ? bannerHeight : MulDiv(want.height, by, 8);
                all = r.left == MulDiv(want.x, bx, 4) && r.top == MulDiv(want.y, by, 8) &&
                      r.right - r.left == width && r.bottom - r.top == height;
            }
            if (all) {
                explained = true;
                baseX = bx;
                baseY = by;
            }
        }
    }
    Expect(explained, "client 404 x 296 units and all %d rectangles match one pair of base units (client %ld x %ld)",
           CONTROL_COUNT, client.right, client.bottom);
    if (!explained) {
        for (int i = 0; i < count; i++) {
            RECT r;
            GetWindowRect(children[i], &r);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
            printf("   control #%d: %ld,%ld %ldx%ld\n", i + 1, r.left, r.top, r.right - r.left, r.bottom - r.top);
        }
    } else {
        printf("   base units %d x %d\n", baseX, baseY);
        foundBaseX = baseX;
        foundBaseY = baseY;
    }

    // DS_CENTER: the window's centre is the work area's centre.
    RECT window, work;
    GetWindowRect(dialog, &window);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    long dx = (window.left + window.right) - (work.left + work.right);
    long dy = (window.top + window.bottom) - (work.top + work.bottom);
    Expect(dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2, "dialog centred in the work area (off by %ld/2, %ld/2)", dx,
           dy);
}

// The test says which dpi its prefix has. Read before the first launch.
void ReadScreenDpi()
{
    wchar_t value[16];
    if (GetEnvironmentVariableW(L"BLANKMENDER_DRIVER_DPI", value, 16) != 0)
        screenDpi = static_cast<int>(wcstoul(value, nullptr, 10));
    bannerWidth = MulDiv(279, screenDpi, 96);
    bannerHeight = MulDiv(32, screenDpi, 96);
}

// The dialog at the prefix's dpi: its base units are those of its font, 9
// points at that dpi, measured as the dialog manager measures it (the mean
// width of the 52 Latin letters, rounded, and the cell's height). With the
// rectangles CheckTemplate matched to those base units, every control sits
// where its dialog units say at this scale; the banner is as large as the
// scale too.
void CheckScale(const App& app)
{
    Section("scale");
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    Expect(dpi == screenDpi, "the screen has %d dpi (got %d)", screenDpi, dpi);
    HFONT font = CreateFontW(-MulDiv(9, screenDpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_DONTCARE,
                             L"\uFF2D\uFF33 \u30B4\u30B7\u30C3\u30AF"); // ＭＳ ゴシック
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, font);
    const wchar_t letters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE extent = {};
    TEXTMETRICW metrics = {};
    GetTextExtentPoint32W(dc, letters, 52, &extent);
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    const int baseX = (extent.cx / 26 + 1) / 2;
    const int baseY = metrics.tmHeight;
    Expect(foundBaseX == baseX && foundBaseY == baseY,
           "the controls sit at base units %d x %d, 9 points at %d dpi (found %d x %d)", baseX, baseY, screenDpi,
           foundBaseX, foundBaseY);

    HWND banner = GetWindow(app.dialog, GW_CHILD);
    RECT r = {};
    if (banner != nullptr)
        GetWindowRect(banner, &r);
    const long width = r.right - r.left, height = r.bottom - r.top;
    printf("   banner %ld x %ld at %d dpi\n", width, height, screenDpi);
    // As large as the dpi makes it: 1.5 times at 144 dpi, give or take a
    // rounded pixel.
    Expect(width * 96 >= 279L * screenDpi - 48 && height * 96 >= 32L * screenDpi - 48,
           "the banner is %d / 96 as large as at 96 dpi (%ld x %ld)", screenDpi, width, height);

    // Drawn as large, not a small picture in a large frame: the blue
    // lettering (with its shadow) spans rows 5 to 26 of the 96-dpi banner.
    HDC shown = GetDC(nullptr);
    int top = -1, bottom = -1;
    for (long y = 0; y < height; y++) {
        for (long x = 0; x < width / 2; x++) {
            COLORREF c = GetPixel(shown, r.left + x, r.top + y);
            if (GetBValue(c) > GetRValue(c) + 40 && GetBValue(c) > GetGValue(c) + 40) {
                if (top < 0)
                    top = static_cast<int>(y);
                bottom = static_cast<int>(y);
                break;
            }
        }
    }
    ReleaseDC(nullptr, shown);
    printf("   lettering on rows %d to %d\n", top, bottom);
    Expect(top >= 0 && (bottom - top + 1) * 96 >= 22 * screenDpi - 96,
           "the lettering is %d / 96 as tall as at 96 dpi (rows %d to %d)", screenDpi, top, bottom);
}

SettingsWord ReadButtons(HWND dialog)
{
    SettingsWord word = 0;
    for (const OptionButton& option : OPTIONS) {
        if (SendDlgItemMessageW(dialog, option.id, BM_GETCHECK, 0, 0) == BST_CHECKED)
            word |= option.bit;
    }
    return word;
}

// The buttons, all four preview lines and which buttons are enabled.
// kanaPreview is line 1024; null stands for the katakana sample with its
// blank as 1000 says, all a word without katakana buttons makes of it.
void CheckState(HWND dialog, const char* when, SettingsWord buttons, const char* preview,
                const char* kanaPreview = nullptr)
{
    SettingsWord got = ReadButtons(dialog);
    Expect(got == buttons, "%s: buttons show %d (got %d)", when, buttons, got);

    ExpectText(std::string(when) + ": 1022 shows the sample", FromCp932(SAMPLE), GetItemText(dialog, IDC_PREVIEW_BEFORE));
    ExpectText(std::string(when) + ": 1021", FromCp932(preview), GetItemText(dialog, IDC_PREVIEW_AFTER));
    ExpectText(std::string(when) + ": 1023 shows the katakana sample", FromCp932(KANA_SAMPLE),
               GetItemText(dialog, IDC_KANA_BEFORE));
    Expect(kanaPreview != nullptr || (buttons & (OPT_KANA | OPT_JOIN_MARKS)) == 0,
           "%s: the table gives line 1024 for katakana buttons", when);
    if (kanaPreview == nullptr)
        kanaPreview = (buttons & OPT_SPACES) ? KANA_SAMPLE_UNDERBAR : KANA_SAMPLE;
    ExpectText(std::string(when) + ": 1024", FromCp932(kanaPreview), GetItemText(dialog, IDC_KANA_AFTER));

    const SettingsWord digitChoices = OPT_DIGITS_TO_FULL | OPT_DIGITS_TO_HALF;
    const SettingsWord kanaChoices = OPT_KANA_TO_FULL | OPT_KANA_TO_HALF;
    for (const OptionButton& option : OPTIONS) {
        bool want = true;
        if (option.bit & digitChoices)
            want = (buttons & OPT_DIGITS) != 0;
        else if (option.bit & kanaChoices)
            want = (buttons & OPT_KANA) != 0;
        else if (option.bit > OPT_DIGITS_TO_HALF && option.bit <= OPT_CASE_CAPITALIZE)
            want = (buttons & OPT_LETTERS) != 0;
        bool enabled = IsWindowEnabled(GetDlgItem(dialog, option.id)) != 0;
        Expect(enabled == want, "%s: button %d %s", when, option.id, want ? "enabled" : "disabled");
    }
    for (int id : {IDC_OK, IDC_CANCEL, IDC_INFO, IDC_SENDTO})
        Expect(IsWindowEnabled(GetDlgItem(dialog, id)) != 0, "%s: button %d enabled", when, id);
}

struct Click {
    int id;
    SettingsWord buttons; // after the click
    const char* preview;  // line 1021 after the click
    const char* kanaPreview = nullptr; // line 1024 after the click, as CheckState takes it
};

void RunClicks(HWND dialog, const Click* clicks, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        const Click& click = clicks[i];
        char when[64];
        snprintf(when, sizeof(when), "after click %zu on %d", i + 1, click.id);
        // Under Wine a click on a disabled button can leave the program
        // spinning and deaf to every later message; once an earlier check
        // has failed, the rest of the launch is not worth that.
        HWND button = GetDlgItem(dialog, click.id);
        bool enabled = IsWindowEnabled(button) != 0;
        Expect(enabled, "%s: button %d is enabled to be clicked", when, click.id);
        if (!enabled)
            return;
        // Sent, not posted: the preview is redrawn before SendMessage returns.
        DWORD_PTR result;
        bool answered = SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, WAIT_MS, &result) != 0;
        Expect(answered, "%s: the program answers the click", when);
        if (!answered)
            return;
        CheckState(dialog, when, click.buttons, click.preview, click.kanaPreview);
    }
}

// Posts a click (the handler may open a modal box) and returns at once.
void PostClick(HWND dialog, int id)
{
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// Waits for a message box owned by the dialog, checks its title and text,
// and presses its OK button.
void CheckMessageBox(const App& app, const char* what, const std::wstring& title, const std::wstring& text)
{
    HWND box = nullptr;
    bool appeared = WaitFor([&] {
        box = FindOwnedBox(app);
        return box != nullptr;
    });
    Expect(appeared, "%s: a message box appears", what);
    if (!appeared)
        return;
    ExpectText(std::string(what) + ": title", title, GetText(box));
    // The message box's text is a static with the id 0xFFFF.
    std::wstring got;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassIs(child, L"Static") && ControlId(child) == 0xFFFF)
            got = GetText(child);
    }
    ExpectText(std::string(what) + ": text", text, got);
    HWND ok = GetDlgItem(box, IDOK);
    Expect(ok != nullptr, "%s: the box has an OK button", what);
    PostMessageW(ok != nullptr ? ok : box, ok != nullptr ? BM_CLICK : WM_CLOSE, 0, 0);
    Expect(WaitFor([&] { return !IsWindow(box); }), "%s: the box closes", what);
    DWORD_PTR result;
    SendMessageTimeoutW(app.dialog, WM_NULL, 0, 0, SMTO_NORMAL, WAIT_MS, &result);
}

void ExpectFileHolds(const App& app, const char* what, const std::string& want)
{
    std::string got;
    bool read = ReadWholeFile(app.config, got);
    Expect(read && got == want, "%s: config.dat holds \"%s\" (got %s)", what, ShownBytes(want).c_str(),
           read ? ("\"" + ShownBytes(got) + "\"").c_str() : "no file");
}

// A key pressed and released, posted as the keyboard would: to the control
// that has the focus in the dialog's thread, or to the dialog if none has.
void PressKey(const App& app, WPARAM key, const char* name)
{
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof(thread);
    HWND target = app.dialog;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(app.dialog, nullptr), &thread) && thread.hwndFocus != nullptr)
        target = thread.hwndFocus;
    Expect(target == app.dialog || IsChild(app.dialog, target), "%s: the focus is in the dialog", name);
    printf("   %s to control %d\n", name, target == app.dialog ? 0 : ControlId(target));
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(target, WM_KEYDOWN, key, scan | 1);
    PostMessageW(target, WM_KEYUP, key, scan | 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
}

// ---------------------------------------------------------------- history

// Files (names ending in a backslash are folders) under root, each with
// content of its own.
void MakeTree(const std::wstring& root, const std::vector<std::wstring>& names)
{
    CreateDirectoryW(root.c_str(), nullptr);
    int serial = 0;
    for (const std::wstring& name : names) {
        const std::wstring path = root + name;
        if (name.back() == L'\\') {
            CreateDirectoryW(path.c_str(), nullptr);
            continue;
        }
        const size_t cut = path.rfind(L'\\');
        CreateDirectoryW(path.substr(0, cut).c_str(), nullptr);
        WriteWholeFile(path, Utf8(name) + " #" + std::to_string(serial++));
    }
}

// Every entry under root: relative path -> content ("/" for a folder).
typedef std::map<std::wstring, std::string> Tree;

void AddTree(const std::wstring& root, const std::wstring& relative, Tree& tree)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((root + relative + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree[relative + name + L"\\"] = "/";
            AddTree(root, relative + name + L"\\", tree);
        } else {
            FILE* file = _wfopen((root + relative + name).c_str(), L"rb");
            std::string content;
            char buffer[4096];
            size_t count;
            while (file != nullptr && (count = fread(buffer, 1, sizeof buffer, file)) != 0)
                content.append(buffer, count);
            if (file != nullptr)
                fclose(file);
            tree[relative + name] = content;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Deletes folder (ending in a backslash) and everything in it.
void DeleteTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(folder + name + L"\\");
            else
                DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

Tree Snapshot(const std::wstring& root)
{
    Tree tree;
    AddTree(root, L"", tree);
    return tree;
}

void ExpectTree(const char* what, const Tree& want, const Tree& got)
{
    int shown = 0;
    for (const auto& entry : want) {
        auto it = got.find(entry.first);
        if ((it == got.end() || it->second != entry.second) && shown++ < 5)
            printf("   %s: %s %s\n", what, it == got.end() ? "missing" : "changed", Utf8(entry.first).c_str());
    }
    for (const auto& entry : got) {
        if (want.find(entry.first) == want.end() && shown++ < 10)
            printf("   %s: unexpected %s\n", what, Utf8(entry.first).c_str());
    }
    Expect(want == got, "%s: the whole tree as it should be, contents included (%zu entries)", what, want.size());
}

// Starts a batch: the program with the names (quoted) as its command line,
// in folder as its working folder.
PROCESS_INFORMATION StartBatch(const App& app, const std::wstring& folder, const std::vector<std::wstring>& names)
{
    std::wstring commandLine = L"\"" + app.exe + L"\"";
    for (const std::wstring& name : names)
        commandLine += L" \"" + name + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(app.exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process))
        Expect(false, "batch: CreateProcess error %lu", GetLastError());
    return process;
}

// Waits for a batch to end by itself; its time in ms.
DWORD FinishBatch(PROCESS_INFORMATION& process, const char* what)
{
    const DWORD started = GetTickCount();
    DWORD waited = WaitForSingleObject(process.hProcess, 120000);
    DWORD code = 1234;
    GetExitCodeProcess(process.hProcess, &code);
    Expect(waited == WAIT_OBJECT_0 && code == 0, "%s: the batch ends with exit code 0 (got %lu)", what, code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return GetTickCount() - started;
}

DWORD RunBatch(const App& app, const std::wstring& folder, const std::vector<std::wstring>& names, const char* what)
{
    const DWORD started = GetTickCount();
    PROCESS_INFORMATION process = StartBatch(app, folder, names);
    if (process.hProcess != nullptr)
        FinishBatch(process, what);
    return GetTickCount() - started;
}

std::wstring Summary(const char* renamed, const char* third = nullptr)
{
    std::wstring text = L"\r\n" + FromCp932(RENAMED) + FromCp932(renamed) + FromCp932(COUNT);
    if (third != nullptr)
        text += L"\r\n" + FromCp932(third);
    return text;
}

// The summary after its first line (the date and time, which are checked
// for their shape only), and whether undo can be pressed.
void CheckHistory(const App& app, const char* what, const std::wstring& rest, bool undoable,
                  const char* mark = nullptr)
{
    std::wstring text = GetItemText(app.dialog, IDC_HISTORY);
    const std::wstring stamp = text.substr(0, 19);
    bool shaped = stamp.size() == 19;
    for (size_t i = 0; i < stamp.size() && shaped; i++)
        shaped = std::wstring(L"0000-00-00 00:00:00")[i] == L'0' ? iswdigit(stamp[i]) != 0
                                                                  : stamp[i] == L"0000-00-00 00:00:00"[i];
    Expect(shaped, "%s: the summary starts with the date and time (got \"%s\")", what, Shown(text).c_str());
    std::wstring markText = mark != nullptr ? FromCp932(mark) : L"";
    ExpectText(std::string(what) + ": the summary", stamp + markText + rest, text);
    Expect((IsWindowEnabled(GetDlgItem(app.dialog, IDC_UNDO)) != 0) == undoable, "%s: undo %s", what,
           undoable ? "enabled" : "greyed out");
}

void CheckNoHistory(const App& app, const char* what)
{
    ExpectText(std::string(what) + ": the summary", FromCp932(NO_HISTORY), GetItemText(app.dialog, IDC_HISTORY));
    Expect(!IsWindowEnabled(GetDlgItem(app.dialog, IDC_UNDO)), "%s: undo greyed out", what);
}

// Presses undo and checks the box that reports it; its time in ms, from
// the click to the box.
DWORD Undo(const App& app, const char* what, const std::wstring& report)
{
    const DWORD started = GetTickCount();
    PostClick(app.dialog, IDC_UNDO);
    WaitFor([&] { return FindOwnedBox(app) != nullptr; }, 120000);
    const DWORD ms = GetTickCount() - started;
    CheckMessageBox(app, what, L"Blankmender", report);
    return ms;
}

std::wstring Restored(size_t count)
{
    return std::to_wstring(count) + FromCp932(RESTORED);
}

std::vector<std::wstring> Numbered(const wchar_t* format, int count)
{
    std::vector<std::wstring> names;
    for (int i = 0; i < count; i++) {
        wchar_t name[64];
        swprintf(name, 64, format, i);
        names.push_back(name);
    }
    return names;
}

std::vector<std::wstring> Underbars(std::vector<std::wstring> names)
{
    for (std::wstring& name : names) {
        for (wchar_t& c : name) {
            if (c == L' ')
                c = L'_';
        }
    }
    return names;
}

// A batch of 500 files and more, then undo: the whole tree comes back.
// Both are timed.
void HistoryUndoLaunch(App& app)
{
    Section("launch 7: a batch of 500, undo");
    WriteWholeFile(app.config, "305");
    const std::wstring folder = app.folder + L"h1\\";
    std::vector<std::wstring> names = Numbered(L"f%03d x.txt", 500);
    std::vector<std::wstring> files = names;
    for (const wchar_t* extra : {L"keep.txt", L"t u.txt", L"t_u.txt", L"d e\\in side.txt"})
        files.push_back(extra);
    MakeTree(folder, files);
    const Tree before = Snapshot(folder);
    names.insert(names.end(), {L"keep.txt", L"t u.txt", L"d e"});
    const DWORD batchMs = RunBatch(app, folder, names, "batch of 500");
    Expect(FileExists(folder + L"f499_x.txt") && FileExists(folder + L"d_e\\in side.txt"), "the batch renamed");

    if (!Launch(app))
        return;
    CheckHistory(app, "after the batch", Summary("501", FAILED_EXISTS), true);
    const DWORD undoMs = Undo(app, "undo", Restored(501));
    ExpectTree("after undo", before, Snapshot(folder));
    CheckNoHistory(app, "after undo");
    printf("   batch of %zu paths: %lu ms; undo of 501 renames: %lu ms\n", names.size(), batchMs, undoMs);
    PostClick(app.dialog, IDC_CANCEL);
    ExpectExit(app, "CANCEL");
}

// Since the batch, one old name was taken by a new file and one renamed
// file was deleted: those two stay as they are, the third comes back.
void HistoryTakenLaunch(App& app)
{
    Section("launch 8: undo with an old name taken, a renamed file gone, a change of case only");
    // All capitals: abc.txt changes only in case, and where names ignore
    // case both ways go through a temporary name.
    WriteWholeFile(app.config, "549");
    const std::wstring folder = app.folder + L"h2\\";
    MakeTree(folder, {L"p q.txt", L"r s.txt", L"t u.txt", L"abc.txt"});
    RunBatch(app, folder, {L"p q.txt", L"r s.txt", L"t u.txt", L"abc.txt"}, "batch of four");
    Tree renamed = Snapshot(folder);
    Expect(renamed.count(L"ABC.txt") == 1 && renamed.count(L"T_U.txt") == 1, "the batch renamed, case too");
    WriteWholeFile(folder + L"p q.txt", "a new file");
    DeleteFileW((folder + L"R_S.txt").c_str());
    Tree want = Snapshot(folder);
    for (const auto& back : {std::make_pair(L"T_U.txt", L"t u.txt"), std::make_pair(L"ABC.txt", L"abc.txt")}) {
        want[back.second] = want[back.first];
        want.erase(back.first);
    }

    if (!Launch(app))
        return;
    CheckHistory(app, "after the batch", Summary("4"), true);
    Undo(app, "undo",
         Restored(2) + L"\n\n" + FromCp932(NOT_RESTORED) + L"2" + FromCp932(COUNT) + L"\n" + folder + L"R_S.txt: " +
             FromCp932(NOT_FOUND) + L"\n" + folder + L"P_Q.txt: " + FromCp932(EXISTS));
    ExpectTree("after undo", want, Snapshot(folder));
    CheckNoHistory(app, "after undo");
    PostClick(app.dialog, IDC_CANCEL);
    ExpectExit(app, "CANCEL");
    WriteWholeFile(app.config, "305");
}

// Three batches at once: each undo takes back exactly one of them, the one
// started last first.
void HistoryConcurrentLaunch(App& app)
{
    Section("launch 9: three batches at once, three undos");
    std::wstring folders[3];
    Tree before[3];
    Tree after[3];
    PROCESS_INFORMATION processes[3];
    const std::vector<std::wstring> names = Numbered(L"m%03d x.txt", 100);
    for (int i = 0; i < 3; i++) {
        folders[i] = app.folder + L"m" + std::to_wstring(i) + L"\\";
        MakeTree(folders[i], names);
        before[i] = Snapshot(folders[i]);
    }
    for (int i = 0; i < 3; i++)
        processes[i] = StartBatch(app, folders[i], names);
    for (int i = 0; i < 3; i++) {
        if (processes[i].hProcess != nullptr)
            FinishBatch(processes[i], "a batch of three at once");
        after[i] = Snapshot(folders[i]);
        Expect(after[i].count(L"m099_x.txt") == 1, "batch %d renamed", i);
    }

    if (!Launch(app))
        return;
    bool undone[3] = {false, false, false};
    for (int round = 0; round < 3; round++) {
        char what[64];
        snprintf(what, sizeof what, "undo %d of 3", round + 1);
        CheckHistory(app, what, Summary("100"), true);
        Undo(app, what, Restored(100));
        int back = -1;
        for (int i = 0; i < 3; i++) {
            const Tree now = Snapshot(folders[i]);
            if (!undone[i] && now == before[i]) {
                Expect(back < 0, "%s: only one batch comes back", what);
                back = i;
            } else {
                ExpectTree(what, undone[i] ? before[i] : after[i], now);
            }
        }
        Expect(back >= 0, "%s: one batch comes back whole", what);
        if (back >= 0)
            undone[back] = true;
    }
    CheckNoHistory(app, "after three undos");
    PostClick(app.dialog, IDC_CANCEL);
    ExpectExit(app, "CANCEL");
}

// A batch stopped after renamed of total renames: the dialog says it was
// stopped (its last move may have been written without its outcome), and
// undo brings the folder back to before.
void ExpectStoppedBatchUndone(App& app, size_t renamed, size_t total, const Tree& before,
                              const std::wstring& folder)
{
    printf("   stopped after %zu of %zu renames\n", renamed, total);
    Expect(renamed > 0 && renamed < total, "the batch was stopped part way (%zu of %zu renamed)", renamed, total);

    if (!Launch(app))
        return;
    std::wstring text = GetItemText(app.dialog, IDC_HISTORY);
    Expect(text.find(FromCp932(STOPPED)) == 19, "the summary says the batch was stopped (got \"%s\")",
           Shown(text).c_str());
    Undo(app, "undo", Restored(renamed));
    ExpectTree("after undo", before, Snapshot(folder));
    PostClick(app.dialog, IDC_CANCEL);
    ExpectExit(app, "CANCEL");
}

// A batch ended from outside part way: every rename it made is in the
// history, so undo brings the whole tree back.
void HistoryKilledLaunch(App& app)
{
    Section("launch 10: a batch stopped part way, undo");
    const std::wstring folder = app.folder + L"k\\";
    const std::vector<std::wstring> names = Numbered(L"k%04d x.txt", 600);
    MakeTree(folder, names);
    const Tree before = Snapshot(folder);
    PROCESS_INFORMATION process = StartBatch(app, folder, names);
    if (process.hProcess == nullptr)
        return;
    const std::wstring first = folder + L"k0000_x.txt";
    WaitFor([&] { return FileExists(first) || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }, 60000);
    Sleep(30);
    TerminateProcess(process.hProcess, 9);
    WaitForSingleObject(process.hProcess, WAIT_MS);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    size_t renamed = 0;
    const std::vector<std::wstring> newNames = Underbars(names);
    for (const std::wstring& name : newNames)
        renamed += FileExists(folder + name);
    ExpectStoppedBatchUndone(app, renamed, names.size(), before, folder);
}

// A batch larger than any buffer of a fixed size: 33,000 renames, more
// than 32,768, in more than 8 MiB of history, written here as the batch
// writes them. The summary counts them all, and undo takes every one back.
void HistoryLargeLaunch(App& app)
{
    Section("launch 11: a batch of 33,000 renames in over 8 MiB of history, undo");
    // Empty files, 250 a folder, and their names only: under Wine every file
    // opened costs a good part of a millisecond, and a name not there yet a
    // look through the whole folder.
    const std::wstring root = app.folder + L"big " + std::wstring(120, L'd') + L"\\";
    auto folderOf = [&](size_t i) { return root + std::to_wstring(i / 250) + L"\\"; };
    auto names = [&]() {
        std::set<std::wstring> found;
        for (size_t i = 0; i < 33000; i += 250) {
            WIN32_FIND_DATAW entry;
            HANDLE search = FindFirstFileW((folderOf(i) + L"*").c_str(), &entry);
            if (search == INVALID_HANDLE_VALUE)
                continue;
            do {
                if (entry.cFileName[0] != L'.')
                    found.insert(entry.cFileName);
            } while (FindNextFileW(search, &entry));
            FindClose(search);
        }
        return found;
    };
    const std::vector<std::wstring> oldNames = Numbered(L"b%05d x.txt", 33000);
    const std::vector<std::wstring> newNames = Underbars(oldNames);
    CreateDirectoryW(root.c_str(), nullptr);
    std::string text = "batch\t1-big\t2026-12-09 04:05:31\t305\r\n";
    for (size_t i = 0; i < oldNames.size(); i++) {
        CreateDirectoryW(folderOf(i).c_str(), nullptr);
        HANDLE file = CreateFileW((folderOf(i) + newNames[i]).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        text += "move\t1-big\t" + Utf8(folderOf(i) + oldNames[i]) + "\t" + Utf8(folderOf(i) + newNames[i]) +
                "\r\ndone\t1-big\r\n";
    }
    text += "end\t1-big\t0\r\n";
    Expect(names() == std::set<std::wstring>(newNames.begin(), newNames.end()), "33,000 files made");
    Expect(text.size() > (8u << 20), "the history holds more than 8 MiB (%zu bytes)", text.size());
    Expect(WriteWholeFile(app.folder + L"history.txt", text), "history.txt written");

    if (!Launch(app))
        return;
    CheckHistory(app, "a batch of 33,000", Summary("33000"), true);
    const DWORD undoMs = Undo(app, "undo of 33,000", Restored(33000));
    Expect(names() == std::set<std::wstring>(oldNames.begin(), oldNames.end()),
           "after undo: every file has its old name");
    CheckNoHistory(app, "after undo");
    printf("   undo of 33,000 renames: %lu ms\n", undoMs);
    PostClick(app.dialog, IDC_CANCEL);
    ExpectExit(app, "CANCEL");
    DeleteTree(root);
}

// A dropped folder with a folder's contents on: every name of its tree in
// one batch, the folder's own last, a dot folder and what it holds left
// alone, a taken name recorded. The box shows the saved bit; the summary
// counts the whole tree, and undo brings it all back.
void TreeUndoLaunch(App& app)
{
    Section("launch 14: a folder's whole tree, undo");
    WriteWholeFile(app.config, std::to_string(DEFAULT_SETTINGS | OPT_FOLDER_CONTENTS));
    const std::wstring folder = app.folder + L"tree\\";
    MakeTree(folder, {L"top dir\\a b.txt", L"top dir\\keep.txt", L"top dir\\sub 1\\c d.txt",
                      L"top dir\\sub 1\\deep er\\e f.txt", L"top dir\\sub 1\\deep er\\g h\\",
                      L"top dir\\.git\\x y.txt", L"top dir\\i j.txt", L"top dir\\i_j.txt"});
    const Tree before = Snapshot(folder);
    RunBatch(app, folder, {L"top dir"}, "a tree");
    Tree want;
    for (const auto& entry : before) {
        std::wstring path = entry.first;
        // Every blank of the tree but those under .git and in the taken name.
        if (path.find(L".git") != std::wstring::npos || path.find(L"i j.txt") != std::wstring::npos) {
            path.replace(0, 7, L"top_dir");
        } else {
            for (wchar_t& c : path)
                c = c == L' ' ? L'_' : c;
        }
        want[path] = entry.second;
    }
    ExpectTree("after the batch", want, Snapshot(folder));

    if (!Launch(app))
        return;
    Expect(SendDlgItemMessageW(app.dialog, IDC_FOLDER_CONTENTS, BM_GETCHECK, 0, 0) == BST_CHECKED,
           "the saved bit 16 checks 1034");
    printf("   the summary after the tree: \"%s\"\n", Shown(GetItemText(app.dialog, IDC_HISTORY)).c_str());
    CheckHistory(app, "after the tree", Summary("7", FAILED_EXISTS), true);
    Undo(app, "undo of the tree", Restored(7));
    ExpectTree("after undo", before, Snapshot(folder));
    CheckNoHistory(app, "after undo");
    PostClick(app.dialog, IDC_CANCEL);
    ExpectExit(app, "CANCEL");
    WriteWholeFile(app.config, "305");
    DeleteTree(folder);
}

// A tree batch ended from outside part way: its folders' contents half
// renamed, maybe a folder or two. Every rename it made is in the history,
// and undo takes back exactly those, the folders before what they hold.
void TreeKilledLaunch(App& app)
{
    Section("launch 15: a tree batch stopped part way, undo");
    WriteWholeFile(app.config, std::to_string(DEFAULT_SETTINGS | OPT_FOLDER_CONTENTS));
    const std::wstring folder = app.folder + L"tree stop\\";
    std::vector<std::wstring> names = {L"top x\\"};
    for (int f = 0; f < 40; f++) {
        names.push_back(L"top x\\d" + std::to_wstring(f) + L" x\\");
        for (const std::wstring& name : Numbered(L"s%02d x.txt", 40))
            names.push_back(L"top x\\d" + std::to_wstring(f) + L" x\\" + name);
    }
    MakeTree(folder, names);
    const Tree before = Snapshot(folder);
    const std::wstring history = app.folder + L"history.txt";
    auto historySize = [&]() -> DWORD {
        WIN32_FILE_ATTRIBUTE_DATA data;
        return GetFileAttributesExW(history.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
    };
    const DWORD start = historySize();
    PROCESS_INFORMATION process = StartBatch(app, folder, {L"top x"});
    if (process.hProcess == nullptr)
        return;
    // Some twenty moves written, each with its two paths.
    WaitFor([&] { return historySize() > start + 8000 || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; },
            60000);
    TerminateProcess(process.hProcess, 9);
    WaitForSingleObject(process.hProcess, WAIT_MS);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // Every name had a blank: the names without one are the renames made.
    const Tree stopped = Snapshot(folder);
    size_t renamed = 0;
    for (const auto& entry : stopped) {
        std::wstring name = entry.first;
        if (name.back() == L'\\')
            name.pop_back();
        renamed += name.substr(name.rfind(L'\\') + 1).find(L' ') == std::wstring::npos;
    }
    ExpectStoppedBatchUndone(app, renamed, before.size(), before, folder);
    WriteWholeFile(app.config, "305");
    DeleteTree(folder);
}

// ---------------------------------------------------------------- the list window

const char LIST_CAPTION[] = "Blankmender \x95\xCF\x8A\xB7\x82\xCC\x8A\x6D\x94\x46"; // Blankmender 変換の確認
const char WORD_CHANGE[] = "\x95\xCF\x8D\x58";                    // 変更
const char WORD_CLEAN[] = "\x82\xBB\x82\xCC\x82\xDC\x82\xDC";     // そのまま
const char WORD_EXISTS[] = "\x8A\xF9\x82\xC9\x82\xA0\x82\xE9";    // 既にある
const char WORD_TAKEN[] = "\x8F\x64\x95\xA1";                     // 重複
const char WORD_RENAMED[] = "\x95\xCF\x8D\x58\x8D\xCF\x82\xDD";   // 変更済み
const char RUN_TEXT[] = "\x95\xCF\x8A\xB7\x82\xB7\x82\xE9";       // 変換する
const char CANCEL_TEXT[] = "\x83\x4C\x83\x83\x83\x93\x83\x5A\x83\x8B"; // キャンセル
const char CLOSE_TEXT[] = "\x95\xC2\x82\xB6\x82\xE9";             // 閉じる
const char COPY_TEXT[] = "\x88\xEA\x97\x97\x82\xF0\x83\x52\x83\x73\x81\x5B"; // 一覧をコピー
const char FILTER_TEXT[] = // 変わるものだけ表示する。
    "\x95\xCF\x82\xED\x82\xE9\x82\xE0\x82\xCC\x82\xBE\x82\xAF\x95\x5C\x8E\xA6\x82\xB7\x82\xE9\x81\x42";
const char COPY_HEADER[] = // 状態 変換前 変換後 フォルダ
    "\x8F\xF3\x91\xD4\t\x95\xCF\x8A\xB7\x91\x4F\t\x95\xCF\x8A\xB7\x8C\xE3\t\x83\x74\x83\x48\x83\x8B\x83\x5F";

struct ListRow {
    std::wstring status, before, after, folder;
    bool ticked;
};

// Another process's list window, and a page of memory in that process for
// the list view's structures.
struct ListWindow {
    HANDLE process = nullptr;
    HWND window = nullptr;
    HWND list = nullptr;
    char* remote = nullptr;
};
const size_t REMOTE_SIZE = 1 << 16;
const size_t REMOTE_TEXT = 4096; // where a text starts in it

struct FindListArgs {
    DWORD processId;
    std::wstring caption;
    HWND found;
};

BOOL CALLBACK FindListOfProcess(HWND window, LPARAM lParam)
{
    FindListArgs* args = reinterpret_cast<FindListArgs*>(lParam);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != args->processId || !IsWindowVisible(window) || GetText(window) != args->caption)
        return TRUE;
    args->found = window;
    return FALSE;
}

// Waits for the process's list window and its first rows' end: 変換する
// comes alive once the list is complete.
bool OpenListWindow(ListWindow& view, HANDLE process, const char* what)
{
    view.process = process;
    FindListArgs args = {GetProcessId(process), FromCp932(LIST_CAPTION), nullptr};
    const bool found = WaitFor([&] {
        EnumWindows(FindListOfProcess, reinterpret_cast<LPARAM>(&args));
        return args.found != nullptr;
    });
    Expect(found, "%s: the list window appears", what);
    if (!found)
        return false;
    view.window = args.found;
    view.list = GetDlgItem(view.window, IDC_LIST);
    Expect(ClassIs(view.list, L"SysListView32"), "%s: 1050 is a list view", what);
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(view.list, GWL_STYLE));
    Expect((style & LVS_TYPEMASK) == LVS_REPORT && (style & LVS_OWNERDATA) != 0, "%s: a virtual report list", what);
    const DWORD extended = static_cast<DWORD>(SendMessageW(view.list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    Expect((extended & (LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT)) == (LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT),
           "%s: check boxes and full-row select (%08lX)", what, extended);
    view.remote = static_cast<char*>(VirtualAllocEx(process, nullptr, REMOTE_SIZE, MEM_COMMIT, PAGE_READWRITE));
    Expect(view.remote != nullptr, "%s: memory in the program (error %lu)", what, GetLastError());
    const bool complete = WaitFor([&] { return IsWindowEnabled(GetDlgItem(view.window, IDOK)) != 0; }, 60000);
    Expect(complete, "%s: the list is complete", what);
    return view.remote != nullptr && complete;
}

void CloseListWindow(ListWindow& view)
{
    if (view.remote != nullptr)
        VirtualFreeEx(view.process, view.remote, 0, MEM_RELEASE);
    view.remote = nullptr;
}

// Sends a message whose lParam points at data, copied into the program and
// back.
LRESULT SendRemote(const ListWindow& view, UINT message, WPARAM wParam, void* data, size_t size)
{
    WriteProcessMemory(view.process, view.remote, data, size, nullptr);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(view.list, message, wParam, reinterpret_cast<LPARAM>(view.remote), SMTO_NORMAL, WAIT_MS,
                        &result);
    ReadProcessMemory(view.process, view.remote, data, size, nullptr);
    return static_cast<LRESULT>(result);
}

std::wstring ItemText(const ListWindow& view, int item, int column)
{
    LVITEMW lv = {};
    lv.iSubItem = column;
    lv.pszText = reinterpret_cast<wchar_t*>(view.remote + REMOTE_TEXT);
    lv.cchTextMax = static_cast<int>((REMOTE_SIZE - REMOTE_TEXT) / sizeof(wchar_t));
    const LRESULT length = SendRemote(view, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), &lv, sizeof lv);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        ReadProcessMemory(view.process, view.remote + REMOTE_TEXT, &text[0], text.size() * sizeof(wchar_t), nullptr);
    return text;
}

std::vector<ListRow> ReadRows(const ListWindow& view)
{
    std::vector<ListRow> rows;
    const LRESULT count = SendMessageW(view.list, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        const LRESULT state = SendMessageW(view.list, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_STATEIMAGEMASK);
        rows.push_back({ItemText(view, i, 0), ItemText(view, i, 1), ItemText(view, i, 2), ItemText(view, i, 3),
                        (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2)});
    }
    return rows;
}

// The row of the entry before in folder, or -1.
int FindRow(const std::vector<ListRow>& rows, const std::wstring& folder, const std::wstring& before)
{
    for (size_t i = 0; i < rows.size(); i++) {
        if (rows[i].folder == folder && rows[i].before == before)
            return static_cast<int>(i);
    }
    return -1;
}

void ClickButton(const ListWindow& view, int id, const char* what)
{
    DWORD_PTR result;
    Expect(SendMessageTimeoutW(GetDlgItem(view.window, id), BM_CLICK, 0, 0, SMTO_NORMAL, WAIT_MS, &result) != 0,
           "%s: the list window answers", what);
}

// A click on the row's check box, where the list view's own hit test finds
// the state icon.
void ClickCheckBox(const ListWindow& view, int item, const char* what)
{
    RECT bounds = {LVIR_BOUNDS, 0, 0, 0};
    SendRemote(view, LVM_GETITEMRECT, static_cast<WPARAM>(item), &bounds, sizeof bounds);
    const int y = static_cast<int>((bounds.top + bounds.bottom) / 2);
    int first = -1, last = -1;
    for (int x = static_cast<int>(bounds.left); x < bounds.left + 80; x++) {
        LVHITTESTINFO hit = {};
        hit.pt = {x, y};
        SendRemote(view, LVM_HITTEST, 0, &hit, sizeof hit);
        if (hit.iItem == item && (hit.flags & LVHT_ONITEMSTATEICON) != 0) {
            if (first < 0)
                first = x;
            last = x;
        }
    }
    Expect(first >= 0, "%s: the row's check box is found", what);
    if (first < 0)
        return;
    const LPARAM at = MAKELPARAM((first + last) / 2, y);
    PostMessageW(view.list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(view.list, WM_LBUTTONUP, 0, at);
    DWORD_PTR result;
    SendMessageTimeoutW(view.window, WM_NULL, 0, 0, SMTO_NORMAL, WAIT_MS, &result);
}

// Space over the row, selected alone, as in Explorer.
void PressSpaceOn(const ListWindow& view, int item)
{
    LVITEMW lv = {};
    lv.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    lv.state = 0;
    SendRemote(view, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), &lv, sizeof lv);
    lv.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendRemote(view, LVM_SETITEMSTATE, static_cast<WPARAM>(item), &lv, sizeof lv);
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(VK_SPACE, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(view.list, WM_KEYDOWN, VK_SPACE, scan | 1);
    PostMessageW(view.list, WM_KEYUP, VK_SPACE, scan | 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
    DWORD_PTR result;
    SendMessageTimeoutW(view.window, WM_NULL, 0, 0, SMTO_NORMAL, WAIT_MS, &result);
}

void EmptyClipboardOfDriver()
{
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

std::wstring Clipboard()
{
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return L"(no clipboard)";
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const wchar_t* locked = data != nullptr ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    if (locked != nullptr) {
        text = locked;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// The tree of the list's tests: conflicts on disk (c_d.txt is there) and
// within the list (e f and e　f both become e_f), a clean name, a hidden
// folder left out, and a folder whose new name carries into its contents.
const wchar_t* const LIST_TREE[] = {
    L"top dir\\a b.txt", L"top dir\\keep.txt",     L"top dir\\c d.txt",       L"top dir\\c_d.txt",
    L"top dir\\e f.txt", L"top dir\\e\u3000f.txt", L"top dir\\sub 1\\g h.txt", L"top dir\\.git\\x y.txt",
};
struct ListExpected {
    const wchar_t* folder; // below the test's folder, "" for the folder itself
    const wchar_t* before;
    const wchar_t* after;
    const char* status; // nullptr: one of the two names that collide
};
const ListExpected LIST_ROWS[] = {
    {L"\\top dir", L"a b.txt", L"a_b.txt", WORD_CHANGE},
    {L"\\top dir", L"keep.txt", L"keep.txt", WORD_CLEAN},
    {L"\\top dir", L"c d.txt", L"c_d.txt", WORD_EXISTS},
    {L"\\top dir", L"c_d.txt", L"c_d.txt", WORD_CLEAN},
    {L"\\top dir", L"e f.txt", L"e_f.txt", nullptr},
    {L"\\top dir", L"e\u3000f.txt", L"e_f.txt", nullptr},
    {L"\\top dir\\sub 1", L"g h.txt", L"g_h.txt", WORD_CHANGE},
    {L"\\top dir", L"sub 1", L"sub_1", WORD_CHANGE},
    {L"", L"top dir", L"top_dir", WORD_CHANGE},
};

// The rows before renaming: each entry of the tree but the hidden ones,
// contents before their folder, every change ticked; of the two names that
// collide the later row is 重複.
void CheckPlannedRows(const std::vector<ListRow>& rows, const std::wstring& base, const char* what)
{
    Expect(rows.size() == sizeof LIST_ROWS / sizeof LIST_ROWS[0], "%s: %zu rows (got %zu)", what,
           sizeof LIST_ROWS / sizeof LIST_ROWS[0], rows.size());
    int pair[2] = {-1, -1};
    for (const ListExpected& want : LIST_ROWS) {
        const int at = FindRow(rows, base + want.folder, want.before);
        std::string name = what + std::string(": ") + Utf8(want.before);
        Expect(at >= 0, "%s: listed", name.c_str());
        if (at < 0)
            continue;
        const ListRow& row = rows[static_cast<size_t>(at)];
        ExpectText(name + ": new name", want.after, row.after);
        if (want.status != nullptr)
            ExpectText(name + ": status", FromCp932(want.status), row.status);
        else
            pair[pair[0] < 0 ? 0 : 1] = at;
        if (row.status == FromCp932(WORD_CHANGE))
            Expect(row.ticked, "%s: ticked", name.c_str());
    }
    const int top = FindRow(rows, base, L"top dir"), sub = FindRow(rows, base + L"\\top dir", L"sub 1");
    Expect(top == static_cast<int>(rows.size()) - 1 && sub > FindRow(rows, base + L"\\top dir\\sub 1", L"g h.txt"),
           "%s: contents before their folder", what);
    if (pair[0] >= 0 && pair[1] >= 0) {
        const int first = pair[0] < pair[1] ? pair[0] : pair[1], later = pair[0] + pair[1] - first;
        ExpectText(std::string(what) + ": the first of e_f.txt", FromCp932(WORD_CHANGE),
                   rows[static_cast<size_t>(first)].status);
        ExpectText(std::string(what) + ": the later of e_f.txt", FromCp932(WORD_TAKEN),
                   rows[static_cast<size_t>(later)].status);
    }
}

// The rows the filter shows, and the copy of them: the header, then each
// row as the list shows it.
void CheckFilterAndCopy(const ListWindow& view, const std::vector<ListRow>& all)
{
    ClickButton(view, IDC_LIST_CHANGED_ONLY, "filter");
    const std::vector<ListRow> shown = ReadRows(view);
    std::vector<ListRow> want;
    for (const ListRow& row : all) {
        if (row.status != FromCp932(WORD_CLEAN))
            want.push_back(row);
    }
    Expect(shown.size() == want.size(), "filter: %zu rows that change (got %zu)", want.size(), shown.size());
    for (size_t i = 0; i < shown.size() && i < want.size(); i++)
        ExpectText("filter: row " + std::to_string(i), want[i].folder + L"\\" + want[i].before,
                   shown[i].folder + L"\\" + shown[i].before);

    EmptyClipboardOfDriver();
    ClickButton(view, IDC_LIST_COPY, "copy");
    std::wstring text = FromCp932(COPY_HEADER) + L"\r\n";
    for (const ListRow& row : shown)
        text += row.status + L"\t" + row.before + L"\t" + row.after + L"\t" + row.folder + L"\r\n";
    ExpectText("copy: the clipboard", text, Clipboard());
    ClickButton(view, IDC_LIST_CHANGED_ONLY, "filter off");
    Expect(SendMessageW(view.list, LVM_GETITEMCOUNT, 0, 0) == static_cast<LRESULT>(all.size()),
           "filter off: every row again");
}

// Made larger, the list takes the room and the buttons keep to the bottom
// right.
void CheckResize(const ListWindow& view)
{
    auto place = [&](int id) {
        RECT r;
        GetWindowRect(GetDlgItem(view.window, id), &r);
        MapWindowPoints(nullptr, view.window, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    RECT client, frame;
    GetClientRect(view.window, &client);
    GetWindowRect(view.window, &frame);
    const RECT list = place(IDC_LIST), cancel = place(IDCANCEL), filter = place(IDC_LIST_CHANGED_ONLY);
    SetWindowPos(view.window, nullptr, 0, 0, frame.right - frame.left + 120, frame.bottom - frame.top + 80,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    DWORD_PTR result;
    SendMessageTimeoutW(view.window, WM_NULL, 0, 0, SMTO_NORMAL, WAIT_MS, &result);
    RECT grown;
    GetClientRect(view.window, &grown);
    const RECT list2 = place(IDC_LIST), cancel2 = place(IDCANCEL), filter2 = place(IDC_LIST_CHANGED_ONLY);
    // The screen may hold less than asked (1024 x 600, and a fresh prefix
    // draws larger frames): the layout must follow whatever room it got.
    const long dx = grown.right - client.right, dy = grown.bottom - client.bottom;
    Expect(dx > 0 && dy > 0, "resize: the window grows (%ld x %ld)", dx, dy);
    Expect(list2.right - list2.left == list.right - list.left + dx && list2.bottom - list2.top == list.bottom - list.top + dy,
           "resize: the list takes the room");
    Expect(cancel2.left == cancel.left + dx && cancel2.top == cancel.top + dy, "resize: the buttons keep to the bottom right");
    Expect(filter2.left == filter.left && filter2.top == filter.top + dy, "resize: the filter keeps to the bottom left");
    SetWindowPos(view.window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The entry's relative path after the renames the list's test makes.
std::wstring RenamedPath(const std::wstring& path)
{
    static const std::map<std::wstring, std::wstring> renamed = {
        {L"top dir", L"top_dir"}, {L"sub 1", L"sub_1"}, {L"g h.txt", L"g_h.txt"}, {L"e\u3000f.txt", L"e_f.txt"}};
    std::wstring result, part;
    for (size_t i = 0; i <= path.size(); i++) {
        if (i == path.size() || path[i] == L'\\') {
            auto it = renamed.find(part);
            result += it != renamed.end() ? it->second : part;
            if (i < path.size())
                result += L'\\';
            part.clear();
        } else {
            part += path[i];
        }
    }
    return result;
}

// Where the screenshot of the list goes: beside the dialog's, as the
// script expects it.
std::wstring ListShotFile(const wchar_t* file)
{
    std::wstring path = file;
    return path + L"-list";
}

// Unticks the first e_f.txt by its check box, which frees the name for the
// later one, and a b.txt by Space; then 変換する renames exactly what the
// rows say, and every row shows its outcome.
void UntickAndRename(ListWindow& view, const std::wstring& base, const std::vector<ListRow>& planned,
                     const char* what)
{
    int first = -1, taken = -1;
    for (size_t i = 0; i < planned.size(); i++) {
        if (planned[i].after == L"e_f.txt")
            (planned[i].status == FromCp932(WORD_TAKEN) ? taken : first) = static_cast<int>(i);
    }
    const int spaced = FindRow(planned, base + L"\\top dir", L"a b.txt");
    if (first < 0 || taken < 0 || spaced < 0)
        return;
    ClickCheckBox(view, first, what);
    PressSpaceOn(view, spaced);
    std::vector<ListRow> rows = ReadRows(view);
    if (rows.size() != planned.size())
        return;
    Expect(!rows[static_cast<size_t>(first)].ticked, "%s: a click on the check box unticks", what);
    ExpectText(std::string(what) + ": the name it blocked is free", FromCp932(WORD_CHANGE),
               rows[static_cast<size_t>(taken)].status);
    Expect(!rows[static_cast<size_t>(spaced)].ticked, "%s: Space unticks", what);

    ClickButton(view, IDOK, what);
    const bool over = WaitFor([&] { return GetItemText(view.window, IDCANCEL) == FromCp932(CLOSE_TEXT); }, 60000);
    Expect(over, "%s: renaming ends, キャンセル reads 閉じる", what);
    Expect(!IsWindowEnabled(GetDlgItem(view.window, IDOK)), "%s: 変換する greyed out after renaming", what);
    const std::vector<ListRow> done = ReadRows(view);
    Expect(done.size() == rows.size(), "%s: the same rows after renaming", what);
    for (size_t i = 0; i < done.size() && i < rows.size(); i++) {
        const bool change = rows[i].status == FromCp932(WORD_CHANGE);
        const std::wstring want = change && rows[i].ticked ? FromCp932(WORD_RENAMED)
                                  : change                 ? FromCp932(WORD_CLEAN)
                                                           : rows[i].status;
        ExpectText(std::string(what) + ": outcome of " + Utf8(rows[i].before), want, done[i].status);
    }
    const int moved = FindRow(done, base + L"\\top_dir\\sub_1", L"g h.txt");
    Expect(moved >= 0, "%s: a row's folder after renaming is where it is then", what);
}

void ExpectRenamedAsListed(const char* what, const Tree& before, const std::wstring& folder)
{
    Tree want;
    for (const auto& entry : before)
        want[RenamedPath(entry.first)] = entry.second;
    ExpectTree(what, want, Snapshot(folder));
}

// With the option to check first, a batch from the command line shows its
// list, renames on 変換する only, and the settings dialog undoes it.
void ListRenameLaunch(App& app, const wchar_t* readyFile, const wchar_t* shotFile)
{
    Section("launch 16: the list before renaming: rows, filter, copy, ticks, 変換する");
    WriteWholeFile(app.config, std::to_string(DEFAULT_SETTINGS | OPT_FOLDER_CONTENTS | OPT_CONFIRM));
    const std::wstring folder = app.folder + L"list\\";
    const std::wstring base = folder.substr(0, folder.size() - 1);
    MakeTree(folder, std::vector<std::wstring>(std::begin(LIST_TREE), std::end(LIST_TREE)));
    const Tree before = Snapshot(folder);
    PROCESS_INFORMATION process = StartBatch(app, folder, {L"top dir"});
    if (process.hProcess == nullptr)
        return;
    ListWindow view;
    if (OpenListWindow(view, process.hProcess, "the list")) {
        ExpectText("the list: 1051", FromCp932(FILTER_TEXT), GetItemText(view.window, IDC_LIST_CHANGED_ONLY));
        ExpectText("the list: 1053", FromCp932(COPY_TEXT), GetItemText(view.window, IDC_LIST_COPY));
        ExpectText("the list: IDOK", FromCp932(RUN_TEXT), GetItemText(view.window, IDOK));
        ExpectText("the list: IDCANCEL", FromCp932(CANCEL_TEXT), GetItemText(view.window, IDCANCEL));
        Expect((GetWindowLongPtrW(view.window, GWL_STYLE) & WS_THICKFRAME) != 0, "the list: resizable");
        const std::vector<ListRow> rows = ReadRows(view);
        CheckPlannedRows(rows, base, "the list");
        printf("   the list's counts: \"%s\"\n", Shown(GetItemText(view.window, IDC_LIST_SUMMARY)).c_str());
        if (readyFile != nullptr) {
            RECT r;
            GetWindowRect(view.window, &r);
            char line[64];
            snprintf(line, sizeof(line), "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
            WriteWholeFile(ListShotFile(readyFile), line);
            Expect(WaitFor([&] { return FileExists(ListShotFile(shotFile)); }, 60000), "the list's screenshot");
        }
        CheckResize(view);
        ExpectTree("the list alone", before, Snapshot(folder));
        CheckFilterAndCopy(view, rows);
        UntickAndRename(view, base, rows, "the list");
        CloseListWindow(view);
        ClickButton(view, IDCANCEL, "the list's 閉じる");
    }
    FinishBatch(process, "the list closed");
    ExpectRenamedAsListed("after the list", before, folder);

    if (!Launch(app))
        return;
    printf("   the summary after the list: \"%s\"\n", Shown(GetItemText(app.dialog, IDC_HISTORY)).c_str());
    CheckHistory(app, "after the list", Summary("4", FAILED_EXISTS), true);
    Undo(app, "undo of the list's batch", Restored(4));
    ExpectTree("after undo", before, Snapshot(folder));
    PostClick(app.dialog, IDC_CANCEL);
    ExpectExit(app, "CANCEL");
    DeleteTree(folder);
}

// キャンセル on a complete list touches nothing, and records nothing.
void ListCancelLaunch(App& app)
{
    Section("launch 17: the list's キャンセル touches nothing");
    WriteWholeFile(app.config, std::to_string(DEFAULT_SETTINGS | OPT_FOLDER_CONTENTS | OPT_CONFIRM));
    const std::wstring folder = app.folder + L"list cancel\\";
    MakeTree(folder, std::vector<std::wstring>(std::begin(LIST_TREE), std::end(LIST_TREE)));
    const Tree before = Snapshot(folder);
    std::string history, historyAfter;
    ReadWholeFile(app.folder + L"history.txt", history);
    PROCESS_INFORMATION process = StartBatch(app, folder, {L"top dir"});
    if (process.hProcess == nullptr)
        return;
    ListWindow view;
    if (OpenListWindow(view, process.hProcess, "キャンセル")) {
        CloseListWindow(view);
        ClickButton(view, IDCANCEL, "キャンセル");
    }
    FinishBatch(process, "キャンセル");
    ExpectTree("after キャンセル", before, Snapshot(folder));
    ReadWholeFile(app.folder + L"history.txt", historyAfter);
    Expect(history == historyAfter, "after キャンセル: nothing recorded");
    DeleteTree(folder);
    WriteWholeFile(app.config, "305");
}

// Files dropped on the dialog, as the shell hands them: a DROPFILES block
// in the program's own memory, its address as WM_DROPFILES's handle.
// (Wine's OLE drag reaches only windows registered as drop targets, and
// the dialog takes WM_DROPFILES.)
void DropOnDialog(const App& app, const std::vector<std::wstring>& paths)
{
    DROPFILES files = {};
    files.pFiles = sizeof files;
    files.fWide = TRUE;
    std::wstring names;
    for (const std::wstring& path : paths)
        names += path + L'\0';
    names += L'\0';
    std::string block(reinterpret_cast<const char*>(&files), sizeof files);
    block.append(reinterpret_cast<const char*>(names.data()), names.size() * sizeof(wchar_t));
    void* remote = VirtualAllocEx(app.process.hProcess, nullptr, block.size(), MEM_COMMIT, PAGE_READWRITE);
    Expect(remote != nullptr && WriteProcessMemory(app.process.hProcess, remote, block.data(), block.size(), nullptr),
           "the dropped paths written into the program");
    PostMessageW(app.dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
}

// A folder dropped on the settings dialog opens the same list under the
// buttons as they are, saved or not; the dialog stays, and its history
// panel shows the batch.
void ListDropLaunch(App& app)
{
    Section("launch 18: a folder dropped on the settings dialog");
    WriteWholeFile(app.config, std::to_string(DEFAULT_SETTINGS));
    const std::wstring folder = app.folder + L"list drop\\";
    const std::wstring base = folder.substr(0, folder.size() - 1);
    MakeTree(folder, std::vector<std::wstring>(std::begin(LIST_TREE), std::end(LIST_TREE)));
    const Tree before = Snapshot(folder);
    if (!Launch(app))
        return;
    // Not saved: the drop takes the box as it is.
    DWORD_PTR result;
    SendMessageTimeoutW(GetDlgItem(app.dialog, IDC_FOLDER_CONTENTS), BM_CLICK, 0, 0, SMTO_NORMAL, WAIT_MS, &result);
    DropOnDialog(app, {folder + L"top dir"});
    ListWindow view;
    if (OpenListWindow(view, app.process.hProcess, "the drop")) {
        Expect(GetWindow(view.window, GW_OWNER) == app.dialog, "the drop: the list belongs to the dialog");
        CheckPlannedRows(ReadRows(view), base, "the drop");
        ClickButton(view, IDOK, "the drop: 変換する");
        Expect(WaitFor([&] { return GetItemText(view.window, IDCANCEL) == FromCp932(CLOSE_TEXT); }, 60000),
               "the drop: renaming ends");
        CloseListWindow(view);
        PostMessageW(GetDlgItem(view.window, IDCANCEL), BM_CLICK, 0, 0);
        Expect(WaitFor([&] { return !IsWindow(view.window); }), "the drop: the list closes");
    }
    Expect(IsWindow(app.dialog) && IsWindowVisible(app.dialog) && IsWindowEnabled(app.dialog),
           "the drop: the dialog stays, and answers");
    SendMessageTimeoutW(app.dialog, WM_NULL, 0, 0, SMTO_NORMAL, WAIT_MS, &result);
    printf("   the summary after the drop: \"%s\"\n", Shown(GetItemText(app.dialog, IDC_HISTORY)).c_str());
    // c d.txt's name is taken on disk, and e f's by the row before it.
    CheckHistory(app, "after the drop", Summary("5", FAILED_TWO_EXISTS), true);
    Undo(app, "undo of the drop", Restored(5));
    ExpectTree("after undo of the drop", before, Snapshot(folder));
    PostClick(app.dialog, IDC_CANCEL);
    ExpectExit(app, "CANCEL");
    ExpectFileHolds(app, "the drop saves nothing", std::to_string(DEFAULT_SETTINGS));
    DeleteTree(folder);
}

// ---------------------------------------------------------------- Send To

// The shortcut as the shell reads it back.
struct Shortcut {
    bool loaded = false;
    std::wstring target;
    std::wstring icon;
    int iconIndex = -1;
    std::wstring description;
};

Shortcut ReadShortcut(const std::wstring& path)
{
    Shortcut shortcut;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return shortcut;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t text[MAX_PATH + 1] = L"";
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
            shortcut.loaded = true;
            // The item list, as the program reads it: the path field is
            // in the ANSI code page under Wine.
            PIDLIST_ABSOLUTE items = nullptr;
            if (SUCCEEDED(link->GetIDList(&items)) && items != nullptr && SHGetPathFromIDListW(items, text))
                shortcut.target = text;
            CoTaskMemFree(items);
            text[0] = L'\0';
            if (SUCCEEDED(link->GetIconLocation(text, MAX_PATH + 1, &shortcut.iconIndex)))
                shortcut.icon = text;
            text[0] = L'\0';
            if (SUCCEEDED(link->GetDescription(text, MAX_PATH + 1)))
                shortcut.description = text;
        }
        file->Release();
    }
    link->Release();
    return shortcut;
}

bool WriteShortcut(const std::wstring& path, const std::wstring& target)
{
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    bool saved = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->SetPath(target.c_str())) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        saved = SUCCEEDED(file->Save(path.c_str(), TRUE));
        file->Release();
    }
    link->Release();
    return saved;
}

std::wstring SendToFolder()
{
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_SendTo, KF_FLAG_CREATE, nullptr, &path)))
        folder = path;
    CoTaskMemFree(path);
    Expect(!folder.empty(), "the Send To folder is known");
    return folder;
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Clicks the Send To button and waits for its new text.
void ClickSendTo(const App& app, const char* what, const char* want)
{
    DWORD_PTR result;
    Expect(SendMessageTimeoutW(GetDlgItem(app.dialog, IDC_SENDTO), BM_CLICK, 0, 0, SMTO_NORMAL, WAIT_MS, &result) != 0,
           "%s: the program answers the click", what);
    ExpectText(std::string(what) + ": the button", FromCp932(want), GetItemText(app.dialog, IDC_SENDTO));
}

// Where the shell finds the Send To folder: the user's shell folders.
const wchar_t SHELL_FOLDERS[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

struct RegistryValue {
    bool present = false;
    DWORD type = REG_EXPAND_SZ;
    std::vector<BYTE> data;
};

// Points the Send To folder at folder for the programs started from now
// on; saved holds the value to put back.
bool RedirectSendTo(const std::wstring& folder, RegistryValue* saved)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SHELL_FOLDERS, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        Expect(false, "the user's shell folders can be opened");
        return false;
    }
    DWORD size = 0;
    saved->present = RegQueryValueExW(key, L"SendTo", nullptr, &saved->type, nullptr, &size) == ERROR_SUCCESS;
    saved->data.resize(size);
    if (saved->present && size != 0)
        RegQueryValueExW(key, L"SendTo", nullptr, &saved->type, saved->data.data(), &size);
    const bool set = RegSetValueExW(key, L"SendTo", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                                    static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(key);
    Expect(set, "the Send To folder redirected");
    return set;
}

void RestoreSendTo(const RegistryValue& saved)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SHELL_FOLDERS, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    if (saved.present)
        RegSetValueExW(key, L"SendTo", 0, saved.type, saved.data.data(), static_cast<DWORD>(saved.data.size()));
    else
        RegDeleteValueW(key, L"SendTo");
    RegCloseKey(key);
}

// An exe in a folder that cannot be written (prepared by the script): the
// dialog says no history can be kept there and names the folder.
void ReadOnlyLaunch(const std::wstring& exe)
{
    Section("launch 12: an exe in a folder that cannot be written");
    App app;
    app.exe = exe;
    app.folder = exe.substr(0, exe.rfind(L'\\') + 1);
    app.config = app.folder + L"config.dat";
    if (!Launch(app))
        return;
    ExpectText("read-only folder: the summary", FromCp932(CANNOT_KEEP) + L"\r\n" + app.folder,
               GetItemText(app.dialog, IDC_HISTORY));
    Expect(!IsWindowEnabled(GetDlgItem(app.dialog, IDC_UNDO)), "read-only folder: undo greyed out");
    PostClick(app.dialog, IDC_CANCEL);
    ExpectExit(app, "CANCEL");

    // The same folder as the Send To folder: adding says so, naming it.
    const std::wstring folder = app.folder.substr(0, app.folder.size() - 1);
    RegistryValue saved;
    if (!RedirectSendTo(folder, &saved))
        return;
    if (Launch(app)) {
        ExpectText("read-only Send To: the button", FromCp932(SENDTO_ADD), GetItemText(app.dialog, IDC_SENDTO));
        PostClick(app.dialog, IDC_SENDTO);
        CheckMessageBox(app, "read-only Send To", L"Blankmender", FromCp932(SENDTO_FAILED) + L"\n\n" + folder);
        ExpectText("read-only Send To: the button after", FromCp932(SENDTO_ADD), GetItemText(app.dialog, IDC_SENDTO));
        PostClick(app.dialog, IDC_CANCEL);
        ExpectExit(app, "CANCEL");
    }
    RestoreSendTo(saved);
}

// Starts target with the file, as Explorer's Send To does: the shortcut's
// target with the file as its argument.
void StartAsSendTo(const std::wstring& shortcut, const std::wstring& file, const std::wstring& folder)
{
    std::wstring commandLine = L"start.exe /wait \"" + shortcut + L"\" \"" + file + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
        Expect(false, "start.exe: CreateProcess error %lu", GetLastError());
        return;
    }
    Expect(WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0, "start.exe ends");
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

// The Send To button. A copy in a plain folder adds Blankmender.lnk, and
// Explorer's way of starting it with a file renames the file. (Wine keeps
// the shortcut's path for starting in the ANSI code page only, so the copy
// whose folder has characters outside it could not be started there.) For
// that copy the shortcut is another copy's and counts as absent: a click
// replaces it, pointing at this copy with its icon and description; a new
// start reads it back; written in capitals it still counts; a click removes
// it. A shortcut the user made under another name is never touched.
void SendToLaunch(App& app, const std::wstring& root)
{
    Section("launch 13: Send To");
    const std::wstring folder = SendToFolder();
    if (folder.empty())
        return;
    const std::wstring ours = folder + L"\\Blankmender.lnk";
    const std::wstring users = folder + L"\\blankmender (mine).lnk";

    App plain;
    plain.folder = root + L"plain\\";
    plain.exe = plain.folder + L"blankmender.exe";
    plain.config = plain.folder + L"config.dat";
    CreateDirectoryW(plain.folder.c_str(), nullptr);
    Expect(CopyFileW(app.exe.c_str(), plain.exe.c_str(), FALSE) != 0, "a copy in a plain folder made");
    WriteWholeFile(plain.config, "1");
    if (!Launch(plain))
        return;
    ExpectText("plain copy: the button", FromCp932(SENDTO_ADD), GetItemText(plain.dialog, IDC_SENDTO));
    ClickSendTo(plain, "plain copy: add", SENDTO_REMOVE);
    Expect(SamePath(ReadShortcut(ours).target, plain.exe), "plain copy: Blankmender.lnk points at it");
    PostClick(plain.dialog, IDC_CANCEL);
    ExpectExit(plain, "CANCEL");
    const std::wstring sent = root + L"sent\\";
    MakeTree(sent, {L"s p.txt"});
    StartAsSendTo(ours, sent + L"s p.txt", sent);
    Expect(WaitFor([&] { return FileExists(sent + L"s_p.txt"); }) && !FileExists(sent + L"s p.txt"),
           "started through the shortcut with a file, the program renamed it");

    Expect(WriteShortcut(users, app.exe), "the user's own shortcut made");
    std::string usersBytes;
    ReadWholeFile(users, usersBytes);
    auto usersUntouched = [&](const char* when) {
        std::string now;
        Expect(ReadWholeFile(users, now) && now == usersBytes, "%s: the user's own shortcut untouched", when);
    };

    if (!Launch(app))
        return;
    ExpectText("another copy's shortcut: the button", FromCp932(SENDTO_ADD), GetItemText(app.dialog, IDC_SENDTO));
    ClickSendTo(app, "add", SENDTO_REMOVE);
    Shortcut made = ReadShortcut(ours);
    Expect(made.loaded, "add: Blankmender.lnk reads back");
    Expect(SamePath(made.target, app.exe), "add: it points at the exe (got \"%s\")", Shown(made.target).c_str());
    Expect(SamePath(made.icon, app.exe) && made.iconIndex == 0, "add: the exe's first icon (got \"%s\", %d)",
           Shown(made.icon).c_str(), made.iconIndex);
    ExpectText("add: the description", FromCp932(SENDTO_DESCRIPTION), made.description);
    usersUntouched("add");
    PostClick(app.dialog, IDC_CANCEL);
    ExpectExit(app, "CANCEL");

    if (!Launch(app))
        return;
    ExpectText("a new start: the button", FromCp932(SENDTO_REMOVE), GetItemText(app.dialog, IDC_SENDTO));
    PostClick(app.dialog, IDC_CANCEL);
    ExpectExit(app, "CANCEL");

    std::wstring upper = app.exe;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    Expect(WriteShortcut(ours, upper), "Blankmender.lnk in capitals made");
    if (!Launch(app))
        return;
    ExpectText("the path in capitals: the button", FromCp932(SENDTO_REMOVE), GetItemText(app.dialog, IDC_SENDTO));
    ClickSendTo(app, "remove", SENDTO_ADD);
    Expect(!FileExists(ours), "remove: Blankmender.lnk is gone");
    usersUntouched("remove");
    PostClick(app.dialog, IDC_CANCEL);
    ExpectExit(app, "CANCEL");
    DeleteFileW(users.c_str());
}

// ---------------------------------------------------------------- scenarios

const Click MAIN_CLICKS[] = {
    {IDC_CASE_UPPER, 0x225, // ＱＵＩＢ_VER_２.004_製作.見本文字
     "\x82\x70\x82\x74\x82\x68\x82\x61_VER_\x82\x51.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    {IDC_LETTERS_TO_FULL, 0x245, // ＱＵＩＢ_ＶＥＲ_２.004_製作.見本文字
     "\x82\x70\x82\x74\x82\x68\x82\x61_\x82\x75\x82\x64\x82\x71_\x82\x51.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    {IDC_CASE_LOWER, 0x445, // ｑｕｉｂ_ｖｅｒ_２.004_製作.見本文字
     "\x82\x91\x82\x95\x82\x89\x82\x82_\x82\x96\x82\x85\x82\x92_\x82\x51.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    {IDC_LETTERS_TO_HALF, 0x485, // quib_ver_２.004_製作.見本文字
     "quib_ver_\x82\x51.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    {IDC_CASE_CAPITALIZE, 0x885, // Quib_Ver_２.004_製作.見本文字
     "Quib_Ver_\x82\x51.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    {IDC_CASE_KEEP, 0x185, // Quib_ver_２.004_製作.見本文字
     "Quib_ver_\x82\x51.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    {IDC_WIDTH_KEEP, 0x125, SAMPLE_UNDERBARS},
    // Letters off: the seven letter buttons grey out and keep their checks.
    {IDC_LETTERS, 0x121, SAMPLE_UNDERBARS},
    // Digits on, no digit choice yet.
    {IDC_DIGITS, 0x123, SAMPLE_UNDERBARS},
    {IDC_DIGITS_TO_FULL, 0x12B, // Ｑｕｉｂ_ver_２.００４_製作.見本文字
     "\x82\x70\x82\x95\x82\x89\x82\x82_ver_\x82\x51.\x82\x4F\x82\x4F\x82\x53_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    {IDC_DIGITS_TO_HALF, 0x133, // Ｑｕｉｂ_ver_2.004_製作.見本文字
     "\x82\x70\x82\x95\x82\x89\x82\x82_ver_2.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    // Digits off: 1004 and 1005 grey out, the digits return to the sample's.
    {IDC_DIGITS, 0x131, SAMPLE_UNDERBARS},
    {IDC_SPACES, 0x130, SAMPLE},
    // Letters on again with keep width and keep case: no change. The digit
    // choice 1005 stays checked under the unchecked 1001 and does nothing.
    {IDC_LETTERS, 0x134, SAMPLE},
    {IDC_CASE_UPPER, 0x234, // ＱＵＩＢ VER ２.004　製作.見本文字
     "\x82\x70\x82\x74\x82\x68\x82\x61 VER \x82\x51.004\x81\x40\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    {IDC_SPACES, 0x235, // ＱＵＩＢ_VER_２.004_製作.見本文字
     "\x82\x70\x82\x74\x82\x68\x82\x61_VER_\x82\x51.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
};

// Saved 2085 (spaces, letters, keep width, capitalise): the template, every
// radio group, Info, then OK saves what the buttons show.
void MainLaunch(App& app, const wchar_t* readyFile, const wchar_t* shotFile)
{
    Section("launch 1: config.dat \"2085\", clicks, Info, OK");
    WriteWholeFile(app.config, "2085");
    if (!Launch(app))
        return;
    CheckTemplate(app);
    CheckScale(app);
    CheckState(app.dialog, "at start", 0x825, // Ｑｕｉｂ_Ver_２.004_製作.見本文字
               "\x82\x70\x82\x95\x82\x89\x82\x82_Ver_\x82\x51.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A");

    CheckNoHistory(app, "at start");
    ExpectText("at start: the Send To button", FromCp932(SENDTO_ADD), GetItemText(app.dialog, IDC_SENDTO));

    if (readyFile != nullptr) {
        RECT r;
        GetWindowRect(app.dialog, &r);
        char line[64];
        snprintf(line, sizeof(line), "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        WriteWholeFile(readyFile, line);
        Expect(WaitFor([&] { return FileExists(shotFile); }, 60000), "the screenshot is taken");
    }

    Section("clicks");
    RunClicks(app.dialog, MAIN_CLICKS, sizeof(MAIN_CLICKS) / sizeof(MAIN_CLICKS[0]));
    const Click& last = MAIN_CLICKS[sizeof(MAIN_CLICKS) / sizeof(MAIN_CLICKS[0]) - 1];

    Section("Info");
    PostClick(app.dialog, IDC_INFO);
    CheckMessageBox(app, "Info", L"QUIB", FromCp932(INFO_TEXT));
    CheckState(app.dialog, "after Info", last.buttons, last.preview);

    Section("OK");
    SettingsWord shown = ReadButtons(app.dialog);
    PostClick(app.dialog, IDC_OK);
    ExpectExit(app, "OK");
    char want[16];
    snprintf(want, sizeof(want), "%d", shown);
    ExpectFileHolds(app, "OK saves the buttons", want);
    ExpectFileHolds(app, "OK saves 565", "565");
}

// Saved 516 (letters and all capitals, but no width choice): the case step
// never runs, so the preview keeps the sample. CANCEL saves nothing.
void CancelLaunch(App& app)
{
    Section("launch 2: config.dat \"516\", CANCEL");
    WriteWholeFile(app.config, "516");
    if (!Launch(app))
        return;
    CheckState(app.dialog, "at start", 0x204, SAMPLE);
    const Click clicks[] = {{IDC_SPACES, 0x205, SAMPLE_UNDERBARS}};
    RunClicks(app.dialog, clicks, 1);
    PostClick(app.dialog, IDC_CANCEL);
    ExpectExit(app, "CANCEL");
    ExpectFileHolds(app, "CANCEL", "516");
}

// Saved 0: nothing checked, every sub-option greyed out. The close box
// (WM_CLOSE) saves nothing.
void CloseLaunch(App& app)
{
    Section("launch 3: config.dat \"0\", WM_CLOSE");
    WriteWholeFile(app.config, "0");
    if (!Launch(app))
        return;
    CheckState(app.dialog, "at start", 0, SAMPLE);
    const Click clicks[] = {
        {IDC_DIGITS, 0x002, SAMPLE},
        {IDC_DIGITS_TO_HALF, 0x012, // Ｑｕｉｂ ver 2.004　製作.見本文字
         "\x82\x70\x82\x95\x82\x89\x82\x82 ver 2.004\x81\x40\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    };
    RunClicks(app.dialog, clicks, 2);
    PostMessageW(app.dialog, WM_CLOSE, 0, 0);
    ExpectExit(app, "WM_CLOSE");
    ExpectFileHolds(app, "WM_CLOSE", "0");
}

// Saved 4095: a word the dialog itself cannot make (two buttons of one
// group checked). Every conversion runs in the pipeline's order. Wine's
// common controls 6 uncheck a group's other radio buttons when the program
// checks one, as a click does (Windows' leave them), so the buttons show
// the last of each group, 2199, whose preview is the same. The close box
// from the system menu (SC_CLOSE) saves nothing.
void SystemCloseLaunch(App& app)
{
    Section("launch 4: config.dat \"4095\", SC_CLOSE");
    WriteWholeFile(app.config, "4095");
    if (!Launch(app))
        return;
    CheckState(app.dialog, "at start", 0x897, // Quib_Ver_2.004_製作.見本文字
               "Quib_Ver_2.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A");
    PostMessageW(app.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ExpectExit(app, "SC_CLOSE");
    ExpectFileHolds(app, "SC_CLOSE", "4095");
}

// config.dat is a folder: it reads as missing (the default word) and cannot
// be written. OK says so in Japanese, naming the file, and the dialog stays.
// Once the folder is gone, Enter (the default button, OK) saves.
void SaveFailureLaunch(App& app)
{
    Section("launch 5: config.dat is a folder, OK fails; Enter");
    DeleteFileW(app.config.c_str());
    Expect(CreateDirectoryW(app.config.c_str(), nullptr) != 0, "config.dat made a folder");
    if (!Launch(app))
        return;
    CheckState(app.dialog, "at start", DEFAULT_SETTINGS, SAMPLE_UNDERBARS);

    PostClick(app.dialog, IDC_OK);
    CheckMessageBox(app, "failed save", L"Blankmender", FromCp932(SAVE_FAILED) + L"\n\n" + app.config);
    Expect(WaitForSingleObject(app.process.hProcess, 0) == WAIT_TIMEOUT, "failed save: the process goes on");
    Expect(IsWindow(app.dialog) && IsWindowVisible(app.dialog), "failed save: the dialog stays open");
    DWORD attributes = GetFileAttributesW(app.config.c_str());
    Expect(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY),
           "failed save: config.dat is still the folder");
    CheckState(app.dialog, "after the failed save", DEFAULT_SETTINGS, SAMPLE_UNDERBARS);

    // Nothing left behind beside the program.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((app.folder + L"*").c_str(), &found);
    int others = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const wchar_t* name = found.cFileName;
            if (wcscmp(name, L".") && wcscmp(name, L"..") && lstrcmpiW(name, L"blankmender.exe") &&
                lstrcmpiW(name, L"config.dat")) {
                printf("   left behind: %s\n", Shown(name).c_str());
                others++;
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    Expect(others == 0, "failed save: no other file in the program's folder");

    Section("Enter");
    Expect(RemoveDirectoryW(app.config.c_str()) != 0, "the config.dat folder removed");
    // Ｑｕｉｂ_ver_2.004_製作.見本文字, which no katakana button changes.
#define HALF_DIGITS "\x82\x70\x82\x95\x82\x89\x82\x82_ver_2.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"
    const Click clicks[] = {
        {IDC_DIGITS, 0x133, HALF_DIGITS, nullptr},
        // Katakana on, no choice yet: the two radio buttons come alive.
        {IDC_KANA, 0x1133, HALF_DIGITS, KANA_SAMPLE_UNDERBAR},
        {IDC_KANA_TO_FULL, 0x3133, HALF_DIGITS, KANA_DATA_FULL "_" KANA_BACKUP_APART},
        {IDC_JOIN_MARKS, 0xB133, HALF_DIGITS, KANA_DATA_FULL "_" KANA_BACKUP_JOINED},
        {IDC_KANA_TO_HALF, 0xD133, HALF_DIGITS, KANA_DATA_HALF "_" KANA_BACKUP_HALF},
        {IDC_SPACES, 0xD132, "\x82\x70\x82\x95\x82\x89\x82\x82 ver 2.004\x81\x40\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A",
         KANA_DATA_HALF " " KANA_BACKUP_HALF},
        // Katakana off: 1031 and 1032 grey out and keep their checks; the
        // join goes on.
        {IDC_KANA, 0xC132, "\x82\x70\x82\x95\x82\x89\x82\x82 ver 2.004\x81\x40\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A",
         KANA_DATA_HALF " " KANA_BACKUP_JOINED},
        {IDC_SPACES, 0xC133, HALF_DIGITS, KANA_DATA_HALF "_" KANA_BACKUP_JOINED},
        {IDC_KANA, 0xD133, HALF_DIGITS, KANA_DATA_HALF "_" KANA_BACKUP_HALF},
        // A folder's contents and the list first: the samples are names, and
        // stay as they were.
        {IDC_FOLDER_CONTENTS, 0x1D133, HALF_DIGITS, KANA_DATA_HALF "_" KANA_BACKUP_HALF},
        {IDC_CONFIRM, 0x3D133, HALF_DIGITS, KANA_DATA_HALF "_" KANA_BACKUP_HALF},
    };
#undef HALF_DIGITS
    RunClicks(app.dialog, clicks, sizeof(clicks) / sizeof(clicks[0]));
    SettingsWord shown = ReadButtons(app.dialog);
    PressKey(app, VK_RETURN, "Enter");
    ExpectExit(app, "Enter", KEY_WAIT_MS);
    ExpectFileHolds(app, "Enter saves the buttons", std::to_string(shown));
    ExpectFileHolds(app, "Enter saves 250163", "250163");
}

// Saved "516" with a line end the program never writes, so that any save
// would show. Esc saves nothing, even after a click.
void EscapeLaunch(App& app)
{
    Section("launch 6: config.dat \"516\\r\\n\", Esc");
    const char saved[] = "516\r\n";
    WriteWholeFile(app.config, saved);
    if (!Launch(app))
        return;
    CheckState(app.dialog, "at start", 0x204, SAMPLE);
    const Click clicks[] = {{IDC_LETTERS, 0x200, SAMPLE}};
    RunClicks(app.dialog, clicks, 1);
    PressKey(app, VK_ESCAPE, "Esc");
    ExpectExit(app, "Esc", KEY_WAIT_MS);
    ExpectFileHolds(app, "Esc", saved);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2 && argc != 4) {
        fprintf(stderr, "usage: driver BLANKMENDER_EXE [READY_FILE SHOT_FILE]\n");
        return 2;
    }
    DWORD started = GetTickCount();
    printf("driver: ANSI code page %u, program %s\n", GetACP(), Utf8(argv[1]).c_str());
    // A locale missing from the system would leave every run on one code page.
    wchar_t meant[16];
    if (GetEnvironmentVariableW(L"BLANKMENDER_DRIVER_ACP", meant, 16) != 0) {
        unsigned long codePage = wcstoul(meant, nullptr, 10);
        Expect(GetACP() == codePage, "the driver runs under ANSI code page %lu (got %u)", codePage, GetACP());
    }

    // A private folder whose name has Japanese, a blank and characters that
    // code page 932 has no bytes for (U+301C is not its wave dash, U+FF5E),
    // so the program must find config.dat, and name it when a save fails,
    // through the wide API.
    App app;
    wchar_t temp[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH) {
        printf("FAIL: no temporary folder (error %lu)\n", GetLastError());
        return 1;
    }
    std::wstring root = temp + std::wstring(L"blankmender-dialog-") + std::to_wstring(GetCurrentProcessId()) + L"\\";
    app.folder = root + L"\u8A2D\u5B9A test \u00E9\u301C\\"; // 設定 test é〜
    app.exe = app.folder + L"blankmender.exe";
    app.config = app.folder + L"config.dat";
    // Wine reuses process ids: a killed run's folder would otherwise hand
    // this run its files.
    DeleteTree(root);
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW(app.folder.c_str(), nullptr);
    if (!CopyFileW(argv[1], app.exe.c_str(), FALSE)) {
        printf("FAIL: cannot copy %s to %s (error %lu)\n", Utf8(argv[1]).c_str(), Utf8(app.exe).c_str(),
               GetLastError());
        return 1;
    }

    // The prefix is the test's own: a shortcut that a stopped run left
    // behind would make the first launch offer to remove it.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring sendTo = SendToFolder();
    if (!sendTo.empty() && DeleteFileW((sendTo + L"\\Blankmender.lnk").c_str()))
        printf("   removed a Blankmender.lnk left in the Send To folder\n");

    ReadScreenDpi();
    MainLaunch(app, argc == 4 ? argv[2] : nullptr, argc == 4 ? argv[3] : nullptr);
    // At a second dpi the first launch tells what the scale changes.
    if (GetEnvironmentVariableW(L"BLANKMENDER_DRIVER_ONE_LAUNCH", nullptr, 0) == 0) {
        CancelLaunch(app);
        CloseLaunch(app);
        SystemCloseLaunch(app);
        SaveFailureLaunch(app);
        EscapeLaunch(app);
        HistoryUndoLaunch(app);
        HistoryTakenLaunch(app);
        HistoryConcurrentLaunch(app);
        HistoryKilledLaunch(app);
        // The history's size is the same under every code page.
        if (GetACP() == 932)
            HistoryLargeLaunch(app);
        // The script could not make a folder read-only here (not root, and
        // no way to drop the write bits) only when it says so.
        wchar_t readOnly[MAX_PATH];
        wchar_t why[256];
        if (GetEnvironmentVariableW(L"BLANKMENDER_READONLY_EXE", readOnly, MAX_PATH) != 0)
            ReadOnlyLaunch(readOnly);
        else if (GetEnvironmentVariableW(L"BLANKMENDER_READONLY_SKIP", why, 256) != 0)
            printf("-- launch 12 skipped: %s\n", Utf8(why).c_str());
        else
            Expect(false, "BLANKMENDER_READONLY_EXE names an exe in a folder that cannot be written");
        SendToLaunch(app, root);
        TreeUndoLaunch(app);
        TreeKilledLaunch(app);
        ListRenameLaunch(app, argc == 4 ? argv[2] : nullptr, argc == 4 ? argv[3] : nullptr);
        ListCancelLaunch(app);
        ListDropLaunch(app);
    }

    DeleteTree(root);

    printf("driver: %d checks in %.1f s under ANSI code page %u\n", passed + failed,
           (GetTickCount() - started) / 1000.0, GetACP());
    printf("%d passed, %d failed\n", passed, failed);
    if (failed != 0)
        printf("FAILED: %d of %d checks; the lines starting with FAIL: say which\n", failed, passed + failed);
    return failed == 0 ? 0 : 1;
}
