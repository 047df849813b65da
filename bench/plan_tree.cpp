// The list's side of the tree benchmark: the batch the list window shows,
// with no window. Plans the folder's whole tree as the window does before
// 変換する can be pressed, then carries the plan out as 変換する does, and
// writes the two times and the peak memory to plan_tree.txt beside itself:
//
//   plan_tree.exe FOLDER      (the settings word from config.dat beside it)
//
// Exit code 0 when every planned change was made, 1 otherwise.
#include <windows.h>

#include <psapi.h>

#include <cstdio>

#include "batch/batch.h"
#include "files/files.h"
#include "settings/settings.h"

namespace {

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count != 2)
        return 2;
    LARGE_INTEGER start, planned, done;
    QueryPerformanceCounter(&start);
    BatchPlan* plan = NewPlan(LoadSettings());
    if (plan == nullptr)
        return 2;
    AddGivenPath(plan, arguments[1]);
    // The window's slices, without its messages in between.
    while (!PlanSome(plan, 2000)) {
    }
    QueryPerformanceCounter(&planned);
    const PlanCounts counts = CountRows(plan);
    StartRun(plan);
    while (!RunSome(plan, 200)) {
    }
    EndRun(plan);
    QueryPerformanceCounter(&done);
    const size_t renamed = CountRows(plan).byStatus[ROW_RENAMED];
    FreePlan(plan);

    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    static WidePath report;
    if (FileBesideExecutable("plan_tree.txt", report, WIDE_PATH_SIZE)) {
        if (FILE* file = OpenFile(report, true)) {
            fprintf(file, "%.1f %.1f %zu %zu %zu\n", Milliseconds(start, planned), Milliseconds(planned, done),
                    static_cast<size_t>(memory.PeakWorkingSetSize), counts.rows, renamed);
            fclose(file);
        }
    }
    return renamed == counts.byStatus[ROW_CHANGE] ? 0 : 1;
}
