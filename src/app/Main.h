// Program-wide services of the window: the application title, the files that travel with the
// program (samples, cursor, skin, icon) and the first-start output folder.
#pragma once

#include <QCursor>
#include <QString>

#include <optional>

namespace tarnivo {

constexpr const char* kProductName = "Tarnivo";

// The title of message boxes and prompts that name none of their own.
QString ApplicationTitle();
// Derives the application title from the product name: the product name loses its last word
// (repeatedly while it is longer than 40 characters); a name without a blank stays whole.
void SetApplicationTitle();

// A file or folder that travels with the program: beside the program when it is there (a
// build), else in the installation's share/tarnivo folder; when it is in neither, the path
// beside the program.
QString FindBesideProgram(const QString& relativePath);

// The cursor in a ".cur" file, with the file's hot spot; nothing when the file cannot be read
// as a cursor.
std::optional<QCursor> LoadCursorFile(const QString& path);

// The first-start output folder followed by "/": the desktop folder when it exists, else the
// videos folder when it exists, else the home folder. Raises std::runtime_error when none of
// them can be determined.
QString DesktopFolder();

}  // namespace tarnivo
