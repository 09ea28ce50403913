// Folders for both faces: the level-by-level walk below a folder, and the attribute values and
// name rules that the walk and the folder scans compare.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace tarnivo {

// Attribute bits as the walk and the scans compare them.
constexpr int kAttributeReadOnly = 1;
constexpr int kAttributeHidden = 2;  // the name begins with "."
constexpr int kAttributeSystem = 4;
constexpr int kAttributeDirectory = 16;
constexpr int kAttributeArchive = 32;         // every regular file
constexpr int kAttributeReparsePoint = 1024;  // a symbolic link
// Folders with exactly one of these values are neither entered nor added by the walk. A
// symbolic link to a folder counts as the second, so the walk never follows one.
constexpr int kHiddenSystemFolder = 22;
constexpr int kLinkedFolder = 1046;

// The attribute value of a file or folder (a trailing "/" is ignored); -1 when it is missing.
int FileAttributes(const QString& path);

// True when a file or folder name may not be used: it holds a control character (code points
// below 32 or from 127 to 159), a "?", or bytes that are not UTF-8. name is the name as the
// file system holds it.
bool HasOddCharacters(const QByteArray& name);

// Extends the folder collection (entries ending in "/") with the sub-folders of its entries:
// with recurse, level by level down to the deepest, each level behind the one above. Folders
// that are links (and hidden system folders) are neither entered nor added; a folder whose
// listing is denied is removed from the collection; names with odd characters are left out.
// Lets the application handle its events before each folder. A folder that does not exist
// raises WalkError.
void GetSubFolders(QStringList& folders, bool recurse);

class WalkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tarnivo
