// Batch mode's calls into Windows: long paths, lookups and moves, all through
// the wide API.
#include <windows.h>

#include <cwchar>

#include <cstdlib>
#include <cstring>

#include "app/command_line.h"
#include "app/rename.h"
#include "convert/name.h"
#include "files/entries.h"
#include "files/files.h"
#include "files/walk.h"
#include "history/history_file.h"
#include "settings/settings.h"

struct RenameBatch {
    SettingsWord word;
    BatchRecord record;
    TreeWalk walk;
    // A given path in full, in its long form, and a new path.
    WidePath longPath;
    WidePath newPath;
    FileCallPaths files;
    // A token is as long as the command line allows.
    WidePath token;
};

namespace {

// Whether the token names an entry by a name of its own: not a folder's
// path ending in a separator, nor "." or "..", which name a folder through
// another, nor a bare drive ("C:"), which stands for its current folder.
bool NamesAnEntry(const wchar_t* token)
{
    const wchar_t* name = token + NameStart(token);
    return *name != L'\0' && wcscmp(name, L".") != 0 && wcscmp(name, L"..") != 0;
}

// Renames the entry at path, a full path in its long form whose name starts
// at nameAt (a dropped path's, or one a walk listed): the name converted,
// the move recorded before it is made and its outcome after. A given
// path's clean name is recorded as such; a walk's is only counted.
void RenameEntry(RenameBatch* batch, const wchar_t* path, size_t nameAt, bool given)
{
    WideName newName;
    const wchar_t* name = path + nameAt;
    switch (ConvertFileName(batch->word, name, wcslen(name), newName)) {
    case NAME_CONVERTED:
        break;
    case NAME_UNCHANGED:
        if (given)
            RecordGivenUnchanged(&batch->record, path);
        else
            RecordUnchanged(&batch->record);
        return;
    case NAME_TOO_LONG:
        RecordNotRenamed(&batch->record, path, ERROR_FILENAME_EXCED_RANGE);
        return;
    default:
        RecordNotRenamed(&batch->record, path, ERROR_INVALID_NAME);
        return;
    }
    wchar_t* newPath = batch->newPath;
    wmemcpy(newPath, path, nameAt);
    newPath[nameAt] = L'\0';
    if (!JoinWide(newPath, WIDE_PATH_SIZE, newPath, newName)) {
        RecordNotRenamed(&batch->record, path, ERROR_FILENAME_EXCED_RANGE);
        return;
    }

    // Never a move of what is not where it was listed or found: under Wine
    // moving a link to a file moves the file, from wherever it is.
    const unsigned long check = CheckEntryIsItself(path, &batch->files);
    if (check != 0) {
        RecordNotRenamed(&batch->record, path, check);
        return;
    }
    // Recorded before the move, so that a batch stopped at any moment
    // leaves every rename it made in the history.
    RecordMove(&batch->record, path, newPath);
    const unsigned long error = MoveEntry(path, newPath, &batch->files);
    RecordOutcome(&batch->record, path, error);
}

// The whole tree of the folder at path (full, long form): every entry the
// walk hands out, deepest first, the folder itself last.
void RenameTree(RenameBatch* batch, const wchar_t* path)
{
    if (!StartWalk(&batch->walk, path, {ListFolderOnDisk, &batch->files})) {
        RecordNotRenamed(&batch->record, path, ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    WalkStep step;
    while (NextWalkStep(&batch->walk, &step)) {
        if (step.error != 0)
            RecordNotRenamed(&batch->record, step.path, step.error);
        else
            RenameEntry(batch, step.path, step.nameAt, false);
    }
}

}  // namespace

void RenameFromCommandLine(const wchar_t* tail)
{
    // One batch, one word: a save in the dialog while a batch runs must not
    // split it between two. The batch is large, and lives as long as the
    // program.
    static RenameBatch batch;
    batch.word = LoadSettings();
    StartBatchRecord(&batch.record, batch.word);
    size_t position = 0;
    for (;;) {
        TokenResult result = NextToken(tail, &position, batch.token, WIDE_PATH_SIZE);
        if (result == TAIL_END)
            break;
        if (result == TAIL_PATH)
            RenameOneFile(&batch, batch.token);
    }
    EndBatchRecord(&batch.record);
    FreeWalk(&batch.walk);
}

void RenameOneFile(RenameBatch* batch, const wchar_t* path)
{
    if (!IsUsablePath(path) || !NamesAnEntry(path))
        return;
    // Relative paths, '/' and ".." are resolved first: the folder part is
    // then exactly as Windows holds it, and only the name is converted.
    FoundEntry found;
    const unsigned long error = FindGivenEntry(path, batch->longPath, WIDE_PATH_SIZE, &found, &batch->files);
    if (error != 0) {
        RecordNotRenamed(&batch->record, path, error);
        return;
    }
    // A link keeps its name: under Wine moving one to a file would move the
    // file it stands for.
    if (found.link) {
        RecordNotRenamed(&batch->record, batch->longPath, ERROR_NUMBER_STOPPED_ON_SYMLINK);
        return;
    }
    if ((batch->word & OPT_FOLDER_CONTENTS) == 0 || !found.folder) {
        RenameEntry(batch, batch->longPath, found.nameAt, true);
        return;
    }
    // Programs rely on the names in the Windows folder, Program Files and
    // the profile: a walk of them would rename "Saved Games". Such a folder
    // keeps its own name too.
    if (IsGuardedOnThisSystem(batch->longPath)) {
        RecordNotRenamed(&batch->record, batch->longPath, ERROR_ACCESS_DENIED);
        return;
    }
    RenameTree(batch, batch->longPath);
}
