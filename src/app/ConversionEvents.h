// The main window's handlers of the conversion engine's events (the window holds the engine
// as AVC1). They work on the window through ConversionWindow.h, so they run the same with
// widgets and in tests. The progress bar is not theirs: the engine's pulse on it reaches the
// window with the rest of the job's progress (JobProgress), which alone writes the bar.
#pragma once

#include "ConversionWindow.h"
#include "JobProgress.h"

#include <QString>

namespace tarnivo {

inline const QString kStartButtonCaption = QStringLiteral("Start Converting");
inline const QString kCancelButtonCaption = QStringLiteral("Cancel");

// After every run of the tool: timer off, buttons back, and the caption "Start Converting"
// unless a job runs (the job puts the caption back when it ends, so that it reads "Cancel" for
// the whole job).
void AVC1_Complete(ConversionWindow& window);

// After a refused conversion: the message, then timer off, buttons back and the caption as in
// AVC1_Complete.
void AVC1_ErrorEvent(const QString& ErrorMessage, ConversionWindow& window);

}  // namespace tarnivo
