// Batch mode: rename every file or folder named on the command line.
#pragma once

#include "convert/options.h"

// Reads the settings once, splits the tail (UTF-16, as GetCommandLineW gives
// it, past the program name) into paths, quoted or not, separated by spaces,
// and renames each, left to right, under that one word. Silent; failures are
// skipped.
void RenameFromCommandLine(const wchar_t* tail);

// Renames one file or folder: its base name (before the last dot) is
// converted under word; the folder part and the extension are kept. path is
// the token as it stood on the command line: it is resolved to its long form
// to find the name, and is the move's source.
void RenameOneFile(SettingsWord word, const wchar_t* path);
