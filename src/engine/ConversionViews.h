// What the conversion engine and the window's handlers of its events need of the main window.
// The window implements these with its widgets; tests implement them with plain recorders.
#pragma once

#include <QString>

namespace tarnivo {

// The window's progress bar (ProgressBar1).
class ProgressBarView {
public:
    virtual ~ProgressBarView() = default;
    virtual void SetProgressText(const QString& text) = 0;
    // 0 to 100.
    virtual void SetProgressValue(int value) = 0;
};

// The buttons whose enabled state the end of a conversion restores.
enum class WindowButton {
    PushButton1,  // add files
    PushButton2,  // choose the output folder
    PushButton4,  // add all files of a folder
    PushButton6,  // sample files
};

// The rest of the main window that AVC1_Complete and AVC1_ErrorEvent touch.
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
};

}  // namespace tarnivo
