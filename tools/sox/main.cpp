// The "sox.exe" Tarnivo places in its working folder: runs the system's SoX with the
// arguments it is given. It replaces itself with sox, so the exit status is sox's own.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "ToolNames.h"

int main(int argc, char** argv)
{
    (void)argc;
    argv[0] = const_cast<char*>(tarnivo::media::kSoxProgram);
    execvp(tarnivo::media::kSoxProgram, argv);
    std::fprintf(stderr, "%s: cannot start %s: %s\n", tarnivo::media::kSoxToolName,
                 tarnivo::media::kSoxProgram, std::strerror(errno));
    return 127;
}
