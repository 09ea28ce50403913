// What the window's handlers of the conversion engine's events touch of the main window. Form1
// implements it with its widgets; the handler tests implement it with a recorder.
#pragma once

#include "ConversionViews.h"

#include <QString>

namespace tarnivo {

// The buttons whose enabled state the end of a conversion restores.
enum class WindowButton {
    PushButton1,  // add files
    PushButton2,  // choose the output folder
    PushButton4,  // add all files of a folder
    PushButton6,  // sample files
};

class ConversionWindow : public ProgressBarView {
public:
    // Timer1 off.
    virtual void DisableTimer() = 0;
    virtual void SetButtonEnabled(WindowButton button, bool enabled) = 0;
    // The caption of PushButton5, the start / cancel button.
    virtual void SetStartButtonCaption(const QString& caption) = 0;
    // A message box with an OK button only, no icon, the application's title as caption;
    // returns when the user has closed it.
    virtual void ShowMessage(const QString& text) = 0;
    // True while a reverse job runs: its button reads "Cancel" until the job itself ends.
    virtual bool JobRunning() const = 0;
};

}  // namespace tarnivo
