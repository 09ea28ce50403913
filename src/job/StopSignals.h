// The signals that end a job, as events: both faces stop a job from their event loop (the one
// that is waiting for the job's tool), never from inside a signal handler.
#pragma once

#include <QObject>

#include <functional>

namespace tarnivo {

// From now on SIGINT, SIGTERM, SIGHUP (the terminal closed) and SIGPIPE (standard output
// closed, as by "| head -1") run action in the event loop, for as long as context lives: each
// cancels a job and cleans up as Ctrl+C does. SIGXFSZ is ignored, so that a write past the
// session's file-size limit (ulimit -f) fails with a reason instead of ending the program
// without a word; the tools get the default dispositions back when they start.
void OnStopSignals(QObject* context, std::function<void()> action);

// From now on SIGTSTP (Ctrl+Z at a terminal, or kill -TSTP) runs pause(true) in the event loop,
// then stops this program as the terminal's stop would; once it is continued (fg, bg, SIGCONT)
// pause(false) runs. For as long as context lives.
void OnTerminalStop(QObject* context, std::function<void(bool stopping)> pause);

}  // namespace tarnivo
