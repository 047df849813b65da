// Batch mode: rename every file or folder named on the command line.
#pragma once

#include "convert/options.h"

// Reads the settings once, splits the tail (UTF-16, as GetCommandLineW gives
// it, past the program name) into paths, quoted or not, separated by spaces,
// and renames each, left to right, under that one word. With
// OPT_FOLDER_CONTENTS, a path that names a folder has its whole tree
// renamed, the folder's own name last. Silent; failures are recorded and
// skipped.
void RenameFromCommandLine(const wchar_t* tail);

// One batch's state: its word, its record, its folder cache and its
// buffers (rename_win.cpp).
struct RenameBatch;

// Renames one file or folder of batch: its base name (before the last dot)
// is converted under the batch's word; the folder part and the extension
// are kept. path is the token as it stood on the command line: it is
// resolved to its long form to find the name.
void RenameOneFile(RenameBatch* batch, const wchar_t* path);
