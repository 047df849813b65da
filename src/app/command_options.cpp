#include "app/command_options.h"

#include <cstdio>
#include <cstring>

const char COMMAND_HELP_TEXT[] =
    "Usage: blankmender [OPTION]... PATH...\n"
    "       blankmender --undo\n"
    "Renames each file or folder so that its name holds no blanks: every space\n"
    "and ideographic space before the extension becomes an underbar, with the\n"
    "conversions the settings word chooses. Never follows a symbolic link and\n"
    "never replaces a file.\n"
    "\n"
    "  -r, --folder-contents  a folder's whole tree too (settings bit 16)\n"
    "  -n, --dry-run          print what would be done, rename nothing\n"
    "      --word N           the settings word (default: the one saved in\n"
    "                         $XDG_CONFIG_HOME/blankmender/config.dat, else 305)\n"
    "      --undo             take the latest batch back\n"
    "      --help             this text\n"
    "      --version          the version\n"
    "\n"
    "One line per path: \"now: NEW\", \"unchanged: PATH\" or \"not renamed: PATH\n"
    "(REASON)\", and a line for each entry inside a folder that was left alone.\n"
    "Exit status: 0 all handled, 1 something left alone, 2 bad usage.\n"
    "The record of each batch is $XDG_STATE_HOME/blankmender/history.txt.\n";

namespace {

void BadUsage(CommandOptions* options, const char* what, const char* argument)
{
    options->action = COMMAND_BAD_USAGE;
    snprintf(options->error, sizeof options->error, "%.80s '%.100s'", what, argument);
}

// A whole decimal number within the word's bits: unlike config.dat, where
// any junk after a number is passed over, a mistyped option must not pass.
bool ReadWord(const char* text, SettingsWord* word)
{
    if (text[0] == '\0' || strlen(text) > 6)
        return false;
    long value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (value > OPT_ALL)
        return false;
    *word = static_cast<SettingsWord>(value);
    return true;
}

} // namespace

void ReadCommandOptions(int argc, const char* const* argv, CommandOptions* options, int* paths)
{
    *options = CommandOptions{};
    options->action = COMMAND_RENAME;
    bool help = false, version = false;
    bool optionsOver = false;
    for (int i = 1; i < argc && options->action != COMMAND_BAD_USAGE; ++i) {
        const char* argument = argv[i];
        if (optionsOver || argument[0] != '-' || argument[1] == '\0') {
            paths[options->pathCount++] = i; // "-" alone is a name, as for cat
            continue;
        }
        if (argument[1] != '-') {
            for (const char* flag = argument + 1; *flag != '\0'; ++flag) {
                if (*flag == 'r') {
                    options->folderContents = true;
                } else if (*flag == 'n') {
                    options->dryRun = true;
                } else if (*flag == 'h') {
                    help = true;
                } else {
                    BadUsage(options, "unknown option", argument);
                    break;
                }
            }
            continue;
        }
        const char* name = argument + 2;
        if (name[0] == '\0') {
            optionsOver = true;
        } else if (strcmp(name, "folder-contents") == 0) {
            options->folderContents = true;
        } else if (strcmp(name, "dry-run") == 0) {
            options->dryRun = true;
        } else if (strcmp(name, "undo") == 0) {
            options->action = COMMAND_UNDO;
        } else if (strcmp(name, "help") == 0) {
            help = true;
        } else if (strcmp(name, "version") == 0) {
            version = true;
        } else if (strcmp(name, "word") == 0 || strncmp(name, "word=", 5) == 0) {
            const char* number = name[4] == '=' ? name + 5 : (i + 1 < argc ? argv[++i] : nullptr);
            if (number == nullptr)
                BadUsage(options, "a number must follow", argument);
            else if (!ReadWord(number, &options->word)) {
                char what[64];
                snprintf(what, sizeof what, "the word must be a number from 0 to %d, not", OPT_ALL);
                BadUsage(options, what, number);
            }
            options->wordGiven = true;
        } else {
            BadUsage(options, "unknown option", argument);
        }
    }
    if (options->action == COMMAND_BAD_USAGE)
        return;
    // Help and the version answer whatever else was asked.
    if (help || version) {
        options->action = help ? COMMAND_HELP : COMMAND_VERSION;
        return;
    }
    if (options->action == COMMAND_UNDO) {
        // Undo takes back what the record holds, nothing else.
        if (options->pathCount > 0 || options->dryRun || options->folderContents || options->wordGiven)
            BadUsage(options, "--undo takes no path and no other option", "--undo");
        return;
    }
    if (options->pathCount == 0)
        BadUsage(options, "no path given; try", "--help");
}

SettingsWord CommandWord(const CommandOptions& options, SettingsWord saved)
{
    SettingsWord word = options.wordGiven ? options.word : saved;
    if (options.folderContents)
        word |= OPT_FOLDER_CONTENTS;
    return word;
}
