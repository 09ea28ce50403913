// The "sox.exe" Tarnivo places in its working folder: runs the system's SoX with the
// arguments it is given. It replaces itself with sox, so the exit status is sox's own.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv)
{
    (void)argc;
    argv[0] = const_cast<char*>("sox");
    execvp("sox", argv);
    std::fprintf(stderr, "sox.exe: cannot start sox: %s\n", std::strerror(errno));
    return 127;
}
