// What the list window shows of a plan, in its own words and without
// Windows: a row's status, which rows the filter leaves, the counts, and
// the rows as text for the clipboard.
#pragma once

#include <cstddef>

#include "batch/batch.h"

// Where the list window is with its plan.
enum ListPhase {
    LIST_READING, // the plan is being made
    LIST_READY,   // complete: ticks can change, 変換する can be pressed
    LIST_RUNNING, // the ticked rows are being renamed
    LIST_DONE,    // renaming is over: every row shows its outcome
};

// The status of a row as the list shows it, terminated, in out. Before
// renaming the plan's word ("変更", "重複", ...); after it the outcome:
// "変更済み", or why the row was left alone, where a failed move says
// "既にある", "使用中", "見つからない", "長すぎる" or "エラー N" by its
// error. A row that would have changed but was not ticked says "そのまま"
// once renaming is over: nothing became of it.
constexpr size_t STATUS_TEXT_SIZE = 24;
void RowStatusText(const BatchRow& row, ListPhase phase, WideChar out[STATUS_TEXT_SIZE]);

// The rows the list shows, as indices into the plan, in row order: all of
// them, or with changedOnly those whose status is not ROW_CLEAN.
struct ShownRows {
    size_t* rows;
    size_t count;
    size_t capacity;
    bool changedOnly;
};

// Adds the plan's rows from row from on that the filter leaves. False
// when there is no memory for them (the rows before stay shown).
bool AddShownRows(ShownRows* shown, const BatchPlan* plan, size_t from);
// Forgets every row, keeping the memory; frees it.
void ClearShownRows(ShownRows* shown);
void FreeShownRows(ShownRows* shown);

// The counts and where the work stands, in lines separated by CRLF,
// terminated, in out (size units; cut short rather than overrun). total is
// how many ticked rows will be or are being renamed, done how many of them
// renaming has reached.
void FormatListSummary(const PlanCounts& counts, ListPhase phase, size_t done, size_t total, WideChar* out,
                       size_t size);

// The shown rows as text that pastes into a spreadsheet: the header
// "状態<TAB>変換前<TAB>変換後<TAB>フォルダ", then one line a row with the
// same four fields, each line ended by CRLF. Writes it terminated to out
// when out is not null (it must hold the length returned plus one); returns
// its length in units either way. folder is a buffer of WIDE_PATH_SIZE
// units for the call's own use.
size_t FormatShownRows(const BatchPlan* plan, const ShownRows* shown, ListPhase phase, WideChar* out,
                       WideChar* folder);
