// Test support: the processes this program started, directly or through the programs it runs
// (the batch runner, the ffmpeg front end), found by walking /proc.
#pragma once

#include <QString>

#include <sys/types.h>
#include <vector>

namespace tarnivo {

struct ProcessEntry {
    pid_t pid = 0;
    pid_t parentPid = 0;
    unsigned long long startTime = 0;  // clock ticks after boot; with pid it names one process
    QString name;                      // the program name (/proc/PID/comm)
};

// Every process running now, read from /proc; entries that vanish while reading are left out.
std::vector<ProcessEntry> RunningProcesses();

// The descendants of root (children, their children, ...) among processes.
std::vector<ProcessEntry> DescendantsOf(pid_t root, const std::vector<ProcessEntry>& processes);

// True for the program names of the conversion tool: names ending in "ffmpeg.exe" in any letter
// case (the deployed tool) and "ffmpeg" (the system's ffmpeg the front end runs).
bool IsConversionToolName(const QString& name);

}  // namespace tarnivo
