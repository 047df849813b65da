// The list's side of the tree benchmark: the batch the list window shows,
// with no window. Plans the folder's whole tree as the window does before
// 変換する can be pressed, unticks and ticks again one row (each planned
// again whole, as a click in the list is), then carries the plan out as
// 変換する does, in the window's slices.
//
//   plan_tree.exe FOLDER          (Windows, under Wine: the settings word
//                                  from config.dat beside it; the figures
//                                  go to plan_tree.txt beside it)
//   plan_tree [--word N] FOLDER   (natively: the word, default 65537 =
//                                  blanks and the folder's contents; the
//                                  figures to standard output)
//
// The figures, on one line: milliseconds to plan, milliseconds to carry
// out, peak memory in bytes (PeakWorkingSetSize; natively VmHWM), rows,
// rows renamed, and milliseconds of one tick planned again.
//
// Exit code 0 when every planned change was made, 1 otherwise.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "batch/batch.h"
#include "files/files.h"
#include "settings/settings.h"

#if defined(_WIN32)
#include <windows.h>

#include <psapi.h>
#else
#include <time.h>
#endif

namespace {

double NowMs()
{
#if defined(_WIN32)
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
#else
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return 1000.0 * static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e6;
#endif
}

size_t PeakMemory()
{
#if defined(_WIN32)
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    return static_cast<size_t>(memory.PeakWorkingSetSize);
#else
    size_t peak = 0;
    if (FILE* status = fopen("/proc/self/status", "r")) {
        char line[256];
        while (fgets(line, sizeof line, status) != nullptr)
            if (strncmp(line, "VmHWM:", 6) == 0)
                peak = static_cast<size_t>(strtoull(line + 6, nullptr, 10)) * 1024;
        fclose(status);
    }
    return peak;
#endif
}

struct Figures {
    double planMs, runMs, tickMs;
    size_t rows, planned, renamed;
};

Figures Measure(SettingsWord word, const WideChar* folder)
{
    Figures figures = {};
    const double start = NowMs();
    BatchPlan* plan = NewPlan(word);
    if (plan == nullptr)
        return figures;
    AddGivenPath(plan, folder);
    // The window's slices, without its messages in between.
    while (!PlanSome(plan, 2000)) {
    }
    const double planned = NowMs();
    // A click on a row's box and a second one: each plans every row again.
    size_t first = 0;
    while (first < RowCount(plan) && GetRow(plan, first).status != ROW_CHANGE)
        ++first;
    const double tick = NowMs();
    if (first < RowCount(plan)) {
        SetTicked(plan, first, false);
        SetTicked(plan, first, true);
    }
    const double ticked = NowMs();
    const PlanCounts counts = CountRows(plan);
    StartRun(plan);
    while (!RunSome(plan, 200)) {
    }
    EndRun(plan);
    const double done = NowMs();
    figures.planMs = planned - start;
    figures.tickMs = (ticked - tick) / 2;
    figures.runMs = done - ticked;
    figures.rows = counts.rows;
    figures.planned = counts.byStatus[ROW_CHANGE];
    figures.renamed = CountRows(plan).byStatus[ROW_RENAMED];
    FreePlan(plan);
    return figures;
}

void Print(FILE* file, const Figures& figures)
{
    fprintf(file, "%.1f %.1f %zu %zu %zu %.1f\n", figures.planMs, figures.runMs, PeakMemory(), figures.rows,
            figures.renamed, figures.tickMs);
}

}  // namespace

#if defined(_WIN32)
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count != 2)
        return 2;
    const Figures figures = Measure(LoadSettings(), arguments[1]);
    static WidePath report;
    if (FileBesideExecutable("plan_tree.txt", report, WIDE_PATH_SIZE)) {
        if (FILE* file = OpenFile(report, true)) {
            Print(file, figures);
            fclose(file);
        }
    }
    return figures.rows != 0 && figures.renamed == figures.planned ? 0 : 1;
}
#else
#include "convert/utf8.h"

int main(int argc, char** argv)
{
    SettingsWord word = OPT_SPACES | OPT_FOLDER_CONTENTS;
    int at = 1;
    if (argc == 4 && strcmp(argv[1], "--word") == 0) {
        word = static_cast<SettingsWord>(strtoul(argv[2], nullptr, 10));
        at = 3;
    }
    if (at != argc - 1) {
        fprintf(stderr, "usage: plan_tree [--word N] FOLDER\n");
        return 2;
    }
    static WidePath folder;
    size_t units;
    if (!Utf8ToWide(argv[at], strlen(argv[at]), folder, WIDE_PATH_SIZE - 1, &units))
        return 2;
    folder[units] = 0;
    const Figures figures = Measure(word, folder);
    Print(stdout, figures);
    return figures.rows != 0 && figures.renamed == figures.planned ? 0 : 1;
}
#endif
