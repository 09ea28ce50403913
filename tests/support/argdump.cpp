// Test helper: writes its current folder and its arguments (after the first) to the file named
// by its first argument, each followed by a NUL byte. Exits with status 0.
#include <climits>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out)
        return 3;
    char folder[PATH_MAX] = {};
    if (!getcwd(folder, sizeof folder))
        folder[0] = '\0';
    std::fputs(folder, out);
    std::fputc('\0', out);
    for (int i = 2; i < argc; ++i) {
        std::fputs(argv[i], out);
        std::fputc('\0', out);
    }
    std::fclose(out);
    return 0;
}
