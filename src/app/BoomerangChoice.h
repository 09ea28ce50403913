// "Forward, then backward": the check box beside the profile that makes every file of a job play
// forward and then backward. It keeps its own key, "Boomerang" ("1" or "0"), in the settings
// store; unchecked when the key was never written.
#pragma once

#include <QString>

#include <functional>

class QCheckBox;

namespace tarnivo {

inline const QString kBoomerangKey = QStringLiteral("Boomerang");
inline const QString kBoomerangCaption = QStringLiteral("Forward, then backward");

// Shows the stored choice, and stores every change (tellProblem gets why it could not be).
void KeepBoomerangChoice(QCheckBox* box, const std::function<void(const QString&)>& tellProblem);

}  // namespace tarnivo
