// The path rules of the job list's folder operations: the "//" repair, the per-file filter,
// and the files of one folder of a folder collection.
#pragma once

#include <QString>
#include <QStringList>

namespace tarnivo {

// Every "//" replaced by "/" (one pass, as a joined folder ending in "/" leaves them).
QString RepairDoubleSlashes(QString path);

// The per-file filter of folder scans: a name beginning with "~", a path that is no readable
// file, and a writable dot-file (attribute value exactly 34) are skipped.
bool PassesFileFilter(const QString& name, const QString& path);

// The files of one collection entry (a folder ending in "/") whose names match the pattern
// and pass the filter, as repaired full paths, in name order. A file whose name is not UTF-8
// cannot be named to a tool, or even opened again by a name read as text: when refused is
// given, each such file that matches is added there, its name shown by EscapedName.
QStringList FilesOfFolderEntry(const QString& entry, const QString& pattern, QStringList* refused = nullptr);

// The files of a folder and of all its sub-folders (the folder's own first, then each level
// below), as FilesOfFolderEntry gives them. A folder that does not exist raises WalkError.
QStringList FilesOfFolderTree(const QString& folder, const QString& pattern, QStringList* refused = nullptr);

// A file name as bytes, shown as text: each byte that is not part of a UTF-8 character written
// as \xHH ("caf\xE9.avi").
QString EscapedName(const QByteArray& name);

// What a refused name is told with.
inline const QString kNameNotUtf8Reason = QStringLiteral("the name is not valid UTF-8; rename the file");

}  // namespace tarnivo
