// Test helper deployed in place of the ffmpeg front end: records each call (the colour facts of
// its environment and its arguments) as a file of its own in the folder named by
// TARNIVO_TEST_RECORDS, then runs the real front end named by TARNIVO_TEST_FRONT_END with the
// same arguments. A call whose input (the file after its last "-i") ends in the text of
// TARNIVO_TEST_RECORD_ONLY is recorded and not run: it fails with status 1.
//
// A record holds NUL-terminated entries: the four colour entries as "NAME=value" (or "NAME" when
// the variable is not set), then every argument.
#include "InputFacts.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* const kColourVariables[] = {
    tarnivo::media::kInputMatrixVariable, tarnivo::media::kInputPrimariesVariable,
    tarnivo::media::kInputTransferVariable, tarnivo::media::kInputRangeVariable};

bool record(const std::string& folder, int argc, char** argv)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    char name[64];
    std::snprintf(name, sizeof name, "/call-%020lld-%09ld-%d", static_cast<long long>(now.tv_sec),
                  now.tv_nsec, static_cast<int>(getpid()));
    const int fd = open((folder + name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    std::string entries;
    for (const char* variable : kColourVariables) {
        const char* value = std::getenv(variable);
        entries += std::string(variable) + (value ? std::string("=") + value : std::string()) + '\0';
    }
    for (int i = 1; i < argc; ++i)
        entries += std::string(argv[i]) + '\0';
    const bool written = write(fd, entries.data(), entries.size()) == static_cast<ssize_t>(entries.size());
    return close(fd) == 0 && written;
}

bool recordOnly(int argc, char** argv)
{
    const char* ending = std::getenv("TARNIVO_TEST_RECORD_ONLY");
    std::string input;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "-i")
            input = argv[++i];
    }
    const std::string tail = ending ? ending : "";
    return !tail.empty() && input.size() >= tail.size() &&
           input.compare(input.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* folder = std::getenv("TARNIVO_TEST_RECORDS");
    const char* frontEnd = std::getenv("TARNIVO_TEST_FRONT_END");
    if (!folder || !frontEnd || !record(folder, argc, argv))
        return 2;
    if (recordOnly(argc, argv))
        return 1;
    argv[0] = const_cast<char*>(frontEnd);
    execv(frontEnd, argv);
    return 127;
}
