// The Linux command's lines, from the batch's plan: one line per path
// given, in order,
//
//   now: NEW (and N inside)          renamed
//   unchanged: PATH (and N inside)   its name needed no change
//   not renamed: PATH (REASON)       left as it was, and why
//
// "(and N inside)" counts the entries renamed in a folder's tree (bit 16),
// and a folder's line is followed by a "not renamed" line for each entry
// inside that was left alone for a reason; an entry already clean gets
// none. Before the plan is carried out the lines tell what it will do, so
// a dry run prints what the real run prints. Paths are UTF-8, a byte of a
// name that is no UTF-8 written back as it was.
#pragma once

#include <cstddef>

#include "batch/batch.h"

struct LineSink {
    void (*write)(void* context, const char* text, size_t length);
    void* context;
};

// Why a row was left alone, in words: target exists, in use or access
// denied, not found, name too long, link, not UTF-8, not supported, system
// folder, or other error N (made in buffer, size bytes). Null for a row
// that was not left alone.
const char* ReasonWords(const BatchRow& row, char* buffer, size_t size);
// The same for the error of a move or a lookup.
const char* ErrorWords(unsigned long error, char* buffer, size_t size);

// Whether a row counts as renamed: done, or, before the plan is carried
// out, to be done.
bool RowRenames(const BatchRow& row);

// Writes the lines of the given path of plan whose rows are [first, end):
// its own row and, before it, those inside it. Returns false when anything
// there was left alone.
bool WriteGivenLines(const BatchPlan* plan, size_t first, size_t end, const LineSink& sink);

// A line of --undo: "now: OLD" for an entry that got its old name back,
// "not renamed: NEW (REASON)" for one that did not.
void WriteUndoLine(const WideChar* newPath, const WideChar* oldPath, unsigned long error, const LineSink& sink);

// A line for a path the plan could not be given (it is no path a name can
// be made of: longer than a path can be), "not renamed: PATH (REASON)".
void WriteNotGivenLine(const char* path, const char* reason, const LineSink& sink);
