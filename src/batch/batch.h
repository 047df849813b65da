// One batch: the paths a user gave, planned whole before anything moves,
// then carried out. The plan is the batch: the list window shows it, its
// 変換する carries it out, the silent batch carries it out at once, and the
// Linux command prints it (with --dry-run, without carrying it out). So
// what a row says is what happens to its entry, as long as nothing on disk
// changes in between.
//
// Planning: the given paths in order; with OPT_FOLDER_CONTENTS a given
// folder's whole tree, contents first, the folder itself last (walk.h).
// Every entry gets a row, hidden entries and what lies behind a link
// excepted. A row's new name is its name converted under the word; it is
// checked against the names its folder will hold, compared ignoring case
// as the file system does (and as Windows clients of a Linux share do):
// taken on disk is ROW_EXISTS, taken by an earlier row ROW_TAKEN_FIRST. A
// row that is not ticked keeps its name, and planning again may free the
// name for a later row. A folder's new name carries into the paths of
// what is planned in it afterwards.
//
// Names are compared as NTFS compares them for the letters that matter
// here: ASCII, full-width Latin (Ａ-Ｚ / ａ-ｚ), Latin-1, Greek and Cyrillic
// fold to capitals one for one; nothing else folds. A folder's set starts
// from every name it lists (hidden ones too: they hold their names). A
// walked folder is listed anyway; the folder of given paths is listed too
// on a POSIX system (where a lookup cannot find another case), and on
// Windows for the list once it holds 8 given paths; else a new name is
// looked up once (for the list; the silent batch lets the move tell). A
// change of case of an entry's own name is a change, unless the folder
// holds the name in another case besides (ROW_EXISTS).
//
// What is left alone: a guarded folder (walk.h's IsGuardedOnThisSystem,
// asked of every folder given, with or without OPT_FOLDER_CONTENTS; on a
// POSIX system "/" too) is ROW_EXCLUDED with error 5, a given link
// (FoundEntry.link) ROW_EXCLUDED with 681. Neither is walked. Links and
// hidden entries inside a tree get no row at all, as the walk never hands
// them out.
//
// Carried out, every row is recorded as the silent batch always recorded
// its entry: a ticked change as a move and its outcome; a clean name, and
// an unticked change (the user chose to keep the name), as unchanged; any
// other row as not renamed with its error (183 for ROW_EXISTS and
// ROW_TAKEN_FIRST, 206 too long, 2 not found, 5 or 681 excluded, its own
// for ROW_FAILED).
//
// Both planning and carrying out run in slices on the caller's thread, so
// a window can keep answering between two slices. Portable: the file
// system is entries.h's, the record history_file.h's.
#pragma once

#include <cstddef>

#include "convert/options.h"
#include "files/paths.h"

enum RowStatus : unsigned char {
    // Before renaming.
    ROW_CHANGE,      // 変更: will be renamed
    ROW_CLEAN,       // そのまま: the name is already clean
    ROW_EXISTS,      // 既にある: the new name is taken on disk
    ROW_TAKEN_FIRST, // 重複: an earlier row takes that name first
    ROW_TOO_LONG,    // 長すぎる: the new name (or its path) would be too long
    ROW_NOT_FOUND,   // 見つからない: the path is gone
    ROW_EXCLUDED,    // 対象外: a guarded folder, or a link
    ROW_FAILED,      // could not be planned, error tells why (not UTF-8, a
                     // folder that cannot be listed, ...)
    // After renaming: what became of a ticked ROW_CHANGE.
    ROW_RENAMED,     // 変更済み
    ROW_LEFT_ALONE,  // its move failed; error tells why
};

struct BatchRow {
    RowStatus status;
    bool ticked;        // only a ticked ROW_CHANGE is renamed
    bool folder;
    unsigned long error; // ROW_FAILED, ROW_LEFT_ALONE: the Windows error number
    const WideChar* name; // the entry's name now (not terminated)
    size_t nameLength;
    const WideChar* newName; // its new name (the name itself when clean)
    size_t newNameLength;
    size_t given;       // the index of the given path this row belongs to
    bool isGiven;       // the row of the given path itself, not one inside it
};

struct BatchPlan;

// A plan for the word, empty. Null when there is no memory.
BatchPlan* NewPlan(SettingsWord word);
void FreePlan(BatchPlan* plan);

// Queues a path as the user gave it (relative, '/', short form: whatever
// the system takes). Nothing is looked up yet.
void AddGivenPath(BatchPlan* plan, const WideChar* path);

// Plans up to about budget entries more. True when the plan is complete:
// every given path looked up, every tree listed, every row checked.
bool PlanSome(BatchPlan* plan, size_t budget);

size_t RowCount(const BatchPlan* plan);
BatchRow GetRow(const BatchPlan* plan, size_t row);

// The row's folder as the user knows it (no "\\?\" on Windows), with no
// trailing separator, in out (capacity units with the terminator); its
// length, 0 when it does not fit. Before renaming, the folder where the
// entry is now; after, where it is then.
size_t RowFolder(const BatchPlan* plan, size_t row, WideChar* out, size_t capacity);
// The same as it will be once the plan is carried out as it stands: each
// folder above the row under the new name its own row is to get. So the
// Linux command's dry run prints the paths the real run will.
size_t RowFolderAfterRun(const BatchPlan* plan, size_t row, WideChar* out, size_t capacity);

// Ticks or unticks a row and plans again: every row's status is made anew
// from the names on disk and the ticked rows before it.
void SetTicked(BatchPlan* plan, size_t row, bool ticked);
// The same for count rows at once (Space over a selection), planned again
// once.
void SetTickedRows(BatchPlan* plan, const size_t* rows, size_t count, bool ticked);

struct PlanCounts {
    size_t rows;
    size_t byStatus[ROW_LEFT_ALONE + 1];
    size_t ticked;
};
PlanCounts CountRows(const BatchPlan* plan);

// Carrying the plan out: opens the batch's record (history.txt), then each
// slice moves up to budget ticked ROW_CHANGE rows, in row order, each move
// recorded before it is made and its outcome after, each row's status then
// ROW_RENAMED or ROW_LEFT_ALONE. Every other row is recorded as the silent
// batch always has (unchanged, or not renamed with its error). RunSome
// returns true when every row is done. EndRun closes the record; after a
// stop between two slices, what was moved stays recorded and can be undone.
void StartRun(BatchPlan* plan);
bool RunSome(BatchPlan* plan, size_t budget);
void EndRun(BatchPlan* plan);

// Plans and carries out the whole batch at once: the silent batch.
void RunWholeBatch(BatchPlan* plan);
