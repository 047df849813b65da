// The list window: a batch shown before it renames anything.
#pragma once

#include <windows.h>

#include "batch/batch.h"

// Shows the list window for plan, whose given paths are queued, until the
// user closes it: it plans in slices between messages, shows every row,
// takes ticks, and carries the ticked rows out on 変換する. owner is the
// settings dialog (a drop on it), or null (a batch from the command line).
// Frees plan. True when renaming was started, so the history holds a new
// batch.
bool ShowListWindow(HINSTANCE instance, HWND owner, BatchPlan* plan);
