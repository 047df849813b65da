// What the dialog says of the latest batch, in its own words.
#pragma once

#include <cstddef>

#include "history/history.h"

// The dialog's summary of batch (nullptr: there is none): its date and
// time, how many names it changed and how many it could not, lines
// separated by CRLF, terminated, in out (size units). Empty when it does
// not fit, never cut.
void FormatHistorySummary(const HistoryBatch* batch, WideChar* out, size_t size);

// The reason in the dialog's words, terminated.
const WideChar* ReasonText(HistoryReason reason);
