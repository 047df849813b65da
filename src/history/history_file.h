// "history.txt": the batch records into it, the dialog reads it and undoes
// the latest batch. On Windows it lies beside the executable; on a POSIX
// system in $XDG_STATE_HOME/blankmender/ ($HOME/.local/state/blankmender/
// without it), one for each user. The lines themselves are history.h's.
#pragma once

#include <cstddef>

#include "history/history.h"

// ---------------------------------------------------------------- the batch

// What one batch records, owned by the batch. A move's outcome waits in
// lines and goes out with the next line, in one write: a batch stopped in
// between leaves that move without its outcome, which undo handles like
// any move whose outcome is unknown. Every line is in the file before the
// move it tells of; the turn at the end of the file that concurrent
// batches take is kept for a few lines at a time (see history_win.cpp).
struct BatchRecord {
    bool open; // false: the folder cannot be written, nothing is recorded
    void* file; // history.txt, open for appending (Windows)
#if !defined(_WIN32)
    int descriptor; // the same on a POSIX system
#endif
    bool turn; // this batch has the turn
    unsigned long turnSince; // since then, in ms (GetTickCount)
    char id[HISTORY_ID_SIZE];
    unsigned long unchanged;
    size_t waiting;
    char lines[2 * HISTORY_LINE_SIZE];
    WidePath full; // a path given up, made full
};

// Opens the file for appending and writes the batch's first line. When the
// folder cannot be written, the batch goes on as ever and records nothing:
// every call below then does nothing.
void StartBatchRecord(BatchRecord* record, SettingsWord word);
// Before a move: where from and to, both full paths in their long form, as
// undo will need them wherever it runs.
void RecordMove(BatchRecord* record, const WideChar* from, const WideChar* to);
// After it: 0 for done, else the Windows error of the move, which left the
// name as it was.
void RecordOutcome(BatchRecord* record, const WideChar* from, unsigned long error);
// A path given up before any move (not found, too long, refused), made
// full here, every part kept as written.
void RecordNotRenamed(BatchRecord* record, const WideChar* path, unsigned long error);
// A name that needed no change: counted, not listed.
void RecordUnchanged(BatchRecord* record);
// A given path whose name needed no change: counted, and listed, so that
// what the batch did to each given path can be told.
void RecordGivenUnchanged(BatchRecord* record, const WideChar* path);
// Writes the batch's last line and closes the file; drops older batches
// when it has grown past HISTORY_LIMIT.
void EndBatchRecord(BatchRecord* record);

#if !defined(_WIN32)
// The file's path, in out (size bytes); false when there is no $HOME to
// find it by, or it does not fit. Its folder may not be there yet.
bool HistoryFilePath(char* out, size_t size);
#endif

// ---------------------------------------------------------------- the dialog

// False when the executable's folder cannot be written, so no history can
// be kept there; folder then holds the folder's path (size units).
bool CanKeepHistory(WideChar* folder, size_t size);

// The latest batch not undone, false when there is none.
bool LatestBatch(HistoryBatch* batch);

struct UndoFailure {
    const WideChar* path; // where the file was looked for
    unsigned long error;
};

struct UndoResult {
    unsigned long restored;
    unsigned long failed;
    size_t listed; // the first failures, up to ten
    UndoFailure failures[10];
};

// Hears of each entry an undo takes back or fails to: newPath, where it was
// looked for; oldPath, the name it was to get back; error, 0 when it did.
typedef void (*UndoEntryCall)(void* context, const WideChar* newPath, const WideChar* oldPath,
                              unsigned long error);

// Takes the latest batch back: in reverse order, each renamed path from
// its new name to its old one, where the new name is there and the old one
// free; nothing is overwritten (history/undo.h, on every platform). Then
// marks the batch undone. each, when given, hears of every entry. False
// when there is no batch to undo. The paths in result live until the next
// call.
bool UndoLatestBatch(UndoResult* result, UndoEntryCall each = nullptr, void* context = nullptr);
