// The floor for the rename benchmark: a GUI program like blankmender.exe
// that does nothing but one MoveFileA per line of a list file.
//
//   floor_move.exe LIST
//
// LIST holds "old path<TAB>new path" lines in code page 932.
#include <windows.h>

#include <cstdio>
#include <cstring>

static char list[4 << 20];

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    FILE* in = fopen(commandLine, "rb");
    if (in == nullptr)
        return 2;
    size_t size = fread(list, 1, sizeof list - 1, in);
    fclose(in);
    list[size] = '\0';

    char* line = list;
    while (*line != '\0') {
        char* end = strchr(line, '\n');
        if (end != nullptr)
            *end = '\0';
        char* tab = strchr(line, '\t');
        if (tab != nullptr) {
            *tab = '\0';
            MoveFileA(line, tab + 1);
        }
        if (end == nullptr)
            break;
        line = end + 1;
    }
    return 0;
}
