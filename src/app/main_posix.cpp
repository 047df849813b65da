// The native command's process on a Linux server: its arguments, its
// settings file where the XDG base directories put it, standard output.
// Everything else is command.cpp's.
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "app/command.h"
#include "app/command_options.h"
#include "files/files.h"

namespace {

void Write(void* context, const char* text, size_t length)
{
    fwrite(text, 1, length, static_cast<FILE*>(context));
}

const char* HomeFolder()
{
    const char* home = getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return home;
    const passwd* user = getpwuid(getuid());
    return user != nullptr ? user->pw_dir : nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    // Lines go out in large writes: a tree's failures can be many.
    static char buffer[1 << 16];
    setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    static char config[PATH_BUFFER_SIZE];
    const bool found =
        UserFilePath(getenv("XDG_CONFIG_HOME"), HomeFolder(), ".config", "config.dat", config, sizeof config);
    int code = RunCommand(argc, argv, found ? config : nullptr, {Write, stdout}, {Write, stderr});
    // Lines that never reached their reader (a full disk, a closed pipe)
    // are something left undone too.
    if (fflush(stdout) != 0 && code == EXIT_ALL_HANDLED)
        code = EXIT_SOME_LEFT;
    return code;
}
