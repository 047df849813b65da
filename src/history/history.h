// The history of batches: "history.txt" beside the executable, which every
// batch appends to and the dialog reads and undoes. UTF-8 text with CRLF
// lines, one record a line, fields separated by tabs; the first field says
// what the line is and the second which batch it belongs to:
//
//   batch   <id>  <yyyy-mm-dd hh:mm:ss>  <settings word>
//   move    <id>  <old path>  <new path>      written before the move
//   done    <id>                              the move just written worked
//   failed  <id>  <path>  <error>  <reason>   the path was not renamed
//   end     <id>  <names that needed no change>
//   undone  <id>                              the dialog took the batch back
//
// Lines of batches that run at once interleave; the id keeps them apart. A
// move with neither "done" nor "failed" after it belongs to a batch that was
// stopped right there: its file may have its new name or its old one.
//
// A path is UTF-8, except that '%', the control characters and a surrogate
// without its partner are written as '%' and four hex digits of the UTF-16
// unit, so that any name Windows can hold, a tab in it included, comes back
// exactly.
//
// Everything here is portable: lines in, lines out. The file itself is
// history_win.cpp's.
#pragma once

#include <cstddef>

#include "convert/options.h"
#include "files/paths.h"

typedef WideChar HistoryChar;

// A whole path: at most 32,767 UTF-16 units and the terminator.
constexpr size_t HISTORY_PATH_UNITS = 32768;
// Its field: five bytes for each unit at worst (an escape).
constexpr size_t HISTORY_FIELD_SIZE = 5 * (HISTORY_PATH_UNITS - 1) + 1;
// The longest line, a move: two fields and the rest.
constexpr size_t HISTORY_LINE_SIZE = 2 * HISTORY_FIELD_SIZE + 96;
// The file keeps the latest batches up to this many bytes; the latest
// batch is kept whole even when it alone is larger. Once past it, older
// batches are dropped until the rest fits in three quarters of it, so that
// not every batch of a full history has to rewrite the whole file.
constexpr size_t HISTORY_LIMIT = 1 << 20;
constexpr size_t HISTORY_TRIMMED = HISTORY_LIMIT / 4 * 3;
// An id: a process id and a time stamp, "1234-1dc2f3a4b5c6d7e".
constexpr size_t HISTORY_ID_SIZE = 40;

// Why a path was not renamed, from the Windows error of its move or lookup.
enum HistoryReason {
    REASON_EXISTS,    // 183, 80: the target exists
    REASON_DENIED,    // 5, 32: in use, or access denied
    REASON_NOT_FOUND, // 2, 3
    REASON_TOO_LONG,  // 206: a name or path Windows cannot hold
    REASON_OTHER_ERROR,     // anything else, with its number
    REASON_COUNT
};
HistoryReason ReasonForError(unsigned long error);

// The error the history records when the program itself finds a name too
// long, before Windows is asked (ERROR_FILENAME_EXCED_RANGE).
constexpr unsigned long HISTORY_TOO_LONG_ERROR = 206;

struct HistoryTime {
    int year, month, day, hour, minute, second;
};

// The batch's id from the process id and a time stamp, in out
// (HISTORY_ID_SIZE bytes).
void MakeBatchId(unsigned long processId, unsigned long long stamp, char* out);

// Each writes one line, CRLF included, to out (size bytes) and returns its
// length, or 0 when it does not fit. No terminator is written.
size_t FormatBatchLine(const char* id, const HistoryTime& when, SettingsWord word, char* out, size_t size);
size_t FormatMoveLine(const char* id, const HistoryChar* oldPath, const HistoryChar* newPath, char* out,
                      size_t size);
size_t FormatDoneLine(const char* id, char* out, size_t size);
size_t FormatFailedLine(const char* id, const HistoryChar* path, unsigned long error, char* out, size_t size);
size_t FormatEndLine(const char* id, unsigned long unchanged, char* out, size_t size);
size_t FormatUndoneLine(const char* id, char* out, size_t size);

// A field as it stands in the text (not terminated).
struct HistoryField {
    const char* text;
    size_t length;
};

// A path field back in UTF-16, terminated, in out (capacity units). False
// when the field is no path this file could hold or does not fit.
bool DecodeHistoryPath(const HistoryField& field, HistoryChar* out, size_t capacity);

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

// Keeps the latest batches whose lines take at most limit bytes in all,
// the latest one always, and drops the rest and every line that makes no
// sense. Works in place; returns the new length.
size_t TrimHistory(char* text, size_t length, size_t limit);

// The dialog's summary of batch (nullptr: there is none) in code page 932,
// lines separated by CRLF, terminated, in out (size bytes).
void FormatHistorySummary(const HistoryBatch* batch, char* out, size_t size);

// The reason in code page 932 words, as the dialog shows it.
const char* ReasonText(HistoryReason reason);
