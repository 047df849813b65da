// The native command, whole but for the process around it: the options
// read, the batch planned, carried out unless it is a dry run, and told
// line by line; or the latest batch taken back. main_posix.cpp hands it
// argv, the settings file and standard output; the tests hand it their own.
#pragma once

#include "app/command_lines.h"

// Runs the command for argv[1, argc); the word, unless --word gives one,
// is read from configPath (DEFAULT_SETTINGS when it is null or there is no
// file). Lines go to out, messages to errors. Returns the exit code
// (command_options.h).
int RunCommand(int argc, const char* const* argv, const char* configPath, const LineSink& out,
               const LineSink& errors);
