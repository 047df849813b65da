// The Linux command's options, read from argv as the shell hands them:
//
//   blankmender [-r] [-n] [--word N] PATH...
//   blankmender --undo
//   blankmender --help | --version
//
// Short options may be joined ("-rn"), "--word" takes its number as the
// next argument or after "=", and "--" ends the options, so a path may
// start with a dash. Options and paths may come in any order; the paths
// keep theirs. Portable, so the native tests read the same table the
// command does.
#pragma once

#include <cstddef>

#include "convert/options.h"

// The command's exit codes, as Linux tools give them.
constexpr int EXIT_ALL_HANDLED = 0;   // every path renamed or already clean
constexpr int EXIT_SOME_LEFT = 1;     // something was left alone, or nothing to undo
constexpr int EXIT_BAD_USAGE = 2;

enum CommandAction {
    COMMAND_RENAME,
    COMMAND_UNDO,
    COMMAND_HELP,
    COMMAND_VERSION,
    COMMAND_BAD_USAGE, // error tells why
};

struct CommandOptions {
    CommandAction action;
    bool dryRun;
    bool folderContents;  // -r: OPT_FOLDER_CONTENTS on top of the word
    bool wordGiven;
    SettingsWord word;    // --word's, when wordGiven
    size_t pathCount;     // paths[0, pathCount): indexes into argv
    char error[200];
};

// Reads argv[1, argc). paths needs room for argc indexes.
void ReadCommandOptions(int argc, const char* const* argv, CommandOptions* options, int* paths);

// The word the batch runs under: --word's, else the one saved (what
// LoadSettingsFrom gave, DEFAULT_SETTINGS without a file), with bit 16 on
// for -r.
SettingsWord CommandWord(const CommandOptions& options, SettingsWord saved);

// The help text --help prints.
extern const char COMMAND_HELP_TEXT[];
