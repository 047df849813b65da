#include "app/command.h"

#include <cstdlib>
#include <cstring>

#include "app/command_options.h"
#include "convert/utf8.h"
#include "history/history_file.h"
#include "settings/settings.h"

#ifndef BLANKMENDER_COMMAND_VERSION
#define BLANKMENDER_COMMAND_VERSION "?"
#endif

namespace {

// A path on the command line that the batch could not be given.
constexpr size_t NOT_GIVEN = static_cast<size_t>(-1);

void Say(const LineSink& sink, const char* text)
{
    sink.write(sink.context, text, strlen(text));
}

// Plans (and unless dryRun carries out) the batch of the paths, then tells
// it. Returns the exit code.
int RenamePaths(SettingsWord word, const char* const* argv, const int* paths, size_t count, bool dryRun,
                const LineSink& out, const LineSink& errors)
{
    BatchPlan* plan = NewPlan(word);
    size_t* slots = static_cast<size_t*>(malloc((count + 1) * sizeof(size_t)));
    WideChar* given = static_cast<WideChar*>(malloc(WIDE_PATH_SIZE * sizeof(WideChar)));
    if (plan == nullptr || slots == nullptr || given == nullptr) {
        Say(errors, "blankmender: out of memory\n");
        free(given);
        free(slots);
        if (plan != nullptr)
            FreePlan(plan);
        return EXIT_SOME_LEFT;
    }
    size_t givenCount = 0;
    for (size_t i = 0; i < count; ++i) {
        const char* argument = argv[paths[i]];
        size_t units;
        // A byte that is no UTF-8 becomes an escape, so every path that
        // fits is given, and found byte for byte.
        if (Utf8ToWide(argument, strlen(argument), given, WIDE_PATH_SIZE, &units)) {
            // "d x/", as a shell completes a folder, names the folder "d x"
            // (a link there is renamed itself, never followed).
            while (units > 1 && given[units - 1] == '/')
                given[--units] = 0;
            AddGivenPath(plan, given);
            slots[i] = givenCount++;
        } else {
            slots[i] = NOT_GIVEN;
        }
    }
    while (!PlanSome(plan, 4096)) {
    }
    if (!dryRun) {
        StartRun(plan);
        while (!RunSome(plan, 4096)) {
        }
        EndRun(plan);
    }

    // The rows of one given path lie together, what is inside it first.
    bool handled = true;
    size_t row = 0;
    const size_t rows = RowCount(plan);
    for (size_t i = 0; i < count; ++i) {
        if (slots[i] == NOT_GIVEN) {
            WriteNotGivenLine(argv[paths[i]], "name too long", out);
            handled = false;
            continue;
        }
        const size_t first = row;
        while (row < rows && GetRow(plan, row).given == slots[i])
            ++row;
        if (row == first) {
            // The plan makes no row for a path that names no entry by a
            // name of its own (".", ".."), nor for one given before.
            const char* name = strrchr(argv[paths[i]], '/');
            name = name != nullptr ? name + 1 : argv[paths[i]];
            const bool dots = strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
            const char* argument = argv[paths[i]];
            const bool empty = argument[0] == '\0';
            // The root has no name either, and is the first folder refused.
            const bool root = !empty && strspn(argument, "/") == strlen(argument);
            WriteNotGivenLine(argument,
                              empty ? "not found" : root ? "system folder" : dots ? "no name of its own" : "given twice",
                              out);
            handled = handled && !dots && !empty && !root;
            continue;
        }
        handled = WriteGivenLines(plan, first, row, out) && handled;
    }
    if (dryRun)
        Say(out, "dry run: nothing renamed\n");
    free(given);
    free(slots);
    FreePlan(plan);
    return handled ? EXIT_ALL_HANDLED : EXIT_SOME_LEFT;
}

void TellUndone(void* context, const WideChar* newPath, const WideChar* oldPath, unsigned long error)
{
    WriteUndoLine(newPath, oldPath, error, *static_cast<const LineSink*>(context));
}

// Takes the latest batch back, a line per entry. Returns the exit code.
int UndoLatestLines(const LineSink& out, const LineSink& errors)
{
    UndoResult result;
    if (!UndoLatestBatch(&result, TellUndone, const_cast<LineSink*>(&out))) {
        Say(errors, "blankmender: no batch to undo\n");
        return EXIT_SOME_LEFT;
    }
    return result.failed == 0 ? EXIT_ALL_HANDLED : EXIT_SOME_LEFT;
}

} // namespace

int RunCommand(int argc, const char* const* argv, const char* configPath, const LineSink& out,
               const LineSink& errors)
{
    int* paths = static_cast<int*>(malloc(static_cast<size_t>(argc) * sizeof(int)));
    if (paths == nullptr)
        return EXIT_SOME_LEFT;
    CommandOptions options;
    ReadCommandOptions(argc, argv, &options, paths);
    int code = EXIT_ALL_HANDLED;
    switch (options.action) {
    case COMMAND_HELP:
        Say(out, COMMAND_HELP_TEXT);
        break;
    case COMMAND_VERSION:
        Say(out, "blankmender " BLANKMENDER_COMMAND_VERSION "\n");
        break;
    case COMMAND_BAD_USAGE:
        Say(errors, "blankmender: ");
        Say(errors, options.error);
        Say(errors, "\n");
        code = EXIT_BAD_USAGE;
        break;
    case COMMAND_UNDO:
        code = UndoLatestLines(out, errors);
        break;
    case COMMAND_RENAME: {
        const SettingsWord saved = configPath != nullptr ? LoadSettingsFrom(configPath) : DEFAULT_SETTINGS;
        code = RenamePaths(CommandWord(options, saved), argv, paths, options.pathCount, options.dryRun, out,
                           errors);
        break;
    }
    }
    free(paths);
    return code;
}
