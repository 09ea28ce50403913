#include "Stopping.h"

#include <atomic>
#include <csignal>
#include <initializer_list>

namespace tarnivo::frames {

namespace {

std::atomic<int> g_stopSignal{0};

void noteStop(int signal) { g_stopSignal.store(signal); }

}  // namespace

void StopOnSignals()
{
    struct sigaction action = {};
    action.sa_handler = noteStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocking read returns, so the stop is seen at once
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

int StopSignal() { return g_stopSignal.load(); }

}  // namespace tarnivo::frames
