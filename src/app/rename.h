// Batch mode: rename every file or folder named on the command line.
#pragma once

#include "batch/batch.h"

// Reads the settings once, splits the tail (UTF-16, as GetCommandLineW gives
// it, past the program name) into paths, quoted or not, separated by spaces,
// and renames each, left to right, under that one word. With
// OPT_FOLDER_CONTENTS, a path that names a folder has its whole tree
// renamed, the folder's own name last. Silent; failures are recorded and
// skipped.
void RenameFromCommandLine(const wchar_t* tail);

// The tail's paths, in order, given to plan.
void AddCommandLinePaths(BatchPlan* plan, const wchar_t* tail);
