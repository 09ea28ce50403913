// A stop asked for by a signal (SIGTERM, SIGINT, SIGHUP: a cancelled job), which the frame
// writer's threads look at between their steps: once it is asked for, no further frame is
// written.
#pragma once

namespace tarnivo::frames {

// Installs the handlers. A blocking read in progress then ends with EINTR.
void StopOnSignals();

// The signal that asked for the stop, 0 while none did.
int StopSignal();

}  // namespace tarnivo::frames
