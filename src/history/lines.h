// The lines of "history.txt": UTF-8 text with CRLF lines, one record a
// line, fields separated by tabs; the first field says what the line is and
// the second which batch it belongs to:
//
//   batch   <id>  <yyyy-mm-dd hh:mm:ss>  <settings word>
//   move    <id>  <old path>  <new path>      written before the move
//   done    <id>                              the move just written worked
//   failed  <id>  <path>  <error>  <reason>   the path was not renamed
//   same    <id>  <path>                      a given path whose name needed
//                                             no change (one in a folder's
//                                             tree is only counted)
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
#pragma once

#include <cstddef>

#include "convert/options.h"
#include "files/paths.h"

// A whole path: at most 32,767 UTF-16 units and the terminator.
constexpr size_t HISTORY_PATH_UNITS = 32768;
// Its field: five bytes for each unit at worst (an escape).
constexpr size_t HISTORY_FIELD_SIZE = 5 * (HISTORY_PATH_UNITS - 1) + 1;
// The longest line, a move: two fields and the rest.
constexpr size_t HISTORY_LINE_SIZE = 2 * HISTORY_FIELD_SIZE + 96;
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

struct HistoryTime {
    int year, month, day, hour, minute, second;
};

// The batch's id from the process id and a time stamp, in out
// (HISTORY_ID_SIZE bytes).
void MakeBatchId(unsigned long processId, unsigned long long stamp, char* out);

// ---------------------------------------------------------------- writing

// Each writes one line, CRLF included, to out (size bytes) and returns its
// length, or 0 when it does not fit. No terminator is written.
size_t FormatBatchLine(const char* id, const HistoryTime& when, SettingsWord word, char* out, size_t size);
size_t FormatMoveLine(const char* id, const WideChar* oldPath, const WideChar* newPath, char* out, size_t size);
size_t FormatDoneLine(const char* id, char* out, size_t size);
size_t FormatFailedLine(const char* id, const WideChar* path, unsigned long error, char* out, size_t size);
size_t FormatSameLine(const char* id, const WideChar* path, char* out, size_t size);
size_t FormatEndLine(const char* id, unsigned long unchanged, char* out, size_t size);
size_t FormatUndoneLine(const char* id, char* out, size_t size);

// ---------------------------------------------------------------- reading

// A field as it stands in the text (not terminated).
struct HistoryField {
    const char* text;
    size_t length;
};

bool SameField(const HistoryField& a, const HistoryField& b);

// A path field back in UTF-16, terminated, in out (capacity units). False
// when the field is no path this file could hold or does not fit.
bool DecodeHistoryPath(const HistoryField& field, WideChar* out, size_t capacity);

enum HistoryLineKind { LINE_JUNK, LINE_BATCH, LINE_MOVE, LINE_DONE, LINE_FAILED, LINE_SAME, LINE_END,
                       LINE_UNDONE };

// One line taken apart. Anything but junk has every field its kind needs,
// each well formed; fields[1] is the id.
struct HistoryLine {
    HistoryLineKind kind;
    HistoryField fields[5];
    size_t count;
    HistoryTime when;     // of a "batch" line
    unsigned long number; // the word of "batch", the error of "failed", the count of "end"
};

// Splits text[0, length) into its fields and checks them. The line end is
// not part of text: a line cut short, with no line end after it, is never
// handed here.
HistoryLine ParseHistoryLine(const char* text, size_t length);
