// Folders and documents shown by the desktop's own program for them (a file manager for a
// folder), with an answer that says whether it could.
#pragma once

#include <QString>

namespace tarnivo {

// How long xdg-open is given to fail before it is taken to have opened the path: one that finds
// no program for it ends at once with a failure status; one that found it either ends with
// success or goes on running that program.
constexpr int kOpenerVerdictMs = 2000;

// Opens path with xdg-open, or with Qt's opener where there is no xdg-open; false when neither
// could. The events of the window are processed meanwhile, for at most verdictMs.
bool OpenWithDesktop(const QString& path, int verdictMs = kOpenerVerdictMs);

}  // namespace tarnivo
