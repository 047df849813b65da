// Test launcher: starts programs with exact command lines and waits for
// each, so the end-to-end tests pay Wine's start-up once for many cases.
//
//   launcher.exe CASES RESULTS [TIMEOUT_MS]
//
// CASES holds one case per line, four fields separated by tabs:
//   A|W <TAB> working folder <TAB> program <TAB> full command line
// With A the fields are code page 932 bytes and go to CreateProcessA as they
// are; with W they are UTF-8 and go to CreateProcessW (for characters code
// page 932 lacks). An empty working folder or program is passed as null.
// RESULTS starts with the launcher's own ANSI code page (GetACP), which the
// locale chose, so a test can tell that it runs under the code page it
// means; then one line per case: the exit code, or TIMEOUT (the program is
// then ended) or START-FAILED, then a tab and the wall time in ms.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static char cases[4 << 20];
static wchar_t wideFields[3][65536];

static bool ToWide(const char* utf8, wchar_t* wide)
{
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, 65536) > 0;
}

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    DWORD timeout = argc > 3 ? static_cast<DWORD>(strtoul(argv[3], nullptr, 10)) : 30000;

    FILE* in = fopen(argv[1], "rb");
    if (in == nullptr)
        return 2;
    size_t size = fread(cases, 1, sizeof cases - 1, in);
    fclose(in);
    cases[size] = '\0';

    FILE* out = fopen(argv[2], "wb");
    if (out == nullptr)
        return 2;

    fprintf(out, "%u\n", GetACP());

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);

    char* line = cases;
    while (*line != '\0') {
        char* end = strchr(line, '\n');
        if (end != nullptr)
            *end = '\0';
        char* fields[4] = {line, nullptr, nullptr, nullptr};
        for (int i = 1; i < 4; ++i) {
            char* tab = strchr(fields[i - 1], '\t');
            if (tab == nullptr)
                return 3;
            *tab = '\0';
            fields[i] = tab + 1;
        }

        STARTUPINFOA startA;
        STARTUPINFOW startW;
        memset(&startA, 0, sizeof startA);
        memset(&startW, 0, sizeof startW);
        startA.cb = sizeof startA;
        startW.cb = sizeof startW;
        PROCESS_INFORMATION process;
        memset(&process, 0, sizeof process);

        if (fields[0][0] == 'W' &&
            (!ToWide(fields[1], wideFields[0]) || !ToWide(fields[2], wideFields[1]) ||
             !ToWide(fields[3], wideFields[2])))
            return 3;

        // Under load Wine now and then fails to start a process at all
        // (ERROR_INTERNAL_ERROR); that is no fault of the program under test.
        LARGE_INTEGER started;
        BOOL ok = FALSE;
        for (int attempt = 0; attempt < 3 && !ok; ++attempt) {
            if (attempt > 0)
                Sleep(500);
            QueryPerformanceCounter(&started);
            if (fields[0][0] == 'W') {
                ok = CreateProcessW(wideFields[1][0] ? wideFields[1] : nullptr, wideFields[2],
                                    nullptr, nullptr, FALSE, 0, nullptr,
                                    wideFields[0][0] ? wideFields[0] : nullptr, &startW, &process);
            } else {
                ok = CreateProcessA(fields[2][0] ? fields[2] : nullptr, fields[3], nullptr,
                                    nullptr, FALSE, 0, nullptr,
                                    fields[1][0] ? fields[1] : nullptr, &startA, &process);
            }
        }

        if (!ok) {
            fprintf(out, "START-FAILED %lu\t0\n", GetLastError());
        } else {
            DWORD waited = WaitForSingleObject(process.hProcess, timeout);
            LARGE_INTEGER finished;
            QueryPerformanceCounter(&finished);
            double ms = 1000.0 * static_cast<double>(finished.QuadPart - started.QuadPart) /
                        static_cast<double>(frequency.QuadPart);
            if (waited != WAIT_OBJECT_0) {
                TerminateProcess(process.hProcess, 99);
                WaitForSingleObject(process.hProcess, 5000);
                fprintf(out, "TIMEOUT\t%.1f\n", ms);
            } else {
                DWORD code = 0;
                GetExitCodeProcess(process.hProcess, &code);
                fprintf(out, "%lu\t%.1f\n", code, ms);
            }
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        fflush(out);

        if (end == nullptr)
            break;
        line = end + 1;
    }
    fclose(out);
    return 0;
}
