// Small file and text routines shared by the job, the tool deployment and the file list.
#pragma once

#include <QString>
#include <QStringList>

#include <stdexcept>

namespace tarnivo {

// Raised by the routines that trap nothing (WriteTextToFile, StripExtension).
class FileRoutineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True when the path names an existing file or folder (links followed).
bool PathExists(const QString& path);
// True when the path names an existing folder.
bool FolderExists(const QString& path);
// True when the path names a regular file (links followed) that can be opened.
bool IsFile(const QString& path);

// Case-insensitive match of a name against a pattern with "*" and "?"; "*.*" matches every
// name, also one without a dot.
bool MatchesPattern(const QString& name, const QString& pattern);

// Deletes the file, or every file matching the pattern in the last path element. Folders are
// never deleted; every error is ignored.
void KillFiles(const QString& pathOrPattern);

// The bare names of the regular files in folder that match pattern (hidden ones included),
// in name order.
QStringList ListFiles(const QString& folder, const QString& pattern);

// Sorts names as a file manager lists them: letters compared without regard to case, names
// that differ only in case in a fixed order.
void SortByName(QStringList& names);

// Creates or replaces the file with the text followed by CR LF (UTF-8).
void WriteTextToFile(const QString& text, const QString& path);

// The text before its last "."; a text without one raises FileRoutineError.
QString StripExtension(const QString& text);
// The text after its last "/"; the whole text when it holds none.
QString FileNameOf(const QString& text);

}  // namespace tarnivo
