// Batch mode: rename every file or folder named on the command line.
#pragma once

// The command-line tail to work on. The ANSI tail Windows hands to WinMain
// has gone through best-fit mapping (é arrives as e), which could name a
// different, existing file; this forms the tail again from the wide command
// line with no best-fit characters, skipping the program name the same way.
// ansiTail is the WinMain argument, used only if the wide line is unusable.
const char* SafeCommandTail(const char* ansiTail);

// Splits the tail into paths (quoted or not, separated by spaces) and
// renames each, left to right. Silent; failures are skipped.
void RenameFromCommandLine(const char* commandLine);

// Renames one file or folder: its base name (before the last dot) is
// converted under the saved settings; the folder part and the extension are
// kept. path is resolved to its long form; existingName is the move's source.
void RenameOneFile(const char* path, const char* existingName);
