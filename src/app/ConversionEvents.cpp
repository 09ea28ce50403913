#include "ConversionEvents.h"

namespace tarnivo {

namespace {

void restoreStartCaptionUnlessJobRuns(ConversionWindow& window)
{
    if (!window.JobRunning())
        window.SetStartButtonCaption(kStartButtonCaption);
}

}  // namespace

void AVC1_Complete(ConversionWindow& window)
{
    window.DisableTimer();
    for (const WindowButton button : {WindowButton::PushButton1, WindowButton::PushButton2,
                                      WindowButton::PushButton4, WindowButton::PushButton6})
        window.SetButtonEnabled(button, true);
    restoreStartCaptionUnlessJobRuns(window);
}

void AVC1_ErrorEvent(const QString& ErrorMessage, ConversionWindow& window)
{
    window.ShowMessage(ErrorMessage);
    window.DisableTimer();
    for (const WindowButton button :
         {WindowButton::PushButton1, WindowButton::PushButton2, WindowButton::PushButton6})
        window.SetButtonEnabled(button, true);
    restoreStartCaptionUnlessJobRuns(window);
}

}  // namespace tarnivo
