// SIGINT and SIGTERM as events: both faces stop a job from their event loop (the one that is
// waiting for the job's tool), never from inside a signal handler.
#pragma once

#include <QObject>

#include <functional>

namespace tarnivo {

// From now on SIGINT and SIGTERM run action in the event loop, for as long as context lives.
void OnStopSignals(QObject* context, std::function<void()> action);

}  // namespace tarnivo
