// Reading the history of batches, "history.txt" beside the executable,
// which every batch appends to and the dialog reads and undoes (its lines
// are lines.h's), and trimming it.
//
// Everything here is portable: lines in, lines out. The file itself is
// history_win.cpp's.
#pragma once

#include <cstddef>

#include "history/lines.h"

// One batch as the file tells it. Reading never fails: a line cut short
// (the last one, with no line end), a line that makes no sense, and a line
// of a batch whose first line is missing are all passed over.
struct HistoryBatch {
    char id[HISTORY_ID_SIZE];
    HistoryTime when;
    SettingsWord word;
    unsigned long renamed;     // moves followed by "done"
    unsigned long unconfirmed; // moves followed by nothing
    unsigned long failed;      // paths not renamed
    unsigned long reasons[REASON_COUNT];
    unsigned long unchanged;
    bool ended;                // its "end" line is there
};

// The batch started last (its "batch" line is the last one) among those
// not undone. False when there is none.
bool FindLatestBatch(const char* text, size_t length, HistoryBatch* batch);

struct HistoryMove {
    HistoryField oldPath;
    HistoryField newPath;
    bool confirmed; // "done" followed; else nothing did (not "failed")
};

// The moves of batch id that may have happened, in the order they were
// made: at most capacity of them; returns how many there are in all.
size_t ListBatchMoves(const char* text, size_t length, const char* id, HistoryMove* moves, size_t capacity);

// The file keeps the latest batches up to this many bytes; the latest
// batch is kept whole even when it alone is larger. Once past it, older
// batches are dropped until the rest fits in three quarters of it, so that
// not every batch of a full history has to rewrite the whole file.
constexpr size_t HISTORY_LIMIT = 1 << 20;
constexpr size_t HISTORY_TRIMMED = HISTORY_LIMIT / 4 * 3;

// A file of any size, read piece by piece: read(context, offset, out,
// size) puts up to size bytes from offset on into out and returns how
// many, 0 at the end or on an error.
struct HistorySource {
    size_t (*read)(void* context, unsigned long long offset, char* out, size_t size);
    void* context;
};
// Where lines go: write(context, bytes, length).
struct HistorySink {
    void (*write)(void* context, const char* bytes, size_t length);
    void* context;
};

// Keeps the latest batches whose lines take at most limit bytes in all,
// the latest one always, and drops the rest and every line that makes no
// sense. Reads source twice, whatever its size, holding one line at a
// time, and writes what it keeps to sink in order; returns its length.
// At most 4,096 batches are kept, the latest.
unsigned long long TrimHistoryStream(const HistorySource& source, size_t limit, const HistorySink& sink);

// The same on text in memory, in place; returns the new length.
size_t TrimHistory(char* text, size_t length, size_t limit);
