// Starting a program as a child process that ends with its parent.
//
// Every program Tarnivo starts, and every program its helper programs start in turn (the batch
// runner's lines), is started here. The child asks the kernel for SIGKILL when the thread that
// started it ends (PR_SET_PDEATHSIG), so when Tarnivo is killed outright its helpers die at once,
// and with them the programs they started: no tool goes on writing frames or a result for a job
// that is gone. The setting survives exec, so a helper that replaces itself with the system's
// ffmpeg or SoX passes it on. Plain POSIX, no Qt: the helper programs use it too.
#pragma once

#include <sys/types.h>

namespace tarnivo {

struct ProgramStart {
    // What the child's standard input, output and error (0, 1, 2) are: a descriptor of ours,
    // or one of these.
    static constexpr int kInherit = -1;  // the same as ours
    static constexpr int kNull = -2;     // /dev/null
    int streams[3] = {kInherit, kInherit, kInherit};
    int inherited = -1;            // a close-on-exec descriptor the child keeps nonetheless
    const char* folder = nullptr;  // the child's current folder; nullptr keeps ours
    bool ownProcessGroup = false;  // a process group of its own, led by the child
    bool searchPath = false;       // a program name without "/" is looked up on PATH
    // The child's whole environment ("NAME=value" entries ending in nullptr); nullptr keeps ours.
    char* const* environment = nullptr;
};

// Starts program with argv (ending in nullptr). Signals that the caller ignores or blocks are
// back to their defaults in the child. Returns the child's pid, or -1 with *error set to the
// error number when it could not be started (the program could not be run, the folder could
// not be entered, no process could be made).
pid_t StartTiedToParent(const char* program, char* const argv[], const ProgramStart& how, int* error);

// For a child between its start and its exec (async-signal-safe): asks for SIGKILL when the parent ends,
// and ends the child at once when the parent, parent's pid, has already gone. False when the
// kernel refused the request.
bool TieToParent(pid_t parent);

}  // namespace tarnivo
