// Taking a batch back, on any platform: in reverse order, each renamed path
// from its new name to its old one, through the files room's moves, which
// never replace anything. The record is read and marked by the platform's
// history file (history_file.h); what happens in between is here, once.
#pragma once

#include <cstddef>

#include "files/entries.h"
#include "history/history_file.h"

// Takes back the moves of batch (found in text, the whole history) and
// counts them in result; each, when not null, hears of every entry (a move
// the batch may never have made, left as it is, is not told). A move
// whose outcome was never written is taken back only when its new name is
// there and its old one free (or the two differ only in case): the batch
// was stopped at it, and it may never have happened. False when there is
// no memory to list the moves.
bool UndoBatchMoves(const char* text, size_t length, const HistoryBatch& batch, FileCallPaths* paths,
                    UndoResult* result, UndoEntryCall each, void* context);
