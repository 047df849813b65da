#include "history/undo.h"

#include <cstdlib>

namespace {

// The paths of the move being taken back, and the first failures', which
// the result points to until the next undo.
WidePath oldPath;
WidePath newPath;
WidePath foundPath;
WidePath failedPaths[10];
const WideChar NOTHING[] = {0};

bool IsThere(const WideChar* path, FileCallPaths* paths)
{
    FoundEntry found;
    return FindGivenEntry(path, foundPath, WIDE_PATH_SIZE, &found, paths) == 0;
}

} // namespace

bool UndoBatchMoves(const char* text, size_t length, const HistoryBatch& batch, FileCallPaths* paths,
                    UndoResult* result, UndoEntryCall each, void* context)
{
    *result = UndoResult{};
    // Each move listed was either confirmed or left without an outcome.
    const size_t capacity = static_cast<size_t>(batch.renamed) + batch.unconfirmed;
    HistoryMove* moves = static_cast<HistoryMove*>(malloc((capacity + 1) * sizeof(HistoryMove)));
    if (moves == nullptr)
        return false;
    size_t count = ListBatchMoves(text, length, batch.id, moves, capacity);
    if (count > capacity)
        count = capacity;

    for (size_t i = count; i-- > 0;) {
        const HistoryMove& move = moves[i];
        if (!DecodeHistoryPath(move.oldPath, oldPath, WIDE_PATH_SIZE) ||
            !DecodeHistoryPath(move.newPath, newPath, WIDE_PATH_SIZE))
            continue;
        if (!move.confirmed) {
            // The batch was stopped at this move: it may never have been
            // made, and the new name may be another file's. A change of
            // case only is the one move whose old name may seem taken.
            if (!IsThere(newPath, paths) || (!MayDifferOnlyInCase(oldPath, newPath) && IsThere(oldPath, paths)))
                continue;
        }
        // The move itself refuses a new name that is gone and an old one
        // that is taken, and never overwrites: its error says which.
        const unsigned long error = MoveEntry(newPath, oldPath, paths);
        if (each != nullptr)
            each(context, newPath, oldPath, error);
        if (error == 0) {
            result->restored++;
            continue;
        }
        if (result->listed < 10) {
            WideChar* kept = failedPaths[result->listed];
            kept[0] = 0;
            JoinWide(kept, WIDE_PATH_SIZE, newPath, NOTHING);
            result->failures[result->listed++] = {kept, error};
        }
        result->failed++;
    }
    free(moves);
    return true;
}
