// Batch mode: the command line's paths as one batch, planned and carried
// out at once (batch.h).
#include "app/rename.h"

#include "app/command_line.h"
#include "batch/batch.h"
#include "settings/settings.h"

void RenameFromCommandLine(const wchar_t* tail)
{
    // One batch, one word: a save in the dialog while a batch runs must not
    // split it between two.
    BatchPlan* plan = NewPlan(LoadSettings());
    if (plan == nullptr)
        return;
    AddCommandLinePaths(plan, tail);
    RunWholeBatch(plan);
    FreePlan(plan);
}

void AddCommandLinePaths(BatchPlan* plan, const wchar_t* tail)
{
    // A token is as long as the command line allows; the batch keeps its
    // own copy.
    static WidePath token;
    size_t position = 0;
    for (;;) {
        const TokenResult result = NextToken(tail, &position, token, WIDE_PATH_SIZE);
        if (result == TAIL_END)
            break;
        if (result == TAIL_PATH)
            AddGivenPath(plan, token);
    }
}
