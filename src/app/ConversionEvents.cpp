#include "ConversionEvents.h"

namespace tarnivo {

namespace {

void restoreStartCaptionUnlessJobRuns(ConversionWindow& window)
{
    if (!window.JobRunning())
        window.SetStartButtonCaption(kStartButtonCaption);
}

}  // namespace

void AVC1_Converting(qint16& ProgressPhase, ProgressBarView& progressBar)
{
    if (ProgressPhase < 0 || ProgressPhase > 3)
        return;
    progressBar.SetProgressValue(25 * (ProgressPhase + 1));
    ProgressPhase = static_cast<qint16>((ProgressPhase + 1) % 4);
}

void AVC1_Complete(qint16& ProgressPhase, ConversionWindow& window)
{
    window.DisableTimer();
    for (const WindowButton button : {WindowButton::PushButton1, WindowButton::PushButton2,
                                      WindowButton::PushButton4, WindowButton::PushButton6})
        window.SetButtonEnabled(button, true);
    restoreStartCaptionUnlessJobRuns(window);
    ProgressPhase = 0;
    window.SetProgressText(kIdleProgressText);
    window.SetProgressValue(0);
}

void AVC1_ErrorEvent(const QString& ErrorMessage, qint16& ProgressPhase, ConversionWindow& window)
{
    window.ShowMessage(ErrorMessage);
    window.DisableTimer();
    for (const WindowButton button :
         {WindowButton::PushButton1, WindowButton::PushButton2, WindowButton::PushButton6})
        window.SetButtonEnabled(button, true);
    restoreStartCaptionUnlessJobRuns(window);
    ProgressPhase = 0;
}

}  // namespace tarnivo
