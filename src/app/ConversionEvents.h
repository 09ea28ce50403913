// The main window's handlers of the conversion engine's events (the window holds the engine
// as AVC1). They work on the window through ConversionWindow.h, so they run the same with
// widgets and in tests.
#pragma once

#include "ConversionWindow.h"

#include <QString>
#include <QtGlobal>

namespace tarnivo {

inline const QString kStartButtonCaption = QStringLiteral("Start Converting");
inline const QString kCancelButtonCaption = QStringLiteral("Cancel");
inline const QString kIdleProgressText = QStringLiteral("Progress Bar");

// One step of the progress pulse: 25, 50, 75, 100 and round again. ProgressPhase is the
// window's pulse position (0 to 3); any other value leaves bar and phase alone.
void AVC1_Converting(qint16& ProgressPhase, ProgressBarView& progressBar);

// After every run of the tool: timer off, buttons back, the pulse and the bar back to their
// idle state, and the caption "Start Converting" unless a job runs (the job puts the caption
// back when it ends, so that it reads "Cancel" for the whole job).
void AVC1_Complete(qint16& ProgressPhase, ConversionWindow& window);

// After a refused conversion: the message, then timer off, buttons back, the caption as in
// AVC1_Complete and the pulse reset; the bar keeps its text and value.
void AVC1_ErrorEvent(const QString& ErrorMessage, qint16& ProgressPhase, ConversionWindow& window);

}  // namespace tarnivo
