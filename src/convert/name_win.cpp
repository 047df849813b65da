// The name's conversion with Windows' own services: code page 932 itself,
// never the system's, and Windows' NFC.
#include <windows.h>

#include <cstring>
#include <cwchar>

#include "convert/name.h"

namespace {

// Code page 932 one character at a time. Without best fit, a character the
// code page lacks is reported instead of being replaced by a look-alike, and
// the way back must give the very same character: U+301C goes to 81 60,
// which reads back as U+FF5E, so it is outside too.
size_t AskEncodeCp932(const wchar_t* units, size_t count, char* bytes)
{
    BOOL usedDefault = FALSE;
    int size = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, units, static_cast<int>(count), bytes, 2,
                                   nullptr, &usedDefault);
    if (size <= 0 || usedDefault)
        return 0;
    wchar_t back[2];
    int length = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, size, back, 2);
    if (length != static_cast<int>(count) || memcmp(back, units, count * sizeof(wchar_t)) != 0)
        return 0;
    return static_cast<size_t>(size);
}

size_t AskDecodeCp932(const char* bytes, size_t length, wchar_t* units)
{
    int count = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(length), units, 2);
    return count > 0 ? static_cast<size_t>(count) : 0;
}

// Each character of the BMP, and each code page 932 character, is asked of
// Windows once per process and kept: a walk of a large tree converts the
// same few thousand characters hundreds of thousands of times, and asking
// costs two calls a character.
struct EncodedCharacter {
    bool known;
    unsigned char size; // 0: outside the code page
    char bytes[2];
};
struct DecodedCharacter {
    bool known;
    wchar_t unit;
};
EncodedCharacter encoded[0x10000];
// By the bytes: a single byte as itself, a lead and its trail as lead * 256
// + trail (leads are 81 and above).
DecodedCharacter decoded[0x10000];

size_t EncodeCp932(const wchar_t* units, size_t count, char* bytes)
{
    // A surrogate pair is never in the code page.
    if (count != 1)
        return AskEncodeCp932(units, count, bytes);
    EncodedCharacter& kept = encoded[static_cast<unsigned short>(units[0])];
    if (!kept.known) {
        kept.size = static_cast<unsigned char>(AskEncodeCp932(units, count, kept.bytes));
        kept.known = true;
    }
    memcpy(bytes, kept.bytes, kept.size);
    return kept.size;
}

size_t DecodeCp932(const char* bytes, size_t length, wchar_t* units)
{
    if (length < 1 || length > 2 || (length == 2 && static_cast<unsigned char>(bytes[0]) < 0x80))
        return AskDecodeCp932(bytes, length, units);
    const unsigned first = static_cast<unsigned char>(bytes[0]);
    DecodedCharacter& kept = decoded[length == 1 ? first : first << 8 | static_cast<unsigned char>(bytes[1])];
    if (!kept.known) {
        // A character of code page 932 is one unit; anything else is asked
        // every time.
        wchar_t asked[2];
        if (AskDecodeCp932(bytes, length, asked) != 1)
            return AskDecodeCp932(bytes, length, units);
        kept.unit = asked[0];
        kept.known = true;
    }
    units[0] = kept.unit;
    return 1;
}

// Windows' own NFC. It is looked up at run time, from the system folder
// only: a Windows without the normaliser still starts the program, and
// keeps the marks apart.
typedef int(WINAPI* NormalizeStringCall)(NORM_FORM, LPCWSTR, int, LPWSTR, int);

size_t NormalizeNfc(const wchar_t* units, size_t count, wchar_t* out, size_t capacity)
{
    static NormalizeStringCall normalize = nullptr;
    static bool looked = false;
    if (!looked) {
        looked = true;
        wchar_t path[MAX_PATH + 16];
        const UINT length = GetSystemDirectoryW(path, MAX_PATH);
        HMODULE module = nullptr;
        if (length > 0 && length < MAX_PATH) {
            wcscpy(path + length, L"\\normaliz.dll");
            module = LoadLibraryW(path);
        }
        if (module != nullptr)
            normalize = reinterpret_cast<NormalizeStringCall>(
                reinterpret_cast<void (*)()>(GetProcAddress(module, "NormalizeString")));
    }
    if (normalize == nullptr)
        return 0;
    int made = normalize(NormalizationC, units, static_cast<int>(count), out, static_cast<int>(capacity));
    return made > 0 ? static_cast<size_t>(made) : 0;
}

// Wine's ntdll says so by exporting its version. Wine keeps a name on a
// Linux file system, which holds 255 bytes of UTF-8, and cuts a longer new
// name without an error; Windows holds 255 units, whatever their bytes.
bool RunsUnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

NameResult ConvertFileName(SettingsWord word, const wchar_t* name, size_t length, WideName out)
{
    // Set on the first call, as a plain flag: a static initialised by a
    // call would bring the thread-safe guard and with it half the C++
    // runtime into the program.
    static NameServices services = {{EncodeCp932, DecodeCp932}, NormalizeNfc, 0};
    static bool looked = false;
    if (!looked) {
        looked = true;
        services.utf8Limit = RunsUnderWine() ? UTF8_NAME_LIMIT : 0;
    }
    return ConvertNameWith(word, name, length, services, out);
}
