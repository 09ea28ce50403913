// What the conversion engine needs of the main window: the progress bar it writes its
// "Please wait... " texts onto. The window implements it with its widget; tests with recorders.
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

}  // namespace tarnivo
