// The floor for the rename benchmark: a GUI program like blankmender.exe
// that does nothing but one MoveFileW per line of a list file.
//
//   floor_move.exe LIST
//
// LIST holds "old path<TAB>new path" lines in UTF-8.
#include <windows.h>

#include <cstdio>
#include <cstring>

static char list[4 << 20];

static bool ToWide(const char* utf8, wchar_t* wide, int size)
{
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, size) > 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    FILE* in = fopen(commandLine, "rb");
    if (in == nullptr)
        return 2;
    size_t size = fread(list, 1, sizeof list - 1, in);
    fclose(in);
    list[size] = '\0';

    static wchar_t from[32768];
    static wchar_t to[32768];
    char* line = list;
    while (*line != '\0') {
        char* end = strchr(line, '\n');
        if (end != nullptr)
            *end = '\0';
        char* tab = strchr(line, '\t');
        if (tab != nullptr) {
            *tab = '\0';
            if (ToWide(line, from, 32768) && ToWide(tab + 1, to, 32768))
                MoveFileW(from, to);
        }
        if (end == nullptr)
            break;
        line = end + 1;
    }
    return 0;
}
